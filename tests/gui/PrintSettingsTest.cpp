// The print settings record: its bytes, and the loading rules (newer
// refused, empty version reads nothing, damage raises and changes nothing),
// alone and as the last record of the grid's archive.
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
} // namespace

TEST(GridArchivePrintSettings, StoredLastAndLoadedBack)
{
    GridArchiveRecord record;
    record.settings.print = Chosen();
    const auto bytes = StoreRecord(record);
    const auto tail = Bytes(Chosen());
    ASSERT_GE(bytes.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), bytes.end() - static_cast<std::ptrdiff_t>(tail.size())));
    GridArchiveRecord loaded;
    CArchive reader(bytes);
    ASSERT_TRUE(loaded.Load(reader));
    EXPECT_EQ(loaded.settings.print, Chosen());
    EXPECT_EQ(reader.GetRemaining(), 0u);
}

TEST(GridArchivePrintSettings, AnArchiveWrittenBeforePrintingKeepsTheDefaults)
{
    GridArchiveRecord record;
    record.settings.print = Chosen();
    auto bytes = StoreRecord(record);
    bytes.resize(bytes.size() - Bytes(Chosen()).size()); // as written before the record existed
    GridArchiveRecord loaded;
    loaded.settings.print = Chosen();
    CArchive reader(bytes);
    ASSERT_TRUE(loaded.Load(reader));
    EXPECT_EQ(loaded.settings.print, PrintSettings{});
}

TEST(GridArchivePrintSettings, ADamagedRecordRaisesAndLeavesTheGridRecordAsItWas)
{
    GridArchiveRecord record;
    record.settings.print = Chosen();
    record.settings.separatorHeight = 9;
    const auto bytes = StoreRecord(record);
    const std::size_t printStart = bytes.size() - Bytes(Chosen()).size();
    for (std::size_t length = printStart + 1; length < bytes.size(); ++length) {
        GridArchiveRecord loaded;
        CArchive reader(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_THROW(loaded.Load(reader), CArchiveException) << length;
        EXPECT_EQ(loaded.settings.separatorHeight, 2) << length; // nothing of the record was committed
        EXPECT_EQ(loaded.settings.print, PrintSettings{}) << length;
    }
    auto newer = bytes;
    Put(newer, printStart, 2);
    GridArchiveRecord loaded;
    CArchive reader(newer);
    try {
        loaded.Load(reader);
        FAIL() << "a newer print record loaded";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause, CArchiveException::BadSchema);
    }
    EXPECT_EQ(loaded.settings.separatorHeight, 2);
}
