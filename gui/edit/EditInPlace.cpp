#include "gui/edit/EditInPlace.h"

#include <QLineEdit>
#include <QVariant>

#include "common/DataObject.h"
#include "common/FormatRegistry.h"
#include "gui/edit/ControlReflector.h"
#include "gui/edit/EmbeddedCombo.h"
#include "gui/grid/CellFormat.h"
#include "gui/grid/Grid.h"
#include "gui/grid/GridItem.h"
#include "gui/header/Header.h"
#include "gui/platform/DeviceContext.h"
#include "gui/platform/KeyCodes.h"
#include "gui/platform/QtText.h"

namespace Kestrum::GUI {

namespace {
// The neighbouring-cell search gives up after this many candidates.
constexpr int kNeighbourSteps = 1000;
constexpr int kAway = -10000;

// The format the paint pass shows the cell with, else the type's default.
Common::CFormat* PaintFormatOf(const CellDrawContext& context)
{
    // A custom draw may have put a format of its own into the context.
    if (context.format)
        return context.format;
    if (!context.column || !context.row)
        return nullptr;
    return CellFormatOf(context.column, context.row->object, context.column->GetFieldId(), FormatFallback::TypeDefault);
}
} // namespace

IControlReflector* CEditInPlace::ActiveReflector(CGrid* grid) const
{
    const auto it = m_active.find(grid);
    return it == m_active.end() ? nullptr : it->second;
}

IControlReflector* CEditInPlace::GetReflector(CGrid*, CGridItem*, Common::CDataObject*, CColumn*, Common::CFormat* format)
{
    return FindReflector(format);
}

bool CEditInPlace::CanEdit(const EditCell& cell, int reason)
{
    if (!CellAllowsEditing(cell))
        return false;
    IControlReflector* reflector = GetReflector(cell.grid, cell.item, cell.object, cell.column, EditFormatOf(cell));
    if (reason == EditStartNavigation)
        // Navigation passes over cells edited without a control (a check
        // box): arriving there would flip nothing, and leaving would need a key.
        return cell.settings.navigateOnExit != 0 && !(reflector && !reflector->HasControl());
    const std::int32_t mode = cell.settings.startMode;
    if (mode != 1)
        return mode != 0 || reason == EditStartClick;
    if (reason == EditStartDoubleClick)
        return true;
    // A single click starts an edit only on the reflector's button (a drop-down
    // list's, a date's). A check box has none: a click that selects its row
    // never changes the value; a double click toggles it.
    return reason == EditStartClick && reflector && cell.settings.clickOnButton && reflector->HitTestButton(cell, nullptr);
}

bool CEditInPlace::BeginEdit(const EditCell& cell, int reason, Common::CFormat* format)
{
    IControlReflector* reflector = GetReflector(cell.grid, cell.item, cell.object, cell.column, format);
    if (!reflector || !cell.grid)
        return false;
    m_active[cell.grid] = reflector;
    EditCell starting = cell;
    starting.reason = reason;
    if (!reflector->CreateControl(starting, format)) {
        m_active.erase(cell.grid);
        return false;
    }
    return true;
}

bool CEditInPlace::FilterInput(const EditCell& cell, int code)
{
    IControlReflector* reflector = ActiveReflector(cell.grid);
    if (reflector && !reflector->FilterInput(cell, code))
        return false;
    // In a drop-down list the arrows move among the items.
    if ((code == EditUp || code == EditDown) && !IsKeyDown(KeyControl) && !IsKeyDown(KeyShift) &&
        qobject_cast<CEmbeddedCombo*>(cell.grid ? cell.grid->GetEditControl() : nullptr))
        return false;
    switch (code) {
    case EditUp:
    case EditDown:
    case EditLeft:
    case EditRight:
    case EditTab:
    case EditShiftTab:
    case EditWheelForward:
    case EditWheelBackward: {
        EditNeighbour neighbour;
        return FindNeighbour(cell, code, neighbour);
    }
    case EditEnter:
    case EditEscape:
    case EditRightDown:
    case EditLeftDoubleClick:
    case EditRightDoubleClick:
    case EditSelectionConfirmed:
    case EditSelectionCancelled:
    case EditFocusLost:
    case EditCommit: return true;
    default: return false;
    }
}

void CEditInPlace::OnControlCreated(const EditCell& cell, QWidget*)
{
    if (IControlReflector* reflector = ActiveReflector(cell.grid))
        reflector->OnControlCreated(cell);
}

void CEditInPlace::EndEdit(const EditCell& cell, int code, QWidget* control, Common::CFormat* format)
{
    if (IControlReflector* reflector = ActiveReflector(cell.grid)) {
        m_active.erase(cell.grid);
        if (cell.object && cell.column && CommitsOn(code))
            reflector->ApplyValue(cell, 0);
        reflector->CloseControl(cell.grid, 0, cell.column);
        return;
    }
    if (!control)
        return;
    // An application's own editor window: its text goes through the field's
    // text setter.
    control->move(kAway, kAway);
    if (CommitsOn(code) && cell.object && cell.column) {
        const QVariant text = control->property("text");
        if (text.isValid())
            cell.object->SetValueText(cell.Field(), ToCString(text.toString()), format);
    }
    control->deleteLater();
}

void CEditInPlace::Navigate(const EditCell& cell, int code)
{
    EditNeighbour neighbour;
    if (cell.grid && FindNeighbour(cell, code, neighbour))
        cell.grid->BeginEditCell(ToHandle(neighbour.item), neighbour.field, EditStartNavigation);
}

bool CEditInPlace::CommitsOn(int code)
{
    switch (code) {
    case EditEnter:
    case EditUp:
    case EditDown:
    case EditLeft:
    case EditRight:
    case EditTab:
    case EditShiftTab:
    case EditCtrlTab:
    case EditLeftDoubleClick:
    case EditSelectionConfirmed:
    case EditFocusLost:
    case EditCommit: return true;
    default: return false;
    }
}

bool CEditInPlace::FindNeighbour(const EditCell& cell, int code, EditNeighbour& neighbour)
{
    CGrid* grid = cell.grid;
    CHeader* header = grid ? grid->GetHeader() : nullptr;
    if (!header || !cell.item || !cell.column)
        return false;
    const std::vector<CColumn*> columns = header->GetVisibleColumns();
    auto editableFrom = [&](int start, int step) -> int {
        for (int index = start; index >= 0 && index < static_cast<int>(columns.size()); index += step)
            if (columns[static_cast<std::size_t>(index)]->IsEditable())
                return index;
        return -1;
    };
    HITEM item = ToHandle(cell.item);
    Common::FieldId field = cell.Field();
    for (int step = 0; step < kNeighbourSteps; ++step) {
        const int index = header->GetVisibleIndex(field);
        if (index < 0)
            return false;
        int column = -1;
        HITEM row = 0;
        switch (code) {
        case EditUp:
        case EditWheelForward:
            column = index;
            row = grid->GetPrevRow(item, true);
            break;
        case EditDown:
        case EditWheelBackward:
            column = index;
            row = grid->GetNextRow(item, true);
            break;
        case EditLeft:
        case EditShiftTab:
            column = editableFrom(index - 1, -1);
            row = item;
            if (column < 0 && code == EditShiftTab) { // the last column of the row before
                column = static_cast<int>(columns.size()) - 1;
                row = grid->GetPrevRow(item, true);
            }
            break;
        case EditRight:
        case EditTab:
            column = editableFrom(index + 1, 1);
            row = item;
            if (column < 0 && code == EditTab) { // the first column of the next row
                column = columns.empty() ? -1 : 0;
                row = grid->GetNextRow(item, true);
            }
            break;
        case EditHome:
            column = editableFrom(0, 1);
            row = item;
            break;
        case EditEnd:
            column = editableFrom(static_cast<int>(columns.size()) - 1, -1);
            row = item;
            break;
        default: return false; // the page keys and the rest: no neighbour
        }
        if (column < 0 || row == 0)
            return false;
        item = row;
        field = columns[static_cast<std::size_t>(column)]->GetFieldId();
        if (CanEdit(grid->GetEditCell(item, field), EditStartNavigation)) {
            neighbour = {FromHandle(item), field};
            return true;
        }
    }
    return false;
}

EditCell CEditInPlace::CellOfPaint(const CellDrawContext& context, const PaintState& state) const
{
    EditCell cell;
    cell.grid = state.grid;
    cell.item = context.row ? context.row->item : nullptr;
    cell.object = context.row ? context.row->object : nullptr;
    cell.column = context.column;
    cell.rect = context.fullRect;
    if (state.edit) {
        cell.pointer = state.edit->pointer;
        cell.buttonsDown = state.edit->buttonsDown;
        cell.editing = state.edit->editing;
        if (state.edit->settings)
            cell.settings = *state.edit->settings;
    }
    return cell;
}

void CEditInPlace::PaintDecoration(CellDrawContext& context, PaintState& state, std::uint32_t)
{
    if (!state.edit || !state.dc || !context.column || !context.row || !context.row->item)
        return;
    const EditPaintInfo& info = *state.edit;
    const EditCell cell = CellOfPaint(context, state);
    IControlReflector* reflector = GetReflector(cell.grid, cell.item, cell.object, cell.column, PaintFormatOf(context));
    const bool pointerHere = info.hotItem == cell.item && info.hotField == cell.Field() && cell.rect.Contains(info.pointer);
    if (pointerHere && !info.editing && !info.buttonsDown && cell.settings.hotFrame &&
        CanEdit(cell, cell.settings.startMode == 1 ? EditStartDoubleClick : EditStartClick))
        state.dc->FrameRect(context.visibleRect.Intersected(context.fullRect), cell.settings.hotFrameColor);
    if (reflector && reflector->IsClickActivated(cell, cell.grid))
        reflector->PaintCell(context, state);
}

std::uint32_t CEditInPlace::AdjustPaintFlags(CellDrawContext& context, PaintState&, std::uint32_t flags)
{
    if (!context.column || !context.row || !context.row->item)
        return flags;
    IControlReflector* reflector = GetReflector(nullptr, context.row->item, context.row->object, context.column, PaintFormatOf(context));
    return reflector ? reflector->AdjustPaintFlags(flags) : flags;
}

} // namespace Kestrum::GUI
