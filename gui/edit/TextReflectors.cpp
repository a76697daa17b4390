#include "gui/edit/TextReflectors.h"

#include <QLineEdit>
#include <cstring>

#include "common/DataObject.h"
#include "gui/edit/NumericEdit.h"
#include "gui/grid/Grid.h"
#include "gui/header/Column.h"
#include "gui/platform/QtText.h"

namespace Kestrum::GUI {

namespace {
bool IsNumberType(std::int32_t type)
{
    return (type >= Common::FT_CHAR && type <= Common::FT_INT64) || type == Common::FT_FLOAT || type == Common::FT_DOUBLE;
}

Qt::Alignment AlignmentOf(const CColumn* column, const Common::CFormat* format)
{
    const std::int32_t alignment = column ? column->GetAlignment() : AlignAuto;
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (alignment == AlignRight)
        horizontal = Qt::AlignRight;
    else if (alignment == AlignCenter)
        horizontal = Qt::AlignHCenter;
    else if (alignment == AlignAuto && format && IsNumberType(format->GetValueType()))
        horizontal = Qt::AlignRight;
    return horizontal | Qt::AlignVCenter;
}
} // namespace

bool CLongMsecTimeReflector::IsApplicable(const Common::CFormat* format) const
{
    return format && format->GetValueType() == Common::FT_LONG && IsFormatClass(format, "Common::CLongMsecTimeFormat");
}

std::string CTextReflector::InitialText(const std::string& displayText) const
{
    const char* kept = KeptCharacters();
    if (!kept)
        return displayText;
    std::string text;
    for (const char character : displayText)
        if (character != '\0' && std::strchr(kept, character))
            text += character;
    return text;
}

bool CTextReflector::CreateControl(const EditCell& cell, Common::CFormat* format)
{
    if (!cell.grid || !cell.item || !cell.object || !cell.column)
        return false;
    const std::int32_t mode = EditMode(format);
    QWidget* parent = cell.grid->viewport();
    QLineEdit* edit = mode < 0 ? new QLineEdit(parent) : new CNumericEdit(mode, parent);
    edit->setFrame(false);
    edit->setAlignment(AlignmentOf(cell.column, format));
    const std::string display = cell.object->GetValueText(cell.Field(), cell.column->GetFormat());
    edit->setText(ToQString(InitialText(display)));
    edit->selectAll();
    return PlaceControl(cell, edit);
}

bool CTextReflector::FilterInput(const EditCell& cell, int code)
{
    auto* edit = qobject_cast<QLineEdit*>(ControlOf(cell.grid));
    if (!edit)
        return true;
    switch (code) {
    case EditRightDown: return false;
    case EditLeft: return !edit->hasSelectedText() && edit->cursorPosition() == 0;
    case EditRight: return !edit->hasSelectedText() && edit->cursorPosition() >= edit->text().size();
    default: return true;
    }
}

bool CTextReflector::ApplyValue(const EditCell& cell, std::uint32_t)
{
    auto* edit = qobject_cast<QLineEdit*>(ControlOf(cell.grid));
    if (!edit || !cell.column || !cell.item)
        return false;
    return cell.grid->SetCellValueText(ToHandle(cell.item), cell.Field(), ToCString(edit->text()));
}

} // namespace Kestrum::GUI
