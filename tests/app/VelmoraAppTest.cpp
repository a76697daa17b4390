// Velmora's window on a real temporary tree, offscreen: commands and pixels.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "TempTree.h"
#include "app/MainFrame.h"
#include "app/RowPainter.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "gui/grid/Grid.h"
#include "gui/grid/GridItem.h"
#include "gui/header/Header.h"
#include "gui/platform/DeviceContext.h"

#include "tests/support/EventPump.h"

using namespace Velmora;
using namespace Kestrum::GUI;

namespace {
using Kestrum::Test::PumpUntil;

struct AppFixture : ::testing::Test {
    AppFixture()
    {
        tree.File("folder/inner.txt", 10);
        tree.File("folder/sub/deep.bin", 20);
        tree.File("file.txt", 5);
        frame = std::make_unique<CMainFrame>(std::make_unique<CVelmoraDoc>(std::vector<std::string>{tree.Root().string()}));
        frame->resize(900, 500);
        frame->show();
        PumpUntil([&] { return frame->Document().Scanner().IsFinished(); });
        PumpUntil([&] { return false; }, 0);
        QCoreApplication::processEvents();
    }
    ~AppFixture() override { frame.reset(); }
    CGrid& Grid() { return frame->View().Grid(); }
    Velmora::Test::CTempTree tree;
    std::unique_ptr<CMainFrame> frame;
};
} // namespace

TEST_F(AppFixture, ExpandAllAndCollapseAllActOnEveryRow)
{
    frame->View().ExpandAll();
    EXPECT_EQ(Grid().GetRowCount(AreaScrollable), 6); // the root, 2 folders, 3 files
    frame->View().CollapseAll();
    EXPECT_EQ(Grid().GetRowCount(AreaScrollable), 1);
}

TEST_F(AppFixture, FontCommandsStopAtSixAndTwentyFourPoints)
{
    for (int i = 0; i < 40; ++i)
        frame->View().IncreaseFont();
    EXPECT_EQ(frame->View().FontPoints(), 24);
    for (int i = 0; i < 40; ++i)
        frame->View().DecreaseFont();
    EXPECT_EQ(frame->View().FontPoints(), 6);
}

TEST_F(AppFixture, ShowLinesSwitchesBothTogether)
{
    EXPECT_FALSE(frame->View().AreLinesShown());
    frame->View().ToggleLines();
    EXPECT_TRUE(Grid().GetAppearance().horizontalLines);
    EXPECT_TRUE(Grid().GetAppearance().verticalLines);
    GridAppearance onlyVertical = Grid().GetAppearance();
    onlyVertical.horizontalLines = false;
    Grid().SetAppearance(onlyVertical);
    frame->View().ToggleLines();
    EXPECT_FALSE(frame->View().AreLinesShown());
}

TEST_F(AppFixture, FileNamesAreDrawnInTheFileColourAndFoldersAreNot)
{
    frame->View().ExpandAll();
    Grid().viewport()->repaint();
    const QImage image = Grid().viewport()->grab().toImage();
    const QColor fileColour = ToQColor(CRowPainter::kFileTextColor);
    auto countIn = [&](const CRect& rect) {
        int count = 0;
        for (int y = rect.top; y < rect.bottom; ++y)
            for (int x = rect.left; x < std::min(rect.right, image.width()); ++x)
            {
                // Anti-aliased text: pixels close to the file colour.
                const QColor pixel = image.pixelColor(x, y);
                const int distance = std::abs(pixel.red() - fileColour.red()) + std::abs(pixel.green() - fileColour.green()) +
                                     std::abs(pixel.blue() - fileColour.blue());
                if (distance < 90)
                    ++count;
            }
        return count;
    };
    int fileRows = 0, folderRows = 0;
    for (int row = 0; row < Grid().GetRowCount(AreaScrollable); ++row) {
        const HITEM item = Grid().GetItemAt(row, AreaScrollable);
        CRect cell = Grid().GetCellRect(item, FIELD_NAME);
        cell.left += (Grid().GetLevel(item) + 2) * cell.Height(); // the text, right of indentation and icon
        const bool isFile = Grid().GetObject(item)->GetLong(FIELD_TYPE) == TYPE_FILE;
        if (isFile) {
            EXPECT_GT(countIn(cell), 5) << "row " << row;
            ++fileRows;
        } else {
            EXPECT_EQ(countIn(cell), 0) << "row " << row;
            ++folderRows;
        }
    }
    EXPECT_EQ(fileRows, 3);
    EXPECT_EQ(folderRows, 3);
}

TEST_F(AppFixture, StartsSortedBySizeLargestFirst)
{
    EXPECT_EQ(Grid().GetSortLevelCount(), 1);
    EXPECT_EQ(Grid().GetSortInfo(0), CSortInfo(FIELD_SIZE, true));
    frame->View().ExpandAll();
    std::vector<HITEM> children;
    Grid().GetChildren(Grid().GetItemAt(0, AreaScrollable), children, false);
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(Grid().GetObject(children[0])->GetValueText(FIELD_NAME, nullptr), "folder"); // 30 bytes before 5
    EXPECT_EQ(Grid().GetObject(children[1])->GetValueText(FIELD_NAME, nullptr), "file.txt");
}

TEST_F(AppFixture, ClicksTypingAndArrowsOpenFindAndSort)
{
    CGrid& grid = Grid();
    grid.Expand(grid.GetItemAt(0, AreaScrollable), false);
    QTest::keyClicks(&grid, "fi"); // Name is the search column
    EXPECT_EQ(grid.GetObject(grid.GetItemAt(grid.GetFocusedRow(), AreaScrollable))->GetValueText(FIELD_NAME, nullptr), "file.txt");
    QTest::keyClick(&grid, Qt::Key_Up);
    const HITEM folder = grid.GetItemAt(grid.GetFocusedRow(), AreaScrollable);
    EXPECT_EQ(grid.GetObject(folder)->GetValueText(FIELD_NAME, nullptr), "folder");
    QTest::keyClick(&grid, Qt::Key_Right);
    EXPECT_TRUE(grid.IsExpanded(folder));
    // A click on the Name caption: level 0's direction (descending), Name alone.
    CHeader* header = grid.GetHeader();
    const CRect name = header->GetColumnRect(&grid, FIELD_NAME);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(name.left + 40, header->GetHeight() / 2));
    EXPECT_EQ(grid.GetSortLevelCount(), 1);
    EXPECT_EQ(grid.GetSortInfo(0), CSortInfo(FIELD_NAME, true));
}

namespace {
// Holds the listing of one folder until released, so its parent stays
// "populating" as long as the test needs.
class CGatedFileSystem : public CLocalFileSystem {
public:
    std::string gated;
    std::atomic<bool> open{false};
    bool ListFolder(const std::string& path, std::uint64_t mountId, const std::function<bool()>& stop,
                    const std::function<bool(const ScanEntry&)>& onEntry) override
    {
        while (path == gated && !open && !(stop && stop()))
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return CLocalFileSystem::ListFolder(path, mountId, stop, onEntry);
    }
};

int CountAnimationPixels(CGrid& grid, HITEM item)
{
    grid.viewport()->repaint();
    const QImage image = grid.viewport()->grab().toImage();
    const CRect cell = grid.GetCellRect(item, FIELD_SIZE);
    int count = 0;
    for (int y = cell.top; y < cell.bottom; ++y)
        for (int x = cell.left; x < std::min(cell.left + cell.Height() + 2, image.width()); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.blue() > 150 && pixel.red() < 120) // the turning blue arc
                ++count;
        }
    return count;
}
} // namespace

TEST(VelmoraAnimation, APopulatingFolderAnimatesUntilItsWalkEnds)
{
    Velmora::Test::CTempTree tree;
    tree.File("busy/waiting/file", 1);
    auto fileSystem = std::make_shared<CGatedFileSystem>();
    fileSystem->gated = (tree.Root() / "busy" / "waiting").string();
    CMainFrame frame(std::make_unique<CVelmoraDoc>(std::vector<std::string>{tree.Root().string()}, fileSystem));
    frame.resize(900, 400);
    frame.show();
    CGrid& grid = frame.View().Grid();
    // The walk is now held inside busy/waiting: the root is being walked.
    PumpUntil([&] {
        const HITEM first = grid.GetItemAt(0, AreaScrollable);
        return first && grid.GetObject(first)->GetBool(FIELD_POPULATING);
    });
    frame.View().ExpandAll();
    const HITEM root = grid.GetItemAt(0, AreaScrollable);
    ASSERT_TRUE(grid.GetObject(root)->GetBool(FIELD_POPULATING));
    EXPECT_GT(CountAnimationPixels(grid, root), 5);
    fileSystem->open = true;
    PumpUntil([&] { return frame.Document().Scanner().IsFinished(); });
    PumpUntil([&] { return false; }, 1);
    EXPECT_FALSE(grid.GetObject(root)->GetBool(FIELD_POPULATING));
    EXPECT_EQ(CountAnimationPixels(grid, root), 0);
}

TEST(VelmoraClosing, TwoHundredClosesAtRandomMomentsOfAWalk)
{
    Velmora::Test::CTempTree tree;
    for (int folder = 0; folder < 60; ++folder)
        for (int file = 0; file < 150; ++file)
            tree.File("f" + std::to_string(folder) + "/x" + std::to_string(file), 1);
    std::mt19937 random(17);
    for (int round = 0; round < 200; ++round) {
        auto frame = std::make_unique<CMainFrame>(std::make_unique<CVelmoraDoc>(std::vector<std::string>{tree.Root().string()}));
        frame->show();
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(random() % 40);
        while (std::chrono::steady_clock::now() < until)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        const auto start = std::chrono::steady_clock::now();
        frame->close();
        ASSERT_TRUE(frame->Document().Scanner().IsFinished() || !frame->Document().Scanner().IsRunning());
        frame.reset(); // the document and its tree go; its thread has been joined
        ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "round " << round;
    }
}
