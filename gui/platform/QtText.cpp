#include "gui/platform/QtText.h"

#include <QByteArray>

namespace Kestrum::GUI {

Common::CString ToCString(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return Common::CString(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

namespace {
// What a character is drawn as, or 0 when it is drawn as it is.
char16_t VisibleFor(char16_t c)
{
    if (c < 0x20)
        return static_cast<char16_t>(0x2400 + c);
    if (c == 0x7F)
        return 0x2421;
    if (c >= 0x80 && c <= 0x9F)
        return 0xFFFD;
    switch (c) {
    case 0x061C: // arabic letter mark
    case 0x200E: // left-to-right mark
    case 0x200F: // right-to-left mark
    case 0x202A: // embeddings, pop and overrides
    case 0x202B:
    case 0x202C:
    case 0x202D:
    case 0x202E:
    case 0x2066: // isolates and their pop
    case 0x2067:
    case 0x2068:
    case 0x2069: return 0xFFFD;
    case 0x2028:
    case 0x2029: return 0x2424;
    default: return 0;
    }
}
} // namespace

QString DisplayText(const QString& text)
{
    bool onlySpace = !text.isEmpty();
    bool changes = false;
    for (const QChar c : text) {
        changes = changes || VisibleFor(c.unicode()) != 0;
        onlySpace = onlySpace && c.isSpace() && c.unicode() >= 0x20 && c.unicode() != 0x2028 && c.unicode() != 0x2029 &&
                    !(c.unicode() >= 0x80 && c.unicode() <= 0x9F);
    }
    if (!changes && !onlySpace)
        return text;
    QString shown = text;
    for (QChar& c : shown) {
        if (onlySpace)
            c = QChar(0x2423);
        else if (const char16_t visible = VisibleFor(c.unicode()))
            c = QChar(visible);
    }
    return shown;
}

std::string ToStdString(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace Kestrum::GUI
