// The one place that converts the stored font record to and from QFont.
#pragma once

#include <QFont>

#include "gui/platform/FontRecord.h"

namespace Kestrum::GUI {

FontRecord FontRecordFromQFont(const QFont& font);
QFont QFontFromRecord(const FontRecord& record);

} // namespace Kestrum::GUI
