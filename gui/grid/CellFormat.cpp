#include "gui/grid/CellFormat.h"

#include "common/DataObject.h"
#include "common/FormatRegistry.h"
#include "gui/header/Column.h"

namespace Kestrum::GUI {

Common::CFormat* CellFormatOf(const CColumn* column, Common::CDataObject* object, Common::FieldId field,
                              FormatFallback fallback)
{
    if (column)
        if (Common::CFormat* own = column->GetFormat())
            return own;
    if (!object)
        return nullptr;
    if (Common::CFormat* format = object->GetFieldFormat(field))
        return format;
    return fallback == FormatFallback::TypeDefault ? Common::GetDefaultFormat(object->GetFieldType(field)) : nullptr;
}

} // namespace Kestrum::GUI
