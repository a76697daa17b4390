#include "app/PathTooltip.h"

#include <cstring>

#include "app/FileSystemData.h"
#include "gui/header/Column.h"
#include "gui/paint/DrawContext.h"
#include "gui/platform/QtText.h"
#include "gui/tooltip/InPlaceTooltipCtrl.h"

namespace Velmora {

using namespace Kestrum::GUI;

namespace {
CDataObject* NameRowObject(const CellDrawContext& cell)
{
    if (!cell.column || cell.column->GetFieldId() != FIELD_NAME || !cell.row)
        return nullptr;
    return cell.row->object;
}

const CFolderData* UnreadableFolder(CDataObject* object)
{
    const auto* folder = dynamic_cast<const CFolderData*>(object);
    return folder && folder->IsUnreadable() ? folder : nullptr;
}
} // namespace

bool CPathTooltip::HasTooltip(CGrid* grid, CellDrawContext& cell)
{
    CDataObject* object = NameRowObject(cell);
    if (!object)
        return false;
    return UnreadableFolder(object) || !CInPlaceTooltipCtrl::IsCellTextClipped(grid, cell);
}

QString CPathTooltip::GetTooltipText(CGrid*, CellDrawContext& cell)
{
    CDataObject* object = NameRowObject(cell);
    if (!object)
        return {};
    QString text = ToQString(object->GetValueText(FIELD_FULL_NAME, nullptr));
    if (const CFolderData* folder = UnreadableFolder(object))
        text += QLatin1Char('\n') + ReadErrorText(folder->GetReadError());
    return text;
}

QString CPathTooltip::ReadErrorText(std::int32_t error)
{
    if (error == CFolderData::kUnknownReadError || error <= 0)
        return QStringLiteral("Could not be read");
    return QStringLiteral("Could not be read: %1").arg(QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace Velmora
