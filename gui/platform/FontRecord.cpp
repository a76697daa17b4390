#include "gui/platform/FontRecord.h"

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

} // namespace Kestrum::GUI
