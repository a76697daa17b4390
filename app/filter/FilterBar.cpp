#include "app/filter/FilterBar.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>

namespace Velmora {

namespace {
void MarkInvalid(QLineEdit* edit, bool invalid, const QString& why = {})
{
    edit->setStyleSheet(invalid ? "QLineEdit { background: #ffd0d0; }" : QString());
    edit->setToolTip(why);
}
} // namespace

CFilterBar::CFilterBar(Kestrum::GUI::CGrid& grid, std::function<std::int64_t()> total, QWidget* parent)
    : QToolBar("Filter", parent), m_grid(grid), m_gridAlive(&grid), m_total(std::move(total))
{
    setObjectName("filterBar");
    setMovable(false);
    setFloatable(false);
    toggleViewAction()->setVisible(false); // shown by Ctrl+F, not from the toolbar menu
    addWidget(new QLabel("Filter: "));
    m_pattern = new QLineEdit;
    m_pattern->setObjectName("filterPattern");
    m_pattern->setPlaceholderText("name, e.g. *.iso");
    m_pattern->setClearButtonEnabled(true);
    m_pattern->setAccessibleName("Name pattern");
    // The line edit's own clear button comes without a name.
    for (QToolButton* button : m_pattern->findChildren<QToolButton*>())
        button->setAccessibleName("Clear the pattern");
    m_pattern->setMinimumWidth(220);
    addWidget(m_pattern);
    m_regex = new QCheckBox("Re&gular expression");
    m_regex->setObjectName("filterRegex");
    addWidget(m_regex);
    m_case = new QCheckBox("Match c&ase");
    m_case->setObjectName("filterCase");
    addWidget(m_case);
    addSeparator();
    addWidget(new QLabel(" At least: "));
    m_minSize = new QLineEdit;
    m_minSize->setObjectName("filterMinSize");
    m_minSize->setPlaceholderText("e.g. 1G");
    m_minSize->setMaximumWidth(90);
    m_minSize->setAccessibleName("Minimum size");
    addWidget(m_minSize);
    m_kind = new QComboBox;
    m_kind->setObjectName("filterKind");
    m_kind->addItems({"Files and folders", "Files", "Folders"});
    m_kind->setAccessibleName("Files, folders or both");
    addWidget(m_kind);
    QAction* close = addAction("\u2715");
    close->setToolTip("Close the filter (Esc)");
    if (QWidget* button = widgetForAction(close))
        button->setAccessibleName("Close the filter");
    connect(close, &QAction::triggered, this, [this] { Close(); });

    m_show = new QAction("Fi&lter...", this);
    m_show->setShortcut(QKeySequence::Find);
    m_show->setStatusTip("Show only the rows whose name, size and kind match");
    connect(m_show, &QAction::triggered, this, [this] { Open(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this, [this] { Close(); });
    escape->setContext(Qt::WidgetWithChildrenShortcut);

    connect(m_pattern, &QLineEdit::textChanged, this, [this] { Apply(); });
    connect(m_minSize, &QLineEdit::textChanged, this, [this] { Apply(); });
    connect(m_regex, &QCheckBox::toggled, this, [this] { Apply(); });
    connect(m_case, &QCheckBox::toggled, this, [this] { Apply(); });
    connect(m_kind, &QComboBox::currentIndexChanged, this, [this] { Apply(); });

    m_count = new QLabel;
    m_count->setObjectName("filterCount");
    m_count->setVisible(false);
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { UpdateCount(); });
    timer->start(250);
    setVisible(false);
}

CFilterBar::~CFilterBar()
{
    // The frame deletes the grid before its tool bars.
    if (m_applied && m_gridAlive)
        m_grid.SetRowMatch(nullptr);
}

bool CFilterBar::Matches(Kestrum::GUI::CGridItem*, Kestrum::Common::CDataObject* object)
{
    return m_filter.Matches(object);
}

void CFilterBar::Open()
{
    setVisible(true);
    Apply();
    // A tool bar shows its widgets when it is laid out: the pattern can take
    // the keyboard only then.
    if (layout())
        layout()->activate();
    m_pattern->setFocus(Qt::ShortcutFocusReason);
    m_pattern->selectAll();
}

void CFilterBar::Close()
{
    setVisible(false);
    if (m_applied) {
        m_applied = false;
        m_grid.SetRowMatch(nullptr);
    }
    UpdateCount();
    m_grid.setFocus(Qt::OtherFocusReason);
}

void CFilterBar::SetPattern(const QString& pattern)
{
    setVisible(true);
    m_regex->setChecked(false);
    m_pattern->setText(pattern);
    Apply();
}

void CFilterBar::Apply()
{
    if (!isVisible())
        return;
    FilterCriteria criteria;
    criteria.pattern = m_pattern->text().toStdString();
    criteria.regex = m_regex->isChecked();
    criteria.caseSensitive = m_case->isChecked();
    criteria.kind = static_cast<FilterKind>(m_kind->currentIndex());
    criteria.minSize = ParseSize(m_minSize->text().toStdString());
    MarkInvalid(m_minSize, criteria.minSize < 0, "Not a size: a number, then K, M, G or T");
    std::string error;
    const bool parsed = criteria.minSize >= 0 && m_filter.SetCriteria(criteria, &error);
    MarkInvalid(m_pattern, !error.empty(), QString::fromStdString(error));
    // What does not parse leaves the rows as they are.
    if (!parsed)
        return;
    m_applied = !criteria.IsEmpty();
    m_grid.SetRowMatch(m_applied ? this : nullptr);
    UpdateCount();
}

void CFilterBar::UpdateCount()
{
    m_count->setVisible(m_applied);
    if (!m_applied)
        return;
    const int shown = m_grid.GetMatchedCount();
    m_count->setText(QString("%1 of %2 shown").arg(shown).arg(m_total ? m_total() : 0));
}

} // namespace Velmora
