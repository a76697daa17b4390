// Folders the walk did not read: the window of unreadable folders (what it
// lists, its rows leading to the tree, the status bar's count that opens
// it), and the rows of folders left out by an exclude pattern (how they
// read, and Settings > Excluded folders that sets the patterns).
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <map>

#include "TempTree.h"
#include "app/FileSystemData.h"
#include "app/LocalFileSystem.h"
#include "app/MainFrame.h"
#include "app/PathTooltip.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "app/unreadable/UnreadableFolders.h"
#include "gui/grid/Grid.h"
#include "gui/header/Column.h"
#include "gui/header/Header.h"
#include "gui/paint/DrawContext.h"
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

bool Walked(CMainFrame& frame)
{
    return Kestrum::Test::PumpUntil(
        [&] { return frame.Document().Scanner().IsFinished() && !frame.View().HasWaitingRows(); });
}

HITEM RowNamed(CGrid& grid, const std::string& name)
{
    for (int row = 0; row < grid.GetRowCount(AreaScrollable); ++row) {
        const HITEM item = grid.GetItemAt(row, AreaScrollable);
        if (grid.GetObject(item)->GetValueText(FIELD_NAME, nullptr) == name)
            return item;
    }
    return 0;
}

// The darkest pixel of a cell (its text), by the sum of its channels.
QColor DarkestIn(const QImage& image, const CRect& cell)
{
    QColor darkest(Qt::white);
    for (int y = cell.top + 1; y < cell.bottom - 1; ++y)
        for (int x = cell.left + 1; x < cell.right - 1; ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.red() + pixel.green() + pixel.blue() < darkest.red() + darkest.green() + darkest.blue())
                darkest = pixel;
        }
    return darkest;
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

// A folder left out by a pattern reads "excluded" in both size columns, in
// grey, to the eye and to a screen reader, and its tooltip says why.
TEST(Excluded, TheRowReadsExcludedInGreyAndItsTooltipSaysWhy)
{
    CTempTree tree;
    tree.File("skipped/big", 5000);
    tree.File("kept/small", 10);
    auto document = std::make_unique<CVelmoraDoc>(std::vector<std::string>{tree.Root().string()});
    document->SetCommandLineExcludes({"**/skipped"});
    CMainFrame frame(std::move(document));
    frame.resize(1000, 500);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    ASSERT_TRUE(Walked(frame));
    frame.View().ExpandAll();
    QCoreApplication::processEvents();
    CGrid& grid = frame.View().Grid();
    const HITEM skipped = RowNamed(grid, "skipped");
    const HITEM kept = RowNamed(grid, "kept");
    ASSERT_TRUE(skipped && kept);
    EXPECT_EQ(frame.Document().Scanner().GetDrives().at(0)->GetSize(), 10);

    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&grid);
    ASSERT_TRUE(table && table->tableInterface());
    const QImage shot = grid.viewport()->grab().toImage();
    for (const std::int32_t field : {FIELD_SIZE, FIELD_SIZE_ON_DISK}) {
        const int column = grid.GetHeader()->GetVisibleIndex(field);
        ASSERT_GE(column, 0);
        QAccessibleInterface* cell = table->tableInterface()->cellAt(grid.GetVisibleIndex(skipped), column);
        ASSERT_TRUE(cell);
        EXPECT_EQ(cell->text(QAccessible::Name), "excluded");
    }
    // Grey text where a read folder's size is black.
    EXPECT_GT(DarkestIn(shot, grid.GetCellRect(skipped, FIELD_SIZE)).red(), 0x60);
    EXPECT_LT(DarkestIn(shot, grid.GetCellRect(kept, FIELD_SIZE)).red(), 0x40);
    EXPECT_EQ(table->tableInterface()
                  ->cellAt(grid.GetVisibleIndex(skipped), grid.GetHeader()->GetVisibleIndex(FIELD_FILES_COUNT))
                  ->text(QAccessible::Name),
              "");

    CColumn* name = grid.GetHeader()->GetColumn(FIELD_NAME);
    RowDrawContext row;
    row.item = FromHandle(skipped);
    row.object = grid.GetObject(skipped);
    CellDrawContext at;
    at.row = &row;
    at.column = name;
    CPathTooltip source;
    EXPECT_TRUE(source.HasTooltip(nullptr, at));
    EXPECT_EQ(source.GetTooltipText(nullptr, at).toStdString(),
              (tree.Root() / "skipped").string() + "\nExcluded by a pattern: not walked");
    // Not an unreadable folder: the status bar counts none.
    frame.UpdateStatus();
    EXPECT_FALSE(frame.UnreadableLink()->isVisible());
}

// Settings > Excluded folders, by the keyboard: the typed patterns are kept
// in the settings and the next walk leaves the matching folder out. Settings
// > Enter other file systems is kept beside them.
TEST(Excluded, TheDialogKeepsTheTypedPatternsAndTheNextWalkHonoursThem)
{
    CTempTree tree;
    tree.File("work/doc", 10);
    tree.File("cache/junk", 1000);
    tree.File("sub/cache/more", 100);
    QTemporaryDir settingsDir;
    const QString settingsFile = settingsDir.filePath("velmora.ini");
    auto frame = std::make_unique<CMainFrame>(std::make_unique<CVelmoraDoc>(std::vector<std::string>{tree.Root().string()}),
                                              std::make_unique<QSettings>(settingsFile, QSettings::IniFormat));
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    ASSERT_TRUE(Walked(*frame));
    const auto rootSize = [&] { return frame->Document().Scanner().GetDrives().at(0)->GetSize(); };
    EXPECT_EQ(rootSize(), 1110);

    CGrid& grid = frame->View().Grid();
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_S, Qt::AltModifier);
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    // The dialog runs its own loop: it is filled in from a timer of that loop.
    bool accepted = false;
    QTimer fill;
    QObject::connect(&fill, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        fill.stop();
        auto* text = dialog->findChild<QPlainTextEdit*>("excludedFolders");
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        if (!text || !buttons)
            return dialog->reject();
        EXPECT_FALSE(text->accessibleName().isEmpty());
        text->setFocus();
        QTest::keyClicks(text, "/nowhere");
        QTest::keyClick(text, Qt::Key_Return);
        QTest::keyClicks(text, "**/cache");
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
        accepted = true;
    });
    fill.start(10);
    QTest::keyClick(menu, Qt::Key_X);
    ASSERT_TRUE(accepted);
    EXPECT_EQ(frame->Document().ExcludedFolders(), "/nowhere\n**/cache");
    EXPECT_EQ(rootSize(), 1110) << "the walk already made stays";

    // Ctrl+F5 walks again, leaving both cache folders out.
    // The offscreen platform has no window manager to give the frame back
    // its activation when the dialog closes.
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_F5, Qt::ControlModifier);
    ASSERT_TRUE(Walked(*frame));
    EXPECT_EQ(rootSize(), 10);
    CFolderData* root = frame->Document().Scanner().GetDrives().at(0);
    int excluded = 0;
    for (CFolderData* folder : root->GetFolders()) {
        excluded += folder->IsExcluded();
        for (CFolderData* inner : folder->GetFolders())
            excluded += inner->IsExcluded();
    }
    EXPECT_EQ(excluded, 2);

    // Beside them, the choice to enter other file systems, off until checked.
    EXPECT_FALSE(frame->Document().EntersOtherFileSystems());
    QTest::keyClick(&grid, Qt::Key_S, Qt::AltModifier);
    menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_O);
    EXPECT_TRUE(frame->Document().EntersOtherFileSystems());

    frame.reset();
    const QSettings stored(settingsFile, QSettings::IniFormat);
    EXPECT_EQ(stored.value("excluded").toString(), "/nowhere\n**/cache");
    EXPECT_TRUE(stored.value("enterOtherFileSystems").toBool());
}
