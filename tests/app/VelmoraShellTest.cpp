// Velmora's shell offscreen: what the status bar, the menus, the About box,
// the icons and the columns show a user, on real temporary trees.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileIconProvider>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <sys/statvfs.h>
#include <thread>

#include "TempTree.h"
#include "app/Application.h"
#include "app/MainFrame.h"
#include "app/RowPainter.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "common/Format.h"
#include "common/FormatRegistry.h"
#include "common/Value.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"
#include "gui/platform/DeviceContext.h"
#include "gui/platform/QtText.h"
#include "tests/support/EventPump.h"

using namespace Velmora;
using namespace Kestrum::GUI;
using Velmora::Test::CTempTree;

namespace {
using Kestrum::Test::PumpUntil;

// Refuses chosen folders with an error, and can hold one listing until
// released.
class CTestFileSystem : public CLocalFileSystem {
public:
    std::map<std::string, int> refused;
    std::string gated;
    std::atomic<bool> open{false};
    bool ListFolder(const std::string& path, std::uint64_t mountId, const std::function<bool()>& stop,
                    const std::function<bool(const ScanEntry&)>& onEntry) override
    {
        while (path == gated && !open && !(stop && stop()))
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
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

std::unique_ptr<CMainFrame> OpenFrame(const CTempTree& tree, std::shared_ptr<IScanFileSystem> fileSystem = nullptr)
{
    auto document = fileSystem ? std::make_unique<CVelmoraDoc>(std::vector<std::string>{tree.Root().string()}, fileSystem)
                               : std::make_unique<CVelmoraDoc>(std::vector<std::string>{tree.Root().string()});
    auto frame = std::make_unique<CMainFrame>(std::move(document));
    frame->resize(900, 500);
    frame->show();
    return frame;
}

void WaitForTheWalk(CMainFrame& frame)
{
    PumpUntil([&] { return frame.Document().Scanner().IsFinished() && !frame.View().HasWaitingRows(); });
    QCoreApplication::processEvents();
}

HITEM RowOf(CGrid& grid, const std::string& name)
{
    std::vector<HITEM> items;
    grid.GetAllItems(MaskBoth, items);
    for (HITEM item : items)
        if (grid.GetObject(item)->GetMfcString(0).ToStdString() == name)
            return item;
    return 0;
}

// Pixels of the padlock's red in a rectangle of the grid.
int PadlockPixels(CGrid& grid, const CRect& rect)
{
    grid.viewport()->repaint();
    const QImage image = grid.viewport()->grab().toImage();
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < std::min(rect.right, image.width()); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.red() > 140 && pixel.green() < 70 && pixel.blue() < 70)
                ++count;
        }
    return count;
}
} // namespace

TEST(VelmoraShell, AFolderThatCannotBeReadIsMarkedAndCountedWhileTotalsStay)
{
    CTempTree tree;
    tree.File("denied/secret", 100);
    tree.File("also denied/secret", 100);
    tree.File("open/visible", 1);
    auto fileSystem = std::make_shared<CTestFileSystem>();
    fileSystem->refused = {{(tree.Root() / "denied").string(), EACCES}, {(tree.Root() / "also denied").string(), EIO}};
    auto frame = OpenFrame(tree, fileSystem);
    WaitForTheWalk(*frame);
    frame->UpdateStatus();
    EXPECT_EQ(frame->UnreadablePane(), "2 folders could not be read");
    EXPECT_EQ(frame->StatusMessage(), "Ready");
    CGrid& grid = frame->View().Grid();
    frame->View().ExpandAll();
    const HITEM denied = RowOf(grid, "denied");
    const HITEM open = RowOf(grid, "open");
    ASSERT_TRUE(denied && open);
    EXPECT_EQ(grid.GetObject(grid.GetItemAt(0, AreaScrollable))->GetInt64(2), 1); // totals hold what was read
    const auto iconOf = [&](HITEM item) {
        CRect cell = grid.GetCellRect(item, 0);
        cell.left += grid.GetLevel(item) * cell.Height();
        cell.right = cell.left + 2 * cell.Height();
        return cell;
    };
    EXPECT_GT(PadlockPixels(grid, iconOf(denied)), 4);
    EXPECT_EQ(PadlockPixels(grid, iconOf(open)), 0);
}

TEST(VelmoraShell, OneUnreadableFolderIsCountedInTheSingular)
{
    CTempTree tree;
    tree.File("denied/secret", 100);
    auto fileSystem = std::make_shared<CTestFileSystem>();
    fileSystem->refused = {{(tree.Root() / "denied").string(), EACCES}};
    auto frame = OpenFrame(tree, fileSystem);
    WaitForTheWalk(*frame);
    frame->UpdateStatus();
    EXPECT_EQ(frame->UnreadablePane(), "1 folder could not be read");
}

TEST(VelmoraShell, TheStatusBarSaysScanningFromTheFirstMomentAndReadyOnlyWithEveryRowIn)
{
    CTempTree tree;
    tree.File("held/file", 1);
    auto fileSystem = std::make_shared<CTestFileSystem>();
    fileSystem->gated = (tree.Root() / "held").string();
    auto frame = OpenFrame(tree, fileSystem);
    EXPECT_TRUE(frame->StatusMessage().startsWith("Scanning")) << frame->StatusMessage().toStdString();
    EXPECT_EQ(frame->UnreadablePane(), "");
    fileSystem->open = true;
    WaitForTheWalk(*frame);
    frame->UpdateStatus();
    EXPECT_EQ(frame->StatusMessage(), "Ready");
}

TEST(VelmoraShell, LockKeyPanesStayEmptyWhereThePlatformDoesNotReportThem)
{
    CTempTree tree;
    auto frame = OpenFrame(tree);
    WaitForTheWalk(*frame);
    frame->UpdateStatus();
    EXPECT_FALSE(ReadLockKeys().has_value()); // offscreen
    for (int pane = 0; pane < 3; ++pane)
        EXPECT_EQ(frame->LockPane(pane), "") << pane;
}

TEST(VelmoraShell, ShowLinesIsCheckedWhileEitherOfTheGridsSwitchesIsOn)
{
    CTempTree tree;
    auto frame = OpenFrame(tree);
    CGrid& grid = frame->View().Grid();
    QAction* lines = frame->Command(ID_SHOW_LINES);
    struct Case {
        bool horizontal, vertical, checked;
    };
    for (const Case& c : {Case{false, true, true}, Case{true, false, true}, Case{false, false, false}, Case{true, true, true}}) {
        GridAppearance appearance = grid.GetAppearance();
        appearance.horizontalLines = c.horizontal;
        appearance.verticalLines = c.vertical;
        grid.SetAppearance(appearance); // not through the command
        emit frame->SettingsMenu()->aboutToShow();
        EXPECT_EQ(lines->isChecked(), c.checked) << c.horizontal << c.vertical;
    }
    lines->trigger(); // both on: the command switches both off
    EXPECT_FALSE(lines->isChecked());
    EXPECT_FALSE(grid.GetAppearance().horizontalLines || grid.GetAppearance().verticalLines);
}

TEST(VelmoraShell, TheAboutBoxShowsItsCaptionTheIconAndItsTextUncut)
{
    CAboutBox about;
    about.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(about.windowTitle(), "About Velmora...");
    EXPECT_FALSE(about.windowIcon().isNull());
    ASSERT_FALSE(about.IconLabel()->pixmap().isNull());
    EXPECT_GE(about.IconLabel()->pixmap().deviceIndependentSize().width(), 32);
    EXPECT_EQ(about.TextLabel()->text(), "Velmora version 1.0");
    EXPECT_GE(about.TextLabel()->width(), about.TextLabel()->sizeHint().width());
    EXPECT_GE(about.width(), about.CaptionWidth());
    // The caption alone needs far more than the text: it is what was cut.
    EXPECT_GT(about.CaptionWidth(), QFontMetrics(about.font()).horizontalAdvance("About Velmora..."));
}

TEST(VelmoraShell, TheApplicationHasAnIconInEverySize)
{
    const QIcon icon = ApplicationIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
    EXPECT_EQ(QApplication::windowIcon().cacheKey(), icon.cacheKey());
}

TEST(VelmoraShell, OffscreenFilesGetTheirTypesIconsFromTheDesktopTheme)
{
    EXPECT_TRUE(QIcon::themeSearchPaths().contains("/usr/share/icons"));
    CRowPainter painter;
    const auto image = [&](const char* name) { return painter.IconFor(false, name).pixmap(32, 32).toImage(); };
    const QImage generic = QFileIconProvider().icon(QFileIconProvider::File).pixmap(32, 32).toImage();
    EXPECT_NE(image("notes.txt"), image("photo.png"));
    EXPECT_NE(image("photo.png"), generic);
    EXPECT_NE(image("song.mp3"), generic);
    EXPECT_FALSE(painter.IconFor(false, "photo.png").name().isEmpty()); // a theme icon, not a built-in picture
    EXPECT_FALSE(painter.IconFor(true, "folder").isNull());
}

TEST(VelmoraShell, ColumnWidthsFollowTheFontAndComeBackExactly)
{
    CTempTree tree;
    auto frame = OpenFrame(tree);
    WaitForTheWalk(*frame);
    frame->UpdateStatus(); // the Size column fitted to the drive
    CVelmoraView& view = frame->View();
    CHeader* header = view.Grid().GetHeader();
    const auto widths = [&] {
        std::vector<int> all;
        for (int i = 0; i < header->GetColumnCount(); ++i)
            all.push_back(header->GetColumnAt(i)->GetWidth());
        return all;
    };
    const std::vector<int> before = widths();
    const int heightBefore = QFontMetrics(view.Grid().GetGridFont()).height();
    for (int i = 0; i < 6; ++i)
        view.IncreaseFont();
    const int heightAfter = QFontMetrics(view.Grid().GetGridFont()).height();
    ASSERT_GT(heightAfter, heightBefore);
    const std::vector<int> larger = widths();
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_NEAR(larger[i], before[i] * static_cast<double>(heightAfter) / heightBefore, 1.0) << "column " << i;
    for (int i = 0; i < 6; ++i)
        view.DecreaseFont();
    EXPECT_EQ(widths(), before);
}

TEST(VelmoraShell, TheSizeColumnFitsTheLargestDriveWithItsAnimationInEveryFont)
{
    CTempTree tree;
    const auto big = tree.File("big/sparse", 0);
    ASSERT_EQ(truncate(big.c_str(), 5'000'000'000'000LL), 0); // 13 digits: "5 000 000 000 000"
    auto frame = OpenFrame(tree);
    WaitForTheWalk(*frame);
    frame->UpdateStatus();
    CVelmoraView& view = frame->View();
    CGrid& grid = view.Grid();
    const auto needed = [&] {
        QFont bold = grid.GetGridFont();
        bold.setWeight(QFont::Black);
        QPixmap scratch(1, 1);
        QPainter painter(&scratch);
        painter.setFont(bold);
        CDeviceContext dc(painter);
        const CString text = grid.GetObject(grid.GetItemAt(0, AreaScrollable))->GetValueTextAsCString(2, nullptr);
        // The text, the animation's square and the cell margins.
        return dc.TextWidth(ToQString(text)) + grid.GetFontRowHeight(AreaScrollable) + 4;
    };
    EXPECT_GE(grid.GetHeader()->GetColumn(2)->GetWidth(), needed());
    for (int i = 0; i < 8; ++i) {
        view.IncreaseFont();
        EXPECT_GE(grid.GetHeader()->GetColumn(2)->GetWidth(), needed()) << "step " << i;
    }
    // The user may narrow it; it widens again when the need grows.
    grid.GetHeader()->GetColumn(2)->SetWidth(50);
    frame->UpdateStatus();
    EXPECT_EQ(grid.GetHeader()->GetColumn(2)->GetWidth(), 50);
}

// The window Velmora opens with (1240 pixels, for a screen 1280 wide) shows
// all eight columns; each caption keeps room for the sort arrow, and both
// size columns fit the largest value as it is drawn.
TEST(VelmoraShell, TheDefaultWindowShowsEveryColumnWholeWithItsSortArrow)
{
    CTempTree tree;
    const auto big = tree.File("big/disk.img", 0);
    ASSERT_EQ(truncate(big.c_str(), 9'538'506'752LL), 0);
    tree.File("big/small", 4096);
    auto frame = OpenFrame(tree);
    frame->resize(1240, 720);
    WaitForTheWalk(*frame);
    frame->UpdateStatus();
    QCoreApplication::processEvents();
    CGrid& grid = frame->View().Grid();
    CHeader* header = grid.GetHeader();
    ASSERT_EQ(header->GetVisibleColumns().size(), 8u);
    const QFontMetrics metrics(grid.GetGridFont());
    for (CColumn* column : header->GetVisibleColumns()) {
        const CRect rect = header->GetColumnRect(&grid, column->GetFieldId());
        EXPECT_LE(rect.right, grid.viewport()->width()) << column->GetCaption();
        // The caption between its margins (2 and 4 pixels) and the arrow.
        EXPECT_LE(metrics.horizontalAdvance(QString::fromStdString(column->GetCaption())) + 6 + 12, column->GetWidth())
            << column->GetCaption();
    }
    // Size on disk holds the capacity of the tree's disk, drawn plain
    // between the cell margins, as Size is widened for it.
    struct statvfs disk {};
    ASSERT_EQ(statvfs(tree.Root().c_str(), &disk), 0);
    const auto capacity = static_cast<std::int64_t>(disk.f_blocks * disk.f_frsize);
    const CString text = Kestrum::Common::GetDefaultFormat(Kestrum::Common::FT_INT64)->FormatValueAsCString(Kestrum::Common::CValue(capacity), nullptr);
    EXPECT_LE(metrics.horizontalAdvance(ToQString(text)) + 4, header->GetColumn(FIELD_SIZE_ON_DISK)->GetWidth()) << text.GetString();
}

namespace {
struct ProgramRun {
    int exitCode;
    QString out, err;
};
// The program as a user starts it, offscreen.
ProgramRun RunVelmora(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    process.start(VELMORA_BINARY, arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()), QString::fromLocal8Bit(process.readAllStandardError())};
}
} // namespace

// The window opens wide enough for the eight columns in their default widths.
TEST(VelmoraShell, TheWindowOpensWithEveryColumnInView)
{
    CTempTree tree;
    tree.File("docs/a.txt", 4096);
    const ProgramRun run = RunVelmora({"--report-layout", "--screenshot", QString::fromStdString((tree.Root() / "shot.png").string()),
                                QString::fromStdString(tree.Root().string())});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    // "layout body X Y WIDTH HEIGHT header H row R columns NAME LEFT RIGHT ..."
    const QStringList words = run.out.split('\n').filter("layout ").value(0).split(' ');
    ASSERT_GT(words.size(), 9 + 8 * 3) << run.out.toStdString();
    const int bodyWidth = words[4].toInt();
    EXPECT_LE(words.last().toInt(), bodyWidth) << run.out.toStdString();
    EXPECT_EQ(words[words.size() - 3], "%_of_parent");
}

// --treemap shows the treemap as View > Treemap does: an exported PDF ends
// with its page.
TEST(VelmoraShell, TheTreemapOptionAddsItsPageToTheExportedPdf)
{
    CTempTree tree;
    tree.File("docs/a.txt", 4096);
    tree.File("b.bin", 1024);
    const QString root = QString::fromStdString(tree.Root().string());
    auto pages = [](const QString& pdf) {
        QProcess info;
        info.start("pdfinfo", {pdf});
        info.waitForFinished(60000);
        const QRegularExpression count("^Pages:\\s+(\\d+)", QRegularExpression::MultilineOption);
        return count.match(QString::fromUtf8(info.readAllStandardOutput())).captured(1).toInt();
    };
    const ProgramRun rows = RunVelmora({"--export-pdf", root + "/rows.pdf", root});
    ASSERT_EQ(rows.exitCode, 0) << rows.err.toStdString();
    const ProgramRun treemap = RunVelmora({"--treemap", "--export-pdf", root + "/treemap.pdf", root});
    ASSERT_EQ(treemap.exitCode, 0) << treemap.err.toStdString();
    ASSERT_GT(pages(root + "/rows.pdf"), 0) << "pdfinfo (poppler-utils) is needed";
    EXPECT_EQ(pages(root + "/treemap.pdf"), pages(root + "/rows.pdf") + 1);
    EXPECT_TRUE(RunVelmora({"--help"}).out.contains("--treemap"));
}

// A PDF asked for in a place that cannot be written is refused at once,
// with the reason, before any walk.
TEST(VelmoraShell, APdfForAPlaceThatCannotBeWrittenIsRefusedWithTheReason)
{
    CTempTree tree;
    tree.File("file.txt", 1);
    const QString root = QString::fromStdString(tree.Root().string());
    const struct {
        QString file;
        QString reason;
    } cases[] = {{"/nonexistent-velmora/x.pdf", "no such folder '/nonexistent-velmora'"},
                 {root, "it is a folder"},
                 {root + "/file.txt/x.pdf", "'" + root + "/file.txt' is not a folder"}};
    for (const auto& c : cases) {
        const ProgramRun run = RunVelmora({"--export-pdf", c.file, root});
        EXPECT_EQ(run.exitCode, 1) << c.file.toStdString();
        EXPECT_TRUE(run.err.contains("velmora: cannot write '" + c.file + "': " + c.reason)) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("QPainter")) << run.err.toStdString();
    }
}

TEST(VelmoraShell, TheScreenshotWaitsForEveryRowAndForTheLastHighlight)
{
    CTempTree tree;
    tree.File("held/file", 1);
    tree.File("other/file", 2);
    auto fileSystem = std::make_shared<CTestFileSystem>();
    fileSystem->gated = (tree.Root() / "held").string();
    auto frame = OpenFrame(tree, fileSystem);
    CGrid& grid = frame->View().Grid();
    UpdateHighlight hour = grid.GetUpdateHighlight();
    hour.duration = 3600 * 1000;
    grid.SetUpdateHighlight(hour);
    auto screenshot = std::make_unique<CScreenshot>(*frame, QString::fromStdString((tree.Root() / "shot.png").string()), 0);
    EXPECT_FALSE(screenshot->IsWalkShown()); // the walk is held
    // The held folder's row is in before the gate opens, so its file changes
    // a shown row (rather than every row coming in with its final values).
    ASSERT_TRUE(PumpUntil([&] { return RowOf(grid, "held") != 0; }));
    fileSystem->open = true;
    PumpUntil([&] { return frame->Document().Scanner().IsFinished(); });
    screenshot.reset(); // no picture from here on: the test looks at the conditions only
    WaitForTheWalk(*frame);
    CScreenshot probe(*frame, QString::fromStdString((tree.Root() / "shot.png").string()), 0);
    EXPECT_TRUE(probe.IsWalkShown());
    EXPECT_FALSE(probe.IsHighlightSettled()); // the rows changed well within the hour
    grid.EnableUpdateHighlight(false);
    EXPECT_TRUE(probe.IsHighlightSettled());
}

namespace {
// The application's own set-up (icon theme, resources), once the
// application object exists.
struct CApplicationSetUp : ::testing::Environment {
    void SetUp() override { SetUpApplication(); }
};
[[maybe_unused]] ::testing::Environment* const s_setUp = ::testing::AddGlobalTestEnvironment(new CApplicationSetUp);
} // namespace
