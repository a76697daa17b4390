#include "gui/grid/GridArchive.h"

#include "gui/header/Header.h"
#include "gui/platform/Archive.h"

namespace Kestrum::GUI {

void GridArchiveRecord::Store(CArchive& archive) const
{
    GridStoredSettings s = settings; // the records' Serialize is shared by both directions
    archive.WriteInt32(1);
    archive.WriteBool(header != nullptr);
    if (header)
        archive.WriteObject(header);
    archive.WriteBool(s.headerShown);
    for (const std::int32_t height : rowHeights) {
        archive.WriteInt32(1);
        archive.WriteInt32(height);
    }
    archive.WriteInt32(focusableAreas);
    s.appearance.Serialize(archive);
    archive.WriteUInt32(s.paintFlags);
    archive.WriteBool(s.doubleBuffering);
    archive.WriteInt32(font ? 1 : 0);
    if (font)
        font->Write(archive);
    archive.WriteInt32(s.stretchImages ? 1 : 0);
    archive.WriteBool(s.option);
    archive.WriteBool(selectionEnabled);
    archive.WriteBool(multiSelectionEnabled);
    archive.WriteInt32(selectableAreas);
    archive.WriteBool(s.highlightEnabled);
    s.highlight.Serialize(archive);
    archive.WriteBool(s.separatorShown);
    archive.WriteInt32(s.separatorHeight);
    s.transfer.Serialize(archive);
    archive.WriteBool(s.pasteEnabled);
    s.dragDrop.Serialize(archive);
    archive.WriteBool(s.dragDropEnabled);
    archive.WriteInt32(sortAreas);
    archive.WriteInt32(s.keyboardAreas);
    archive.WriteInt32(s.searchTimeout);
    s.edit.Serialize(archive);
    s.tooltipRegular.Serialize(archive);
    s.tooltipInPlace.Serialize(archive);
}

void GridArchiveRecord::StoreWithPrintSettings(CArchive& archive) const
{
    Store(archive);
    PrintSettings print = settings.print;
    print.Serialize(archive);
}

bool GridArchiveRecord::Load(CArchive& archive) { return Read(archive, false); }

bool GridArchiveRecord::LoadWithPrintSettings(CArchive& archive) { return Read(archive, true); }

bool GridArchiveRecord::Read(CArchive& archive, bool withPrintSettings)
{
    if (!archive.ReadVersion("Grid"))
        return false;
    GridArchiveRecord r; // read whole before anything of this record changes
    r.settings = settings;
    for (int i = 0; i < 2; ++i)
        r.rowHeights[i] = rowHeights[i];
    r.hasHeader = archive.ReadBool();
    if (r.hasHeader) {
        r.loadedHeader = archive.ReadObject<CHeader>();
        if (!r.loadedHeader)
            throw CArchiveException(CArchiveException::BadClass, "Grid archive names no header class");
    }
    r.settings.headerShown = archive.ReadBool();
    for (std::int32_t& height : r.rowHeights)
        height = archive.ReadVersion("Row area") ? archive.ReadInt32() : -1;
    r.focusableAreas = archive.ReadInt32();
    r.settings.appearance.Serialize(archive);
    r.settings.paintFlags = archive.ReadUInt32();
    r.settings.doubleBuffering = archive.ReadBool();
    if (archive.ReadInt32() == 1)
        r.font = FontRecord::Read(archive);
    r.settings.stretchImages = archive.ReadInt32() != 0;
    r.settings.option = archive.ReadBool();
    r.selectionEnabled = archive.ReadBool();
    r.multiSelectionEnabled = archive.ReadBool();
    r.selectableAreas = archive.ReadInt32();
    r.settings.highlightEnabled = archive.ReadBool();
    r.settings.highlight.Serialize(archive);
    r.settings.separatorShown = archive.ReadBool();
    r.settings.separatorHeight = archive.ReadInt32();
    r.settings.transfer.Serialize(archive);
    r.settings.pasteEnabled = archive.ReadBool();
    r.settings.dragDrop.Serialize(archive);
    r.settings.dragDropEnabled = archive.ReadBool();
    r.sortAreas = archive.ReadInt32();
    r.settings.keyboardAreas = archive.ReadInt32();
    r.settings.searchTimeout = archive.ReadInt32();
    r.settings.edit.Serialize(archive);
    r.settings.tooltipRegular.Serialize(archive);
    r.settings.tooltipInPlace.Serialize(archive);
    // The grid's record ends here. Archives written before printing existed
    // end here too.
    if (withPrintSettings && archive.GetRemaining() != 0)
        r.settings.print.Serialize(archive);
    r.header = header;
    *this = std::move(r);
    return true;
}

} // namespace Kestrum::GUI
