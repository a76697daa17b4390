#include <gtest/gtest.h>

#include <future>
#include <random>
#include <thread>

#include "common/DateFormats.h"
#include "common/FloatFormats.h"
#include "common/IntegerFormats.h"
#include "gui/header/Header.h"

using namespace Kestrum::GUI;

namespace {
struct CNotice {
    CColumn* column;
    std::int32_t code;
    friend bool operator==(const CNotice&, const CNotice&) = default;
};

struct CHeaderRecorder : CHeader::INotify {
    std::vector<CNotice> notices;
    void OnHeaderChanged(CHeader*, CColumn* column, std::int32_t code) override { notices.push_back({column, code}); }
    std::vector<std::int32_t> Codes() const
    {
        std::vector<std::int32_t> codes;
        for (const CNotice& notice : notices)
            codes.push_back(notice.code);
        return codes;
    }
};

struct CScroll : IScrollPositionSource {
    int position = 0;
    bool works = true;
    bool GetHorizontalScrollPosition(int& out) const override
    {
        out = position;
        return works;
    }
};

CColumn* MakeColumn(std::int32_t id, int width, Kestrum::Common::CFormat* format = nullptr)
{
    return new CColumn(id, "Column " + std::to_string(id), width, AlignAuto, false, -1, -1, format, nullptr, nullptr, "");
}

class HeaderFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        header.AddColumn(MakeColumn(1, 270));
        header.AddColumn(MakeColumn(2, 120));
        header.AddColumn(MakeColumn(3, 80));
        header.SetFixedColumnCount(1);
        header.AddNotify(&recorder);
    }
    void TearDown() override { header.RemoveNotify(&recorder); }
    CHeader header{false};
    CHeaderRecorder recorder;
    CScroll scroll;
};

std::vector<std::int32_t> StoredOrder(const CHeader& header)
{
    std::vector<std::int32_t> ids;
    for (int i = 0; i < header.GetColumnCount(); ++i)
        ids.push_back(header.GetColumnAt(i)->GetFieldId());
    return ids;
}

std::vector<std::uint8_t> Store(CHeader& header)
{
    CArchive archive;
    header.Serialize(archive);
    return archive.GetBytes();
}
} // namespace

TEST_F(HeaderFixture, AddColumnRefusesReservedAndDuplicateIds)
{
    header.HideColumn(2);
    recorder.notices.clear();
    std::unique_ptr<CColumn> all(MakeColumn(-1, 10)), none(MakeColumn(-2, 10)), dup(MakeColumn(2, 10));
    EXPECT_FALSE(header.AddColumn(all.get()));
    EXPECT_FALSE(header.AddColumn(none.get()));
    EXPECT_FALSE(header.AddColumn(dup.get()));
    EXPECT_FALSE(header.AddColumn(nullptr));
    EXPECT_TRUE(recorder.notices.empty());
    CColumn* added = MakeColumn(9, 10);
    EXPECT_TRUE(header.AddColumn(added));
    EXPECT_EQ(recorder.notices, (std::vector<CNotice>{{added, HeaderColumnAdded}}));
}

TEST_F(HeaderFixture, HidingAnnouncesTwiceAndOnlyWhenVisible)
{
    CColumn* second = header.GetColumn(2);
    EXPECT_TRUE(header.HideColumn(2));
    EXPECT_EQ(recorder.notices,
              (std::vector<CNotice>{{second, HeaderColumnVisibilityChanged}, {second, HeaderColumnVisibilityChanged}}));
    EXPECT_EQ(header.GetVisibleColumnCount(), 2);
    EXPECT_EQ(header.GetVisibleColumn(2), nullptr);
    recorder.notices.clear();
    EXPECT_TRUE(header.HideColumn(2));
    EXPECT_FALSE(header.HideColumn(42));
    EXPECT_TRUE(recorder.notices.empty());
    EXPECT_EQ(header.GetColumnRect(&scroll, 2), (CRect{0, 0, 0, 20}));
    EXPECT_TRUE(header.ShowColumn(2));
    EXPECT_EQ(recorder.notices.size(), 2u);
    // The column's own flag alone also re-lays out the header.
    header.GetColumn(3)->SetVisible(false);
    EXPECT_EQ(header.GetVisibleColumnCount(), 2);
    EXPECT_EQ(recorder.notices.back().code, HeaderColumnVisibilityChanged);
}

TEST_F(HeaderFixture, GeometryAndHitTestingWithAFrozenColumn)
{
    EXPECT_EQ(header.GetFixedWidth(), 270);
    EXPECT_EQ(header.GetScrollableWidth(), 200);
    EXPECT_EQ(header.HitTestColumn(&scroll, 0, 5)->GetFieldId(), 1);
    EXPECT_EQ(header.HitTestColumn(&scroll, 269, 5)->GetFieldId(), 1);
    EXPECT_EQ(header.HitTestColumn(&scroll, 270, 5)->GetFieldId(), 2);
    EXPECT_EQ(header.HitTestColumn(&scroll, 470, 5), nullptr);
    scroll.position = 100;
    // 100 of the second column's 120 pixels are scrolled under the frozen one.
    EXPECT_EQ(header.HitTestColumn(&scroll, 270, 5)->GetFieldId(), 2);
    EXPECT_EQ(header.HitTestColumn(&scroll, 290, 5)->GetFieldId(), 3);
    EXPECT_EQ(header.HitTestColumn(&scroll, 100, 5)->GetFieldId(), 1); // the frozen column ignores scrolling
    scroll.works = false;
    EXPECT_EQ(header.HitTestColumn(&scroll, 300, 5), nullptr);
    EXPECT_EQ(header.HitTestColumn(nullptr, 300, 5), nullptr);
    EXPECT_EQ(header.HitTestColumn(nullptr, 10, 5)->GetFieldId(), 1);
}

TEST_F(HeaderFixture, ColumnRectsScrollUnderTheFrozenArea)
{
    scroll.position = 50;
    EXPECT_EQ(header.GetColumnRect(&scroll, 1), (CRect{0, 0, 270, 20}));
    EXPECT_EQ(header.GetColumnRect(&scroll, 2), (CRect{220, 0, 340, 20}));
    EXPECT_EQ(header.GetClippedColumnRect(&scroll, 2), (CRect{270, 0, 340, 20}));
    scroll.position = 200;
    EXPECT_EQ(header.GetClippedColumnRect(&scroll, 2), (CRect{270, 0, 270, 20}));
    EXPECT_EQ(header.GetClippedColumnRect(&scroll, 3), (CRect{270, 0, 270, 20}));
    header.SetHeight(24);
    EXPECT_EQ(header.GetColumnRect(nullptr, 3), (CRect{390, 0, 470, 24}));
    header.GetColumn(2)->SetWidth(20);
    EXPECT_EQ(header.GetColumnRect(nullptr, 3), (CRect{290, 0, 370, 24}));
    EXPECT_EQ(header.GetScrollableWidth(), 100);
    EXPECT_EQ(recorder.Codes(), (std::vector<std::int32_t>{HeaderHeightChanged, HeaderColumnResized}));
}

TEST_F(HeaderFixture, FixedCountBeyondTheColumnsFreezesAll)
{
    header.SetFixedColumnCount(10);
    EXPECT_EQ(header.GetFixedWidth(), 470);
    EXPECT_TRUE(header.IsFixedColumn(3));
    header.SetFixedColumnCount(0);
    EXPECT_EQ(header.GetFixedWidth(), 0);
    EXPECT_FALSE(header.IsFixedColumn(1));
    header.SetFixedColumnCount(0);
    EXPECT_EQ(recorder.Codes(), (std::vector<std::int32_t>{HeaderFixedCountChanged, HeaderFixedCountChanged}));
}

TEST_F(HeaderFixture, MovingColumns)
{
    EXPECT_FALSE(header.MoveColumnBefore(2, 2));
    EXPECT_TRUE(header.MoveColumnBefore(3, 2));
    EXPECT_EQ(StoredOrder(header), (std::vector<std::int32_t>{1, 3, 2}));
    EXPECT_TRUE(header.MoveColumnToIndex(1, 3));
    EXPECT_EQ(StoredOrder(header), (std::vector<std::int32_t>{3, 2, 1}));
    EXPECT_TRUE(header.MoveColumnToIndex(1, 0));
    EXPECT_EQ(StoredOrder(header), (std::vector<std::int32_t>{1, 3, 2}));
    EXPECT_FALSE(header.MoveColumnToIndex(1, 7));
    EXPECT_FALSE(header.MoveColumnAfter(1, 42));

    header.SetMoveFixedColumns(false);
    EXPECT_FALSE(header.MoveColumnAfter(1, 2)); // 1 is the frozen column
    EXPECT_FALSE(header.MoveColumnBefore(3, 1)); // and cannot be a target
    EXPECT_EQ(StoredOrder(header), (std::vector<std::int32_t>{1, 3, 2}));
    header.HideColumn(1); // the switches apply to visible columns only
    EXPECT_TRUE(header.MoveColumnAfter(1, 2));
    EXPECT_EQ(StoredOrder(header), (std::vector<std::int32_t>{3, 2, 1}));
    EXPECT_FALSE(header.MoveColumnToVisibleIndex(2, 0)); // 3 is the frozen column now
    header.SetMoveFixedColumns(true);
    EXPECT_TRUE(header.MoveColumnToVisibleIndex(2, 0));
    EXPECT_EQ(StoredOrder(header), (std::vector<std::int32_t>{2, 3, 1}));
    EXPECT_EQ(header.GetColumnIndex(3), 1);
    EXPECT_EQ(header.GetVisibleIndex(1), -1);
}

// Every move among three columns, each as a user dragging a caption would
// make it: the order that results, and where the column's rectangle went.
struct ColumnMove {
    const char* how;
    std::int32_t moved;
    std::int32_t target;
    std::vector<std::int32_t> order;
};
class HeaderMoveFixture : public HeaderFixture, public ::testing::WithParamInterface<ColumnMove> {};

TEST_P(HeaderMoveFixture, MovesWithinRangeGiveTheOrder)
{
    const ColumnMove& move = GetParam();
    header.SetFixedColumnCount(0);
    recorder.notices.clear();
    const bool after = std::string(move.how) == "after";
    ASSERT_TRUE(after ? header.MoveColumnAfter(move.moved, move.target) : header.MoveColumnBefore(move.moved, move.target));
    EXPECT_EQ(StoredOrder(header), move.order);
    // The columns lie side by side in the new order.
    int left = 0;
    for (const std::int32_t id : move.order) {
        const CRect rect = header.GetColumnRect(nullptr, id);
        EXPECT_EQ(rect.left, left) << "column " << id;
        left = rect.right;
    }
    if (move.order != std::vector<std::int32_t>{1, 2, 3}) {
        EXPECT_EQ(recorder.Codes(), std::vector<std::int32_t>{HeaderColumnMoved});
    }
}

INSTANTIATE_TEST_SUITE_P(
    ThreeColumns, HeaderMoveFixture,
    ::testing::Values(ColumnMove{"before", 1, 3, {2, 1, 3}}, ColumnMove{"after", 1, 3, {2, 3, 1}},
                      ColumnMove{"after", 1, 2, {2, 1, 3}}, ColumnMove{"before", 1, 2, {1, 2, 3}},
                      ColumnMove{"before", 2, 3, {1, 2, 3}}, ColumnMove{"after", 2, 3, {1, 3, 2}},
                      ColumnMove{"before", 3, 1, {3, 1, 2}}, ColumnMove{"after", 3, 1, {1, 3, 2}},
                      ColumnMove{"before", 2, 1, {2, 1, 3}}, ColumnMove{"after", 3, 2, {1, 2, 3}}));

TEST_F(HeaderFixture, SortLevels)
{
    header.SetSortInfo(2, CSortInfo(1, false));
    EXPECT_EQ(header.GetSortLevelCount(), 0);
    header.SetSortInfo(0, CSortInfo(1, false));
    header.SetSortInfo(1, CSortInfo(2, true));
    header.SetSortInfo(1, CSortInfo(2, true)); // unchanged: no notice
    header.SetSortInfo(5, CSortInfo(3, true));
    header.SetSortInfo(-1, CSortInfo(3, true));
    EXPECT_EQ(header.GetSortLevelCount(), 2);
    EXPECT_EQ(header.GetSortInfo(1), CSortInfo(2, true));
    EXPECT_EQ(header.GetSortInfo(4).GetFieldId(), -2);
    EXPECT_EQ(header.GetSortInfo(-3).GetFieldId(), -2);
    EXPECT_EQ(recorder.Codes(), (std::vector<std::int32_t>{HeaderSortChanged, HeaderSortChanged}));
    for (int level = 2; level < 7; ++level)
        header.SetSortInfo(level, CSortInfo(level, false));
    EXPECT_EQ(header.GetSortLevelCount(), kMaxSortLevels);

    recorder.notices.clear();
    header.EnableMultiSort(false);
    EXPECT_EQ(header.GetSortLevelCount(), 0);
    EXPECT_EQ(recorder.Codes(), (std::vector<std::int32_t>{HeaderSortChanged}));
    header.SetSortInfo(0, CSortInfo(1, false));
    header.SetSortInfo(1, CSortInfo(2, false));
    EXPECT_EQ(header.GetSortLevelCount(), 1);
    header.EnableSorting(false);
    header.SetSortInfo(0, CSortInfo(1, false));
    EXPECT_EQ(header.GetSortLevelCount(), 0);
}

TEST_F(HeaderFixture, FontAndImageListAlwaysAnnounce)
{
    EXPECT_EQ(header.SetFont(nullptr), nullptr);
    header.SetFont(nullptr);
    header.SetImageList(nullptr);
    EXPECT_EQ(recorder.Codes(), (std::vector<std::int32_t>{HeaderFontChanged, HeaderFontChanged, HeaderImageListChanged}));
}

TEST_F(HeaderFixture, TreeColumnFollowsVisibility)
{
    EXPECT_EQ(header.GetTreeColumn()->GetFieldId(), 1);
    EXPECT_TRUE(header.SetTreeColumn(2));
    EXPECT_EQ(header.GetTreeColumn()->GetFieldId(), 2);
    header.HideColumn(2);
    EXPECT_EQ(header.GetTreeColumn()->GetFieldId(), 1);
    EXPECT_FALSE(header.SetTreeColumn(2));
}

TEST_F(HeaderFixture, RemovalAnnouncesWhileTheColumnStillLives)
{
    struct CCheckingRecorder : CHeader::INotify {
        std::vector<std::string> captions;
        void OnHeaderChanged(CHeader*, CColumn* column, std::int32_t code) override
        {
            if (code == HeaderColumnRemoved)
                captions.push_back(column->GetCaption());
        }
    } checking;
    header.AddNotify(&checking);
    EXPECT_TRUE(header.RemoveColumn(2));
    EXPECT_FALSE(header.RemoveColumn(2));
    header.RemoveAllColumns();
    EXPECT_EQ(checking.captions, (std::vector<std::string>{"Column 2", "Column 1", "Column 3"}));
    EXPECT_EQ(header.GetColumnCount(), 0);
    EXPECT_EQ(header.GetTreeColumn(), nullptr);
    header.RemoveNotify(&checking);
}

TEST_F(HeaderFixture, NoticesAreSentWithoutTheHeaderLock)
{
    // A subscriber that waits for another thread using the header, as the
    // grid does for a change made on a worker thread.
    struct CWaitingRecorder : CHeader::INotify {
        CHeader* header = nullptr;
        bool allAnswered = true;
        void OnHeaderChanged(CHeader*, CColumn*, std::int32_t) override
        {
            auto answer = std::async(std::launch::async, [this] { return header->GetFixedWidth(); });
            allAnswered = allAnswered && answer.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        }
    } waiting;
    waiting.header = &header;
    header.AddNotify(&waiting);
    header.HideColumn(2);
    header.GetColumn(3)->SetWidth(90);
    header.SetSortInfo(0, CSortInfo(1, false));
    header.RemoveColumn(3);
    EXPECT_TRUE(waiting.allAnswered);
    header.RemoveNotify(&waiting);
}

namespace {
void FillSixColumns(CHeader& header)
{
    using namespace Kestrum::Common;
    header.AddColumn(MakeColumn(0, 200));
    header.AddColumn(MakeColumn(2, 100, new CInt64Format(0, true, '.', true, false)));
    header.AddColumn(MakeColumn(3, 60, new CLongFormat(1, false, ' ', true, true)));
    header.AddColumn(MakeColumn(5, 140, new CInt64DateFormat(125)));
    header.AddColumn(MakeColumn(6, 140, new CDoubleFormat(4, true)));
    header.AddColumn(MakeColumn(7, 140, new CLongMsecTimeFormat(31, true, "s", "d")));
    header.SetFixedColumnCount(2);
    header.HideColumn(6);
    header.SetHeight(26);
    header.SetSortInfo(0, CSortInfo(2, true));
    header.SetSortInfo(1, CSortInfo(0, false));
    header.SetSortInfo(2, CSortInfo(5, true));
    header.SetMoveFixedColumns(false);
    header.SetExtraValue(3);
}
} // namespace

TEST(HeaderArchive, RoundTripGivesTheSameBytes)
{
    CHeader source(true);
    FillSixColumns(source);
    const auto bytes = Store(source);

    CHeader loaded(true);
    loaded.AddColumn(MakeColumn(99, 10)); // replaced by the load
    CHeaderRecorder recorder;
    loaded.AddNotify(&recorder);
    CArchive reader(bytes);
    loaded.Serialize(reader);
    EXPECT_EQ(reader.GetRemaining(), 0u);
    EXPECT_EQ(Store(loaded), bytes);
    EXPECT_EQ(StoredOrder(loaded), (std::vector<std::int32_t>{0, 2, 3, 5, 6, 7}));
    EXPECT_EQ(loaded.GetFixedColumnCount(), 2);
    EXPECT_EQ(loaded.GetFixedWidth(), 300);
    EXPECT_EQ(loaded.GetScrollableWidth(), 60 + 140 + 140);
    EXPECT_EQ(loaded.GetHeight(), 26);
    EXPECT_EQ(loaded.GetSortLevelCount(), 3);
    EXPECT_EQ(loaded.GetSortInfo(2), CSortInfo(5, true));
    EXPECT_FALSE(loaded.CanMoveFixedColumns());
    EXPECT_EQ(loaded.GetExtraValue(), 3);
    EXPECT_EQ(loaded.GetColumn(2)->GetFormat()->FormatValue(std::int64_t{1234567}, nullptr), "1.234.567");
    // Removal of the old column, six additions, three sort changes.
    const auto codes = recorder.Codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), HeaderColumnRemoved), 1);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), HeaderColumnAdded), 6);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), HeaderSortChanged), 3);
    loaded.RemoveNotify(&recorder);
}

TEST(HeaderArchive, DamagedArchivesRaiseAndLeaveTheHeaderAsItWas)
{
    CHeader source(true);
    FillSixColumns(source);
    const auto bytes = Store(source);
    CHeader target(true);
    target.AddColumn(MakeColumn(42, 33));
    const auto before = Store(target);

    for (std::size_t length = 0; length < bytes.size(); ++length) {
        CArchive reader(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_THROW(target.Serialize(reader), CArchiveException) << length;
    }
    EXPECT_EQ(Store(target), before);

    std::mt19937 random(5);
    int failures = 0;
    for (int round = 0; round < 3000; ++round) {
        auto damaged = bytes;
        for (int flips = 0; flips < 3; ++flips)
            damaged[random() % damaged.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8));
        CHeader victim(true);
        victim.AddColumn(MakeColumn(42, 33));
        CArchive reader(damaged);
        try {
            victim.Serialize(reader);
        } catch (const CArchiveException&) {
            ++failures;
            EXPECT_EQ(Store(victim), before);
        }
    }
    EXPECT_GT(failures, 0);

    // Huge counts are refused before anything is allocated.
    CArchive huge;
    huge.WriteInt32(1);
    huge.WriteInt32(0x7FFFFFFF);
    CArchive hugeReader(huge.GetBytes());
    EXPECT_THROW(target.Serialize(hugeReader), CArchiveException);
    EXPECT_EQ(Store(target), before);
}

TEST(HeaderArchive, ClassRecordsMustNameAColumn)
{
    CArchive archive;
    archive.WriteInt32(1);
    archive.WriteInt32(1);
    archive.WriteClass("CHeader");
    CHeader header(true);
    CArchive reader(archive.GetBytes());
    try {
        header.Serialize(reader);
        FAIL();
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause, CArchiveException::BadClass);
    }
    CArchive unknown;
    unknown.WriteInt32(1);
    unknown.WriteInt32(1);
    unknown.WriteString("CNoSuchClass");
    CArchive unknownReader(unknown.GetBytes());
    try {
        header.Serialize(unknownReader);
        FAIL();
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause, CArchiveException::BadClass);
    }
}
