#include "gui/print/PrintSettings.h"

#include "gui/platform/Archive.h"

namespace Kestrum::GUI {

void PrintSettings::Serialize(CArchive& archive)
{
    if (archive.IsStoring()) {
        archive.WriteInt32(1);
        archive.WriteInt32(rows);
        archive.WriteBool(fitToWidth);
        archive.WriteInt32(orientation);
        for (const std::int32_t margin : margins)
            archive.WriteInt32(margin);
        return;
    }
    if (!archive.ReadVersion("Print settings"))
        return;
    PrintSettings loaded; // committed only when whole and sound
    loaded.rows = archive.ReadInt32();
    loaded.fitToWidth = archive.ReadBool();
    loaded.orientation = archive.ReadInt32();
    for (std::int32_t& margin : loaded.margins)
        margin = archive.ReadInt32();
    if (loaded.rows < PrintAllRows || loaded.rows > PrintShownRows)
        throw CArchiveException(CArchiveException::Generic, "Print settings name no known rows");
    if (loaded.orientation != PrintPortrait && loaded.orientation != PrintLandscape)
        throw CArchiveException(CArchiveException::Generic, "Print settings name no known orientation");
    for (const std::int32_t margin : loaded.margins)
        if (margin < 0 || margin > kMaxMargin)
            throw CArchiveException(CArchiveException::Generic, "Print settings hold a margin out of range");
    *this = loaded;
}

} // namespace Kestrum::GUI
