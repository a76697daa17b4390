// The one place that converts the stored font record to and from QFont.
#pragma once

#include "gui/platform/Export.h"

#include <QFont>

#include "gui/platform/FontRecord.h"

namespace Kestrum::GUI {

KESTRUM_GUI_EXPORT FontRecord FontRecordFromQFont(const QFont& font);
KESTRUM_GUI_EXPORT QFont QFontFromRecord(const FontRecord& record);

} // namespace Kestrum::GUI
