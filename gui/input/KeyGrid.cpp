#include "gui/input/KeyGrid.h"

#include "gui/grid/Grid.h"

namespace Kestrum::GUI {

namespace {
// Per thread: a scope opened on the grid's thread is never seen by a
// worker calling the same manager.
thread_local CKeyGridScope* t_innermost = nullptr;
} // namespace

CKeyGridScope::CKeyGridScope(const CGrid& grid, IKeyGrid& direct) noexcept : m_scopeGrid(grid), m_direct(direct), m_outer(t_innermost)
{
    t_innermost = this;
}

CKeyGridScope::~CKeyGridScope() { t_innermost = m_outer; }

IKeyGrid* CKeyGridScope::DirectFor(const CGrid& grid) noexcept
{
    for (CKeyGridScope* scope = t_innermost; scope; scope = scope->m_outer)
        if (&scope->m_scopeGrid == &grid)
            return &scope->m_direct;
    return nullptr;
}

CKeyTarget::CKeyTarget(CGrid& grid) : m_target(CKeyGridScope::DirectFor(grid))
{
    if (!m_target)
        m_target = &m_public.emplace(grid);
}

int CKeyTarget::CPublic::GetRowCount(int area) { return m_publicGrid.GetRowCount(area); }
bool CKeyTarget::CPublic::IsKeyboardArea(int area) { return m_publicGrid.IsKeyboardArea(area); }
int CKeyTarget::CPublic::GetTopRow() { return m_publicGrid.GetTopRow(); }
void CKeyTarget::CPublic::SetTopRow(int row) { m_publicGrid.SetTopRow(row); }
int CKeyTarget::CPublic::GetPageRowCount(bool forward) { return m_publicGrid.GetPageRowCount(forward); }
int CKeyTarget::CPublic::GetFocusedRow() { return m_publicGrid.GetFocusedRow(); }
int CKeyTarget::CPublic::GetFocusedArea() { return m_publicGrid.GetFocusedArea(); }
bool CKeyTarget::CPublic::SetFocusedRow(int row, int area) { return m_publicGrid.SetFocusedRow(row, area); }
void CKeyTarget::CPublic::EnsureVisible(int row) { m_publicGrid.EnsureVisible(row); }
HITEM CKeyTarget::CPublic::GetItemAt(int row, int area) { return m_publicGrid.GetItemAt(row, area); }
HITEM CKeyTarget::CPublic::GetParent(HITEM item) { return m_publicGrid.GetParent(item); }
int CKeyTarget::CPublic::GetVisibleIndex(HITEM item) { return m_publicGrid.GetVisibleIndex(item); }
bool CKeyTarget::CPublic::IsExpanded(HITEM item) { return m_publicGrid.IsExpanded(item); }
void CKeyTarget::CPublic::Expand(HITEM item, bool recursive) { m_publicGrid.Expand(item, recursive); }
void CKeyTarget::CPublic::Collapse(HITEM item, bool recursive) { m_publicGrid.Collapse(item, recursive); }
void CKeyTarget::CPublic::ClearSelection() { m_publicGrid.ClearSelection(); }
void CKeyTarget::CPublic::SelectAll() { m_publicGrid.SelectAll(); }
void CKeyTarget::CPublic::Copy() { m_publicGrid.Copy(); }
void CKeyTarget::CPublic::Cut() { m_publicGrid.Cut(); }
void CKeyTarget::CPublic::Paste() { m_publicGrid.Paste(); }

} // namespace Kestrum::GUI
