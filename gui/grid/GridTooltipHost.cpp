#include "gui/grid/GridTooltipHost.h"

#include <QWidget>

#include "gui/grid/GridImpl.h"
#include "gui/paint/PaintPass.h"
#include "gui/platform/KeyCodes.h"

namespace Kestrum::GUI {

CGrid* CGridTooltipHost::Owner() const { return m_grid.owner; }
QWidget* CGridTooltipHost::Viewport() const { return m_grid.Viewport(); }
const QFont& CGridTooltipHost::Font() const { return m_grid.Font(); }
std::uint32_t CGridTooltipHost::PaintFlags() const { return m_grid.settings.paintFlags; }

const TooltipSettings& CGridTooltipHost::SettingsOf(int kind) const
{
    return kind == TooltipInPlace ? m_grid.settings.tooltipInPlace : m_grid.settings.tooltipRegular;
}

bool CGridTooltipHost::CellAt(CPoint point, TooltipHostCell& cell)
{
    CHeader* header = m_grid.header;
    if (!header || (m_grid.settings.headerShown && point.y < m_grid.HeaderHeight()))
        return false;
    int area = 0, row = -1;
    if (!m_grid.HitRow(point, area, row) || row < 0)
        return false;
    CGridItem* item = m_grid.rows.TreeOfArea(area)->GetItemAt(row);
    CColumn* column = header->HitTestColumn(m_grid.owner, point.x, point.y);
    if (!item || !column)
        return false;
    // What the paint pass would hand this cell's paint format.
    PaintState& state = cell.state;
    state.grid = m_grid.owner;
    state.header = header;
    state.clipRect = m_grid.Client();
    state.images = m_grid.cellImages;
    state.stretchImages = m_grid.settings.stretchImages;
    if (!m_grid.background.picture.isNull()) {
        state.hasBackground = true;
        state.backgroundArea = m_grid.BackgroundArea();
        state.backgroundTransparency = m_grid.background.transparency;
    }
    state.focusedRowKey = m_grid.focus.area;
    state.focusedRowIndex = m_grid.focus.row;
    state.scroll = m_grid.owner;
    state.appearance = &m_grid.settings.appearance;
    state.highlightEnabled = m_grid.settings.highlightEnabled;
    state.now = GridClockNow();
    cell.row = MakeRowContext(m_grid.PassOf(), state, PassRow{area, row, item, m_grid.RowRect(area, row)});
    cell.context = MakeCellContext(state, cell.row, column, m_grid.Draw());
    cell.format = m_grid.Draw()->GetCellPaintFormat(column, cell.row.object, item, area, row);
    return true;
}

bool CGridTooltipHost::CouldEditCell(CellDrawContext& cell, PaintState& state)
{
    return m_grid.edit && m_grid.edit->CouldEditCell(m_grid.owner, cell, state);
}

void CGridTooltipHost::DispatchHover(CPoint point)
{
    InputMessage hover;
    hover.kind = InputMouseHover;
    hover.x = static_cast<std::int16_t>(point.x);
    hover.y = static_cast<std::int16_t>(point.y);
    m_grid.input->Dispatch(hover, nullptr);
}

void CGridTooltipHost::StartAutoHide(int milliseconds) { m_grid.timers[TimerTooltip].start(milliseconds, m_grid.owner); }
void CGridTooltipHost::StopAutoHide() { m_grid.timers[TimerTooltip].stop(); }

} // namespace Kestrum::GUI
