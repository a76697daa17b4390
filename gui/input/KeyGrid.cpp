#include "gui/input/KeyGrid.h"

#include "gui/grid/Grid.h"

namespace Kestrum::GUI {

namespace {
// Per thread: a scope opened on the grid's thread is never seen by a
// worker calling the same manager.
thread_local CKeyGridScope* t_innermost = nullptr;
} // namespace

CKeyGridScope::CKeyGridScope(const CGrid& grid, IKeyGrid& direct) noexcept : m_grid(grid), m_direct(direct), m_outer(t_innermost)
{
    t_innermost = this;
}

CKeyGridScope::~CKeyGridScope() { t_innermost = m_outer; }

IKeyGrid* CKeyGridScope::DirectFor(const CGrid& grid) noexcept
{
    for (CKeyGridScope* scope = t_innermost; scope; scope = scope->m_outer)
        if (&scope->m_grid == &grid)
            return &scope->m_direct;
    return nullptr;
}

CKeyTarget::CKeyTarget(CGrid& grid) : m_target(CKeyGridScope::DirectFor(grid))
{
    if (!m_target)
        m_target = &m_public.emplace(grid);
}

int CKeyTarget::CPublic::GetRowCount(int area) { return m_grid.GetRowCount(area); }
bool CKeyTarget::CPublic::IsKeyboardArea(int area) { return m_grid.IsKeyboardArea(area); }
int CKeyTarget::CPublic::GetTopRow() { return m_grid.GetTopRow(); }
void CKeyTarget::CPublic::SetTopRow(int row) { m_grid.SetTopRow(row); }
int CKeyTarget::CPublic::GetPageRowCount(bool forward) { return m_grid.GetPageRowCount(forward); }
int CKeyTarget::CPublic::GetFocusedRow() { return m_grid.GetFocusedRow(); }
int CKeyTarget::CPublic::GetFocusedArea() { return m_grid.GetFocusedArea(); }
bool CKeyTarget::CPublic::SetFocusedRow(int row, int area) { return m_grid.SetFocusedRow(row, area); }
void CKeyTarget::CPublic::EnsureVisible(int row) { m_grid.EnsureVisible(row); }
HITEM CKeyTarget::CPublic::GetItemAt(int row, int area) { return m_grid.GetItemAt(row, area); }
HITEM CKeyTarget::CPublic::GetParent(HITEM item) { return m_grid.GetParent(item); }
int CKeyTarget::CPublic::GetVisibleIndex(HITEM item) { return m_grid.GetVisibleIndex(item); }
bool CKeyTarget::CPublic::IsExpanded(HITEM item) { return m_grid.IsExpanded(item); }
void CKeyTarget::CPublic::Expand(HITEM item, bool recursive) { m_grid.Expand(item, recursive); }
void CKeyTarget::CPublic::Collapse(HITEM item, bool recursive) { m_grid.Collapse(item, recursive); }
void CKeyTarget::CPublic::ClearSelection() { m_grid.ClearSelection(); }
void CKeyTarget::CPublic::SelectAll() { m_grid.SelectAll(); }
void CKeyTarget::CPublic::Copy() { m_grid.Copy(); }
void CKeyTarget::CPublic::Cut() { m_grid.Cut(); }
void CKeyTarget::CPublic::Paste() { m_grid.Paste(); }

} // namespace Kestrum::GUI
