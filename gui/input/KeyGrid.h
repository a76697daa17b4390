// IKeyGrid: the grid operations the default key manager runs. A key that
// the grid's own input hands to a key manager on the grid's thread runs
// them directly on the grid (CKeyGridScope names the grid's direct target
// for the length of that call); anywhere else, as when an application calls
// a key manager slot itself, they go through the public CGrid operations,
// which carry a call from another thread to the grid's. Either way the
// manager's slots keep IKeyManager's contract: they are handed a CGrid*.
#pragma once

#include <optional>

#include "gui/grid/GridTypes.h"
#include "gui/grid/SelectionModel.h"
#include "gui/input/GridSelectionRows.h"

namespace Kestrum::GUI {

class CGrid;

class IKeyGrid {
public:
    virtual int GetRowCount(int area) = 0;
    virtual bool IsKeyboardArea(int area) = 0;
    virtual int GetTopRow() = 0;
    virtual void SetTopRow(int row) = 0;
    virtual int GetPageRowCount(bool forward) = 0;
    virtual int GetFocusedRow() = 0;
    virtual int GetFocusedArea() = 0;
    virtual bool SetFocusedRow(int row, int area) = 0;
    virtual void EnsureVisible(int row) = 0;
    virtual HITEM GetItemAt(int row, int area) = 0;
    virtual HITEM GetParent(HITEM item) = 0;
    virtual int GetVisibleIndex(HITEM item) = 0;
    virtual bool IsExpanded(HITEM item) = 0;
    virtual void Expand(HITEM item, bool recursive) = 0;
    virtual void Collapse(HITEM item, bool recursive) = 0;
    virtual void ClearSelection() = 0;
    virtual void SelectAll() = 0;
    virtual void Copy() = 0;
    virtual void Cut() = 0;
    virtual void Paste() = 0;
    virtual CSelectionModel& Selection() = 0;

protected:
    ~IKeyGrid() = default;
};

// The grid's direct target for one key-manager call on the grid's thread;
// scopes nest (a slot that drives another grid's input).
class CKeyGridScope {
public:
    CKeyGridScope(const CGrid& grid, IKeyGrid& direct) noexcept;
    ~CKeyGridScope();
    CKeyGridScope(const CKeyGridScope&) = delete;
    CKeyGridScope& operator=(const CKeyGridScope&) = delete;

    // The direct target of `grid` when a scope for it is open on this thread.
    static IKeyGrid* DirectFor(const CGrid& grid) noexcept;

private:
    const CGrid& m_scopeGrid;
    IKeyGrid& m_direct;
    CKeyGridScope* m_outer;
};

// What a key manager slot runs on: the direct target, else the public grid.
class CKeyTarget {
public:
    explicit CKeyTarget(CGrid& grid);
    IKeyGrid& operator*() noexcept { return *m_target; }

private:
    class CPublic final : public IKeyGrid {
    public:
        explicit CPublic(CGrid& grid) noexcept : m_publicGrid(grid), m_rows(grid), m_selection(m_rows) {}
        int GetRowCount(int area) override;
        bool IsKeyboardArea(int area) override;
        int GetTopRow() override;
        void SetTopRow(int row) override;
        int GetPageRowCount(bool forward) override;
        int GetFocusedRow() override;
        int GetFocusedArea() override;
        bool SetFocusedRow(int row, int area) override;
        void EnsureVisible(int row) override;
        HITEM GetItemAt(int row, int area) override;
        HITEM GetParent(HITEM item) override;
        int GetVisibleIndex(HITEM item) override;
        bool IsExpanded(HITEM item) override;
        void Expand(HITEM item, bool recursive) override;
        void Collapse(HITEM item, bool recursive) override;
        void ClearSelection() override;
        void SelectAll() override;
        void Copy() override;
        void Cut() override;
        void Paste() override;
        CSelectionModel& Selection() override { return m_selection; }

    private:
        CGrid& m_publicGrid;
        CPublicSelectionRows m_rows;
        CSelectionModel m_selection;
    };

    std::optional<CPublic> m_public;
    IKeyGrid* m_target;
};

} // namespace Kestrum::GUI
