#include "gui/grid/GridSettings.h"

#include "gui/platform/Archive.h"

namespace Kestrum::GUI {

namespace {
// A record's version: false when a stored version of 0 or less says
// nothing follows; a newer version is refused.
bool SerializeVersion(CArchive& archive, const char* what)
{
    if (archive.IsStoring()) {
        archive.WriteInt32(1);
        return true;
    }
    return archive.ReadVersion(what);
}

void Field(CArchive& archive, std::uint8_t& value)
{
    if (archive.IsStoring())
        archive.WriteByte(value);
    else
        value = archive.ReadByte();
}

void Field(CArchive& archive, std::int32_t& value)
{
    if (archive.IsStoring())
        archive.WriteInt32(value);
    else
        value = archive.ReadInt32();
}

void Field(CArchive& archive, std::uint32_t& value)
{
    if (archive.IsStoring())
        archive.WriteUInt32(value);
    else
        value = archive.ReadUInt32();
}

// Loads into a copy so damaged data changes nothing.
template <class Record, class Fields> void Atomically(CArchive& archive, Record& record, Fields fields)
{
    if (archive.IsStoring()) {
        fields(archive, record);
        return;
    }
    Record loaded = record;
    fields(archive, loaded);
    record = loaded;
}
} // namespace

void TransferPolicy::Serialize(CArchive& archive)
{
    if (!SerializeVersion(archive, "Transfer policy"))
        return;
    Atomically(archive, *this, [](CArchive& a, TransferPolicy& r) {
        for (std::uint8_t& flag : r.flags)
            Field(a, flag);
        Field(a, r.pastePosition);
        Field(a, r.scrollAfterPaste);
        Field(a, r.focusAfterPaste);
    });
}

void DragDropSettings::Serialize(CArchive& archive)
{
    Atomically(archive, *this, [](CArchive& a, DragDropSettings& r) {
        for (std::uint8_t& value : r.switches)
            Field(a, value);
        Field(a, r.dropMarker);
    });
}

void EditSettings::Serialize(CArchive& archive)
{
    if (!SerializeVersion(archive, "Edit settings"))
        return;
    Atomically(archive, *this, [](CArchive& a, EditSettings& r) {
        Field(a, r.enabled);
        Field(a, r.startMode);
        Field(a, r.clickOnButton);
        Field(a, r.hotFrameColor);
        Field(a, r.hotFrame);
        Field(a, r.decoration);
        Field(a, r.secondDecoration);
        Field(a, r.navigateOnExit);
    });
}

void TooltipSettings::Serialize(CArchive& archive)
{
    if (!SerializeVersion(archive, "Tooltip settings"))
        return;
    Atomically(archive, *this, [](CArchive& a, TooltipSettings& r) {
        Field(a, r.background);
        Field(a, r.text);
        Field(a, r.border);
        for (std::int32_t* value : {&r.hoverDelay, &r.displayTime, &r.offsetX, &r.offsetY, &r.marginX, &r.marginY,
                                    &r.position, &r.hoverMode})
            Field(a, *value);
    });
}

} // namespace Kestrum::GUI
