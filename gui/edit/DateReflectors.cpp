#include "gui/edit/DateReflectors.h"

#include <QApplication>

#include "common/DataObject.h"
#include "common/DateFormats.h"
#include "gui/edit/EmbeddedControlAdapter.h"
#include "gui/edit/EmbeddedDateTimeCtrl.h"
#include "gui/grid/Grid.h"
#include "gui/platform/DeviceContext.h"
#include "gui/platform/KeyCodes.h"

namespace Kestrum::GUI {

namespace {
DateTimeEditorFactory& Factory()
{
    static DateTimeEditorFactory factory;
    return factory;
}
// Without a date format of the library's own: day, month and two-digit year.
constexpr std::int32_t kDefaultDateFlags = Common::DF_YEAR2 | Common::DF_MONTH | Common::DF_DAY;
} // namespace

void SetDateTimeEditorFactory(DateTimeEditorFactory factory) { Factory() = std::move(factory); }

namespace {
IDateTimeEditor* MakeEditor(QWidget* parent, std::int32_t flags)
{
    if (Factory())
        return Factory()(parent, flags);
    return new CEmbeddedDateTimeCtrl(flags, parent);
}
} // namespace

bool CInt64DateReflector::IsApplicable(const Common::CFormat* format) const
{
    return format && format->GetValueType() == Common::FT_INT64 && format->IsDateTimeFormat();
}

std::int32_t CInt64DateReflector::EditorFlags(const Common::CFormat* format) const
{
    const auto* date = dynamic_cast<const Common::CInt64DateFormat*>(format);
    return date ? date->GetFlags() : kDefaultDateFlags;
}

bool CLongDateTimeReflector::IsApplicable(const Common::CFormat* format) const
{
    return format && format->GetValueType() == Common::FT_LONG && format->IsDateTimeFormat();
}

std::int32_t CLongDateTimeReflector::EditorFlags(const Common::CFormat* format) const
{
    const auto* date = dynamic_cast<const Common::CLongDateFormat*>(format);
    return (date ? date->GetDateFlags() : kDefaultDateFlags) & 0x7F;
}

bool CDateReflector::CreateControl(const EditCell& cell, Common::CFormat* format)
{
    if (!cell.grid || !cell.item || !cell.object || !cell.column)
        return false;
    IDateTimeEditor* editor = MakeEditor(cell.grid->viewport(), EditorFlags(format));
    QWidget* window = editor ? editor->Window() : nullptr;
    if (!window)
        return false;
    window->setFocusPolicy(Qt::StrongFocus);
    const Common::CValue current = cell.object->GetValue(cell.Field());
    if (Kind() == IDateTimeEditor::FileTime && current.GetType() == Common::FT_INT64)
        editor->SetValue(Kind(), current.Get<std::int64_t>());
    else if (Kind() == IDateTimeEditor::SecondsSince1970 && current.GetType() == Common::FT_LONG)
        editor->SetValue(Kind(), current.Get<std::int32_t>());
    if (!PlaceControl(cell, window)) // deletes the window, and the editor with it
        return false;
    m_editors[cell.grid] = editor;
    if (cell.reason == EditStartClick || cell.reason == EditStartDoubleClick)
        editor->PassMousePress(window->mapFromParent(QPoint(cell.pointer.x, cell.pointer.y)));
    return true;
}

bool CDateReflector::FilterInput(const EditCell&, int code)
{
    // The editor steps its segments with Up and Down and moves among them
    // with Left and Right; with Ctrl or Shift (which it ignores) they move
    // to the neighbouring cell.
    switch (code) {
    case EditUp:
    case EditDown:
    case EditLeft:
    case EditRight: return IsKeyDown(KeyControl) || IsKeyDown(KeyShift);
    default: return true;
    }
}

bool CDateReflector::ApplyValue(const EditCell& cell, std::uint32_t)
{
    const auto it = m_editors.find(cell.grid);
    if (it == m_editors.end() || !ControlOf(cell.grid) || !cell.object || !cell.item || !cell.column)
        return false; // no editor, or its window went with it
    std::int64_t edited = 0;
    if (!it->second->GetValue(Kind(), edited))
        return false;
    const Common::CValue value = Kind() == IDateTimeEditor::FileTime ? Common::CValue(edited)
                                                                     : Common::CValue(static_cast<std::int32_t>(edited));
    if (cell.object->GetValue(cell.Field()) == value)
        return false;
    return cell.grid->SetCellValue(ToHandle(cell.item), cell.Field(), value);
}

bool CDateReflector::CloseControl(CGrid* grid, std::uint32_t flags, CColumn* column)
{
    m_editors.erase(grid);
    return CDropDownReflector::CloseControl(grid, flags, column);
}

} // namespace Kestrum::GUI
