// Copy, cut and paste on the real (offscreen) clipboard, driven by Ctrl+C,
// Ctrl+X and Ctrl+V on a real grid: the text and the local data the
// clipboard gets, the descendants a copy takes, what a paste inserts and
// where (the position modes, the fixed area, no focus), focus and scrolling
// after it, the paste switch and the policy flags, data written by another
// process, the handlers and their ownership.
#include <QClipboard>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <cstdio>

#include "gui/clipboard/CopyPaste.h"
#include "gui/grid/GridDefaults.h"
#include "gui/clipboard/DragDrop.h"
#include "gui/clipboard/GridDirectory.h"
#include "gui/clipboard/LocalDataFormat.h"
#include "gui/clipboard/TextClipboardFormat.h"
#include "gui/clipboard/TransferMime.h"
#include "gui/paint/CustomDraw.h"
#include "tests/gui/TransferGrid.h"

using namespace Kestrum::Test;

namespace {
QClipboard& Clipboard() { return *QGuiApplication::clipboard(); }

QString LocalMime() { return MimeTypeOf(RegisterClipboardFormat(kLocalDataFormatName)); }

struct ClipboardGrid : ::testing::Test {
    CObjects objects;
    CTransferGrid grid{objects};
    ClipboardGrid()
    {
        grid.resize(300, grid.header->GetHeight() + 10 * kRowHeight);
        grid.show();
        grid.setFocus();
        Clipboard().setText("before");
        Pump();
    }
    void SetPolicy(const std::function<void(TransferPolicy&)>& change)
    {
        TransferPolicy policy = grid.GetTransferPolicy();
        change(policy);
        grid.SetTransferPolicy(policy);
    }
    // The rows named, as the clipboard's local data with this process's stamp.
    void PutRecord(std::uint32_t processId, std::uint64_t token, const std::vector<HITEM>& items, int operation)
    {
        std::vector<std::uint8_t> bytes;
        auto put = [&](std::uint64_t value, int width) {
            for (int i = 0; i < width; ++i)
                bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        };
        put(processId, 4);
        put(token, 8);
        put(AddressWord(&grid), 8);
        put(MaskBoth, 4);
        put(items.size(), 4);
        put(static_cast<std::uint64_t>(operation), 4);
        for (HITEM item : items) {
            put(item, 8);
            put(AddressWord(grid.GetObject(item)), 8);
        }
        auto* data = new QMimeData;
        data->setData(LocalMime(), QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
        Clipboard().setMimeData(data);
    }
};
} // namespace

// --- copying --------------------------------------------------------------------------

TEST_F(ClipboardGrid, CtrlCOnTwoRowsOfThreeColumnsPutsTabsCrLfAndTheLocalRows)
{
    grid.AddRow("alpha", GRID_ROOT, 12, "first");
    grid.AddRow("beta", GRID_ROOT, 340, "second");
    grid.AddRow("gamma", GRID_ROOT, 5, "third");
    grid.Select({"alpha", "beta"});
    grid.Key(Qt::Key_C, Qt::ControlModifier);
    const QMimeData* data = Clipboard().mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text().toStdString(), "alpha\t12\tfirst\r\nbeta\t340\tsecond");
    // The format counts the terminating zero; other programs do not get it.
    CTextClipboardFormat format;
    format.Build({FromHandle(grid.Row("alpha")), FromHandle(grid.Row("beta"))}, grid.header);
    EXPECT_EQ(format.GetText(), data->text().toStdString() + '\0');
    EXPECT_FALSE(data->text().contains(QChar(0)));
    // The local data names the two rows, this process and a copy.
    ASSERT_TRUE(data->hasFormat(LocalMime()));
    const QByteArray local = data->data(LocalMime());
    ASSERT_EQ(local.size(), 32 + 2 * 16);
    TransferRecord record;
    CLocalDataFormat reader;
    ASSERT_TRUE(reader.Read(reinterpret_cast<const std::uint8_t*>(local.data()), static_cast<std::size_t>(local.size()), nullptr, record));
    EXPECT_EQ(record.sourceGrid, &grid);
    EXPECT_EQ(record.sourceOperation, TransferCopy);
    ASSERT_EQ(record.rows.size(), 2u);
    EXPECT_EQ(ToHandle(record.rows[0].item), grid.Row("alpha"));
    EXPECT_EQ(ToHandle(record.rows[1].item), grid.Row("beta"));
}

TEST_F(ClipboardGrid, OneRowOfOneVisibleColumnIsTheCellText)
{
    grid.AddRow("solo", GRID_ROOT, 7, "note");
    grid.header->HideColumn(kSize);
    grid.header->HideColumn(kNote);
    grid.Select({"solo"});
    EXPECT_TRUE(grid.Copy());
    EXPECT_EQ(Clipboard().text().toStdString(), "solo");
}

TEST_F(ClipboardGrid, WithNothingSelectedTheClipboardKeepsItsContent)
{
    grid.AddRows(3);
    grid.Key(Qt::Key_C, Qt::ControlModifier);
    grid.Key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(Clipboard().text().toStdString(), "before");
    EXPECT_FALSE(grid.Copy());
    // Nor does a copy from an area the policy leaves out.
    grid.Select({"row 1"});
    SetPolicy([](TransferPolicy& p) { p.flags[1] = 0; });
    EXPECT_FALSE(grid.Copy());
    EXPECT_EQ(Clipboard().text().toStdString(), "before");
}

struct DescendantCase {
    const char* name;
    bool unselected; // policy flag 2
    bool all;        // policy flag 3
    const char* text;
};

class CopyDescendants : public ClipboardGrid, public ::testing::WithParamInterface<DescendantCase> {};

// S (selected) has C1, C2 (selected, with G) and C3 (collapsed, with H
// selected but without a row).
TEST_P(CopyDescendants, FollowPolicyFlagsTwoAndThreeAndLoseNoRow)
{
    const HITEM s = grid.AddRow("S");
    grid.AddRow("C1", s);
    const HITEM c2 = grid.AddRow("C2", s);
    grid.AddRow("G", c2);
    const HITEM c3 = grid.AddRow("C3", s);
    const HITEM h = grid.AddRow("H", c3);
    grid.AddRow("after");
    grid.Expand(s, true);
    grid.Select({"S", "C2", "H"});
    grid.Collapse(c3, false);
    ASSERT_TRUE(grid.IsItemSelected(h));
    grid.header->HideColumn(kSize);
    grid.header->HideColumn(kNote);
    SetPolicy([&](TransferPolicy& p) {
        p.flags[2] = GetParam().unselected;
        p.flags[3] = GetParam().all;
    });
    ASSERT_TRUE(grid.Copy());
    EXPECT_EQ(Clipboard().text().toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Flags, CopyDescendants,
                         ::testing::Values(DescendantCase{"None", false, false, "S\r\nC2"},
                                           DescendantCase{"Unselected", true, false, "S\r\nC1\r\nC2\r\nG\r\nC3"},
                                           DescendantCase{"All", false, true, "S\r\nC1\r\nC2\r\nG\r\nC3\r\nH"},
                                           DescendantCase{"Both", true, true, "S\r\nC1\r\nC2\r\nG\r\nC3\r\nH"}),
                         [](const auto& param) { return std::string(param.param.name); });

// --- pasting ---------------------------------------------------------------------------

TEST_F(ClipboardGrid, CutThenPasteInTheSameGridMovesTheRows)
{
    grid.AddRows(5);
    const HITEM one = grid.Row("row 1"), two = grid.Row("row 2");
    grid.Select({"row 1", "row 2"});
    grid.Key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(grid.Shown(), (Names{"row 0", "row 1", "row 2", "row 3", "row 4"})) << "a cut moves at the paste";
    grid.Focus("row 3");
    grid.Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(grid.Shown(), (Names{"row 0", "row 3", "row 1", "row 2", "row 4"}));
    EXPECT_EQ(grid.Row("row 1"), one) << "the same items";
    EXPECT_EQ(grid.Row("row 2"), two);
    EXPECT_EQ(grid.FocusedName(), "row 2"); // focus mode 3: the last pasted row
}

TEST_F(ClipboardGrid, CopyThenPasteShowsTheSameObjectsInASecondSetOfRows)
{
    grid.AddRows(3);
    const HITEM zero = grid.Row("row 0");
    grid.Select({"row 0", "row 1"});
    grid.Key(Qt::Key_C, Qt::ControlModifier);
    grid.Focus("row 2");
    grid.Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(grid.Shown(), (Names{"row 0", "row 1", "row 2", "row 0", "row 1"}));
    const HITEM copy = grid.GetItemAt(3, AreaScrollable);
    EXPECT_NE(copy, zero);
    EXPECT_EQ(grid.GetObject(copy), grid.GetObject(zero));
    std::vector<HITEM> items;
    grid.GetItems(grid.GetObject(zero), items, MaskBoth, false);
    EXPECT_EQ(items.size(), 2u);
}

TEST_F(ClipboardGrid, ACopiedParentTakesItsCopiedChildrenAlong)
{
    const HITEM p = grid.AddRow("P");
    grid.AddRow("a", p);
    grid.AddRow("b", p);
    grid.AddRow("end");
    grid.Expand(p, false);
    grid.Select({"P"});
    ASSERT_TRUE(grid.Copy());
    grid.Focus("end");
    ASSERT_TRUE(grid.Paste());
    const HITEM copy = grid.GetItemAt(4, AreaScrollable);
    grid.Expand(copy, false);
    EXPECT_EQ(grid.Shown(), (Names{"P", "  a", "  b", "end", "P", "  a", "  b"}));
    EXPECT_NE(copy, p);
}

TEST_F(ClipboardGrid, FocusModesPickTheFirstTheLastOrTheDeepestLastPastedRow)
{
    grid.AddRow("Q");
    const HITEM p = grid.AddRow("P");
    grid.AddRow("a", p);
    const HITEM b = grid.AddRow("b", p);
    grid.AddRow("b1", b);
    grid.AddRow("end");
    grid.Expand(p, true);
    grid.Select({"Q", "P"});
    ASSERT_TRUE(grid.Cut());
    const struct {
        int mode;
        const char* focused;
    } cases[] = {{1, "Q"}, {2, "b1"}, {3, "P"}, {7, "end"}, {0, "(none)"}};
    for (const auto& entry : cases) {
        grid.Focus("end");
        SetPolicy([&](TransferPolicy& policy) { policy.focusAfterPaste = entry.mode; });
        ASSERT_TRUE(grid.Paste()) << entry.mode;
        EXPECT_EQ(grid.FocusedName(), entry.focused) << "focus mode " << entry.mode << " (other modes keep it)";
        EXPECT_EQ(grid.Shown(), (Names{"end", "Q", "P", "  a", "  b", "    b1"}));
    }
}

TEST_F(ClipboardGrid, RowsRemovedBetweenCopyAndPasteAreSkipped)
{
    grid.AddRows(3);
    grid.Select({"row 0", "row 1"});
    ASSERT_TRUE(grid.Copy());
    grid.Remove(grid.Row("row 1"));
    grid.Focus("row 2");
    ASSERT_TRUE(grid.Paste());
    EXPECT_EQ(grid.Shown(), (Names{"row 0", "row 2", "row 0"}));
    grid.Remove(grid.Row("row 0"));
    grid.Remove(grid.Row("row 0"));
    EXPECT_FALSE(grid.Paste()) << "nothing left to paste";
}

struct PositionCase {
    const char* name;
    int mode;
    bool pasted;
    std::vector<std::string> rows;
};

class PastePosition : public ClipboardGrid, public ::testing::WithParamInterface<PositionCase> {};

// Paste "x" with the focus on "c" (a child of "P", which has "a" before it).
TEST_P(PastePosition, FollowsTheMode)
{
    const HITEM p = grid.AddRow("P");
    grid.AddRow("a", p);
    const HITEM c = grid.AddRow("c", p);
    grid.AddRow("k", c);
    grid.AddRow("Q");
    grid.AddRow("x", GRID_FIXED_ROOT);
    grid.Expand(p, true);
    grid.Select({"x"}, AreaFixed);
    ASSERT_TRUE(grid.Copy());
    grid.Focus("c");
    SetPolicy([&](TransferPolicy& policy) { policy.pastePosition = GetParam().mode; });
    EXPECT_EQ(grid.Paste(), GetParam().pasted);
    grid.Expand(grid.Row("c"), true);
    EXPECT_EQ(grid.Shown(), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, PastePosition,
    ::testing::Values(PositionCase{"FirstChild", 0, true, {"P", "  a", "  c", "    x", "    k", "Q"}},
                      PositionCase{"LastChild", 1, true, {"P", "  a", "  c", "    k", "    x", "Q"}},
                      PositionCase{"AfterUnderItsParent", 2, true, {"P", "  a", "  c", "    k", "  x", "Q"}},
                      PositionCase{"ModeThreeAlsoAfterUnderItsParent", 3, true, {"P", "  a", "  c", "    k", "  x", "Q"}},
                      PositionCase{"UnknownModeRefuses", 4, false, {"P", "  a", "  c", "    k", "Q"}}),
    [](const auto& param) { return std::string(param.param.name); });

struct GroupPasteCase {
    const char* name;
    int key; // Ctrl+C or Ctrl+X on "a"
    std::vector<std::string> rows;
};

class PasteInAGroup : public ClipboardGrid, public ::testing::WithParamInterface<GroupPasteCase> {};

// With the default paste position, the rows go right after the focused row,
// inside its group, not after the whole group.
TEST_P(PasteInAGroup, PutsTheRowsAfterTheClickedRow)
{
    const HITEM g1 = grid.AddRow("G1");
    for (const char* name : {"a", "b", "c"})
        grid.AddRow(name, g1);
    const HITEM g2 = grid.AddRow("G2");
    grid.AddRow("d", g2);
    grid.Expand(GRID_ROOT, true);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, grid.RowPoint("a"));
    grid.Key(GetParam().key, Qt::ControlModifier);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, grid.RowPoint("b"));
    ASSERT_EQ(grid.FocusedName(), "b");
    grid.Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(grid.Shown(), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(Keys, PasteInAGroup,
                         ::testing::Values(GroupPasteCase{"Copy", Qt::Key_C, {"G1", "  a", "  b", "  a", "  c", "G2", "  d"}},
                                           GroupPasteCase{"Cut", Qt::Key_X, {"G1", "  b", "  a", "  c", "G2", "  d"}}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(ClipboardGrid, WithoutAFocusedRowFlagEightDecidesAndFlagsSevenAndNinePlaceTheRows)
{
    grid.AddRows(3);
    grid.Select({"row 1"});
    ASSERT_TRUE(grid.Copy());
    grid.SetFocusedRow(-1, 0);
    SetPolicy([](TransferPolicy& p) { p.flags[8] = 0; });
    grid.Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(grid.GetRowCount(AreaScrollable), 3) << "flag 8 off: nothing";
    SetPolicy([](TransferPolicy& p) { p.flags[8] = 1; p.focusAfterPaste = 0; });
    ASSERT_TRUE(grid.Paste());
    EXPECT_EQ(grid.Shown(), (Names{"row 0", "row 1", "row 2", "row 1"})) << "flag 9: appended";
    EXPECT_EQ(grid.GetFocusedRow(), -1) << "focus mode 0";
    SetPolicy([](TransferPolicy& p) { p.flags[9] = 0; });
    ASSERT_TRUE(grid.Paste());
    EXPECT_EQ(grid.Shown().front(), "row 1") << "flag 9 off: first";
    SetPolicy([](TransferPolicy& p) { p.flags[7] = 0; });
    ASSERT_TRUE(grid.Paste());
    EXPECT_EQ(grid.Shown(AreaFixed), Names{"row 1"}) << "flag 7 off: the fixed root";
}

TEST_F(ClipboardGrid, ThePasteSwitchOffMakesCtrlVDoNothing)
{
    grid.AddRows(2);
    grid.Select({"row 0"});
    ASSERT_TRUE(grid.Copy());
    grid.Focus("row 1");
    grid.EnablePaste(false);
    EXPECT_FALSE(grid.IsPasteEnabled());
    grid.Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_FALSE(grid.Paste());
    EXPECT_EQ(grid.GetRowCount(AreaScrollable), 2);
    grid.EnablePaste(true);
    SetPolicy([](TransferPolicy& p) { p.flags[6] = 0; p.flags[7] = 0; });
    EXPECT_FALSE(grid.Paste()) << "both area flags off";
    SetPolicy([](TransferPolicy& p) { p.flags[7] = 1; });
    grid.Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(grid.GetRowCount(AreaScrollable), 3);
}

TEST_F(ClipboardGrid, AFocusedFixedRowTakesAPasteOnlyWithFlagSix)
{
    grid.AddRow("fixed", GRID_FIXED_ROOT);
    grid.AddRows(2);
    grid.Select({"row 0"});
    ASSERT_TRUE(grid.Copy());
    grid.SetFocusedRow(0, AreaFixed);
    SetPolicy([](TransferPolicy& p) { p.flags[6] = 0; });
    EXPECT_FALSE(grid.Paste());
    SetPolicy([](TransferPolicy& p) { p.flags[6] = 1; });
    ASSERT_TRUE(grid.Paste());
    EXPECT_EQ(grid.Shown(AreaFixed), (Names{"fixed", "row 0"}));
}

TEST_F(ClipboardGrid, ARowIsNeverPastedUnderItselfOrItsDescendant)
{
    const HITEM p = grid.AddRow("P");
    const HITEM c = grid.AddRow("c", p);
    grid.AddRow("Q");
    grid.Expand(p, false);
    grid.Select({"P"});
    ASSERT_TRUE(grid.Cut());
    SetPolicy([](TransferPolicy& policy) { policy.pastePosition = 0; });
    // Not even taken out and put back: no detach or attach events.
    struct CEvents : IGridListener {
        std::vector<int> codes;
        void OnGridItemNotification(const GridItemNotification& n) override { codes.push_back(n.code); }
        void OnGridHeaderNotification(const GridHeaderNotification&) override {}
    } events;
    grid.SetListener(&events);
    grid.Focus("c");
    EXPECT_FALSE(grid.Paste());
    grid.Focus("P");
    EXPECT_FALSE(grid.Paste());
    grid.SetListener(nullptr);
    for (int code : events.codes)
        EXPECT_TRUE(code != EventItemDetaching && code != EventItemAttached) << code;
    EXPECT_EQ(grid.Shown(), (Names{"P", "  c", "Q"}));
    EXPECT_EQ(grid.GetParent(c), p);
    grid.Focus("Q");
    ASSERT_TRUE(grid.Paste()); // under another row it moves, its child with it
    grid.Expand(grid.Row("Q"), true);
    EXPECT_EQ(grid.Shown(), (Names{"Q", "  P", "    c"}));
}

TEST_F(ClipboardGrid, CutRowsPastedAfterOneOfThemKeepTheirPlaceInOrder)
{
    grid.AddRows(4);
    grid.Select({"row 1", "row 2"});
    ASSERT_TRUE(grid.Cut());
    grid.Focus("row 2"); // after a row that moves itself
    ASSERT_TRUE(grid.Paste());
    EXPECT_EQ(grid.Shown(), (Names{"row 0", "row 1", "row 2", "row 3"}));
}

TEST_F(ClipboardGrid, ScrollingAfterPasteFollowsTheScrollModeInTheScrollableArea)
{
    grid.AddRows(30);
    grid.SetTopRow(0);
    grid.Select({"row 0"});
    ASSERT_TRUE(grid.Copy());
    grid.Focus("row 29");
    grid.SetTopRow(0);
    SetPolicy([](TransferPolicy& p) { p.focusAfterPaste = 0; });
    ASSERT_TRUE(grid.Paste());
    Pump(40);
    EXPECT_EQ(grid.GetTopRow(), 0) << "mode 3 scrolls only with a focus mode of 1 to 3";
    grid.Focus("row 29");
    grid.SetTopRow(0);
    SetPolicy([](TransferPolicy& p) { p.focusAfterPaste = 3; });
    ASSERT_TRUE(grid.Paste());
    Pump(40);
    EXPECT_GT(grid.GetTopRow(), 0);
    EXPECT_EQ(grid.FocusedName(), "row 0");
    EXPECT_EQ(grid.GetFocusedRow(), 30);
    EXPECT_LE(grid.GetTopRow(), 30);
    EXPECT_GE(grid.GetLastVisibleRow(AreaScrollable), 30);
}

TEST_F(ClipboardGrid, RowsGoFromOneGridToAnother)
{
    CTransferGrid other(objects);
    other.resize(300, 200);
    other.AddRow("there");
    grid.AddRows(3);
    grid.Select({"row 0", "row 1"});
    ASSERT_TRUE(grid.Copy());
    other.Focus("there");
    ASSERT_TRUE(other.Paste());
    EXPECT_EQ(other.Shown(), (Names{"there", "row 0", "row 1"}));
    EXPECT_EQ(grid.GetRowCount(AreaScrollable), 3) << "a copy leaves the source";
    const HITEM two = grid.Row("row 2");
    grid.Select({"row 2"});
    ASSERT_TRUE(grid.Cut());
    ASSERT_TRUE(other.Paste());
    EXPECT_EQ(grid.Shown(), (Names{"row 0", "row 1"})) << "a cut moves the item over";
    EXPECT_EQ(other.Row("row 2"), two);
}

// --- data this process did not write ------------------------------------------------------------

TEST_F(ClipboardGrid, LocalDataWrittenByAnotherProcessDoesNothing)
{
    grid.AddRows(3);
    grid.Focus("row 2");
    const std::vector<HITEM> items{grid.Row("row 0"), grid.Row("row 1")};
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.filePath("record");
    QStringList arguments{file, "2", QString::number(AddressWord(&grid), 16)};
    for (HITEM item : items)
        arguments << QString::number(item, 16) << QString::number(AddressWord(grid.GetObject(item)), 16);
    QProcess writer;
    writer.start(QStringLiteral(KESTRUM_RECORD_WRITER), arguments);
    ASSERT_TRUE(writer.waitForFinished(30000));
    ASSERT_EQ(writer.exitCode(), 0);
    QFile record(file);
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    const QByteArray bytes = record.readAll();
    ASSERT_EQ(bytes.size(), 32 + 2 * 16);
    auto* data = new QMimeData;
    data->setData(LocalMime(), bytes);
    Clipboard().setMimeData(data);
    grid.Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_FALSE(grid.Paste());
    EXPECT_EQ(grid.Shown(), (Names{"row 0", "row 1", "row 2"}));

    // This process's id with another token, another id with this token.
    PutRecord(CLocalDataFormat::ProcessId(), CLocalDataFormat::ProcessToken() ^ 1, items, TransferCut);
    EXPECT_FALSE(grid.Paste());
    PutRecord(CLocalDataFormat::ProcessId() + 1, CLocalDataFormat::ProcessToken(), items, TransferCut);
    EXPECT_FALSE(grid.Paste());
    EXPECT_EQ(grid.Shown(), (Names{"row 0", "row 1", "row 2"}));
    // The same record stamped by this process moves the rows.
    PutRecord(CLocalDataFormat::ProcessId(), CLocalDataFormat::ProcessToken(), items, TransferCut);
    EXPECT_TRUE(grid.Paste());
    EXPECT_EQ(grid.Shown(), (Names{"row 2", "row 0", "row 1"}));
}

TEST_F(ClipboardGrid, TextFromOtherProgramsIsNotPastedAsRows)
{
    grid.AddRows(2);
    grid.Focus("row 1");
    Clipboard().setText("row 0\t0\t\r\nrow 1\t1\t");
    grid.Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(grid.GetRowCount(AreaScrollable), 2);
}

// --- the handlers ------------------------------------------------------------------------------

namespace {
// Counts its deletion.
struct CCountedCopyPaste : CCopyPaste {
    int* deleted;
    CCountedCopyPaste(bool autoDelete, int* counter) : CCopyPaste(autoDelete), deleted(counter) {}
    ~CCountedCopyPaste() override { ++*deleted; }
};

// Builds one object through the importer it is given and names no row, so
// the insert fails and the object must go with the record.
struct CImportingFormat : IClipboardFormat {
    IObjectImporter** seen;
    bool* objectGone;
    struct CGoneSink : Kestrum::Common::CDataObject::ISink {
        bool* gone;
        explicit CGoneSink(bool* flag) : gone(flag) {}
        void OnFieldChanged(Kestrum::Common::FieldId, Kestrum::Common::CDataObject*) override {}
        void OnDispose(Kestrum::Common::CDataObject*) override { *gone = true; }
    } sink;
    CImportingFormat(IObjectImporter** importer, bool* gone) : seen(importer), objectGone(gone), sink(gone) {}
    void Build(const std::vector<CGridItem*>&, CHeader*) override {}
    std::size_t GetSize() const override { return 0; }
    bool Write(std::uint8_t*, std::size_t, CGrid*, int, int) override { return false; }
    void Clear() override {}
    std::uint32_t GetFormatId() const override { return RegisterClipboardFormat("Test.Importing"); }
    bool Read(const std::uint8_t*, std::size_t, IObjectImporter* importer, TransferRecord& record) override
    {
        *seen = importer;
        if (importer) {
            record.createdObjects.emplace_back(importer->CreateObject("Anything"));
            record.createdObjects.back()->Subscribe(&sink);
        }
        record.sourceOperation = TransferCopy;
        return true;
    }
};
} // namespace

TEST_F(ClipboardGrid, TheSharedDefaultsHoldTheLocalDataThenTheTextFormat)
{
    for (const auto& formats : {GridDefaults::Instance().GetCopyPaste()->GetFormats(), GridDefaults::Instance().GetDragDrop()->GetFormats()}) {
        ASSERT_EQ(formats.size(), 2u);
        EXPECT_NE(dynamic_cast<CLocalDataFormat*>(formats[0]), nullptr);
        EXPECT_NE(dynamic_cast<CTextClipboardFormat*>(formats[1]), nullptr);
    }
    EXPECT_FALSE(GridDefaults::Instance().GetCopyPaste()->IsAutoDelete());
    EXPECT_FALSE(GridDefaults::Instance().GetDragDrop()->IsAutoDelete());
    EXPECT_EQ(grid.GetCopyPaste(), nullptr);
    EXPECT_EQ(grid.GetDragDrop(), nullptr);
}

TEST_F(ClipboardGrid, AGridsOwnHandlerIsUsedAndDeletedWithTheGridWhenAutoDelete)
{
    int deleted = 0;
    {
        CTransferGrid other(objects);
        other.AddRow("one");
        other.Select({"one"});
        auto* own = new CCountedCopyPaste(true, &deleted);
        EXPECT_EQ(other.SetCopyPaste(own), nullptr);
        EXPECT_EQ(other.GetCopyPaste(), own);
        EXPECT_FALSE(other.Copy()) << "a handler without formats copies nothing";
        own->AddFormat(nullptr);
        EXPECT_TRUE(own->GetFormats().empty());
        own->AddFormat(new CTextClipboardFormat);
        EXPECT_TRUE(other.Copy());
        EXPECT_EQ(Clipboard().text().toStdString(), "one\t0\t");
        auto* kept = new CCountedCopyPaste(false, &deleted);
        EXPECT_EQ(other.SetCopyPaste(kept), own);
        delete own; // handed back: the caller's again
        EXPECT_EQ(deleted, 1);
        other.SetCopyPaste(kept);
        std::unique_ptr<CCountedCopyPaste> keeper(kept);
        {
            CTransferGrid third(objects);
            third.SetCopyPaste(new CCountedCopyPaste(true, &deleted));
        }
        EXPECT_EQ(deleted, 2) << "auto-delete: gone with its grid";
        other.SetCopyPaste(nullptr);
    }
    EXPECT_EQ(deleted, 3) << "the kept one goes with its owner, not with the grid";
}

TEST_F(ClipboardGrid, FlagTenHandsTheImporterToTheFormatsAndAFailedInsertDeletesWhatItMade)
{
    grid.AddRows(1);
    grid.Focus("row 0");
    IObjectImporter* seen = reinterpret_cast<IObjectImporter*>(1);
    bool gone = false;
    auto* handler = new CCopyPaste(true);
    handler->AddFormat(new CImportingFormat(&seen, &gone));
    grid.SetCopyPaste(handler);
    auto* data = new QMimeData;
    data->setData(MimeTypeOf(RegisterClipboardFormat("Test.Importing")), "x");
    Clipboard().setMimeData(data);
    EXPECT_FALSE(grid.Paste());
    EXPECT_EQ(seen, nullptr) << "flag 10 off: no importer";
    SetPolicy([](TransferPolicy& p) { p.flags[10] = 1; });
    EXPECT_FALSE(grid.Paste());
    EXPECT_EQ(seen, static_cast<IObjectImporter*>(handler));
    EXPECT_TRUE(gone) << "the object made for the failed record is deleted";
    std::vector<IClipboardFormat*> formats;
    handler->CopyFormats(formats);
    EXPECT_EQ(formats.size(), 1u);
    handler->ReleaseFormats(false);
    EXPECT_TRUE(handler->GetFormats().empty());
    for (IClipboardFormat* format : formats)
        delete format; // released without deleting: the copier's now
}
