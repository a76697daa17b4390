// The format of a cell: the one chain the paint pass, the in-place editors
// and the grid's value setter all follow, so a cell is shown, edited and
// parsed with the same format.
#pragma once

#include "gui/platform/Export.h"

#include "common/Types.h"

namespace Kestrum::Common {
class CDataObject;
class CFormat;
}

namespace Kestrum::GUI {

class CColumn;

// How far the chain goes when neither the column nor the field has a format.
enum class FormatFallback {
    None,        // stop: the draw contexts carry no format then (the object chooses)
    TypeDefault, // the default format of the field's type
};

// The column's own format (when a column is given), else the field's own
// (the object's GetFieldFormat), else, by `fallback`, the default format of
// the field's type. `field` is the cell's field id (the column's when there
// is one). Null without a column format and an object, or with
// FormatFallback::None when neither the column nor the field has a format.
KESTRUM_GRIDCORE_EXPORT Common::CFormat* CellFormatOf(const CColumn* column, Common::CDataObject* object,
                                                      Common::FieldId field, FormatFallback fallback);

} // namespace Kestrum::GUI
