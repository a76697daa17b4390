// CSelectionModel: the selection rules of the grid, written once. Which rows
// a plain, Shift or Ctrl move or click selects, ranges that run from the
// fixed rows into the scrollable ones and the rubber band's rows are
// decided here and nowhere else; keys, mouse, search, drop and paste
// ask the model.
//
// The model reads and changes the rows through ISelectionRows, so the same
// rules serve a key manager (which speaks to the grid through its public
// operations) and the grid's own input (which holds its rows directly), and
// they run without a window. It keeps no row state of its own: the selected
// set stays in the row trees, the focus in the grid. Every call is made on
// the grid's thread.
//
// Rows are named by position (row index within an area, area). Display
// order over both areas is the fixed rows, then the scrollable ones; an
// ordinal is a row's index in that order (OrdinalOf, AtOrdinal).
#pragma once

#include <vector>

#include "gui/grid/GridTypes.h"

namespace Kestrum::GUI {

// A row by its index within an area; none when the index or the area is.
struct RowPosition {
    int row = -1;
    int area = 0;

    bool IsNone() const noexcept { return row < 0 || area == 0; }
    friend bool operator==(const RowPosition&, const RowPosition&) = default;
};

// What the selection rules read and change of a grid's rows.
class KESTRUM_GRIDCORE_EXPORT ISelectionRows {
public:
    virtual ~ISelectionRows() = default;
    virtual int GetRowCount(int area) const = 0;
    virtual bool IsRowSelected(RowPosition position) const = 0;
    // False where the grid refuses (selection off, an area that may not be
    // selected, a second row while multi-selection is off, no such row).
    virtual bool SelectRow(RowPosition position, bool select) = 0;
    virtual void ClearSelection() = 0;
};

class KESTRUM_GRIDCORE_EXPORT CSelectionModel {
public:
    explicit CSelectionModel(ISelectionRows& rows) noexcept : m_rows(rows) {}

    // Display order over both areas.
    int OrdinalOf(RowPosition position) const;
    RowPosition AtOrdinal(int ordinal) const;

    // A plain move or click: the target alone is selected (nothing is when
    // the target is none). True when the target is selected.
    bool SelectOnly(RowPosition target);
    // The rows, in any order and from either area, replace the selection
    // (the rows a drop put in place).
    void SelectOnlyRows(const std::vector<RowPosition>& targets);
    // The row joins the selection (the pressed row of a drag).
    bool Select(RowPosition target);
    // Ctrl with a click: the row's state flips.
    void Toggle(RowPosition target);
    // Every row from one to the other in display order, both included, is
    // selected; rows outside are left as they are.
    void SelectRange(RowPosition from, RowPosition to);
    // Shift with a click: the range from the focus (the anchor) to the
    // target replaces the selection.
    void SelectOnlyRange(RowPosition anchor, RowPosition target);
    // Shift with a one-row step: the row left behind stays selected only if
    // it was and the target was not, so stepping back into a block shrinks it.
    void ExtendByStep(RowPosition old, RowPosition target);
    // Shift with a jump (page keys, Home, End): walks from the target to the
    // old focus selecting until it meets a row that was selected already,
    // deselecting from there on, so the block keeps the end it was anchored at.
    void ExtendByRange(RowPosition old, RowPosition target);
    // The rubber band over one area covered rows oldFirst..oldLast and now
    // covers first..last (-1, -1 for none): only rows whose state changes
    // are touched.
    void MoveBand(int area, int oldFirst, int oldLast, int first, int last);

private:
    ISelectionRows& m_rows;
};

} // namespace Kestrum::GUI
