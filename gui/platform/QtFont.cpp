#include "gui/platform/QtFont.h"

#include <QFontInfo>
#include <algorithm>
#include <cstring>

namespace Kestrum::GUI {

FontRecord FontRecordFromQFont(const QFont& font)
{
    FontRecord record;
    record.height = -QFontInfo(font).pixelSize();
    record.weight = std::clamp(static_cast<int>(font.weight()), 1, 1000);
    record.italic = font.italic() ? 1 : 0;
    record.underline = font.underline() ? 1 : 0;
    record.strikeOut = font.strikeOut() ? 1 : 0;
    const QByteArray face = font.family().toLatin1();
    std::memcpy(record.faceName.data(), face.constData(), std::min<std::size_t>(face.size(), record.faceName.size() - 1));
    return record;
}

QFont QFontFromRecord(const FontRecord& record)
{
    QFont font(QString::fromLatin1(record.faceName.data()));
    if (record.height != 0)
        font.setPixelSize(std::max(1, record.height < 0 ? -record.height : record.height));
    font.setWeight(static_cast<QFont::Weight>(std::clamp<int>(record.weight == 0 ? 400 : record.weight, 1, 1000)));
    font.setItalic(record.italic != 0);
    font.setUnderline(record.underline != 0);
    font.setStrikeOut(record.strikeOut != 0);
    return font;
}

} // namespace Kestrum::GUI
