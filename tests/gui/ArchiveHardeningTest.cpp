// Damaged settings are refused, never half-read: a count larger than what
// the record can hold raises the archive error and changes nothing.
#include <gtest/gtest.h>

#include "gui/header/Header.h"
#include "gui/platform/Archive.h"

using namespace Kestrum::GUI;

namespace {
// A header archive without columns whose sort-level count is `stored`,
// followed by that many levels and the fields that come after them.
std::vector<std::uint8_t> HeaderWithLevels(std::int32_t stored, std::int32_t written)
{
    CArchive archive;
    archive.WriteInt32(1);  // version
    archive.WriteInt32(0);  // columns
    archive.WriteInt32(0);  // fixed count
    archive.WriteInt32(26); // height
    archive.WriteBool(true);
    archive.WriteBool(true);
    archive.WriteInt32(stored);
    for (std::int32_t level = 0; level < written; ++level) {
        CSortInfo info(10 + level, level % 2 == 1);
        info.Serialize(archive);
    }
    archive.WriteBool(false); // fixed columns movable
    archive.WriteBool(false); // scrollable columns movable
    archive.WriteBool(true);  // extra option
    archive.WriteInt32(7);    // extra value
    return archive.GetBytes();
}

void FillHeader(CHeader& header)
{
    header.AddColumn(new CColumn(3, "three", 40, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    header.SetHeight(31);
    header.SetExtraValue(99);
    header.SetSortInfo(0, CSortInfo(3, true));
}
} // namespace

TEST(HeaderArchive, FiveSortLevelsLoadAndTheFieldsAfterThemStayInStep)
{
    CHeader header(false);
    CArchive reader(HeaderWithLevels(5, 5));
    header.Serialize(reader);
    EXPECT_EQ(reader.GetRemaining(), 0u);
    EXPECT_EQ(header.GetHeight(), 26);
    EXPECT_EQ(header.GetSortLevelCount(), 5);
    EXPECT_EQ(header.GetSortInfo(4).GetFieldId(), 14);
    EXPECT_FALSE(header.CanMoveFixedColumns());
    EXPECT_EQ(header.GetExtraValue(), 7);
}

TEST(HeaderArchive, MoreSortLevelsThanAHeaderHoldsAreRefusedAndChangeNothing)
{
    for (const std::int32_t stored : {6, 7, 1000}) {
        SCOPED_TRACE(stored);
        CHeader header(false);
        FillHeader(header);
        CArchive reader(HeaderWithLevels(stored, std::min(stored, 8)));
        EXPECT_THROW(header.Serialize(reader), CArchiveException);
        EXPECT_EQ(header.GetColumnCount(), 1);
        EXPECT_EQ(header.GetHeight(), 31);
        EXPECT_EQ(header.GetExtraValue(), 99);
        EXPECT_TRUE(header.CanMoveFixedColumns());
        EXPECT_EQ(header.GetSortLevelCount(), 1);
        EXPECT_EQ(header.GetSortInfo(0).GetFieldId(), 3);
    }
}
