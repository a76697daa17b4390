#include <gtest/gtest.h>

#include "common/FloatFormats.h"
#include "common/IntegerFormats.h"
#include "gui/header/Column.h"
#include "gui/paint/PaintFormat.h"

using namespace Kestrum::GUI;
using Kestrum::Common::CDoubleFormat;
using Kestrum::Common::CFormat;

namespace {
struct CRecorder : CColumn::INotify {
    std::vector<std::int32_t> codes;
    CColumn* removeOnNotice = nullptr;
    void OnColumnChanged(CColumn*, std::int32_t code) override
    {
        codes.push_back(code);
        if (removeOnNotice)
            removeOnNotice->RemoveNotify(this);
    }
};

std::vector<std::uint8_t> Store(CColumn& column)
{
    CArchive archive;
    column.Serialize(archive);
    return archive.GetBytes();
}

// A format that cannot be persisted.
class CLocalFormat : public CFormat {
public:
    CLocalFormat() : CFormat(Kestrum::Common::FT_LONG) {}
    CFormat* Clone() const override { return new CLocalFormat; }
};
} // namespace

TEST(CColumn, DefaultsAndFullConstructor)
{
    CColumn bare;
    EXPECT_EQ(bare.GetFieldId(), -2);
    EXPECT_EQ(bare.GetAlignment(), AlignLeft);
    EXPECT_EQ(bare.GetImageIndex(), -1);
    EXPECT_TRUE(bare.IsVisible());
    EXPECT_FALSE(bare.IsEditable());

    CColumn full(2, "Size", 120, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, "");
    EXPECT_EQ(full.GetFieldId(), 2);
    EXPECT_EQ(full.GetCaption(), "Size");
    EXPECT_EQ(full.GetWidth(), 120);
    EXPECT_EQ(full.GetFormat(), nullptr);
}

TEST(CColumn, WidthAndVisibilityNotices)
{
    CColumn column(1, "Name", 100, AlignLeft, false, -1, -1, nullptr, nullptr, nullptr, "");
    CRecorder recorder;
    column.AddNotify(&recorder);
    column.AddNotify(&recorder);
    EXPECT_FALSE(column.SetWidth(0));
    EXPECT_FALSE(column.SetWidth(-5));
    EXPECT_TRUE(column.SetWidth(100));
    EXPECT_TRUE(recorder.codes.empty());
    EXPECT_TRUE(column.SetWidth(80));
    column.SetVisible(true);
    column.SetVisible(false);
    EXPECT_EQ(recorder.codes, (std::vector<std::int32_t>{ColumnWidthChanged, ColumnVisibilityChanged}));
    column.RemoveNotify(&recorder);
    column.RemoveNotify(&recorder);
    column.SetVisible(true);
    EXPECT_EQ(recorder.codes.size(), 2u);
}

TEST(CColumn, SelfRemovingSubscriberDoesNotDisturbOthers)
{
    CRecorder leaving, staying;
    {
        CColumn column(1, "Name", 100, AlignLeft, false, -1, -1, nullptr, nullptr, nullptr, "");
        leaving.removeOnNotice = &column;
        column.AddNotify(&leaving);
        column.AddNotify(&staying);
        column.SetWidth(50);
        column.SetWidth(60);
    }
    EXPECT_EQ(leaving.codes, (std::vector<std::int32_t>{ColumnWidthChanged}));
    EXPECT_EQ(staying.codes, (std::vector<std::int32_t>{ColumnWidthChanged, ColumnWidthChanged, ColumnDestroyed}));
}

TEST(CColumn, AlignmentResolvesByValueType)
{
    using namespace Kestrum::Common;
    for (const std::int32_t numeric : {FT_CHAR, FT_UCHAR, FT_SHORT, FT_USHORT, FT_LONG, FT_ULONG, FT_INT64, FT_FLOAT, FT_DOUBLE})
        EXPECT_EQ(ResolveAlignment(AlignAuto, numeric), AlignRight) << numeric;
    for (const std::int32_t other : {FT_EMPTY, FT_MFCSTRING, FT_STLSTRING, FT_BOOL, FT_HANDLE})
        EXPECT_EQ(ResolveAlignment(AlignAuto, other), AlignLeft) << other;
    EXPECT_EQ(ResolveAlignment(AlignCenter, FT_LONG), AlignCenter);
}

TEST(CColumn, ArchiveRoundTripKeepsEverythingAndPersistableFormatsOnly)
{
    CColumn source(7, "Price \xE2\x82\xAC", 90, AlignRight, true, 3, 4, new CDoubleFormat(2, true), nullptr, nullptr,
                   "second text");
    source.SetVisible(false);
    const auto bytes = Store(source);
    CColumn loaded;
    CArchive reader(bytes);
    loaded.Serialize(reader);
    EXPECT_EQ(reader.GetRemaining(), 0u);
    EXPECT_EQ(loaded.GetFieldId(), 7);
    EXPECT_EQ(loaded.GetCaption(), "Price \xE2\x82\xAC");
    EXPECT_EQ(loaded.GetWidth(), 90);
    EXPECT_EQ(loaded.GetAlignment(), AlignRight);
    EXPECT_EQ(loaded.GetImageIndex(), 3);
    EXPECT_EQ(loaded.GetHeaderImageIndex(), 4);
    EXPECT_FALSE(loaded.IsVisible());
    EXPECT_TRUE(loaded.IsEditable());
    EXPECT_EQ(loaded.GetText(), "second text");
    ASSERT_NE(loaded.GetFormat(), nullptr);
    EXPECT_EQ(loaded.GetFormat()->FormatValue(2.5, nullptr), "2,50");
    EXPECT_EQ(Store(loaded), bytes);

    CColumn local(1, "L", 10, AlignLeft, false, -1, -1, new CLocalFormat, nullptr, nullptr, "");
    CColumn localLoaded;
    CArchive localReader(Store(local));
    localLoaded.Serialize(localReader);
    EXPECT_EQ(localLoaded.GetFormat(), nullptr);
}

TEST(CColumn, VersionsAndUnknownClasses)
{
    CColumn column(3, "Keep", 10, AlignLeft, false, -1, -1, nullptr, nullptr, nullptr, "");
    CArchive versionZero(std::vector<std::uint8_t>{0, 0, 0, 0, 9, 9});
    column.Serialize(versionZero);
    EXPECT_EQ(versionZero.GetRemaining(), 2u);
    EXPECT_EQ(column.GetCaption(), "Keep");

    CArchive versionTwo(std::vector<std::uint8_t>{2, 0, 0, 0});
    try {
        column.Serialize(versionTwo);
        FAIL();
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause, CArchiveException::BadSchema);
    }

    // A cell paint format whose class no factory knows.
    CColumn other(4, "X", 10, AlignLeft, false, -1, -1, nullptr, nullptr, nullptr, "");
    auto bytes = Store(other);
    bytes.resize(bytes.size() - 8); // drop the two paint-format versions
    CArchive tail;
    tail.WriteInt32(1);
    tail.WriteString("GUI::CNoSuchPaintFormat");
    bytes.insert(bytes.end(), tail.GetBytes().begin(), tail.GetBytes().end());
    CArchive reader(bytes);
    try {
        column.Serialize(reader);
        FAIL();
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause, CArchiveException::BadSchema);
    }
    EXPECT_EQ(column.GetFieldId(), 3); // damaged data left the column as it was

    // An unknown format class is dropped and its bytes skipped.
    CArchive formatted;
    formatted.WriteInt32(1);
    formatted.WriteInt32(5);
    formatted.WriteString("F");
    for (int i = 0; i < 4; ++i)
        formatted.WriteInt32(i);
    formatted.WriteBool(true);
    formatted.WriteBool(false);
    formatted.WriteString("");
    formatted.WriteBool(true);
    formatted.WriteString("Common::CGoneFormat");
    formatted.WriteInt32(3);
    formatted.WriteBytes("abc", 3);
    formatted.WriteInt32(0);
    formatted.WriteInt32(0);
    CArchive formattedReader(formatted.GetBytes());
    column.Serialize(formattedReader);
    EXPECT_EQ(column.GetFieldId(), 5);
    EXPECT_EQ(column.GetFormat(), nullptr);
    EXPECT_EQ(formattedReader.GetRemaining(), 0u);
}
