// Velmora for everyday use, offscreen on real temporary trees: settings kept
// across runs, the row commands and their menu, refreshing a folder against
// a fresh walk and the disk tools, refreshes racing a close, hard links, the
// share of the parent, the units mode.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QUrl>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <tuple>
#include <unistd.h>

#include "TempTree.h"
#include "app/CommandLine.h"
#include "app/FolderScanner.h"
#include "app/MainFrame.h"
#include "app/RowPainter.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"

#include "tests/support/EventPump.h"

using namespace Velmora;
using namespace Kestrum::GUI;
using Kestrum::Test::PumpUntil;

namespace {

std::unique_ptr<CMainFrame> OpenFrame(const std::filesystem::path& root, const QString& settingsFile = {})
{
    std::unique_ptr<QSettings> settings;
    if (!settingsFile.isEmpty())
        settings = std::make_unique<QSettings>(settingsFile, QSettings::IniFormat);
    auto frame = std::make_unique<CMainFrame>(std::make_unique<CVelmoraDoc>(std::vector<std::string>{root.string()}),
                                              std::move(settings));
    frame->show();
    return frame;
}

bool WaitIdle(CMainFrame& frame)
{
    const bool idle = PumpUntil([&] { return frame.View().IsIdle(); }, 60);
    QCoreApplication::processEvents();
    return idle;
}

CFolderData* Root(CMainFrame& frame) { return frame.Document().Scanner().GetDrives().at(0); }

CFolderData* FolderAt(CFolderData* folder, const std::string& relative)
{
    for (const auto& part : std::filesystem::path(relative)) {
        CFolderData* next = nullptr;
        for (CFolderData* child : folder->GetFolders())
            if (child->GetName().ToStdString() == part.string())
                next = child;
        if (!next)
            return nullptr;
        folder = next;
    }
    return folder;
}

// The thread checker cannot fork a process that has threads: under it the
// comparisons with the disk tools are left out (the fresh walk stays).
#if defined(__SANITIZE_THREAD__)
constexpr bool kCanRunTools = false;
#else
constexpr bool kCanRunTools = true;
#endif

// The shell's answer, a number.
std::int64_t Shell(const std::string& command)
{
    QProcess process;
    process.start("sh", {"-c", QString::fromStdString(command)});
    process.waitForFinished(60000);
    return process.readAllStandardOutput().trimmed().toLongLong();
}

// What the disk tools count for the files of a tree: du's total less what
// the folders themselves take, which Velmora does not count.
std::int64_t DuApparentFiles(const std::filesystem::path& root)
{
    const std::string dir = "'" + root.string() + "'";
    return Shell("du -s -b -l " + dir + " | cut -f1") -
           Shell("find " + dir + " -type d -printf '%s\\n' | awk '{s+=$1} END {print s+0}'");
}
std::int64_t DuOnDiskFiles(const std::filesystem::path& root)
{
    const std::string dir = "'" + root.string() + "'";
    return Shell("du -s -B1 " + dir + " | cut -f1") -
           Shell("find " + dir + " -type d -printf '%b\\n' | awk '{s+=$1*512} END {print s+0}'");
}

struct Totals {
    std::int64_t size, files, onDisk;
    bool operator==(const Totals&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Totals& t)
{
    return out << "{size " << t.size << ", files " << t.files << ", on disk " << t.onDisk << "}";
}
Totals TotalsOf(const CFolderData* folder) { return {folder->GetSize(), folder->GetFilesCount(), folder->GetSizeOnDisk()}; }

// A fresh walk of the whole tree, without a window.
Totals FreshWalk(const std::filesystem::path& root)
{
    CFolderScanner scanner({root.string()});
    scanner.Start();
    scanner.Wait(0xFFFFFFFFu);
    return TotalsOf(scanner.GetDrives().at(0));
}

void MakeTree(Velmora::Test::CTempTree& tree)
{
    tree.File("docs/a.txt", 1000);
    tree.File("docs/b.txt", 5000);
    tree.File("docs/deep/c.bin", 70000);
    tree.File("music/song.ogg", 123456);
    tree.File("top.txt", 10);
}

// Takes the URLs the desktop would open.
class CUrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls << url; }
};

} // namespace

// --- settings ----------------------------------------------------------------

namespace {
Kestrum::GUI::PrintSettings ChosenPrintSettings()
{
    Kestrum::GUI::PrintSettings settings;
    settings.rows = Kestrum::GUI::PrintAllRows;
    settings.fitToWidth = true;
    settings.orientation = Kestrum::GUI::PrintLandscape;
    settings.margins = {12, 13, 14, 15};
    return settings;
}
} // namespace

TEST(VelmoraSettings, EverySettingComesBackAfterARestart)
{
    Velmora::Test::CTempTree tree;
    MakeTree(tree);
    QTemporaryDir dir;
    const QString file = dir.filePath("velmora.ini");
    {
        auto frame = OpenFrame(tree.Root(), file);
        ASSERT_TRUE(WaitIdle(*frame));
        frame->resize(1111, 555);
        frame->View().IncreaseFont();
        frame->View().IncreaseFont();
        frame->View().ToggleLines();
        frame->Command(ID_SIZE_UNITS)->trigger();
        frame->findChild<QToolBar*>("toolbar")->setVisible(false);
        CHeader* header = frame->View().Grid().GetHeader();
        header->GetColumn(FIELD_FILES_COUNT)->SetWidth(97);
        header->HideColumn(FIELD_LAST_ACCESS_TIME);
        header->MoveColumnBefore(FIELD_PERCENT_OF_PARENT, FIELD_SIZE);
        frame->View().Grid().SetSortInfo(0, CSortInfo(FIELD_FILES_COUNT, false), true);
        frame->View().Grid().SetPrintSettings(ChosenPrintSettings());
        QCoreApplication::processEvents();
        frame->close(); // writes them
    }
    const QFont defaultFont = [&] {
        auto plain = OpenFrame(tree.Root());
        return plain->View().Grid().GetGridFont();
    }();
    auto frame = OpenFrame(tree.Root(), file);
    ASSERT_TRUE(WaitIdle(*frame));
    EXPECT_EQ(frame->size(), QSize(1111, 555));
    EXPECT_EQ(frame->View().Grid().GetGridFont().pointSize(), defaultFont.pointSize() + 2);
    EXPECT_TRUE(frame->View().AreLinesShown());
    EXPECT_TRUE(frame->View().AreSizeUnits());
    EXPECT_TRUE(frame->Command(ID_SIZE_UNITS)->isChecked());
    EXPECT_FALSE(frame->findChild<QToolBar*>("toolbar")->isVisibleTo(frame.get()));
    CHeader* header = frame->View().Grid().GetHeader();
    EXPECT_EQ(header->GetColumnCount(), 8);
    EXPECT_EQ(header->GetColumn(FIELD_FILES_COUNT)->GetWidth(), 97);
    EXPECT_FALSE(header->GetColumn(FIELD_LAST_ACCESS_TIME)->IsVisible());
    EXPECT_EQ(header->GetVisibleIndex(FIELD_PERCENT_OF_PARENT) + 1, header->GetVisibleIndex(FIELD_SIZE));
    EXPECT_EQ(header->GetFixedColumnCount(), 1);
    EXPECT_EQ(header->GetSortInfo(0).GetFieldId(), FIELD_FILES_COUNT);
    EXPECT_FALSE(header->GetSortInfo(0).IsDescending());
    EXPECT_EQ(frame->View().Grid().GetPrintSettings(), ChosenPrintSettings());
}

TEST(VelmoraSettings, DamagedPrintSettingsAreToldOnceAndTheDefaultsStay)
{
    Velmora::Test::CTempTree tree;
    MakeTree(tree);
    QTemporaryDir dir;
    const QString file = dir.filePath("velmora.ini");
    Kestrum::GUI::PrintSettings chosen = ChosenPrintSettings();
    CArchive archive;
    chosen.Serialize(archive);
    const QByteArray whole(reinterpret_cast<const char*>(archive.GetBytes().data()), static_cast<qsizetype>(archive.GetBytes().size()));
    const struct {
        const char* name;
        QByteArray print;
    } cases[] = {
        {"cut short", whole.left(whole.size() - 1)},
        {"newer version", QByteArray("\x02", 1) + whole.mid(1)},
        {"bytes after it", whole + QByteArray("\x01", 1)},
    };
    for (const auto& c : cases) {
        {
            QSettings settings(file, QSettings::IniFormat);
            settings.setValue("print", c.print);
        }
        testing::internal::CaptureStderr();
        auto frame = OpenFrame(tree.Root(), file);
        const std::string told = testing::internal::GetCapturedStderr();
        EXPECT_NE(told.find("velmora: the stored print settings record is damaged"), std::string::npos) << c.name << ": " << told;
        EXPECT_EQ(frame->View().Grid().GetPrintSettings(), Kestrum::GUI::PrintSettings{}) << c.name;
        frame->Shutdown();
    }
}

TEST(VelmoraSettings, ADamagedStoredValueIsToldOnceAndTheDefaultsStay)
{
    Velmora::Test::CTempTree tree;
    MakeTree(tree);
    QTemporaryDir dir;
    const QString file = dir.filePath("velmora.ini");
    const struct {
        const char* name;
        QByteArray header;
        const char* font;
    } cases[] = {
        {"garbage", QByteArray("\x01\x00\x00\x00\xff\xff\xff\x7f junk", 13), "not a font"},
        {"cut short", QByteArray("\x01\x00\x00\x00\x02\x00\x00\x00", 8), "Sans,300,-1,5,400,0,0,0,0,0"},
        {"newer version", QByteArray("\x09\x00\x00\x00", 4), "Sans,2,-1,5,400,0,0,0,0,0"},
        {"empty record", QByteArray("\x00\x00\x00\x00", 4), ""},
    };
    for (const auto& c : cases) {
        {
            QSettings settings(file, QSettings::IniFormat);
            settings.setValue("header", c.header);
            settings.setValue("font", c.font);
        }
        testing::internal::CaptureStderr();
        auto frame = OpenFrame(tree.Root(), file);
        const std::string told = testing::internal::GetCapturedStderr();
        EXPECT_NE(told.find("velmora: the stored header is damaged"), std::string::npos) << c.name << ": " << told;
        EXPECT_NE(told.find("velmora: the stored font is damaged"), std::string::npos) << c.name;
        // One line each (the platform may add lines of its own).
        int ours = 0;
        for (std::size_t at = told.find("velmora:"); at != std::string::npos; at = told.find("velmora:", at + 1))
            ++ours;
        EXPECT_EQ(ours, 2) << c.name << ": " << told;
        CHeader* header = frame->View().Grid().GetHeader();
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(header->GetColumnCount(), 8) << c.name;
        EXPECT_EQ(header->GetSortInfo(0).GetFieldId(), FIELD_SIZE) << c.name;
        frame->Shutdown();
    }
}

// A settings file cut short inside the header's bytes, or one of random
// bytes, is told with its real reason, once, on stderr and in the status bar.
TEST(VelmoraSettings, ADamagedSettingsFileIsToldWithItsRealReason)
{
    Velmora::Test::CTempTree tree;
    MakeTree(tree);
    QTemporaryDir dir;
    const QString file = dir.filePath("velmora.ini");
    {
        auto frame = OpenFrame(tree.Root(), file);
        ASSERT_TRUE(WaitIdle(*frame));
        frame->close(); // writes them
    }
    QFile ini(file);
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray whole = ini.readAll();
    ini.close();
    const qsizetype header = whole.indexOf("header=@ByteArray(");
    ASSERT_GE(header, 0);
    QByteArray random(4000, 0);
    std::mt19937 bytes(7);
    for (char& byte : random)
        byte = static_cast<char>(bytes());
    const struct {
        const char* name;
        QByteArray contents;
        const char* told;   // on stderr
        const char* pane;   // in the status bar
    } cases[] = {
        {"cut inside the header", whole.left(header + 40), "the stored header is damaged: its bytes end early (cut short)",
         "Damaged settings: header"},
        {"random bytes", random, "is damaged (it is no settings text)", "Damaged settings: the whole file"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(c.contents);
        ini.close();
        testing::internal::CaptureStderr();
        auto frame = OpenFrame(tree.Root(), file);
        const std::string told = testing::internal::GetCapturedStderr();
        EXPECT_NE(told.find(c.told), std::string::npos) << c.name << ": " << told;
        EXPECT_EQ(told.find("newer version"), std::string::npos) << c.name << ": " << told;
        int ours = 0;
        for (std::size_t at = told.find("velmora:"); at != std::string::npos; at = told.find("velmora:", at + 1))
            ++ours;
        EXPECT_EQ(ours, 1) << c.name << ": " << told;
        const QLabel* pane = frame->statusBar()->findChild<QLabel*>("damagedSettings");
        ASSERT_NE(pane, nullptr) << c.name;
        EXPECT_TRUE(pane->isVisibleTo(frame.get())) << c.name;
        EXPECT_TRUE(pane->text().startsWith(c.pane)) << c.name << ": " << pane->text().toStdString();
        EXPECT_EQ(frame->View().Grid().GetHeader()->GetColumnCount(), 8) << c.name;
        frame->Shutdown();
    }
}

TEST(VelmoraSettings, AHeaderStoredBeforeTheNewColumnsGainsThem)
{
    Velmora::Test::CTempTree tree;
    MakeTree(tree);
    QTemporaryDir dir;
    const QString file = dir.filePath("velmora.ini");
    {
        CHeader old(true);
        old.AddColumn(new CColumn(FIELD_NAME, "Name", 300, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        old.AddColumn(new CColumn(FIELD_SIZE, "Size", 99, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        CArchive archive;
        old.Serialize(archive);
        QSettings settings(file, QSettings::IniFormat);
        settings.setValue("header", QByteArray(reinterpret_cast<const char*>(archive.GetBytes().data()),
                                               static_cast<qsizetype>(archive.GetBytes().size())));
    }
    auto frame = OpenFrame(tree.Root(), file);
    CHeader* header = frame->View().Grid().GetHeader();
    EXPECT_EQ(header->GetColumn(FIELD_NAME)->GetWidth(), 300);
    EXPECT_EQ(header->GetColumnCount(), 8);
    EXPECT_NE(header->GetVisibleColumn(FIELD_SIZE_ON_DISK), nullptr);
    EXPECT_NE(header->GetVisibleColumn(FIELD_PERCENT_OF_PARENT), nullptr);
    frame->Shutdown();
}

TEST(VelmoraColumns, TheTreeStaysWithTheNamesWhereverNameIsMoved)
{
    Velmora::Test::CTempTree tree;
    MakeTree(tree);
    QTemporaryDir dir;
    const QString file = dir.filePath("velmora.ini");
    {
        auto frame = OpenFrame(tree.Root(), file);
        CHeader* header = frame->View().Grid().GetHeader();
        ASSERT_TRUE(header->MoveColumnAfter(FIELD_NAME, FIELD_FILES_COUNT));
        ASSERT_EQ(header->GetVisibleColumnAt(0)->GetFieldId(), FIELD_SIZE);
        ASSERT_NE(header->GetTreeColumn(), nullptr);
        EXPECT_EQ(header->GetTreeColumn()->GetFieldId(), FIELD_NAME);
        frame->Shutdown(); // the moved header is stored
    }
    auto frame = OpenFrame(tree.Root(), file);
    CHeader* header = frame->View().Grid().GetHeader();
    ASSERT_EQ(header->GetVisibleColumnAt(0)->GetFieldId(), FIELD_SIZE) << "the stored order came back";
    ASSERT_NE(header->GetTreeColumn(), nullptr);
    EXPECT_EQ(header->GetTreeColumn()->GetFieldId(), FIELD_NAME);
    frame->Shutdown();
}

// --- columns -----------------------------------------------------------------

TEST(VelmoraColumns, TheTwoNewColumnsFollowTheDesignsSix)
{
    Velmora::Test::CTempTree tree;
    auto frame = OpenFrame(tree.Root());
    CHeader* header = frame->View().Grid().GetHeader();
    ASSERT_EQ(header->GetColumnCount(), 8);
    const std::int32_t fields[] = {FIELD_NAME,          FIELD_SIZE,          FIELD_FILES_COUNT,
                                   FIELD_CREATION_TIME, FIELD_LAST_ACCESS_TIME, FIELD_LAST_WRITE_TIME,
                                   FIELD_SIZE_ON_DISK,  FIELD_PERCENT_OF_PARENT};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(header->GetVisibleColumnAt(i)->GetFieldId(), fields[i]) << i;
    EXPECT_EQ(header->GetColumn(FIELD_SIZE_ON_DISK)->GetCaption(), "Size on disk");
    EXPECT_EQ(header->GetColumn(FIELD_PERCENT_OF_PARENT)->GetCaption(), "% of parent");
}

TEST(VelmoraColumns, HardLinksCountOnceOnDiskAndEveryTimeInTheSize)
{
    Velmora::Test::CTempTree tree;
    const auto original = tree.File("a/original", 50000);
    tree.Dir("b");
    tree.Dir("c/d");
    ASSERT_EQ(link(original.c_str(), (tree.Root() / "b/link1").c_str()), 0);
    ASSERT_EQ(link(original.c_str(), (tree.Root() / "c/d/link2").c_str()), 0);
    tree.File("plain", 3000);
    auto frame = OpenFrame(tree.Root());
    ASSERT_TRUE(WaitIdle(*frame));
    const CFolderData* root = Root(*frame);
    EXPECT_EQ(root->GetSize(), 3 * 50000 + 3000);
    const std::int64_t onDisk = root->GetSizeOnDisk();
    EXPECT_EQ(onDisk, FreshWalk(tree.Root()).onDisk);
    if (kCanRunTools) {
        EXPECT_EQ(root->GetSize(), DuApparentFiles(tree.Root()));
        EXPECT_EQ(onDisk, DuOnDiskFiles(tree.Root()));
    }
    // One of the three holds the blocks, the others nothing.
    int holders = 0;
    for (const char* folder : {"a", "b", "c/d"})
        holders += FolderAt(Root(*frame), folder)->GetSizeOnDisk() > 0;
    EXPECT_EQ(holders, 1);
    // A refresh of the holder's folder keeps the inode counted once.
    for (const char* folder : {"a", "b", "c/d", "c"}) {
        ASSERT_TRUE(frame->RefreshObject(FolderAt(Root(*frame), folder))) << folder;
        ASSERT_TRUE(WaitIdle(*frame));
        EXPECT_EQ(root->GetSizeOnDisk(), onDisk) << folder;
        EXPECT_EQ(root->GetSize(), 3 * 50000 + 3000) << folder;
    }
}

TEST(VelmoraColumns, PercentIsAHundredForTheRootAndSumsToAHundredOverChildren)
{
    Velmora::Test::CTempTree tree;
    MakeTree(tree);
    auto frame = OpenFrame(tree.Root());
    ASSERT_TRUE(WaitIdle(*frame));
    CGrid& grid = frame->View().Grid();
    std::vector<HITEM> roots;
    grid.GetChildren(GRID_ROOT, roots, false);
    ASSERT_EQ(roots.size(), 1u);
    EXPECT_DOUBLE_EQ(grid.GetObject(roots[0])->GetDouble(FIELD_PERCENT_OF_PARENT), 100.0);
    std::vector<HITEM> folders{roots[0]};
    while (!folders.empty()) {
        const HITEM folder = folders.back();
        folders.pop_back();
        std::vector<HITEM> children;
        grid.GetChildren(folder, children, false);
        if (children.empty())
            continue;
        double sum = 0;
        for (const HITEM child : children) {
            sum += grid.GetObject(child)->GetDouble(FIELD_PERCENT_OF_PARENT);
            folders.push_back(child);
        }
        EXPECT_NEAR(sum, 100.0, 1e-9);
    }
}

TEST(VelmoraColumns, PercentCellsDrawABarAsLongAsTheShare)
{
    const CRect cell{0, 0, 112, 18};
    const int text = 40;
    const CRect full = CRowPainter::PercentBarRect(cell, text, 100);
    const CRect half = CRowPainter::PercentBarRect(cell, text, 50);
    EXPECT_EQ(full.left, 3);
    EXPECT_EQ(full.Width(), 112 - text - 12);
    EXPECT_EQ(half.Width(), (112 - text - 12) / 2);
    EXPECT_EQ(CRowPainter::PercentBarRect(cell, text, 0).Width(), 0);
    EXPECT_EQ(CRowPainter::PercentBarRect({0, 0, 50, 18}, text, 80).Width(), 0); // no room beside the number
}

TEST(VelmoraColumns, TheUnitsModeWritesBothSizeColumnsInBinaryUnits)
{
    Velmora::Test::CTempTree tree;
    tree.File("big", 3 * 1024 * 1024 + 512 * 1024);
    auto frame = OpenFrame(tree.Root());
    frame->resize(1400, 400);
    ASSERT_TRUE(WaitIdle(*frame));
    CGrid& grid = frame->View().Grid();
    const HITEM root = grid.GetItemAt(0, AreaScrollable);
    frame->Command(ID_SIZE_UNITS)->trigger();
    EXPECT_TRUE(frame->View().AreSizeUnits());
    QImage units = grid.viewport()->grab().toImage();
    frame->Command(ID_SIZE_BYTES)->trigger();
    EXPECT_FALSE(frame->View().AreSizeUnits());
    QImage bytes = grid.viewport()->grab().toImage();
    // The Size cell's pixels differ between the two texts.
    const CRect cell = grid.GetCellRect(root, FIELD_SIZE);
    const QRect rect(cell.left, cell.top, cell.Width(), cell.Height());
    EXPECT_NE(units.copy(rect), bytes.copy(rect));
}

// The accessible text of both size columns is the painted text in either
// mode: the units are the custom draw's format for every reader, so the
// painted ink is as wide as the accessible text set in the cell's font.
TEST(VelmoraColumns, TheAccessibleTextOfTheSizeCellsIsThePaintedTextInEitherMode)
{
    Velmora::Test::CTempTree tree;
    tree.File("big", 3 * 1024 * 1024 + 512 * 1024);
    auto frame = OpenFrame(tree.Root());
    frame->resize(1400, 400);
    ASSERT_TRUE(WaitIdle(*frame));
    CGrid& grid = frame->View().Grid();
    const HITEM root = grid.GetItemAt(0, AreaScrollable);
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&grid);
    ASSERT_TRUE(table && table->tableInterface());
    const std::vector<CColumn*> columns = grid.GetHeader()->GetVisibleColumns();
    auto columnOf = [&](std::int32_t field) {
        return static_cast<int>(std::find_if(columns.begin(), columns.end(),
                                             [&](CColumn* c) { return c->GetFieldId() == field; }) -
                                columns.begin());
    };
    // The width of the dark pixels in the cell: the painted text.
    auto inkWidth = [&](const QImage& image, const CRect& cell) {
        int left = cell.right, right = cell.left - 1;
        for (int y = cell.top; y < cell.bottom; ++y)
            for (int x = cell.left; x < cell.right; ++x)
                if (qGray(image.pixel(x, y)) < 128) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        return right - left + 1;
    };
    for (const bool units : {true, false}) {
        frame->Command(units ? ID_SIZE_UNITS : ID_SIZE_BYTES)->trigger();
        grid.viewport()->repaint();
        const QImage image = grid.viewport()->grab().toImage();
        for (const std::int32_t field : {FIELD_SIZE, FIELD_SIZE_ON_DISK}) {
            SCOPED_TRACE(testing::Message() << (units ? "units " : "bytes ") << field);
            QAccessibleInterface* cell =
                table->tableInterface()->cellAt(grid.GetRowCount(AreaFixed) + grid.GetVisibleIndex(root), columnOf(field));
            ASSERT_TRUE(cell);
            const QString text = cell->text(QAccessible::Name);
            if (field == FIELD_SIZE)
                EXPECT_EQ(units ? text : QString(text).remove(QRegularExpression("\\D")), units ? "3.5 MiB" : "3670016");
            else
                EXPECT_EQ(text.endsWith("iB"), units) << text.toStdString();
            QFont font = grid.GetGridFont();
            if (field == FIELD_SIZE)
                font.setWeight(QFont::Black);
            const int expected = QFontMetrics(font).tightBoundingRect(text).width();
            EXPECT_NEAR(inkWidth(image, grid.GetCellRect(root, field)), expected, 2) << text.toStdString();
        }
    }
}

// --- the row commands ----------------------------------------------------------

// --- sorting by a column that some rows leave blank ----------------------------------

// Files have no files count and folders no times: clicking those captions
// sorts the rows that have a value and puts the blank ones after them, in
// the order they had, in both directions.
TEST(VelmoraColumns, ColumnsThatSomeRowsLeaveBlankSortTheRestAndPutTheBlankOnesLast)
{
    Velmora::Test::CTempTree tree;
    for (int i = 0; i < 6; ++i)
        tree.File("many/f" + std::to_string(i), 100);
    tree.File("one/only", 400);
    const auto now = std::filesystem::file_time_type::clock::now();
    // By size, largest first: many, file2, file3, one, file1.
    for (const auto& [name, bytes, daysAgo] :
         std::vector<std::tuple<std::string, std::size_t, int>>{{"file1", 300, 30}, {"file2", 500, 10}, {"file3", 450, 20}})
        std::filesystem::last_write_time(tree.File(name, bytes), now - std::chrono::hours(24 * daysAgo));
    auto frame = OpenFrame(tree.Root());
    frame->resize(1400, 500);
    ASSERT_TRUE(WaitIdle(*frame));
    CGrid& grid = frame->View().Grid();
    const HITEM root = grid.GetItemAt(0, AreaScrollable);
    grid.Expand(root, false);
    QCoreApplication::processEvents();
    auto rowNames = [&] {
        std::vector<std::string> names;
        for (int row = 1; row < grid.GetRowCount(AreaScrollable); ++row)
            names.push_back(grid.GetObject(grid.GetItemAt(row, AreaScrollable))->GetValueText(FIELD_NAME, nullptr));
        return names;
    };
    using Names = std::vector<std::string>;
    ASSERT_EQ(rowNames(), (Names{"many", "file2", "file3", "one", "file1"}));
    auto clickCaption = [&](std::int32_t field) {
        CHeader* header = grid.GetHeader();
        const CRect caption = header->GetColumnRect(&grid, field);
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint((caption.left + caption.right) / 2, header->GetHeight() / 2));
        QCoreApplication::processEvents();
    };

    clickCaption(FIELD_FILES_COUNT); // takes Size's direction: descending
    EXPECT_EQ(rowNames(), (Names{"many", "one", "file2", "file3", "file1"}));
    clickCaption(FIELD_FILES_COUNT);
    EXPECT_EQ(rowNames(), (Names{"one", "many", "file2", "file3", "file1"}));
    clickCaption(FIELD_LAST_WRITE_TIME); // ascending: oldest first
    EXPECT_EQ(rowNames(), (Names{"file1", "file3", "file2", "one", "many"}));
    clickCaption(FIELD_LAST_WRITE_TIME);
    EXPECT_EQ(rowNames(), (Names{"file2", "file3", "file1", "one", "many"}));
}

TEST(VelmoraRowCommands, TheContextMenuOfARowCopiesItsFullName)
{
    Velmora::Test::CTempTree tree;
    MakeTree(tree);
    auto frame = OpenFrame(tree.Root());
    frame->resize(900, 500);
    ASSERT_TRUE(WaitIdle(*frame));
    CGrid& grid = frame->View().Grid();
    grid.Expand(grid.GetItemAt(0, AreaScrollable), false);
    QCoreApplication::processEvents();
    // The second row; a right click over it makes it the focused row.
    const HITEM item = grid.GetItemAt(1, AreaScrollable);
    const CRect rect = grid.GetRowRect(item);
    const QPoint at(40, rect.top + rect.Height() / 2);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, grid.viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(grid.viewport(), &event);
    EXPECT_EQ(grid.GetFocusedRow(), 1);
    EXPECT_TRUE(grid.IsItemSelected(item));
    auto* menu = frame->findChild<QMenu*>("rowMenu");
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            texts << action->text();
    EXPECT_EQ(texts, (QStringList{"&Open", "Open containing &folder", "&Copy full name", "&Refresh", "Refresh &all"}));
    for (QAction* action : menu->actions())
        if (action->text() == "&Copy full name")
            action->trigger();
    menu->close();
    const QString expected = CVelmoraView::FullNameOf(grid.GetObject(item));
    EXPECT_TRUE(expected.startsWith(QString::fromStdString(tree.Root().string()) + "/"));
    EXPECT_EQ(QApplication::clipboard()->text(), expected);
}

TEST(VelmoraRowCommands, AMenuOpenedOnARowThatARefreshReplacedDoesNothing)
{
    Velmora::Test::CTempTree tree;
    MakeTree(tree);
    auto frame = OpenFrame(tree.Root());
    ASSERT_TRUE(WaitIdle(*frame));
    CFolderData* docs = FolderAt(Root(*frame), "docs");
    Kestrum::Common::CDataObject* deep = FolderAt(docs, "deep");
    std::unique_ptr<QMenu> menu(frame->MakeContextMenu(deep));
    ASSERT_TRUE(frame->RefreshObject(docs)); // deletes the old "deep"
    ASSERT_TRUE(WaitIdle(*frame));
    QApplication::clipboard()->setText("before");
    for (QAction* action : menu->actions())
        if (action->text() == "&Copy full name" || action->text() == "&Refresh")
            action->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "before");
    EXPECT_TRUE(frame->View().IsIdle());
}

TEST(VelmoraRowCommands, OpenAndOpenContainingFolderHandTheDesktopTheRightFolder)
{
    Velmora::Test::CTempTree tree;
    MakeTree(tree);
    auto frame = OpenFrame(tree.Root());
    ASSERT_TRUE(WaitIdle(*frame));
    CUrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "Open");
    CFolderData* docs = FolderAt(Root(*frame), "docs");
    CFileData* file = docs->GetFiles().at(0);
    frame->OpenObject(docs);
    frame->OpenContainingFolder(docs);
    frame->OpenObject(file);
    frame->OpenContainingFolder(file);
    QDesktopServices::unsetUrlHandler("file");
    const QString root = QString::fromStdString(tree.Root().string());
    EXPECT_EQ(catcher.urls, (QList<QUrl>{QUrl::fromLocalFile(root + "/docs"), QUrl::fromLocalFile(root),
                                         QUrl::fromLocalFile(CVelmoraView::FullNameOf(file)),
                                         QUrl::fromLocalFile(root + "/docs")}));
}

// Without a program that opens files (none offscreen, and no handler set),
// Open and Open containing folder say so in a message box, with the reason.
TEST(VelmoraRowCommands, OpenWithNothingToOpenItSaysWhyInAMessageBox)
{
    Velmora::Test::CTempTree tree;
    MakeTree(tree);
    auto frame = OpenFrame(tree.Root());
    ASSERT_TRUE(WaitIdle(*frame));
    const std::string root = tree.Root().string();
    const struct {
        const char* name;
        std::function<void()> command;
        std::string path;
    } cases[] = {
        {"Open", [&] { frame->OpenObject(FolderAt(Root(*frame), "docs")); }, root + "/docs"},
        {"Open containing folder", [&] { frame->OpenContainingFolder(FolderAt(Root(*frame), "docs/deep")); }, root + "/docs"},
    };
    for (const auto& c : cases) {
        c.command();
        QMessageBox* box = frame->findChild<QMessageBox*>();
        ASSERT_NE(box, nullptr) << c.name;
        EXPECT_TRUE(box->isVisible()) << c.name;
        EXPECT_TRUE(box->text().contains(QString::fromStdString("cannot open " + c.path + ":"))) << box->text().toStdString();
        EXPECT_TRUE(box->text().contains("xdg-open was not found") || box->text().contains("no program that opens it"))
            << box->text().toStdString();
        box->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST(VelmoraRowCommands, TheMenuKeyOpensTheMenuOfTheFocusedRow)
{
    Velmora::Test::CTempTree tree;
    MakeTree(tree);
    auto frame = OpenFrame(tree.Root());
    ASSERT_TRUE(WaitIdle(*frame));
    CGrid& grid = frame->View().Grid();
    grid.SetFocusedRow(0, AreaScrollable);
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_Menu);
    QMenu* menu = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (menu = frame->findChild<QMenu*>("rowMenu")) != nullptr; }, 5));
    EXPECT_TRUE(menu->actions().at(0)->isEnabled());
    for (QAction* action : menu->actions())
        if (action->text() == "&Copy full name")
            action->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromStdString(tree.Root().string()));
    menu->close();
}

// --- refresh -------------------------------------------------------------------

TEST(VelmoraRefresh, ARefreshedFolderGivesTheTotalsOfAFreshWalkAndOfTheDiskTools)
{
    Velmora::Test::CTempTree tree;
    MakeTree(tree);
    for (int i = 0; i < 40; ++i)
        tree.File("docs/many/f" + std::to_string(i), 100 * i + 1);
    auto frame = OpenFrame(tree.Root());
    ASSERT_TRUE(WaitIdle(*frame));
    CFolderData* root = Root(*frame);
    ASSERT_EQ(TotalsOf(root), FreshWalk(tree.Root()));
    // Files added and removed below "docs" behind the browser's back.
    std::filesystem::remove(tree.Root() / "docs/b.txt");
    std::filesystem::remove_all(tree.Root() / "docs/deep");
    tree.File("docs/new/one", 4321);
    tree.File("docs/many/f7", 999999); // grown
    tree.File("docs/many/extra", 17);
    const Totals before = TotalsOf(root);
    CFolderData* docs = FolderAt(root, "docs");
    ASSERT_NE(docs, nullptr);
    const Totals docsBefore = TotalsOf(docs);
    const Totals musicBefore = TotalsOf(FolderAt(root, "music"));

    ASSERT_TRUE(frame->RefreshObject(docs));
    EXPECT_FALSE(frame->RefreshObject(docs)) << "one walk at a time";
    ASSERT_TRUE(WaitIdle(*frame));
    const Totals fresh = FreshWalk(tree.Root());
    EXPECT_EQ(TotalsOf(root), fresh);
    if (kCanRunTools) {
        EXPECT_EQ(root->GetSize(), DuApparentFiles(tree.Root()));
        EXPECT_EQ(root->GetSizeOnDisk(), DuOnDiskFiles(tree.Root()));
    }
    // The ancestors moved by the folder's difference, the rest stayed.
    EXPECT_EQ(root->GetSize() - before.size, docs->GetSize() - docsBefore.size);
    EXPECT_EQ(TotalsOf(FolderAt(root, "music")), musicBefore);
    EXPECT_EQ(FolderAt(root, "docs/deep"), nullptr);
    EXPECT_NE(FolderAt(root, "docs/new"), nullptr);
    // The rows follow: every object of the tree has its row, and only those.
    CGrid& grid = frame->View().Grid();
    std::vector<HITEM> items;
    grid.GetAllItems(MaskBoth, items);
    const auto entries = std::distance(std::filesystem::recursive_directory_iterator(tree.Root()),
                                       std::filesystem::recursive_directory_iterator());
    EXPECT_EQ(static_cast<std::int64_t>(items.size()), 1 + entries);
    for (const HITEM item : items)
        ASSERT_NE(grid.GetObject(item), nullptr);
    const HITEM docsRow = grid.GetItem(docs);
    std::vector<HITEM> docsChildren;
    grid.GetChildren(docsRow, docsChildren, false);
    EXPECT_EQ(docsChildren.size(), 3u); // a.txt, many, new
}

TEST(VelmoraRefresh, RefreshAllWalksFromScratch)
{
    Velmora::Test::CTempTree tree;
    MakeTree(tree);
    auto frame = OpenFrame(tree.Root());
    ASSERT_TRUE(WaitIdle(*frame));
    tree.File("music/another.ogg", 777);
    std::filesystem::remove(tree.Root() / "top.txt");
    ASSERT_TRUE(frame->RefreshAll());
    ASSERT_TRUE(WaitIdle(*frame));
    EXPECT_EQ(TotalsOf(Root(*frame)), FreshWalk(tree.Root()));
    EXPECT_EQ(frame->View().Grid().GetRowCount(AreaScrollable), 1);
    std::vector<HITEM> items;
    frame->View().Grid().GetAllItems(MaskBoth, items);
    EXPECT_EQ(items.size(), 9u); // the root, 3 folders, 5 files
}

TEST(VelmoraRefresh, TheStatusTellsTheTotalsAndTheTitleTheProgress)
{
    Velmora::Test::CTempTree tree;
    MakeTree(tree);
    auto frame = OpenFrame(tree.Root());
    ASSERT_TRUE(WaitIdle(*frame));
    frame->UpdateStatus();
    EXPECT_EQ(frame->StatusMessage(), "Ready");
    EXPECT_TRUE(frame->statusBar()->currentMessage().startsWith("Done: 4 folders, 5 files, "))
        << frame->statusBar()->currentMessage().toStdString();
    EXPECT_EQ(frame->windowTitle(), "Kestrum - Velmora");
    // A refresh tells what it found below its folder.
    ASSERT_TRUE(frame->RefreshObject(FolderAt(Root(*frame), "docs")));
    ASSERT_TRUE(WaitIdle(*frame));
    frame->UpdateStatus();
    const QString expected = QString("Refreshed %1/docs: 1 folders, 3 files, ").arg(QString::fromStdString(tree.Root().string()));
    EXPECT_TRUE(frame->statusBar()->currentMessage().startsWith(expected))
        << frame->statusBar()->currentMessage().toStdString();
}

// --- folders given more than once, or one inside another ----------------------------------

namespace {
struct GivenRootsCase {
    const char* name;
    std::vector<std::string> given;  // relative to the tree ("." is the tree)
    std::vector<std::string> shown;  // the roots shown, in order
};
class VelmoraGivenRoots : public ::testing::TestWithParam<GivenRootsCase> {};
} // namespace

// The grand total is that of the tree once, however its folders are given:
// a repeated folder is one root, and a folder inside another is a root of
// its own whose files the total counts once.
TEST_P(VelmoraGivenRoots, EachFolderIsShownOnceAndCountedOnceInTheTotals)
{
    Velmora::Test::CTempTree tree;
    MakeTree(tree);
    std::vector<std::string> roots;
    for (const std::string& relative : GetParam().given)
        roots.push_back((tree.Root() / relative).string());
    ASSERT_TRUE(CheckRoots(roots).empty()); // as the command line is read
    auto frame = std::make_unique<CMainFrame>(std::make_unique<CVelmoraDoc>(roots));
    frame->show();
    ASSERT_TRUE(WaitIdle(*frame));
    frame->UpdateStatus();
    std::vector<std::string> shown;
    for (CFolderData* drive : frame->Document().Scanner().GetDrives())
        shown.push_back(drive->GetFullName().ToStdString());
    std::vector<std::string> expected;
    for (const std::string& relative : GetParam().shown)
        expected.push_back(std::filesystem::weakly_canonical(tree.Root() / relative).string());
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(frame->View().Grid().GetRowCount(AreaScrollable), static_cast<int>(expected.size()));
    // 1000 + 5000 + 70000 + 123456 + 10 bytes.
    EXPECT_TRUE(frame->statusBar()->currentMessage().startsWith("Done: 4 folders, 5 files, 194.8 KiB ("))
        << frame->statusBar()->currentMessage().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Roots, VelmoraGivenRoots,
    ::testing::Values(GivenRootsCase{"Alone", {"."}, {"."}}, GivenRootsCase{"Twice", {".", "."}, {"."}},
                      GivenRootsCase{"TwiceSpelledOtherwise", {".", "docs/.."}, {"."}},
                      GivenRootsCase{"InnerAfter", {".", "docs"}, {".", "docs"}},
                      GivenRootsCase{"InnerFirst", {"docs/deep", "."}, {"docs/deep", "."}},
                      GivenRootsCase{"InnerTwiceAndItsOwnInner", {"docs", ".", "docs", "docs/deep"}, {"docs", ".", "docs/deep"}}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST(VelmoraRefresh, ClosingDuringARefreshIsSafe)
{
    Velmora::Test::CTempTree tree;
    for (int folder = 0; folder < 30; ++folder)
        for (int file = 0; file < 100; ++file)
            tree.File("big/f" + std::to_string(folder) + "/x" + std::to_string(file), 1);
    tree.File("small/x", 1);
    std::mt19937 random(24);
    for (int round = 0; round < 40; ++round) {
        auto frame = OpenFrame(tree.Root());
        ASSERT_TRUE(WaitIdle(*frame));
        const Totals before = TotalsOf(Root(*frame));
        ASSERT_TRUE(frame->RefreshObject(FolderAt(Root(*frame), round % 2 ? "big" : "big/f3")));
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(random() % 30000);
        while (std::chrono::steady_clock::now() < until)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const auto start = std::chrono::steady_clock::now();
        frame->close();
        ASSERT_FALSE(frame->Document().Scanner().IsRunning());
        // Replaced or left as it was: never half of each.
        EXPECT_EQ(TotalsOf(Root(*frame)), before) << "round " << round;
        frame.reset();
        ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "round " << round;
    }
}

#include "VelmoraEverydayTest.moc"
