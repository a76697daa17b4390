// The accessible cells of a grid: a caption of the header and a cell of a
// row, each read through the public grid operations (private to the grid's
// accessible side; GridAccessible.cpp makes them).
#pragma once

#include "gui/accessibility/GridAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QEvent>
#include <QScrollBar>
#include <algorithm>
#include <atomic>
#include <climits>
#include <mutex>
#include "common/DataObject.h"
#include "gui/accessibility/GridAccessNotify.h"
#include "gui/edit/CheckBoxReflector.h"
#include "gui/edit/EditInPlace.h"
#include "gui/grid/Grid.h"
#include "gui/grid/GridClock.h"
#include "gui/grid/GridDefaults.h"
#include "gui/grid/SelectionModel.h"
#include "gui/header/Header.h"
#include "gui/paint/CustomDraw.h"
#include "gui/paint/PaintPass.h"
#include "gui/platform/QtText.h"

namespace Kestrum::GUI {

inline QRect ToGlobal(CGrid* grid, const CRect& rect)
{
    if (rect.IsEmpty())
        return {};
    const QPoint topLeft = grid->viewport()->mapToGlobal(QPoint(rect.left, rect.top));
    return QRect(topLeft, QSize(rect.Width(), rect.Height()));
}

// The text the paint pass draws in the cell: the same context, format
// resolved by the same custom draw.
inline QString PaintedText(CGrid* grid, HITEM item, CColumn* column)
{
    PaintState state;
    state.grid = grid;
    state.header = grid->GetHeader();
    state.scroll = grid;
    RowDrawContext row;
    row.item = FromHandle(item);
    row.object = grid->GetObject(item);
    row.rowKey = grid->GetArea(item);
    row.rowIndex = grid->GetVisibleIndex(item);
    ICustomDraw* draw = grid->GetCustomDraw() ? grid->GetCustomDraw() : GridDefaults::Instance().GetCustomDraw();
    return CellText(MakeCellContext(state, row, column, draw));
}

inline QString SortText(CHeader* header, std::int32_t fieldId)
{
    const int levels = header->GetSortLevelCount();
    for (int level = 0; level < levels; ++level) {
        const CSortInfo info = header->GetSortInfo(level);
        if (info.GetFieldId() != fieldId)
            continue;
        const QString direction = info.IsDescending() ? QStringLiteral("descending") : QStringLiteral("ascending");
        return levels > 1 ? QStringLiteral("Sorted %1, level %2").arg(direction).arg(level + 1)
                          : QStringLiteral("Sorted %1").arg(direction);
    }
    return {};
}

inline const QString& ExpandAction()
{
    static const QString name = QStringLiteral("expand");
    return name;
}
inline const QString& CollapseAction()
{
    static const QString name = QStringLiteral("collapse");
    return name;
}
inline const QString& AddSortLevelAction()
{
    static const QString name = QStringLiteral("add sort level");
    return name;
}
inline const QString& EditAction()
{
    static const QString name = QStringLiteral("edit");
    return name;
}

// A caption of the header.
class CHeaderCellAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    CHeaderCellAccessible(CGridAccessible* table, std::int32_t fieldId) : m_table(table), m_field(fieldId) {}

    CColumn* Column() const
    {
        CHeader* header = m_table->Header();
        return header ? header->GetVisibleColumn(m_field) : nullptr;
    }
    bool isValid() const override { return m_table->Grid() && Column(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_table->window(); }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return m_table; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        CColumn* column = Column();
        if (!column)
            return {};
        if (t == QAccessible::Name)
            return ToQString(column->GetCaption());
        if (t == QAccessible::Description)
            return SortText(m_table->Header(), m_field);
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        CGrid* grid = m_table->Grid();
        CHeader* header = m_table->Header();
        if (!grid || !header || !grid->IsHeaderShown())
            return {};
        CRect cell = header->GetClippedColumnRect(grid, m_field);
        cell.top = 0;
        cell.bottom = header->GetHeight();
        return ToGlobal(grid, cell);
    }
    QAccessible::Role role() const override { return QAccessible::ColumnHeader; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = rect().isEmpty();
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    // A press is a click on the caption, "add sort level" a Ctrl+click: the
    // header's sort rule either way (ApplyHeaderClick).
    QStringList actionNames() const override
    {
        CHeader* header = m_table->Header();
        return header && header->IsSortingEnabled() ? QStringList{pressAction(), AddSortLevelAction()} : QStringList{};
    }
    QString localizedActionDescription(const QString& name) const override
    {
        if (name == pressAction())
            return QStringLiteral("Sorts by this column; again reverses the order");
        if (name == AddSortLevelAction())
            return QStringLiteral("Sorts by this column within the columns sorted by already; again reverses it");
        return QAccessibleActionInterface::localizedActionDescription(name);
    }
    void doAction(const QString& name) override
    {
        if (!isValid() || (name != pressAction() && name != AddSortLevelAction()))
            return;
        m_table->Grid()->SortByColumnClick(m_field, false, name == AddSortLevelAction());
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    CGridAccessible* m_table;
    std::int32_t m_field;
};

// One cell: a row's item and a column's field.
class CCellAccessible final : public QAccessibleInterface,
                              public QAccessibleTableCellInterface,
                              public QAccessibleActionInterface {
public:
    CCellAccessible(CGridAccessible* table, HITEM item, Common::CDataObject* object, std::int32_t fieldId)
        : m_table(table), m_item(item), m_object(object), m_field(fieldId)
    {
    }

    CGrid* Grid() const { return m_table->Grid(); }
    bool IsLead() const { return columnIndex() == m_table->LeadColumn(); }
    // A stale handle may come back for another object's item: the object says.
    bool isValid() const override
    {
        CGrid* grid = Grid();
        return grid && grid->GetVisibleIndex(m_item) >= 0 && grid->GetObject(m_item) == m_object &&
               m_table->ColumnIndexOf(m_field) >= 0;
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_table->window(); }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return m_table; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        if (t == QAccessible::Name || t == QAccessible::Value)
            return PaintedText(Grid(), m_item, m_table->ColumnAt(columnIndex()));
        if (t == QAccessible::Description && IsLead() && m_table->ShowsHierarchy())
            return QStringLiteral("Level %1").arg(Grid()->GetLevel(m_item) + 1);
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override { return isValid() ? ToGlobal(Grid(), Grid()->GetCellRect(m_item, m_field)) : QRect(); }
    QAccessible::Role role() const override
    {
        return m_table->ShowsHierarchy() ? QAccessible::TreeItem : QAccessible::Cell;
    }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        CGrid* grid = Grid();
        if (!isValid())
            return state;
        const int area = grid->GetArea(m_item);
        state.selectable = grid->IsSelectionEnabled() && grid->IsAreaSelectable(area);
        state.selected = grid->IsItemSelected(m_item);
        state.multiSelectable = grid->IsMultiSelectionEnabled();
        state.focusable = grid->IsAreaFocusable(area);
        state.focused = IsLead() && m_table->HasFocusedRow(m_item) && grid->hasFocus();
        state.offscreen = grid->GetRowRect(m_item).IsEmpty();
        if (IsLead() && grid->HasChildren(m_item)) {
            state.expandable = true;
            state.expanded = grid->IsExpanded(m_item);
            state.collapsed = !state.expanded;
        }
        if (IsCheckBox()) {
            state.checkable = true;
            const Common::CValue value = m_object->GetValue(m_field);
            state.checked = value.GetType() == Common::FT_BOOL && value.Get<bool>();
        }
        state.editable = IsEditable();
        state.readOnly = !state.editable;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface*>(this);
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    // QAccessibleTableCellInterface
    bool isSelected() const override { return Grid() && Grid()->IsItemSelected(m_item); }
    QList<QAccessibleInterface*> columnHeaderCells() const override
    {
        QAccessibleInterface* header = m_table->HeaderCell(m_field);
        return header ? QList<QAccessibleInterface*>{header} : QList<QAccessibleInterface*>{};
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_table->ColumnIndexOf(m_field); }
    int rowIndex() const override { return m_table->RowOf(m_item); }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return m_table; }

    // QAccessibleActionInterface: the row's toggle on its lead cell, the
    // double click's behaviour (press), the editor, a check box's toggle.
    QStringList actionNames() const override
    {
        QStringList names;
        if (!isValid())
            return names;
        CGrid* grid = Grid();
        names << pressAction() << setFocusAction();
        if (IsLead() && grid->HasChildren(m_item))
            names << (grid->IsExpanded(m_item) ? CollapseAction() : ExpandAction());
        if (IsCheckBox())
            names << toggleAction();
        else if (IsEditable())
            names << EditAction();
        return names;
    }
    QString localizedActionDescription(const QString& name) const override
    {
        if (name == ExpandAction())
            return QStringLiteral("Shows the row's children");
        if (name == CollapseAction())
            return QStringLiteral("Hides the row's children");
        if (name == EditAction())
            return QStringLiteral("Opens the cell's editor");
        return QAccessibleActionInterface::localizedActionDescription(name);
    }
    void doAction(const QString& name) override
    {
        if (!isValid())
            return;
        CGrid* grid = Grid();
        if (name == pressAction()) {
            // What a double click on the cell does: its editor, else the row's toggle.
            grid->EndEdit(EditNoNavigation);
            if (!grid->BeginEditCell(m_item, m_field, EditStartDoubleClick))
                ToggleRow();
        } else if (name == setFocusAction()) {
            grid->setFocus(Qt::OtherFocusReason);
            grid->SetFocusedRow(grid->GetVisibleIndex(m_item), grid->GetArea(m_item));
            grid->EnsureItemVisible(m_item);
        } else if (name == ExpandAction() || name == CollapseAction()) {
            ToggleRow();
        } else if (name == toggleAction() && IsCheckBox()) {
            // The check box's own edit: it ends at once, writing the negation.
            grid->EndEdit(EditNoNavigation);
            if (!grid->BeginEditCell(m_item, m_field, EditStartClick))
                grid->BeginEditCell(m_item, m_field, EditStartDoubleClick);
        } else if (name == EditAction() && IsEditable()) {
            grid->EndEdit(EditNoNavigation);
            grid->EnsureItemVisible(m_item);
            if (!grid->BeginEditCell(m_item, m_field, EditStartDoubleClick))
                grid->BeginEditCell(m_item, m_field, EditStartClick);
        }
    }
    QStringList keyBindingsForAction(const QString& name) const override
    {
        if (name == ExpandAction())
            return {QStringLiteral("Right")};
        if (name == CollapseAction())
            return {QStringLiteral("Left")};
        return {};
    }

private:
    void ToggleRow()
    {
        CGrid* grid = Grid();
        if (grid->IsExpanded(m_item))
            grid->Collapse(m_item);
        else
            grid->Expand(m_item);
    }
    bool IsEditable() const
    {
        CGrid* grid = Grid();
        return grid->CanEditCell(m_item, m_field, EditStartDoubleClick) ||
               grid->CanEditCell(m_item, m_field, EditStartClick);
    }
    bool IsCheckBox() const
    {
        CGrid* grid = Grid();
        IEditInPlace* editor = grid->GetEditInPlace();
        if (!editor)
            editor = GridDefaults::Instance().GetEditInPlace();
        CColumn* column = m_table->ColumnAt(columnIndex());
        if (!editor || !column)
            return false;
        const EditCell cell = grid->GetEditCell(m_item, m_field);
        return dynamic_cast<CCheckBoxReflector*>(
                   editor->GetReflector(grid, FromHandle(m_item), m_object, column, EditFormatOf(cell))) != nullptr;
    }

    CGridAccessible* m_table;
    HITEM m_item;
    Common::CDataObject* m_object;
    std::int32_t m_field;
};

} // namespace Kestrum::GUI
