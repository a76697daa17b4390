// The grid as assistive technology sees it: a table (a tree while the grid
// shows its hierarchy) whose rows are the fixed rows, then the scrollable
// ones, in screen order; whose columns are the header's visible columns;
// and whose children are the header's captions, then the cells row by row.
//
// Everything is read through the grid's public operations and the selection
// model's row numbering; a cell's name is the text the paint pass draws for
// it (CellText with the context MakeCellContext builds).
//
// Cells are named by (item, field), so a cell keeps its identity while rows
// move; a cell whose item left the rows (or whose handle now names another
// object's item) is invalid and is dropped when the rows next change.
//
// Changes are announced coalesced: the grid's notifications (GridAccessNotify.h)
// only mark what changed; a zero-time timer then sends at most one focus
// event, one selection event, one value change over the changed rows, and
// the expanded state of the rows that were toggled. A change of the rows
// themselves (a walk adds thousands a second) sends one model reset, and no
// more than one per kRowsChangeSpacingMs on the grid clock.
//
// GUI thread only.
#pragma once

#include "gui/platform/Export.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPair>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <vector>

#include "gui/grid/GridTypes.h"

namespace Kestrum::Common {
class CDataObject;
}

namespace Kestrum::GUI {

class CGrid;
class CColumn;
class CHeader;

class KESTRUM_GUI_EXPORT CGridAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    static constexpr int kRowsChangeSpacingMs = 100;
    // How many toggled rows a tick announces one by one; beyond, the model
    // reset says it.
    static constexpr std::size_t kMaxAnnouncedToggles = 32;

    explicit CGridAccessible(CGrid* grid);
    ~CGridAccessible() override;

    // Sees every event the grids announce, before Qt hands it to the
    // platform's bridge (which drops it while no screen reader listens);
    // returns the previous observer. For logging, and for tests on
    // platforms without a bridge.
    using EventObserver = void (*)(QAccessibleEvent* event);
    static EventObserver SetEventObserver(EventObserver observer);

    // The interface of a grid (null when none was made yet).
    static CGridAccessible* Of(const CGrid* grid);

    CGrid* Grid() const { return m_grid; }
    CHeader* Header() const;
    // The visible column at an index (null when none).
    CColumn* ColumnAt(int column) const;
    int ColumnIndexOf(std::int32_t fieldId) const;
    // The column that carries a row's states and actions: the tree column
    // while it is visible, else the first.
    int LeadColumn() const;
    bool ShowsHierarchy() const;
    // Rows in screen order over both areas.
    HITEM ItemAtRow(int row) const;
    int RowOf(HITEM item) const;
    bool HasFocusedRow(HITEM item) const;

    // The cell of an item and a field (made and registered on first use).
    QAccessibleInterface* Cell(HITEM item, std::int32_t fieldId) const;
    QAccessibleInterface* HeaderCell(std::int32_t fieldId) const;
    // The focused row's lead cell (null: no focus).
    QAccessibleInterface* FocusedCell() const;

    // What the grid's notifications mark.
    void OnItemEvent(int code, HITEM item);
    void OnRowsChanged();
    void OnHeaderChanged(int code);
    void Forget();
    // Sends what is pending now (the timer's job; tests may call it).
    void Flush();

    // QAccessibleInterface
    bool isValid() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* focusChild() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTableInterface
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override;
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override;
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

private:
    bool HeaderShown() const;
    // The editor (and the part of it that took the focus) is named after its
    // column and described by its row, as it takes the keyboard.
    void NameEditor(QWidget* focused);
    void Schedule();
    // Drops the cells whose item left the rows.
    void SweepCells();
    void DeleteAllCells();

    CGrid* m_grid; // null once the grid is being destroyed
    const CGrid* m_registryKey;
    QTimer m_timer;
    // (item, field) → the registered cell; field → the header's caption.
    mutable QHash<QPair<quintptr, std::int32_t>, QAccessible::Id> m_cells;
    mutable QHash<std::int32_t, QAccessible::Id> m_headerCells;

    bool m_focusPending = false;
    bool m_selectionPending = false;
    bool m_rowsPending = false;
    std::int64_t m_lastRowsChange = -1; // grid clock; -1 never
    std::vector<HITEM> m_toggled;
    std::vector<HITEM> m_updated;
    bool m_updatedOverflow = false;
    QAccessible::Id m_announcedFocus = 0;
};

} // namespace Kestrum::GUI
