// The treemap on the screen: tiles at their places in their colours, the
// picture following a growing tree at most twice a second, and, in the
// window, the grid's focus framing a tile, a click focusing a row, zooming
// in and out, the hover's tooltip, a refresh and the settings; its colours
// and the file types window's swatches, from one table.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "TempTree.h"
#include "app/FileSystemData.h"
#include "app/MainFrame.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "app/filetypes/FileTypesWindow.h"
#include "app/treemap/TreemapLink.h"
#include "app/treemap/TreemapView.h"
#include "gui/grid/Grid.h"
#include "tests/support/EventPump.h"
#include "tests/support/FakeClock.h"

using namespace Velmora;
using namespace Kestrum::GUI;
using Kestrum::Common::CDataObject;
using Kestrum::Common::CString;
using Kestrum::Test::PumpUntil;

namespace {

CFileData* AddFile(CFolderData& folder, const char* name, std::int64_t size)
{
    auto* file = new CFileData(CString(name), &folder, size, 0, 0, 0, size);
    folder.AddFile(file);
    return file;
}

bool HasTile(const CTreemapView& view, CDataObject* object)
{
    for (const CTreemapView::Tile& tile : view.Tiles())
        if (tile.Object() == object)
            return true;
    return false;
}

QRgb Colour(Treemap::Rgb rgb) { return qRgb(int(rgb >> 16) & 255, int(rgb >> 8) & 255, int(rgb) & 255); }

struct SmallTree {
    CFolderData root{CString("/data"), nullptr};
    CFileData* a = AddFile(root, "a.txt", 600);
    CFileData* b = AddFile(root, "b.bin", 300);
    CFileData* c = AddFile(root, "c.txt", 100);
};

TEST(TreemapView, TilesAreAtTheirPlacesInTheirColours)
{
    SmallTree tree;
    CTreemapView view;
    view.resize(100, 100);
    view.SetStyle(CTreemapView::Style::Flat);
    view.SetRoots({&tree.root});
    view.show();
    view.Relayout();
    const QImage shot = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    // Rows of tiles as close to squares as the order allows: the largest
    // file a column of 60 %, the others one above the other beside it.
    EXPECT_EQ(view.TileRectOf(tree.a), QRect(0, 0, 60, 100));
    EXPECT_EQ(view.TileRectOf(tree.b), QRect(60, 0, 40, 75));
    EXPECT_EQ(view.TileRectOf(tree.c), QRect(60, 75, 40, 25));
    // Text takes the most area: the first colour; flat tiles are framed.
    EXPECT_EQ(shot.pixel(30, 50), Colour(Treemap::CPalette::kColourOf[0]));
    EXPECT_EQ(shot.pixel(80, 37), Colour(Treemap::CPalette::kColourOf[1]));
    EXPECT_EQ(shot.pixel(80, 87), Colour(Treemap::CPalette::kColourOf[0]));
    EXPECT_NE(shot.pixel(0, 50), shot.pixel(30, 50));
    EXPECT_EQ(view.ObjectAt({80, 80}), tree.c);
    // Cushions: lit towards the upper left of a tile, shaded towards the
    // lower right, the hue kept.
    view.SetStyle(CTreemapView::Style::Cushion);
    const QImage cushion = view.grab().toImage();
    EXPECT_GT(qGray(cushion.pixel(15, 20)), qGray(cushion.pixel(55, 95)));
    EXPECT_GT(qBlue(cushion.pixel(30, 50)), qRed(cushion.pixel(30, 50)));
    EXPECT_LE(view.LayoutBytes(), 4 * 16u) << "the root and three files, 16 bytes each";
}

TEST(TreemapView, FollowsAGrowingTreeAtMostTwiceASecond)
{
    Kestrum::Test::CFakeGridClock clock;
    SmallTree tree;
    CTreemapView view;
    view.resize(200, 100);
    view.SetRoots({&tree.root});
    view.show();
    view.Relayout();
    CFileData* late = AddFile(tree.root, "d.iso", 5000);
    clock.Advance(CTreemapView::kRelayoutInterval - 1);
    EXPECT_FALSE(view.RelayoutIfDue());
    EXPECT_FALSE(HasTile(view, late));
    clock.Advance(1);
    EXPECT_TRUE(view.RelayoutIfDue());
    EXPECT_GT(view.TileRectOf(late).width() * view.TileRectOf(late).height(), 200 * 100 * 8 / 10);
    EXPECT_FALSE(view.RelayoutIfDue());
    view.hide();
    clock.Advance(CTreemapView::kRelayoutInterval);
    EXPECT_FALSE(view.RelayoutIfDue()) << "a hidden treemap costs the walk nothing";
}

// During a walk the picture is made a slice at a time: until it is whole
// the tiles and the picture of before stay, and what it makes is exactly
// what a layout in one go makes. Forgetting the tree drops it half made.
TEST(TreemapView, ARebuildInSlicesShowsThePictureOfBeforeUntilItsOwnIsWhole)
{
    Kestrum::Test::CFakeGridClock clock; // never moves: the slices end by their counts
    CFolderData root{CString("/data"), nullptr};
    int folders = 0; // the root owns them
    const auto fill = [&](int count) {
        for (int f = 0; f < count; ++f) {
            auto* folder = new CFolderData(CString("d" + std::to_string(folders++)), &root);
            root.AddFolder(folder);
            for (int i = 0; i < 200; ++i)
                AddFile(*folder, (std::to_string(i) + (i % 3 ? ".txt" : ".iso")).c_str(), 1000 + i * 7);
        }
    };
    fill(150);
    CTreemapView view;
    view.resize(1000, 800);
    view.SetRoots({&root});
    view.show();
    view.Relayout();
    const auto bytesOf = [](const std::vector<CTreemapView::Tile>& tiles) {
        return std::string(reinterpret_cast<const char*>(tiles.data()), tiles.size() * sizeof(CTreemapView::Tile));
    };
    const std::string tilesBefore = bytesOf(view.Tiles());
    const QImage pictureBefore = view.Picture();
    fill(150);
    view.Rebuild();
    ASSERT_TRUE(view.IsRebuilding()) << "60,000 tiles are more than one slice paints";
    EXPECT_EQ(bytesOf(view.Tiles()), tilesBefore);
    EXPECT_EQ(view.Picture(), pictureBefore);
    ASSERT_TRUE(PumpUntil([&] { return !view.IsRebuilding(); }));
    const std::string sliced = bytesOf(view.Tiles());
    const QImage slicedPicture = view.Picture();
    EXPECT_NE(sliced, tilesBefore);
    view.Relayout();
    EXPECT_EQ(bytesOf(view.Tiles()), sliced);
    EXPECT_EQ(view.Picture(), slicedPicture);

    view.Rebuild();
    ASSERT_TRUE(view.IsRebuilding());
    view.Forget(); // as before a refresh deletes folders
    EXPECT_FALSE(view.IsRebuilding());
    QCoreApplication::processEvents();
}

// Velmora over a real folder, the treemap shown.
class TreemapInWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree.File("big.dat", 40000);
        tree.File("sub/a.txt", 20000);
        tree.File("sub/b.txt", 10000);
        tree.File("small.bin", 5000);
        frame = std::make_unique<CMainFrame>(
            std::make_unique<CVelmoraDoc>(std::vector<std::string>{tree.Root().string()}));
        frame->resize(900, 700);
        frame->show();
        ASSERT_TRUE(PumpUntil([&] { return frame->View().IsIdle(); }, 60));
        frame->TreemapLink().Show(true);
        frame->Treemap().SetStyle(CTreemapView::Style::Flat);
        frame->Treemap().Relayout();
        root = frame->Document().Scanner().GetDrives().at(0);
        for (CFolderData* folder : root->GetFolders())
            sub = folder;
        for (CFileData* file : sub->GetFiles())
            (file->GetName() == std::string_view("a.txt") ? a : b) = file;
    }
    CTreemapView& Treemap() { return frame->Treemap(); }
    CGrid& Grid() { return frame->View().Grid(); }
    // Moves the focus the way a user does: with the arrow keys.
    void Focus(CDataObject* object)
    {
        for (CFolderData* folder : {root, sub})
            Grid().Expand(Grid().GetItem(folder));
        Grid().SetFocusedRow(0, AreaScrollable);
        Grid().setFocus();
        for (int step = 0; step < 10 && frame->View().FocusedObject() != object; ++step) {
            QTest::keyClick(&Grid(), Qt::Key_Down);
            QCoreApplication::processEvents();
        }
        ASSERT_EQ(frame->View().FocusedObject(), object);
    }
    QAction* ViewCommand(const QString& text)
    {
        for (QAction* menu : frame->menuBar()->actions())
            if (menu->text() == "&View")
                for (QAction* action : menu->menu()->actions())
                    if (action->text() == text)
                        return action;
        return nullptr;
    }

    Velmora::Test::CTempTree tree;
    std::unique_ptr<CMainFrame> frame;
    CFolderData* root = nullptr;
    CFolderData* sub = nullptr;
    CFileData* a = nullptr;
    CFileData* b = nullptr;
};

TEST_F(TreemapInWindow, TheFocusFrameFollowsTheGridsFocus)
{
    ASSERT_TRUE(Treemap().isVisible());
    ASSERT_GT(Treemap().height(), 100);
    const QRgb yellow = qRgb(255, 255, 0);
    for (CDataObject* object : {static_cast<CDataObject*>(a), static_cast<CDataObject*>(b)}) {
        Focus(object);
        const QImage shot = Treemap().grab().toImage();
        const QRect rect = Treemap().TileRectOf(object);
        ASSERT_FALSE(rect.isNull());
        EXPECT_EQ(shot.pixel(rect.left() + 1, rect.center().y()), yellow);
        EXPECT_NE(shot.pixel(rect.center()), yellow);
        // Its folder is framed too, in white.
        const QRect folder = Treemap().TileRectOf(sub);
        const QPoint sides[] = {{folder.left(), folder.center().y()}, {folder.right(), folder.center().y()},
                                {folder.center().x(), folder.top()}, {folder.center().x(), folder.bottom()}};
        EXPECT_TRUE(std::any_of(std::begin(sides), std::end(sides),
                                [&](QPoint p) { return shot.pixel(p) == qRgb(255, 255, 255); }));
        CDataObject* other = object == a ? static_cast<CDataObject*>(b) : a;
        const QRect otherRect = Treemap().TileRectOf(other);
        EXPECT_NE(shot.pixel(otherRect.left() + 1, otherRect.center().y()), yellow);
    }
}

TEST_F(TreemapInWindow, AClickFocusesAndSelectsTheRow)
{
    Grid().Collapse(Grid().GetItem(root), true);
    QTest::mouseClick(&Treemap(), Qt::LeftButton, {}, Treemap().TileRectOf(b).center());
    EXPECT_EQ(frame->View().FocusedObject(), b);
    EXPECT_TRUE(Grid().IsItemSelected(Grid().GetItem(b)));
    EXPECT_EQ(Grid().GetSelectedCount(), 1);
    EXPECT_TRUE(Grid().IsExpanded(Grid().GetItem(sub)));
    EXPECT_EQ(Treemap().FocusedObject(), b) << "the treemap hears the focus it gave";
}

TEST_F(TreemapInWindow, ADoubleClickZoomsInAndTheCommandsZoomOut)
{
    const QRect before = Treemap().TileRectOf(a);
    QTest::mouseDClick(&Treemap(), Qt::LeftButton, {}, before.center());
    EXPECT_EQ(Treemap().ZoomedFolder(), sub);
    Treemap().grab();
    const QRect zoomed = Treemap().TileRectOf(a);
    EXPECT_GT(zoomed.width() * zoomed.height(), 2 * before.width() * before.height());
    EXPECT_FALSE(HasTile(Treemap(), root->GetFiles().front())) << "outside the folder: not shown";
    ViewCommand("&Zoom out")->trigger();
    EXPECT_EQ(Treemap().ZoomedFolder(), nullptr);
    Treemap().ZoomTo(sub);
    ViewCommand("Treemap &home")->trigger();
    EXPECT_EQ(Treemap().ZoomedFolder(), nullptr);
    Treemap().grab();
    EXPECT_EQ(Treemap().TileRectOf(a), before);
}

TEST_F(TreemapInWindow, HoverShowsThePathAndSize)
{
    const QPoint at = Treemap().TileRectOf(a).center();
    QMouseEvent move(QEvent::MouseMove, at, Treemap().mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&Treemap(), &move);
    const QString path = CVelmoraView::FullNameOf(a);
    EXPECT_EQ(Treemap().TooltipText(), path + "\n19.5 KiB (20,000 bytes)");
    EXPECT_EQ(frame->statusBar()->currentMessage(), path + " - 19.5 KiB (20,000 bytes)");
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&Treemap(), &leave);
    EXPECT_EQ(Treemap().TooltipText(), QString());
}

TEST_F(TreemapInWindow, ARefreshRedrawsItsFolder)
{
    Treemap().ZoomTo(sub);
    tree.File("sub/c.iso", 80000);
    ASSERT_TRUE(frame->RefreshObject(sub));
    EXPECT_EQ(Treemap().ObjectAt(Treemap().rect().center()), nullptr) << "no object is held while it may go";
    ASSERT_TRUE(PumpUntil([&] {
        CDataObject* at = Treemap().ObjectAt(Treemap().rect().center());
        return at && CVelmoraView::FullNameOf(at).endsWith("c.iso");
    }, 30));
    EXPECT_EQ(Treemap().ZoomedFolder(), sub);
}

TEST_F(TreemapInWindow, IsRememberedInTheSettings)
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath("velmora.ini"), QSettings::IniFormat);
    frame->SaveSettings(settings);
    frame->TreemapLink().Show(false);
    Treemap().SetStyle(CTreemapView::Style::Cushion);
    ASSERT_FALSE(Treemap().isVisible());
    frame->LoadSettings(settings);
    EXPECT_TRUE(Treemap().isVisible());
    EXPECT_EQ(Treemap().GetStyle(), CTreemapView::Style::Flat);
    EXPECT_TRUE(ViewCommand("Tree&map")->isChecked());
    ViewCommand("Tree&map")->trigger();
    EXPECT_FALSE(Treemap().isVisible());
    // A window that starts with it shown gives it a share of its height,
    // also without a stored splitter.
    settings.remove("treemapSplitter");
    settings.sync();
    CMainFrame next(std::make_unique<CVelmoraDoc>(std::vector<std::string>{tree.Root().string()}),
                    std::make_unique<QSettings>(dir.filePath("velmora.ini"), QSettings::IniFormat));
    next.show();
    QCoreApplication::processEvents();
    EXPECT_GT(next.Treemap().height(), next.View().height() / 3);
    next.Shutdown();
    // The picture as a PNG file.
    ASSERT_TRUE(frame->TreemapLink().SaveImage(dir.filePath("map.png")));
    EXPECT_EQ(QImage(dir.filePath("map.png")).size(), Treemap().Picture().size());
}

} // namespace

// A generated tree of more extensions than there are colours (some with a
// version after them, some without any): each file's tile has the colour of
// its extension's swatch in the file types window, and the coloured
// extensions are the table's largest.
TEST(TreemapColours, TheTreemapAndTheFileTypesWindowColourEachExtensionAlike)
{
    Velmora::Test::CTempTree tree;
    std::mt19937 random(35);
    const std::vector<std::string> endings = {".ISO", ".mkv", ".tar.gz", ".so.1", ".jpg", ".png", ".txt", ".log",
                                              ".db",  ".bin", ".o",      ".a",    ".h",   ".cpp", ".py",  ".json",
                                              "",     ".zip", ".deb",    ".pdf"};
    for (int i = 0; i < 120; ++i) {
        const std::string& ending = endings[random() % endings.size()];
        tree.File("d" + std::to_string(random() % 6) + "/f" + std::to_string(i) + ending, 1000 + random() % 60000);
    }
    CMainFrame frame(std::make_unique<CVelmoraDoc>(std::vector<std::string>{tree.Root().string()}));
    frame.resize(1000, 800);
    frame.show();
    ASSERT_TRUE(PumpUntil([&] { return frame.View().IsIdle(); }, 60));
    CFileTypesWindow& types = frame.FileTypes();
    types.resize(600, 1000);
    types.Open();
    frame.TreemapLink().Show(true);
    CTreemapView& treemap = frame.Treemap();
    treemap.SetStyle(CTreemapView::Style::Flat);
    treemap.Relayout();

    std::set<std::string> largest;
    for (const FileTypeRow& row : types.Table().Rows())
        if (!row.extension.empty() && largest.size() < Treemap::CPalette::kColours)
            largest.insert(row.extension);
    CGrid& list = types.Grid();
    const QImage swatches = list.viewport()->grab().toImage();
    std::map<std::string, QRgb> swatchOf;
    for (int index = 0; index < list.GetRowCount(AreaScrollable); ++index) {
        const HITEM item = list.GetItemAt(index, AreaScrollable);
        const CRect cell = list.GetCellRect(item, 0);
        std::string extension = list.GetObject(item)->GetValueText(0, nullptr);
        if (extension == CFileTypeTable::kNoExtension)
            extension.clear();
        swatchOf[extension] = swatches.pixel(cell.left + cell.Height() / 2, (cell.top + cell.bottom) / 2);
    }
    ASSERT_EQ(swatchOf.size(), types.Table().Rows().size());

    // At home and zoomed into one folder, where other extensions take the
    // most area: the colours stay the table's.
    for (const bool zoomed : {false, true}) {
        if (zoomed)
            treemap.ZoomTo(frame.Document().Scanner().GetDrives().at(0)->GetFolders().at(0));
        treemap.Relayout();
        const QImage picture = treemap.grab().toImage();
        std::set<std::string> coloured, seen;
        for (const CTreemapView::Tile& tile : treemap.Tiles()) {
            const auto* file = dynamic_cast<const CFileData*>(tile.Object());
            if (tile.IsFolder() || !file || tile.right - tile.left < 5 || tile.bottom - tile.top < 5)
                continue;
            const std::string extension = FileExtensionOf(file->GetName().View());
            const QRgb colour = picture.pixel((tile.left + tile.right) / 2, (tile.top + tile.bottom) / 2);
            ASSERT_TRUE(swatchOf.count(extension)) << extension;
            EXPECT_EQ(colour, swatchOf[extension]) << file->GetName().ToStdString() << (zoomed ? " zoomed" : "");
            seen.insert(extension);
            if (colour != Colour(Treemap::kOtherColour))
                coloured.insert(extension);
        }
        std::set<std::string> largestSeen;
        for (const std::string& extension : largest)
            if (seen.count(extension))
                largestSeen.insert(extension);
        EXPECT_EQ(coloured, largestSeen) << (zoomed ? "zoomed" : "");
        if (!zoomed) {
            EXPECT_GT(seen.size(), Treemap::CPalette::kColours) << "some extensions are left grey";
        }
    }
}
