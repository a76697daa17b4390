// The clipboard formats without Qt: the text format's bytes, the local data
// format's layout, and its reading of whatever bytes arrive (another
// process, a forged token, a count the size cannot hold, removed or rebound
// items, grids that are gone, duplicates); the format registry; the
// transfer policy record's loading.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <memory>

#include "common/DynamicObject.h"
#include "common/IntegerFormats.h"
#include "gui/clipboard/GridDirectory.h"
#include "gui/clipboard/LocalDataFormat.h"
#include "gui/clipboard/TextClipboardFormat.h"
#include "gui/grid/GridRows.h"
#include "gui/grid/GridSettings.h"
#include "gui/header/Header.h"
#include "gui/platform/Archive.h"
#include "tests/gui/FakeSurface.h"

using namespace Kestrum::GUI;
using Kestrum::Common::CDynamicObject;
using Kestrum::Test::CFakeSurface;

namespace {
constexpr std::int32_t kName = 0;
constexpr std::int32_t kSize = 1;
constexpr std::int32_t kNote = 2;
constexpr std::int32_t kHidden = 3;

CColumn* MakeColumn(std::int32_t field, Kestrum::Common::CFormat* format = nullptr)
{
    return new CColumn(field, "c", 80, AlignAuto, false, -1, -1, format, nullptr, nullptr, "");
}

// A grid's row trees registered in the directory under a stand-in address
// (the directory compares addresses and reads nothing through them).
struct Rows {
    CFakeSurface surface;
    CGridRows rows{&surface};
    alignas(16) unsigned char identity[16] = {};
    CGrid* grid = reinterpret_cast<CGrid*>(identity);
    std::vector<std::unique_ptr<CDynamicObject>> objects;

    Rows()
    {
        surface.rows = &rows;
        CGridDirectory::Instance().Register(grid, &rows);
    }
    ~Rows()
    {
        CGridDirectory::Instance().Unregister(grid);
        rows.Clear(MaskBoth);
    }
    CDynamicObject* Object(const std::string& name)
    {
        objects.push_back(std::make_unique<CDynamicObject>(false));
        objects.back()->SetStlString(kName, name);
        return objects.back().get();
    }
    CGridItem* Add(const std::string& name, HITEM parent = GRID_ROOT)
    {
        return FromHandle(rows.Add(Object(name), parent, GRID_LAST));
    }
};

std::vector<std::uint8_t> Written(IClipboardFormat& format, CGrid* grid, int mask, int operation)
{
    std::vector<std::uint8_t> bytes(format.GetSize());
    EXPECT_TRUE(format.Write(bytes.data(), bytes.size(), grid, mask, operation));
    return bytes;
}

void Put64(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
std::uint64_t Get64(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value |= static_cast<std::uint64_t>(bytes[at + i]) << (8 * i);
    return value;
}
std::uint32_t Get32(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * i);
    return value;
}

std::vector<const CGridItem*> ItemsOf(const TransferRecord& record)
{
    std::vector<const CGridItem*> items;
    for (const TransferRow& row : record.rows)
        items.push_back(row.item);
    return items;
}
} // namespace

// --- the text format ----------------------------------------------------------------

struct TextFormat : ::testing::Test {
    CHeader header{false};
    Rows grid;
    TextFormat()
    {
        header.AddColumn(MakeColumn(kName));
        header.AddColumn(MakeColumn(kHidden));
        header.AddColumn(MakeColumn(kSize, new Kestrum::Common::CInt64Format(0, true, ',')));
        header.AddColumn(MakeColumn(kNote));
        header.HideColumn(kHidden);
    }
    CGridItem* Row(const std::string& name, std::int64_t size, const std::string& note)
    {
        CGridItem* item = grid.Add(name);
        auto* object = static_cast<CDynamicObject*>(item->GetObject());
        object->SetInt64(kSize, size);
        object->SetStlString(kNote, note);
        object->SetStlString(kHidden, "never");
        return item;
    }
};

TEST_F(TextFormat, TwoRowsOfThreeVisibleColumnsAreTabSeparatedWithCrLfAndAZeroByte)
{
    CGridItem* first = Row("alpha", 1234567, "x y");
    CGridItem* second = Row("beta", 0, "");
    CTextClipboardFormat format;
    format.Build({first, second}, &header);
    const std::string expected = std::string("alpha\t1,234,567\tx y\r\nbeta\t0\t") + '\0';
    EXPECT_EQ(format.GetText(), expected);
    ASSERT_EQ(format.GetSize(), expected.size());
    const std::vector<std::uint8_t> bytes = Written(format, grid.grid, MaskBoth, TransferCopy);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
    EXPECT_EQ(bytes.back(), 0);
}

TEST_F(TextFormat, OneRowOfOneColumnIsTheCellTextAndAZeroByte)
{
    CHeader single(false);
    single.AddColumn(MakeColumn(kName));
    CGridItem* row = Row("only", 5, "n");
    CTextClipboardFormat format;
    format.Build({row}, &single);
    EXPECT_EQ(format.GetText(), std::string("only") + '\0');
    EXPECT_EQ(format.GetSize(), 5u);
}

TEST_F(TextFormat, NothingToWriteGivesSizeZero)
{
    CTextClipboardFormat format;
    format.Build({}, &header);
    EXPECT_EQ(format.GetSize(), 0u);
    CHeader empty(false);
    format.Build({Row("a", 1, "b")}, &empty);
    EXPECT_EQ(format.GetSize(), 0u);
    format.Build({Row("a", 1, "b")}, nullptr);
    EXPECT_EQ(format.GetSize(), 0u);
    format.Build({Row("c", 1, "d")}, &header);
    EXPECT_GT(format.GetSize(), 0u);
    format.Clear();
    EXPECT_EQ(format.GetSize(), 0u);
}

TEST_F(TextFormat, IsNeverReadAsRowsAndRefusesAShortDestination)
{
    CTextClipboardFormat format;
    format.Build({Row("a", 1, "b")}, &header);
    TransferRecord record;
    const std::string text = "a\tb\0";
    EXPECT_FALSE(format.Read(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), nullptr, record));
    std::vector<std::uint8_t> small(format.GetSize() - 1);
    EXPECT_FALSE(format.Write(small.data(), small.size(), nullptr, 0, TransferCopy));
    EXPECT_EQ(format.GetFormatId(), kClipboardText);
}

// --- the local data format --------------------------------------------------------------

struct LocalData : ::testing::Test {
    Rows grid;
    CLocalDataFormat format;
    CGridItem* a = grid.Add("a");
    CGridItem* b = grid.Add("b");
    CGridItem* c = grid.Add("c", ToHandle(a));

    std::vector<std::uint8_t> Record(const std::vector<CGridItem*>& items, int operation = TransferCopy)
    {
        format.Build(items, nullptr);
        return Written(format, grid.grid, MaskScrollable, operation);
    }
    bool Read(const std::vector<std::uint8_t>& bytes, TransferRecord& record)
    {
        return format.Read(bytes.data(), bytes.size(), nullptr, record);
    }
};

TEST_F(LocalData, WritesTheProcessTokenGridMaskCountOperationAndEachItemWithItsObjectInSixtyFourBitWords)
{
    const std::vector<std::uint8_t> bytes = Record({a, c}, TransferCut);
    ASSERT_EQ(bytes.size(), 32u + 2 * 16u);
    EXPECT_EQ(format.GetSize(), bytes.size());
    EXPECT_EQ(Get32(bytes, 0), CLocalDataFormat::ProcessId());
    EXPECT_EQ(Get64(bytes, 4), CLocalDataFormat::ProcessToken());
    EXPECT_EQ(Get64(bytes, 12), AddressWord(grid.grid));
    EXPECT_EQ(Get32(bytes, 20), static_cast<std::uint32_t>(MaskScrollable));
    EXPECT_EQ(Get32(bytes, 24), 2u);
    EXPECT_EQ(Get32(bytes, 28), static_cast<std::uint32_t>(TransferCut));
    EXPECT_EQ(Get64(bytes, 32), AddressWord(a));
    EXPECT_EQ(Get64(bytes, 40), AddressWord(a->GetObject()));
    EXPECT_EQ(Get64(bytes, 48), AddressWord(c));
    EXPECT_EQ(Get64(bytes, 56), AddressWord(c->GetObject()));
    format.Build({}, nullptr);
    EXPECT_EQ(format.GetSize(), 0u);
    EXPECT_NE(CLocalDataFormat::ProcessToken(), 0u);
    EXPECT_GE(format.GetFormatId(), 0xC000u);
}

TEST_F(LocalData, ReadsBackTheRowsOfThisProcessWithTheGridThatHoldsThem)
{
    TransferRecord record;
    ASSERT_TRUE(Read(Record({b, a, c}, TransferCut), record));
    EXPECT_EQ(record.sourceGrid, grid.grid);
    EXPECT_EQ(record.sourceAreaMask, MaskScrollable);
    EXPECT_EQ(record.sourceOperation, TransferCut);
    EXPECT_EQ(record.kind, 0);
    EXPECT_EQ(record.format, format.GetFormatId());
    EXPECT_EQ(ItemsOf(record), (std::vector<const CGridItem*>{b, a, c}));
    for (const TransferRow& row : record.rows) {
        EXPECT_EQ(row.grid, grid.grid);
        EXPECT_EQ(row.object, row.item->GetObject());
    }
}

struct ForgedHeader {
    const char* what;
    std::size_t at;
    int width;
    std::uint64_t delta; // added to the stored value
};

class LocalDataForged : public LocalData, public ::testing::WithParamInterface<ForgedHeader> {};

TEST_P(LocalDataForged, IsRefusedAndLeavesTheRecordAsItWas)
{
    std::vector<std::uint8_t> bytes = Record({a, b});
    const ForgedHeader& forged = GetParam();
    if (forged.width == 4)
        Put32(bytes, forged.at, Get32(bytes, forged.at) + static_cast<std::uint32_t>(forged.delta));
    else
        Put64(bytes, forged.at, Get64(bytes, forged.at) + forged.delta);
    TransferRecord record;
    record.sourceAreaMask = 77;
    EXPECT_FALSE(Read(bytes, record));
    EXPECT_EQ(record.sourceAreaMask, 77);
    EXPECT_TRUE(record.rows.empty());
}

INSTANTIATE_TEST_SUITE_P(Fields, LocalDataForged,
                         ::testing::Values(ForgedHeader{"another process id", 0, 4, 1},
                                           ForgedHeader{"another token, same process id", 4, 8, 1},
                                           ForgedHeader{"a count beyond the bytes", 24, 4, 1},
                                           ForgedHeader{"a huge count", 24, 4, 0xFFFF'0000u},
                                           ForgedHeader{"an unknown operation", 28, 4, 5}),
                         [](const auto& param) {
                             std::string name;
                             for (const char* p = param.param.what; *p; ++p)
                                 if (std::isalnum(static_cast<unsigned char>(*p)))
                                     name += *p;
                             return name;
                         });

TEST_F(LocalData, ShortOrEmptyDataIsRefused)
{
    const std::vector<std::uint8_t> bytes = Record({a});
    TransferRecord record;
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{16}, std::size_t{17}, std::size_t{31}})
        EXPECT_FALSE(format.Read(bytes.data(), size, nullptr, record)) << size;
    EXPECT_FALSE(format.Read(nullptr, 100, nullptr, record));
    // A row cut short: the header is read, the count cannot be held.
    EXPECT_FALSE(format.Read(bytes.data(), bytes.size() - 1, nullptr, record));
    // A header alone with count 0 is a record of no rows.
    std::vector<std::uint8_t> header(bytes.begin(), bytes.begin() + 32);
    Put32(header, 24, 0);
    ASSERT_TRUE(Read(header, record));
    EXPECT_TRUE(record.rows.empty());
}

TEST_F(LocalData, RemovedReboundDuplicatedAndReservedItemsAreSkipped)
{
    CGridItem* gone = grid.Add("gone");
    const std::vector<std::uint8_t> bytes = Record({a, gone, b, c});
    grid.rows.Remove(ToHandle(gone));
    std::vector<std::uint8_t> more(bytes.size() + 4 * 16);
    std::copy(bytes.begin(), bytes.end(), more.begin());
    Put32(more, 24, 8);
    // b's first word names another object than b's.
    Put64(more, 32 + 2 * 16 + 8, AddressWord(a->GetObject()));
    std::size_t at = bytes.size();
    for (const auto& [item, object] : std::vector<std::pair<std::uint64_t, std::uint64_t>>{
             {AddressWord(c), AddressWord(c->GetObject())}, // c again
             {AddressWord(b), AddressWord(b->GetObject())}, // b with its own object
             {GRID_ROOT, 0},
             {AddressWord(grid.rows.Scrollable().GetRoot()), 0}}) {
        Put64(more, at, item);
        Put64(more, at + 8, object);
        at += 16;
    }
    TransferRecord record;
    ASSERT_TRUE(Read(more, record));
    EXPECT_EQ(ItemsOf(record), (std::vector<const CGridItem*>{a, c, b}));
}

TEST_F(LocalData, ItemsOfAnotherLiveGridAreTakenAndAGoneGridLeavesNoSource)
{
    std::vector<std::uint8_t> bytes;
    CGridItem* elsewhere = nullptr;
    {
        auto other = std::make_unique<Rows>();
        elsewhere = other->Add("elsewhere");
        CLocalDataFormat writer;
        writer.Build({elsewhere, a}, nullptr);
        bytes = Written(writer, other->grid, MaskBoth, TransferCopy);
        TransferRecord record;
        ASSERT_TRUE(Read(bytes, record));
        EXPECT_EQ(record.sourceGrid, other->grid);
        ASSERT_EQ(record.rows.size(), 2u);
        EXPECT_EQ(record.rows[0].grid, other->grid);
        EXPECT_EQ(record.rows[1].grid, grid.grid);
    }
    // The writing grid and its rows are gone: its item is not looked at.
    TransferRecord record;
    ASSERT_TRUE(Read(bytes, record));
    EXPECT_EQ(record.sourceGrid, nullptr);
    EXPECT_EQ(ItemsOf(record), (std::vector<const CGridItem*>{a}));
}

TEST(GridDirectory, AnItemIsLiveOnlyWhileARegisteredGridHoldsIt)
{
    Rows grid;
    CGridItem* item = grid.Add("x");
    CGrid* holder = nullptr;
    EXPECT_EQ(CGridDirectory::Instance().FindItem(AddressWord(item), 0, &holder), item);
    EXPECT_EQ(holder, grid.grid);
    EXPECT_EQ(CGridDirectory::Instance().GridOfItem(item), grid.grid);
    EXPECT_EQ(CGridDirectory::Instance().FindGrid(AddressWord(grid.grid)), grid.grid);
    grid.rows.Detach(ToHandle(item));
    EXPECT_EQ(CGridDirectory::Instance().FindItem(AddressWord(item), 0, &holder), nullptr);
    EXPECT_EQ(holder, nullptr);
    EXPECT_EQ(CGridDirectory::Instance().FindItem(GRID_LAST, 0, &holder), nullptr);
    CGridDirectory::Instance().Unregister(grid.grid);
    EXPECT_EQ(CGridDirectory::Instance().FindGrid(AddressWord(grid.grid)), nullptr);
    CGridDirectory::Instance().Register(grid.grid, &grid.rows);
}

TEST(ClipboardFormatRegistry, OneCodePerNameFromC000)
{
    const std::uint32_t first = RegisterClipboardFormat("Test.FormatOne");
    const std::uint32_t second = RegisterClipboardFormat("Test.FormatTwo");
    EXPECT_GE(first, 0xC000u);
    EXPECT_NE(first, second);
    EXPECT_EQ(RegisterClipboardFormat("Test.FormatOne"), first);
    EXPECT_EQ(ClipboardFormatName(second), "Test.FormatTwo");
    EXPECT_EQ(ClipboardFormatName(kClipboardText), "");
    EXPECT_EQ(ClipboardFormatName(0xBFFF), "");
    EXPECT_EQ(RegisterClipboardFormat(""), 0u);
}

// --- the transfer policy record ---------------------------------------------------------------

namespace {
std::vector<std::uint8_t> PolicyBytes(std::int32_t version, std::uint8_t flag, std::int32_t mode)
{
    CArchive archive;
    archive.WriteInt32(version);
    for (int i = 0; i < 11; ++i)
        archive.WriteByte(flag);
    archive.WriteInt32(mode);
    archive.WriteInt32(mode + 1);
    archive.WriteInt32(mode + 2);
    return archive.GetBytes();
}
} // namespace

TEST(TransferPolicyRecord, DefaultsAreFlagsZeroToNineOnTenOffAndModesThree)
{
    const TransferPolicy policy;
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(policy.flags[static_cast<std::size_t>(i)], 1) << i;
    EXPECT_EQ(policy.flags[10], 0);
    EXPECT_EQ(policy.pastePosition, 3);
    EXPECT_EQ(policy.scrollAfterPaste, 3);
    EXPECT_EQ(policy.focusAfterPaste, 3);
}

TEST(TransferPolicyRecord, StoresVersionOneElevenFlagBytesAndThreeModes)
{
    TransferPolicy policy;
    policy.flags[4] = 0;
    policy.pastePosition = 1;
    policy.scrollAfterPaste = 2;
    policy.focusAfterPaste = 0;
    CArchive archive;
    policy.Serialize(archive);
    const std::vector<std::uint8_t> bytes = archive.GetBytes();
    ASSERT_EQ(bytes.size(), 4u + 11u + 12u);
    EXPECT_EQ(Get32(bytes, 0), 1u);
    EXPECT_EQ(bytes[4 + 4], 0);
    EXPECT_EQ(Get32(bytes, 15), 1u);
    EXPECT_EQ(Get32(bytes, 19), 2u);
    EXPECT_EQ(Get32(bytes, 23), 0u);
    TransferPolicy loaded;
    CArchive reader(bytes);
    loaded.Serialize(reader);
    EXPECT_EQ(loaded, policy);
}

TEST(TransferPolicyRecord, ANewerVersionIsRefusedAndZeroOrLessLeavesItUnchanged)
{
    TransferPolicy policy;
    policy.pastePosition = 0;
    const TransferPolicy before = policy;
    {
        const std::vector<std::uint8_t> bytes = PolicyBytes(2, 0, 1);
        CArchive reader(bytes);
        EXPECT_THROW(policy.Serialize(reader), CArchiveException);
        EXPECT_EQ(policy, before);
    }
    for (std::int32_t version : {0, -1}) {
        const std::vector<std::uint8_t> bytes = PolicyBytes(version, 0, 1);
        CArchive reader(bytes);
        policy.Serialize(reader);
        EXPECT_EQ(policy, before) << version;
    }
    {
        std::vector<std::uint8_t> bytes = PolicyBytes(1, 0, 1);
        bytes.pop_back(); // the last mode cut short: nothing is taken
        CArchive reader(bytes);
        EXPECT_THROW(policy.Serialize(reader), CArchiveException);
        EXPECT_EQ(policy, before);
    }
    const std::vector<std::uint8_t> bytes = PolicyBytes(1, 0, 1);
    CArchive reader(bytes);
    policy.Serialize(reader);
    EXPECT_EQ(policy.flags[0], 0);
    EXPECT_EQ(policy.pastePosition, 1);
    EXPECT_EQ(policy.focusAfterPaste, 3);
}
