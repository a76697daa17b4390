// Text crossing the Qt boundary: our strings are UTF-8 bytes and become
// QString only where the GUI draws, measures or exchanges text.
#pragma once

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
Common::CString ToCString(const QString& text);
std::string ToStdString(const QString& text);

} // namespace Kestrum::GUI
