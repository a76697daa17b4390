#include "gui/clipboard/DragDrop.h"

#include <QDrag>
#include <QGuiApplication>
#include <QMimeData>
#include <QWidget>

#include "gui/clipboard/InProcessDrag.h"
#include "gui/clipboard/TransferMime.h"

namespace Kestrum::GUI {

CDragDrop::~CDragDrop()
{
    for (IClipboardFormat* format : m_formats)
        delete format;
}

void CDragDrop::AddFormat(IClipboardFormat* format)
{
    if (format)
        m_formats.push_back(format);
}

Qt::DropAction CDragDrop::Execute(QWidget* source, QMimeData* data, const QPixmap& image, QPoint hotSpot)
{
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return CInProcessDrag::Exec(source, data, actions);
    auto* drag = new QDrag(source); // Qt deletes it once the drag is over
    drag->setMimeData(data);
    if (!image.isNull()) {
        drag->setPixmap(image);
        drag->setHotSpot(hotSpot);
    }
    return drag->exec(actions, Qt::MoveAction);
}

bool CDragDrop::Read(const QMimeData& data, TransferRecord& record) { return ReadTransferData(m_formats, data, nullptr, record); }

} // namespace Kestrum::GUI
