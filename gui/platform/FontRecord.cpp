#include "gui/platform/FontRecord.h"

#include <QFontInfo>
#include <algorithm>
#include <cstring>

#include "gui/platform/Archive.h"

namespace Kestrum::GUI {

void FontRecord::Write(CArchive& archive) const
{
    for (const std::int32_t value : {height, width, escapement, orientation, weight})
        archive.WriteInt32(value);
    for (const std::uint8_t value : {italic, underline, strikeOut, charset, outPrecision, clipPrecision, quality, pitchAndFamily})
        archive.WriteByte(value);
    archive.WriteBytes(faceName.data(), faceName.size());
}

FontRecord FontRecord::Read(CArchive& archive)
{
    archive.RequireCount(1, kSize);
    FontRecord record;
    for (std::int32_t* value : {&record.height, &record.width, &record.escapement, &record.orientation, &record.weight})
        *value = archive.ReadInt32();
    for (std::uint8_t* value : {&record.italic, &record.underline, &record.strikeOut, &record.charset,
                                &record.outPrecision, &record.clipPrecision, &record.quality, &record.pitchAndFamily})
        *value = archive.ReadByte();
    archive.ReadBytes(record.faceName.data(), record.faceName.size());
    record.faceName.back() = '\0';
    return record;
}

FontRecord FontRecord::FromQFont(const QFont& font)
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

QFont FontRecord::ToQFont() const
{
    QFont font(QString::fromLatin1(faceName.data()));
    if (height != 0)
        font.setPixelSize(std::max(1, height < 0 ? -height : height));
    font.setWeight(static_cast<QFont::Weight>(std::clamp<int>(weight == 0 ? 400 : weight, 1, 1000)));
    font.setItalic(italic != 0);
    font.setUnderline(underline != 0);
    font.setStrikeOut(strikeOut != 0);
    return font;
}

} // namespace Kestrum::GUI
