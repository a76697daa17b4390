// The print settings record: its bytes, and the loading rules (newer
// refused, empty version reads nothing, damage raises and changes nothing),
// alone and after the grid's archive record, where earlier versions wrote it
// as part of that record.
#include <gtest/gtest.h>

#include "gui/grid/GridArchive.h"
#include "gui/header/Header.h"
#include "gui/platform/Archive.h"
#include "gui/print/PrintSettings.h"

using namespace Kestrum::GUI;

namespace {
PrintSettings Chosen()
{
    PrintSettings settings;
    settings.rows = PrintSelectedRows;
    settings.fitToWidth = true;
    settings.orientation = PrintLandscape;
    settings.margins = {5, 6, 7, 8};
    return settings;
}

std::vector<std::uint8_t> Bytes(PrintSettings settings)
{
    CArchive archive;
    settings.Serialize(archive);
    return archive.GetBytes();
}

void Load(PrintSettings& settings, const std::vector<std::uint8_t>& bytes)
{
    CArchive reader(bytes);
    settings.Serialize(reader);
}

// Little-endian int32 at a byte offset.
void Put(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
}
} // namespace

TEST(PrintSettings, StoresVersionRowsFitOrientationAndFourMargins)
{
    const std::vector<std::uint8_t> expected = {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 0, 0,
                                                5, 0, 0, 0, 6, 0, 0, 0, 7, 0, 0, 0, 8, 0, 0, 0};
    EXPECT_EQ(Bytes(Chosen()), expected);
    PrintSettings loaded;
    Load(loaded, expected);
    EXPECT_EQ(loaded, Chosen());
    const PrintSettings defaults;
    EXPECT_EQ(defaults.rows, PrintShownRows);
    EXPECT_FALSE(defaults.fitToWidth);
    EXPECT_EQ(defaults.orientation, PrintPortrait);
}

TEST(PrintSettings, ANewerVersionIsRefusedAndAnEmptyOneReadsNothing)
{
    auto newer = Bytes(Chosen());
    Put(newer, 0, 2);
    PrintSettings settings;
    try {
        Load(settings, newer);
        FAIL() << "a newer version loaded";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause, CArchiveException::BadSchema);
    }
    EXPECT_EQ(settings, PrintSettings{});
    for (const std::int32_t version : {0, -3}) {
        auto empty = Bytes(Chosen());
        Put(empty, 0, version);
        CArchive reader(empty);
        PrintSettings kept = Chosen();
        kept.margins[0] = 42;
        const PrintSettings before = kept;
        kept.Serialize(reader);
        EXPECT_EQ(kept, before);
        EXPECT_EQ(reader.GetRemaining(), empty.size() - 4); // nothing after the version was read
    }
}

TEST(PrintSettings, EveryTruncationRaisesAndChangesNothing)
{
    const auto bytes = Bytes(Chosen());
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        PrintSettings settings;
        EXPECT_THROW(Load(settings, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length))),
                     CArchiveException)
            << length;
        EXPECT_EQ(settings, PrintSettings{}) << length;
    }
}

namespace {
struct BadValue {
    const char* name;
    std::size_t offset;
    std::int32_t value;
};
struct PrintSettingsBadValues : ::testing::TestWithParam<BadValue> {};
} // namespace

TEST_P(PrintSettingsBadValues, RaiseTheArchiveErrorAndChangeNothing)
{
    auto bytes = Bytes(Chosen());
    Put(bytes, GetParam().offset, GetParam().value);
    PrintSettings settings;
    EXPECT_THROW(Load(settings, bytes), CArchiveException);
    EXPECT_EQ(settings, PrintSettings{});
}

INSTANTIATE_TEST_SUITE_P(Cases, PrintSettingsBadValues,
                         ::testing::Values(BadValue{"UnknownRows", 4, 3}, BadValue{"NegativeRows", 4, -1},
                                           BadValue{"UnknownOrientation", 9, 2}, BadValue{"NegativeMargin", 13, -1},
                                           BadValue{"HugeMargin", 25, PrintSettings::kMaxMargin + 1}),
                         [](const ::testing::TestParamInfo<BadValue>& param) { return std::string(param.param.name); });

namespace {
std::vector<std::uint8_t> StoreRecord(const GridArchiveRecord& record)
{
    CArchive archive;
    record.Store(archive);
    return archive.GetBytes();
}

// A grid's archive as it was written while it carried the print settings:
// every value at its default but the separator height (9), then the print
// settings of Chosen(). Its first kGridRecordSize bytes are the grid's
// record alone, the layout written before printing existed and again now.
const std::vector<std::uint8_t> kOldArchive = {
    0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x0E, 0x00, 0x00, 0x00, 0x01, 0x00,
    0x00, 0x00, 0x0E, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x80, 0x80,
    0x80, 0x00, 0x80, 0x80, 0x80, 0x00, 0x01, 0x00, 0x00, 0x00, 0x64, 0x64, 0xB4, 0x00, 0x3C, 0x01,
    0x00, 0x00, 0x00, 0x64, 0x64, 0xB4, 0x00, 0x1E, 0x01, 0x00, 0x00, 0x00, 0xB4, 0x96, 0xB4, 0x00,
    0x32, 0x01, 0x00, 0x00, 0x00, 0xB4, 0xB4, 0xB4, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0xFF, 0xFF, 0x07, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
    0x01, 0x01, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xD0, 0x07, 0x00, 0x00, 0xFF,
    0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x96, 0x96, 0x1E, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00,
    0x00, 0x01, 0x09, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01,
    0x01, 0x01, 0x01, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00,
    0x00, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
    0x00, 0x20, 0x80, 0xDF, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0xE8, 0x03,
    0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x01, 0x80, 0x80, 0x80, 0x00,
    0x01, 0x01, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xE1, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xB4, 0xB4, 0xB4, 0x00, 0xF4, 0x01, 0x00, 0x00, 0x10, 0x27, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xE1, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xB4, 0xB4, 0xB4, 0x00, 0xF4, 0x01, 0x00, 0x00, 0x10, 0x27, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00,
    0x00, 0x05, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00,
    0x00,
};
const std::size_t kGridRecordSize = kOldArchive.size() - 29;

std::vector<std::uint8_t> OldArchive(std::size_t length)
{
    return {kOldArchive.begin(), kOldArchive.begin() + static_cast<std::ptrdiff_t>(length)};
}

// Print settings that no archive here holds: whatever a load leaves of them.
PrintSettings Kept()
{
    PrintSettings settings;
    settings.margins = {1, 2, 3, 4};
    return settings;
}
} // namespace

TEST(GridArchiveLayout, TheRecordEndsWithItsTooltipRecordsAndThePrintSettingsFollowOnlyWhenAsked)
{
    GridArchiveRecord record;
    record.settings.separatorHeight = 9;
    record.settings.print = Chosen();
    EXPECT_EQ(StoreRecord(record), OldArchive(kGridRecordSize));
    CArchive withPrint;
    record.StoreWithPrintSettings(withPrint);
    EXPECT_EQ(withPrint.GetBytes(), kOldArchive);
}

namespace {
struct OldLayout {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool withPrintSettings; // loaded through LoadWithPrintSettings, else Load
    PrintSettings print;    // what the load leaves
    std::size_t remaining;  // bytes left unread after the load
};
void PrintTo(const OldLayout& layout, std::ostream* out) { *out << layout.name; }
struct GridArchiveOldLayouts : ::testing::TestWithParam<OldLayout> {};

std::vector<std::uint8_t> Followed(std::vector<std::uint8_t> bytes, std::initializer_list<std::uint8_t> more)
{
    bytes.insert(bytes.end(), more);
    return bytes;
}
} // namespace

TEST_P(GridArchiveOldLayouts, LoadAndLeaveWhatFollowsTheirRecords)
{
    GridArchiveRecord loaded;
    loaded.settings.print = Kept();
    CArchive reader(GetParam().bytes);
    ASSERT_TRUE(GetParam().withPrintSettings ? loaded.LoadWithPrintSettings(reader) : loaded.Load(reader));
    EXPECT_EQ(loaded.settings.separatorHeight, 9);
    EXPECT_EQ(loaded.settings.print, GetParam().print);
    EXPECT_EQ(reader.GetRemaining(), GetParam().remaining);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GridArchiveOldLayouts,
    ::testing::Values(OldLayout{"WrittenBeforePrinting", OldArchive(kGridRecordSize), false, Kept(), 0},
                      OldLayout{"WrittenBeforePrintingAskedForPrintSettings", OldArchive(kGridRecordSize), true, Kept(), 0},
                      OldLayout{"WithPrintSettings", kOldArchive, true, Chosen(), 0},
                      OldLayout{"WithPrintSettingsReadAsTheRecordAlone", kOldArchive, false, Kept(), 29},
                      OldLayout{"FollowedByTheApplicationsOwnBytes", Followed(OldArchive(kGridRecordSize), {42, 0, 0, 0}),
                                false, Kept(), 4}),
    [](const ::testing::TestParamInfo<OldLayout>& param) { return std::string(param.param.name); });

TEST(GridArchivePrintSettings, ACutOrNewerPrintRecordRaisesAndLeavesTheGridRecordAsItWas)
{
    for (std::size_t length = kGridRecordSize + 1; length < kOldArchive.size(); ++length) {
        GridArchiveRecord loaded;
        loaded.settings.print = Kept();
        CArchive reader(OldArchive(length));
        EXPECT_THROW(loaded.LoadWithPrintSettings(reader), CArchiveException) << length;
        EXPECT_EQ(loaded.settings.separatorHeight, 2) << length; // nothing of the record was committed
        EXPECT_EQ(loaded.settings.print, Kept()) << length;
        // The grid's record alone is whole: it loads and leaves the rest.
        CArchive alone(OldArchive(length));
        ASSERT_TRUE(loaded.Load(alone)) << length;
        EXPECT_EQ(loaded.settings.separatorHeight, 9) << length;
        EXPECT_EQ(alone.GetRemaining(), length - kGridRecordSize) << length;
    }
    auto newer = kOldArchive;
    Put(newer, kGridRecordSize, 2);
    GridArchiveRecord loaded;
    CArchive reader(newer);
    try {
        loaded.LoadWithPrintSettings(reader);
        FAIL() << "a newer print record loaded";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause, CArchiveException::BadSchema);
    }
    EXPECT_EQ(loaded.settings.separatorHeight, 2);
}
