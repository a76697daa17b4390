// The stored forms of the drawing records (colour with alpha, appearance,
// update highlight). Qt-free, like the records themselves, so the fuzz
// build loads them without Qt.
#include "gui/paint/DrawContext.h"
#include "gui/platform/Archive.h"

namespace Kestrum::GUI {

void ColorAlpha::Serialize(CArchive& archive)
{
    if (archive.IsStoring()) {
        archive.WriteInt32(1);
        archive.WriteUInt32(color);
        archive.WriteByte(alpha);
        return;
    }
    if (!archive.ReadVersion("Colour"))
        return;
    const Color readColor = archive.ReadUInt32();
    alpha = archive.ReadByte();
    color = readColor;
}

void GridAppearance::Serialize(CArchive& archive)
{
    Color* colors[] = {&oddRowText, &evenRowText, &oddRowBack, &evenRowBack, &verticalLine, &horizontalLine};
    ColorAlpha* pairs[] = {&selection, &focus, &sortColumn, &selectionRect};
    if (archive.IsStoring()) {
        archive.WriteInt32(1);
        for (Color* color : colors)
            archive.WriteUInt32(*color);
        for (ColorAlpha* pair : pairs)
            pair->Serialize(archive);
        archive.WriteInt32(verticalLines ? 1 : 0);
        archive.WriteInt32(horizontalLines ? 1 : 0);
        return;
    }
    if (!archive.ReadVersion("Appearance"))
        return;
    GridAppearance loaded = *this;
    Color* loadedColors[] = {&loaded.oddRowText, &loaded.evenRowText, &loaded.oddRowBack,
                             &loaded.evenRowBack, &loaded.verticalLine, &loaded.horizontalLine};
    for (Color* color : loadedColors)
        *color = archive.ReadUInt32();
    for (ColorAlpha* pair : {&loaded.selection, &loaded.focus, &loaded.sortColumn, &loaded.selectionRect})
        pair->Serialize(archive);
    loaded.verticalLines = archive.ReadInt32() != 0;
    loaded.horizontalLines = archive.ReadInt32() != 0;
    (void)pairs;
    *this = loaded;
}

void UpdateHighlight::Serialize(CArchive& archive)
{
    if (archive.IsStoring()) {
        archive.WriteInt32(1);
        archive.WriteInt32(duration);
        archive.WriteUInt32(textColor);
        archive.WriteUInt32(backColor);
        archive.WriteByte(textAlpha);
        archive.WriteByte(backAlpha);
        archive.WriteInt32(fadeStep);
        archive.WriteInt32(mode);
        return;
    }
    if (!archive.ReadVersion("Update highlight"))
        return;
    UpdateHighlight loaded;
    loaded.duration = archive.ReadInt32();
    loaded.textColor = archive.ReadUInt32();
    loaded.backColor = archive.ReadUInt32();
    loaded.textAlpha = archive.ReadByte();
    loaded.backAlpha = archive.ReadByte();
    loaded.fadeStep = archive.ReadInt32();
    loaded.mode = archive.ReadInt32();
    *this = loaded;
}

} // namespace Kestrum::GUI
