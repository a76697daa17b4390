#include "gui/grid/GridEditHost.h"

#include "gui/grid/GridImpl.h"

namespace Kestrum::GUI {

CGrid* CGridEditHost::Owner() const { return m_grid.owner; }
QWidget* CGridEditHost::Viewport() const { return m_grid.Viewport(); }
CHeader* CGridEditHost::Header() const { return m_grid.header; }
const EditSettings& CGridEditHost::Settings() const { return m_grid.settings.edit; }
CRect CGridEditHost::Client() const { return m_grid.Client(); }
int CGridEditHost::HeaderHeight() const { return m_grid.HeaderHeight(); }

CGridItem* CGridEditHost::ItemAt(CPoint point)
{
    int area = 0, row = -1;
    if (!m_grid.HitRow(point, area, row) || row < 0)
        return nullptr;
    return m_grid.rows.TreeOfArea(area)->GetItemAt(row);
}

CRect CGridEditHost::CellRect(CGridItem* item, Common::FieldId field) { return m_grid.CellRect(item, field); }
int CGridEditHost::RowIndexOf(CGridItem* item) { return m_grid.rows.RowIndexOf(item); }
std::uint64_t CGridEditHost::RemovalCount() const { return m_grid.rows.GetRemovalCount(); }
bool CGridEditHost::IsAlive(CGridItem* item) { return m_grid.rows.Validate(ToHandle(item)) != nullptr; }
void CGridEditHost::BringIntoView(CGridItem* item) { m_grid.BringIntoView(m_grid.rows.RowIndexOf(item)); }

void CGridEditHost::RepaintCell(CGridItem* item, Common::FieldId field)
{
    if (item && item->HasRow())
        m_grid.RepaintCell(item->GetTree()->GetKind(), m_grid.rows.RowIndexOf(item), field);
}

void CGridEditHost::UpdateViewport() { m_grid.UpdateViewport(); }

void CGridEditHost::Notify(const GridEditNotification& notification)
{
    if (m_grid.notificationsEnabled && m_grid.listener)
        m_grid.listener->OnGridEditNotification(notification);
}

} // namespace Kestrum::GUI
