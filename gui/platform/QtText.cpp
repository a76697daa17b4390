#include "gui/platform/QtText.h"

#include <QByteArray>

namespace Kestrum::GUI {

Common::CString ToCString(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return Common::CString(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string ToStdString(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace Kestrum::GUI
