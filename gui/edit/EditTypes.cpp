#include "gui/edit/EditTypes.h"

#include "common/DataObject.h"
#include "gui/grid/CellFormat.h"
#include "gui/grid/GridItem.h"
#include "gui/header/Column.h"

namespace Kestrum::GUI {

Common::FieldId EditCell::Field() const { return column ? column->GetFieldId() : Common::FIELD_NONE; }

Common::CFormat* EditFormatOf(const EditCell& cell)
{
    return cell.column ? CellFormatOf(cell.column, cell.object, cell.column->GetFieldId(), FormatFallback::TypeDefault)
                       : nullptr;
}

bool CellAllowsEditing(const EditCell& cell)
{
    if (!cell.item || !cell.object || !cell.column || !cell.column->IsEditable())
        return false;
    const Common::FieldId field = cell.column->GetFieldId();
    if (cell.item->GetEmbeddedControl(field) || !cell.settings.enabled)
        return false;
    return cell.object->IsReadable(field) && cell.object->IsWritable(field);
}

} // namespace Kestrum::GUI
