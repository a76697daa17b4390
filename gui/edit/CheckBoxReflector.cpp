#include "gui/edit/CheckBoxReflector.h"

#include "common/DataObject.h"
#include "common/Format.h"
#include "gui/grid/Grid.h"
#include "gui/edit/EditPainting.h"
#include "gui/header/Column.h"
#include "gui/paint/DrawContext.h"

namespace Kestrum::GUI {

bool CCheckBoxReflector::IsApplicable(const Common::CFormat* format) const
{
    return format && format->GetValueType() == Common::FT_BOOL;
}

bool CCheckBoxReflector::CreateControl(const EditCell& cell, Common::CFormat*)
{
    if (!cell.grid || !cell.item || !cell.column)
        return false;
    // The edit ends as soon as the event that started it is handled: a click
    // writes, anything else (navigation) does not, so no key or later click
    // can flip the value by surprise.
    const bool byClick = cell.reason == EditStartClick || cell.reason == EditStartDoubleClick;
    cell.grid->PostEndEditOfCell(ToHandle(cell.item), cell.Field(), byClick ? EditCommit : EditNoNavigation);
    return true;
}

bool CCheckBoxReflector::ApplyValue(const EditCell& cell, std::uint32_t)
{
    if (!cell.grid || !cell.item || !cell.object || !cell.column)
        return false;
    const Common::CValue value = cell.object->GetValue(cell.Field());
    if (value.GetType() != Common::FT_BOOL)
        return false;
    return cell.grid->SetCellValue(ToHandle(cell.item), cell.Field(), Common::CValue(!value.Get<bool>()));
}

bool CCheckBoxReflector::CloseControl(CGrid*, std::uint32_t, CColumn*) { return true; }

bool CCheckBoxReflector::IsClickActivated(const EditCell& cell, CGrid*)
{
    return cell.object && cell.column && cell.object->GetFieldType(cell.Field()) == Common::FT_BOOL;
}

std::uint32_t CCheckBoxReflector::AdjustPaintFlags(std::uint32_t flags) { return flags & ~static_cast<std::uint32_t>(PaintText); }

void CCheckBoxReflector::PaintCell(CellDrawContext& context, PaintState& state)
{
    if (!context.column || !context.row || !context.row->object || !state.dc)
        return;
    const Common::CValue value = context.row->object->GetValue(context.column->GetFieldId());
    if (value.GetType() != Common::FT_BOOL)
        return;
    const std::int32_t alignment = ResolveAlignment(context.column->GetAlignment(), Common::FT_BOOL);
    PaintCheckBox(*state.dc, context.fullRect, alignment, value.Get<bool>());
}

} // namespace Kestrum::GUI
