#include "app/filter/TypeAheadPane.h"

#include <QEvent>
#include <QTimer>

#include "gui/grid/Grid.h"

namespace Velmora {

CTypeAheadPane::CTypeAheadPane(Kestrum::GUI::CGrid& grid, QWidget* parent) : QLabel(parent), m_grid(grid)
{
    setObjectName("typeAhead");
    setVisible(false);
    grid.installEventFilter(this);
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { Update(); });
    timer->start(100);
}

void CTypeAheadPane::Update()
{
    const QString typed = QString::fromStdString(m_grid.GetTypedSearch());
    setText(typed.isEmpty() ? QString() : QString("Find: %1").arg(typed));
    setVisible(!typed.isEmpty());
}

bool CTypeAheadPane::eventFilter(QObject*, QEvent* event)
{
    // After the grid has taken the key.
    if (event->type() == QEvent::KeyPress)
        QTimer::singleShot(0, this, [this] { Update(); });
    return false;
}

} // namespace Velmora
