#include "gui/edit/EnumReflector.h"

#include "common/DataObject.h"
#include "common/EnumFormat.h"
#include "gui/edit/EditPainting.h"
#include "gui/edit/EmbeddedCombo.h"
#include "gui/grid/Grid.h"
#include "gui/header/Column.h"

namespace Kestrum::GUI {

// --- the drop-down button --------------------------------------------------------------

bool CDropDownReflector::IsClickActivated(const EditCell& cell, CGrid*)
{
    if (!cell.rect.Contains(cell.pointer) || cell.buttonsDown || !IsApplicable(EditFormatOf(cell)))
        return false;
    return CellAllowsEditing(cell);
}

void CDropDownReflector::PaintCell(CellDrawContext& context, PaintState& state)
{
    if (state.dc)
        PaintDropDownButton(*state.dc, context.fullRect);
}

bool CDropDownReflector::HitTestButton(const EditCell& cell, QWidget*)
{
    return !cell.rect.IsEmpty() && DropDownButtonRect(cell.rect).Contains(cell.pointer);
}

// --- the enumeration ------------------------------------------------------------------------

bool CLongEnumReflector::IsApplicable(const Common::CFormat* format) const
{
    return format && format->GetValueType() == Common::FT_LONG && format->IsEnumFormat();
}

bool CLongEnumReflector::CreateControl(const EditCell& cell, Common::CFormat* format)
{
    if (!cell.grid || !cell.item || !cell.object || !cell.column)
        return false;
    auto* combo = new CEmbeddedCombo(cell.grid->viewport());
    if (const auto* items = IsFormatClass(format, "Common::CLongEnumFormat") ? dynamic_cast<const Common::CLongEnumFormat*>(format)
                                                                               : nullptr) {
        std::vector<Common::CLongEnumFormat::Item> list;
        items->GetItems(list);
        for (const auto& [value, text] : list)
            combo->AddItem(text, value);
    }
    const Common::CValue current = cell.object->GetValue(cell.Field());
    combo->setCurrentIndex(current.GetType() == Common::FT_LONG ? combo->FindValue(current.Get<std::int32_t>()) : -1);
    return PlaceControl(cell, combo);
}

bool CLongEnumReflector::ApplyValue(const EditCell& cell, std::uint32_t)
{
    auto* combo = qobject_cast<CEmbeddedCombo*>(ControlOf(cell.grid));
    std::int32_t value = 0;
    if (!combo || !cell.item || !cell.column || !combo->GetSelectedValue(value))
        return false;
    return cell.grid->SetCellValue(ToHandle(cell.item), cell.Field(), Common::CValue(value));
}

} // namespace Kestrum::GUI
