#include "gui/accessibility/DateTimeAccessible.h"

#include "common/DateFormats.h"
#include "gui/edit/EmbeddedDateTimeCtrl.h"

namespace Kestrum::GUI {

namespace {
// One segment. Qt keeps the interfaces it is handed by id, so a segment's
// interface lives as long as the editor's (it reads the editor each time).
class CSegmentAccessible final : public QAccessibleInterface {
public:
    CSegmentAccessible(const CDateTimeCtrlAccessible* parent, int index) : m_parent(parent), m_index(index) {}
    bool isValid() const override { return m_parent->isValid() && m_index < m_parent->Control()->SegmentCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_parent->window(); }
    QVector<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(QAccessible::Relation) const override
    {
        return {};
    }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return const_cast<CDateTimeCtrlAccessible*>(m_parent); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        CEmbeddedDateTimeCtrl* control = m_parent->Control();
        switch (t) {
        case QAccessible::Name: return DateTimeFieldName(control->SegmentField(m_index));
        case QAccessible::Value: return control->SegmentText(m_index);
        case QAccessible::Description: return QStringLiteral("Up and Down step it, digits replace it");
        default: return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        CEmbeddedDateTimeCtrl* control = m_parent->Control();
        const QRect local = control->SegmentRect(m_index);
        return QRect(control->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::SpinBox; }
    QAccessible::State state() const override
    {
        CEmbeddedDateTimeCtrl* control = m_parent->Control();
        QAccessible::State state;
        state.focusable = true;
        state.selectable = true;
        state.selected = control->SelectedSegment() == m_index;
        state.focused = state.selected && control->hasFocus();
        state.invisible = !control->isVisible();
        return state;
    }

private:
    const CDateTimeCtrlAccessible* m_parent;
    int m_index;
};
} // namespace

QString DateTimeFieldName(int field)
{
    switch (field) {
    case Common::DF_YEAR4:
    case Common::DF_YEAR2: return QStringLiteral("Year");
    case Common::DF_MONTH: return QStringLiteral("Month");
    case Common::DF_DAY: return QStringLiteral("Day");
    case Common::DF_HOUR: return QStringLiteral("Hour");
    case Common::DF_MINUTE: return QStringLiteral("Minute");
    case Common::DF_SECOND: return QStringLiteral("Second");
    case Common::DF_MILLISECOND: return QStringLiteral("Millisecond");
    default: return {};
    }
}

CDateTimeCtrlAccessible::CDateTimeCtrlAccessible(CEmbeddedDateTimeCtrl* control)
    : QAccessibleWidget(control, QAccessible::SpinBox)
{
}

CDateTimeCtrlAccessible::~CDateTimeCtrlAccessible()
{
    for (const QAccessible::Id id : m_segments)
        if (id != 0)
            QAccessible::deleteAccessibleInterface(id);
}

CEmbeddedDateTimeCtrl* CDateTimeCtrlAccessible::Control() const { return static_cast<CEmbeddedDateTimeCtrl*>(widget()); }

QString CDateTimeCtrlAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return Control()->Text();
    return QAccessibleWidget::text(t);
}

int CDateTimeCtrlAccessible::childCount() const { return Control()->SegmentCount(); }

QAccessibleInterface* CDateTimeCtrlAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    // One interface per segment, registered once: Qt owns it from then on.
    auto& made = const_cast<CDateTimeCtrlAccessible*>(this)->m_segments;
    if (made.size() <= static_cast<std::size_t>(index))
        made.resize(static_cast<std::size_t>(index) + 1, 0);
    QAccessible::Id& id = made[static_cast<std::size_t>(index)];
    if (id == 0)
        id = QAccessible::registerAccessibleInterface(new CSegmentAccessible(this, index));
    return QAccessible::accessibleInterface(id);
}

int CDateTimeCtrlAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    for (int index = 0; index < childCount(); ++index)
        if (this->child(index) == child)
            return index;
    return -1;
}

QAccessibleInterface* CDateTimeCtrlAccessible::childAt(int x, int y) const
{
    const QPoint local = Control()->mapFromGlobal(QPoint(x, y));
    for (int index = 0; index < childCount(); ++index)
        if (Control()->SegmentRect(index).contains(local))
            return child(index);
    return nullptr;
}

} // namespace Kestrum::GUI
