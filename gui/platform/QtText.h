// Text crossing the Qt boundary: our strings are UTF-8 bytes and become
// QString only where the GUI draws, measures or exchanges text.
#pragma once

#include "gui/platform/Export.h"

#include <QString>
#include <string>

#include "common/String.h"

namespace Kestrum::GUI {

inline QString ToQString(const Common::CString& text)
{
    return QString::fromUtf8(text.GetString(), static_cast<qsizetype>(text.GetLength()));
}
inline QString ToQString(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
KESTRUM_GUI_EXPORT Common::CString ToCString(const QString& text);
KESTRUM_GUI_EXPORT std::string ToStdString(const QString& text);

// Text as it is safe to draw in a cell: nothing in it can hide, reorder or
// disguise the rest. C0 controls and DEL become their visible symbols
// (U+2400 block: a tab shows as U+2409), C1 controls and the bidirectional
// formatting characters (embeddings, overrides, isolates, marks) become
// U+FFFD, line and paragraph separators U+2424, and a text made only of
// white space shows each space as U+2423. The stored value (what is copied,
// sorted or shown in a tooltip's full text) is never changed: this is for
// drawing and measuring only. Returns the text itself when nothing applies.
KESTRUM_GUI_EXPORT QString DisplayText(const QString& text);

} // namespace Kestrum::GUI
