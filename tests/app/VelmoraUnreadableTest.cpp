// The window of unreadable folders: what it lists, its rows leading to the
// tree, and the status bar's count that opens it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <map>

#include "TempTree.h"
#include "app/FileSystemData.h"
#include "app/LocalFileSystem.h"
#include "app/MainFrame.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "app/unreadable/UnreadableFolders.h"
#include "gui/grid/Grid.h"
#include "tests/support/EventPump.h"

using namespace Velmora;
using namespace Kestrum::GUI;
using Velmora::Test::CTempTree;

namespace {
// Refuses chosen folders with an error.
class CRefusingFileSystem : public CLocalFileSystem {
public:
    std::map<std::string, int> refused;
    bool ListFolder(const std::string& path, std::uint64_t mountId, const std::function<bool()>& stop,
                    const std::function<bool(const ScanEntry&)>& onEntry) override
    {
        if (const auto it = refused.find(path); it != refused.end()) {
            m_pending = it->second;
            return false;
        }
        return CLocalFileSystem::ListFolder(path, mountId, stop, onEntry);
    }
    int TakeListError() override
    {
        const int own = CLocalFileSystem::TakeListError();
        return m_pending ? std::exchange(m_pending, 0) : own;
    }

private:
    int m_pending = 0;
};

std::string Cell(CGrid& grid, int row, std::int32_t field)
{
    return grid.GetObject(grid.GetItemAt(row, AreaScrollable))->GetStlString(field);
}
} // namespace

TEST(Unreadable, TheWindowListsEachFolderWithItsReasonAndLeadsToItsRow)
{
    CTempTree tree;
    tree.File("a denied/secret", 10);
    tree.File("open/inner/locked/secret", 10);
    tree.File("open/visible", 1);
    const std::string denied = (tree.Root() / "a denied").string();
    const std::string locked = (tree.Root() / "open" / "inner" / "locked").string();
    auto fileSystem = std::make_shared<CRefusingFileSystem>();
    fileSystem->refused = {{denied, EACCES}, {locked, EIO}};
    CMainFrame frame(std::make_unique<CVelmoraDoc>(std::vector<std::string>{tree.Root().string()}, fileSystem));
    frame.resize(900, 500);
    frame.show();
    ASSERT_TRUE(Kestrum::Test::PumpUntil(
        [&] { return frame.Document().Scanner().IsFinished() && !frame.View().HasWaitingRows(); }));
    frame.UpdateStatus();

    // The status bar's count is a link to the window.
    CUnreadableFolders& window = frame.UnreadableFolders();
    EXPECT_FALSE(window.isVisible());
    QLabel* link = frame.UnreadableLink();
    ASSERT_TRUE(link->isVisible());
    EXPECT_EQ(frame.UnreadablePane(), "2 folders could not be read");
    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    ASSERT_TRUE(window.isVisible());

    // Both folders with their full paths and reasons, sorted by path.
    CGrid& list = window.Grid();
    ASSERT_EQ(list.GetRowCount(AreaScrollable), 2);
    EXPECT_EQ(Cell(list, 0, 0), denied);
    EXPECT_EQ(Cell(list, 0, 1), std::string("Could not be read: ") + std::strerror(EACCES));
    EXPECT_EQ(Cell(list, 1, 0), locked);
    EXPECT_EQ(Cell(list, 1, 1), std::string("Could not be read: ") + std::strerror(EIO));

    // A double click focuses the deep folder's row, its parents expanded.
    CGrid& treeGrid = frame.View().Grid();
    EXPECT_EQ(treeGrid.GetRowCount(AreaScrollable), 1) << "the root, collapsed";
    const CRect row = list.GetRowRect(list.GetItemAt(1, AreaScrollable));
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, QPoint(row.left + 20, (row.top + row.bottom) / 2));
    ASSERT_TRUE(frame.View().FocusedObject());
    EXPECT_EQ(CVelmoraView::FullNameOf(frame.View().FocusedObject()).toStdString(), locked);
    EXPECT_GE(treeGrid.GetVisibleIndex(treeGrid.GetItem(frame.View().FocusedObject())), 0);

    // Enter on the focused row does the same.
    list.SetFocusedRow(0, AreaScrollable);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(CVelmoraView::FullNameOf(frame.View().FocusedObject()).toStdString(), denied);

    // Closed, the View menu's command opens it again, listed afresh.
    window.close();
    QAction* command = nullptr;
    for (QAction* action : frame.findChildren<QAction*>())
        if (action->text() == "U&nreadable folders")
            command = action;
    ASSERT_TRUE(command);
    command->trigger();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(list.GetRowCount(AreaScrollable), 2);
}
