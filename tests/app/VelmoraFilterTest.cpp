// Velmora's filter bar and the stop of a walk, offscreen on a real temporary tree, driven by keys:
// Ctrl+F, a pattern typed, the rows narrowed to the matches and their
// folders, the count in the status bar, Esc putting the rows back.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <filesystem>
#include <thread>
#include <tuple>

#include "TempTree.h"
#include "app/FolderScanner.h"
#include "app/MainFrame.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "app/filetypes/FileTypesWindow.h"
#include "app/filter/FilterBar.h"
#include "app/filter/TypeAheadPane.h"
#include "gui/grid/Grid.h"

#include "tests/support/EventPump.h"
#include "tests/support/FakeClock.h"

using namespace Velmora;
using namespace Kestrum::GUI;
using Kestrum::Test::PumpUntil;

namespace {

class VelmoraFilter : public ::testing::Test {
protected:
    VelmoraFilter()
    {
        tree.File("docs/a.iso", 3000);
        tree.File("docs/notes.txt", 10);
        tree.File("music/deep/b.ISO", 20);
        tree.File("music/song.ogg", 5000);
        frame = std::make_unique<CMainFrame>(std::make_unique<CVelmoraDoc>(std::vector<std::string>{tree.Root().string()}));
        frame->resize(CMainFrame::kDefaultSize);
        frame->show();
        EXPECT_TRUE(PumpUntil([&] { return frame->View().IsIdle(); }, 60));
        QCoreApplication::processEvents();
        frame->activateWindow();
        grid().setFocus();
        EXPECT_TRUE(PumpUntil([&] { return grid().hasFocus(); }, 10));
    }
    CGrid& grid() { return frame->View().Grid(); }
    std::vector<std::string> Rows()
    {
        std::vector<std::string> names;
        for (int row = 0; row < grid().GetRowCount(AreaScrollable); ++row)
            names.push_back(std::filesystem::path(
                                CVelmoraView::FullNameOf(grid().GetObject(grid().GetItemAt(row, AreaScrollable))).toStdString())
                                .filename()
                                .string());
        return names;
    }

    Velmora::Test::CTempTree tree;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(VelmoraFilter, CtrlFAPatternNarrowsTheRowsAndEscPutsThemBack)
{
    const std::vector<std::string> before = Rows();
    ASSERT_EQ(before.size(), 1u) << "the root, closed";
    CFilterBar& bar = frame->FilterBar();
    QTest::keyClick(&grid(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(bar.isVisible());
    ASSERT_TRUE(PumpUntil([&] { return bar.PatternEdit()->hasFocus(); }, 10));

    QTest::keyClicks(bar.PatternEdit(), "*.iso");
    const std::string root = before[0];
    // Sorted by size, as the window starts: music (5 KB) before docs.
    EXPECT_EQ(Rows(), (std::vector<std::string>{root, "music", "deep", "b.ISO", "docs", "a.iso"}));
    bar.UpdateCount();
    EXPECT_TRUE(bar.CountPane()->isVisible());
    EXPECT_EQ(bar.CountPane()->text().toStdString(), "2 of 8 shown"); // 4 folders with the root, 4 files
    // Files over 1 KiB only; then folders only.
    QTest::keyClicks(bar.MinSizeEdit(), "1k");
    EXPECT_EQ(Rows(), (std::vector<std::string>{root, "docs", "a.iso"}));
    bar.MinSizeEdit()->clear();
    bar.PatternEdit()->clear();
    bar.KindBox()->setCurrentIndex(2);
    EXPECT_EQ(Rows(), (std::vector<std::string>{root, "music", "deep", "docs"}));
    bar.KindBox()->setCurrentIndex(0);
    // Case on request; a regular expression on request.
    QTest::keyClicks(bar.PatternEdit(), "*.ISO");
    QTest::mouseClick(bar.CaseBox(), Qt::LeftButton);
    EXPECT_EQ(Rows(), (std::vector<std::string>{root, "music", "deep", "b.ISO"}));
    bar.PatternEdit()->setText("^(a|song)\\.");
    bar.RegexBox()->setChecked(true);
    bar.CaseBox()->setChecked(false);
    EXPECT_EQ(Rows(), (std::vector<std::string>{root, "music", "song.ogg", "docs", "a.iso"}));

    bar.PatternEdit()->setFocus();
    QTest::keyClick(bar.PatternEdit(), Qt::Key_Escape);
    EXPECT_FALSE(bar.isVisible());
    EXPECT_FALSE(bar.CountPane()->isVisible());
    EXPECT_EQ(Rows(), before);
    EXPECT_TRUE(PumpUntil([&] { return grid().hasFocus(); }, 10));
    // The window closes with a filter applied: the grid goes first.
    bar.SetPattern("*.ogg");
    EXPECT_TRUE(bar.IsApplied());
}

} // namespace

namespace {
// The local file system, but the folder named "slow" is listed only once the
// walk is asked to stop: the walk is surely under way when Esc comes.
class CSlowFolderFileSystem : public CLocalFileSystem {
public:
    bool ListFolder(const std::string& path, std::uint64_t mountId, const std::function<bool()>& stop,
                    const std::function<bool(const ScanEntry&)>& onEntry) override
    {
        if (std::filesystem::path(path).filename() == "slow")
            while (!stop())
                std::this_thread::yield();
        return CLocalFileSystem::ListFolder(path, mountId, stop, onEntry);
    }
    unsigned ReadAheadThreads() const override { return 0; }
};
} // namespace

TEST(VelmoraStop, EscStopsTheWalkWhatWasFoundStaysMarkedIncompleteAndF5WalksAgain)
{
    Velmora::Test::CTempTree tree;
    tree.File("a/one", 100);
    tree.File("slow/later", 50);
    auto frame = std::make_unique<CMainFrame>(std::make_unique<CVelmoraDoc>(
        std::vector<std::string>{tree.Root().string()}, std::make_shared<CSlowFolderFileSystem>()));
    frame->resize(CMainFrame::kDefaultSize);
    frame->show();
    frame->activateWindow();
    CGrid& grid = frame->View().Grid();
    grid.setFocus();
    ASSERT_TRUE(PumpUntil([&] { return grid.hasFocus(); }, 10));
    ASSERT_TRUE(frame->Command(ID_STOP)->isEnabled());
    QTest::keyClick(&grid, Qt::Key_Escape);
    ASSERT_TRUE(PumpUntil([&] { return frame->View().IsIdle(); }, 10));
    frame->UpdateStatus();
    EXPECT_TRUE(frame->IsIncomplete());
    EXPECT_TRUE(frame->windowTitle().endsWith("incomplete")) << frame->windowTitle().toStdString();
    EXPECT_TRUE(frame->StatusMessage().startsWith("Incomplete")) << frame->StatusMessage().toStdString();
    EXPECT_FALSE(frame->Command(ID_STOP)->isEnabled());
    CFolderData* root = frame->Document().Scanner().GetDrives().at(0);
    // What was found: a/one when the walk reached it before the slow
    // folder, never slow/later.
    EXPECT_LT(root->GetFilesCount(), 2);
    EXPECT_EQ(root->GetSize(), root->GetFilesCount() == 1 ? 100 : 0);

    // F5 walks again; the slow folder is listed when this walk is stopped too.
    QTest::keyClick(&grid, Qt::Key_F5);
    EXPECT_FALSE(frame->IsIncomplete());
    EXPECT_TRUE(frame->StopWalk());
    ASSERT_TRUE(PumpUntil([&] { return frame->View().IsIdle(); }, 10));
    EXPECT_TRUE(frame->IsIncomplete());
}

TEST_F(VelmoraFilter, TypeAheadShowsWhatWasTypedUntilItsTimeOut)
{
    Kestrum::Test::CFakeGridClock clock;
    auto* pane = frame->findChild<QLabel*>("typeAhead");
    ASSERT_NE(pane, nullptr);
    QTest::keyClick(&grid(), Qt::Key_Right); // the root opens
    QTest::keyClicks(&grid(), "mu");
    QCoreApplication::processEvents();
    EXPECT_TRUE(pane->isVisible());
    EXPECT_EQ(pane->text().toLower().toStdString(), "find: mu"); // the search folds case
    clock.Advance(999);
    QTest::keyClicks(&grid(), "s");
    QCoreApplication::processEvents();
    EXPECT_EQ(pane->text().toLower().toStdString(), "find: mus");
    clock.Advance(1001); // the grid's search time-out
    static_cast<CTypeAheadPane*>(pane)->Update();
    EXPECT_FALSE(pane->isVisible());
    EXPECT_TRUE(pane->text().isEmpty());
}

TEST_F(VelmoraFilter, FileTypesListsTheExtensionsAndADoubleClickFiltersByOne)
{
    QAction* command = nullptr;
    for (QAction* menu : frame->menuBar()->actions())
        if (menu->menu())
            for (QAction* action : menu->menu()->actions())
                if (action->text() == "File t&ypes")
                    command = action;
    ASSERT_NE(command, nullptr);
    command->trigger();
    CFileTypesWindow& window = frame->FileTypes();
    ASSERT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isWindow());

    // Largest first: ogg, then iso (a.iso and b.ISO), then txt.
    CGrid& types = window.Grid();
    auto cells = [&](int row) {
        CDataObject* object = types.GetObject(types.GetItemAt(row, AreaScrollable));
        return std::tuple(object->GetMfcString(0).ToStdString(), object->GetInt64(1), object->GetInt64(2));
    };
    ASSERT_EQ(types.GetRowCount(AreaScrollable), 3);
    EXPECT_EQ(cells(0), std::tuple(std::string("ogg"), std::int64_t{1}, std::int64_t{5000}));
    EXPECT_EQ(cells(1), std::tuple(std::string("iso"), std::int64_t{2}, std::int64_t{3020}));
    EXPECT_EQ(cells(2), std::tuple(std::string("txt"), std::int64_t{1}, std::int64_t{10}));
    EXPECT_EQ(window.Table().Size(), CVelmoraView::FolderOf(grid().GetObject(grid().GetItemAt(0, AreaScrollable)))->GetSize());

    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const CRect rect = types.GetRowRect(types.GetItemAt(1, AreaScrollable));
    QTest::mouseDClick(types.viewport(), Qt::LeftButton, {}, QPoint(20, rect.top + rect.Height() / 2));
    CFilterBar& bar = frame->FilterBar();
    EXPECT_TRUE(bar.isVisible());
    EXPECT_EQ(bar.PatternEdit()->text(), "*.iso");
    EXPECT_EQ(Rows(), (std::vector<std::string>{Rows()[0], "music", "deep", "b.ISO", "docs", "a.iso"}));
}
