#include "gui/tooltip/TooltipSource.h"

#include "gui/paint/CustomDraw.h"

namespace Kestrum::GUI {

namespace {
bool HasObjectAndColumn(const CellDrawContext& cell) { return cell.column && cell.row && cell.row->object; }
} // namespace

CTooltip& CTooltip::Shared()
{
    static CTooltip shared;
    return shared;
}

bool CTooltip::HasTooltip(CGrid*, CellDrawContext& cell)
{
    return HasObjectAndColumn(cell) && !CellText(cell).isEmpty();
}

QString CTooltip::GetTooltipText(CGrid*, CellDrawContext& cell)
{
    return HasObjectAndColumn(cell) ? CellText(cell) : QString();
}

} // namespace Kestrum::GUI
