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

// A folder whose row says why it has no size: unreadable or excluded.
const CFolderData* UnwalkedFolder(CDataObject* object)
{
    const auto* folder = dynamic_cast<const CFolderData*>(object);
    return folder && folder->GetReadError() != 0 ? folder : nullptr;
}
} // namespace

bool CPathTooltip::HasTooltip(CGrid* grid, CellDrawContext& cell)
{
    CDataObject* object = NameRowObject(cell);
    if (!object)
        return false;
    return UnwalkedFolder(object) || !CInPlaceTooltipCtrl::IsCellTextClipped(grid, cell);
}

QString CPathTooltip::GetTooltipText(CGrid*, CellDrawContext& cell)
{
    CDataObject* object = NameRowObject(cell);
    if (!object)
        return {};
    QString text = ToQString(object->GetValueText(FIELD_FULL_NAME, nullptr));
    if (const CFolderData* folder = UnwalkedFolder(object))
        text += QLatin1Char('\n') + ReadErrorText(folder->GetReadError());
    return text;
}

QString CPathTooltip::ReadErrorText(std::int32_t error)
{
    if (error == CFolderData::kExcluded)
        return QStringLiteral("Excluded by a pattern: not walked");
    if (error == CFolderData::kUnknownReadError || error <= 0)
        return QStringLiteral("Could not be read");
    return QStringLiteral("Could not be read: %1").arg(QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace Velmora
