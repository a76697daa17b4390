// Velmora's window on a real temporary tree, offscreen: commands and pixels.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QMimeData>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <map>
#include <random>
#include <thread>

#include "TempTree.h"
#include "app/FileSystemData.h"
#include "app/MainFrame.h"
#include "app/RowPainter.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "app/treemap/TreemapLink.h"
#include "app/treemap/TreemapView.h"
#include "gui/grid/Grid.h"
#include "gui/grid/GridItem.h"
#include "gui/header/Header.h"
#include "gui/platform/DeviceContext.h"
#include "gui/platform/QtText.h"

#include "tests/support/EventPump.h"
#include "tests/support/FakeClock.h"

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
        // The walk may end before the window has taken the last rows.
        PumpUntil([&] { return !frame->View().HasWaitingRows(); });
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

TEST_F(AppFixture, TheFileMenuPrintsPreviewsAndExportsBeforeExit)
{
    QMenu* file = frame->menuBar()->actions().front()->menu();
    ASSERT_NE(file, nullptr);
    QStringList texts;
    for (QAction* action : file->actions())
        texts << (action->isSeparator() ? QString("-") : action->text());
    EXPECT_EQ(texts, (QStringList{"&Open folder...", "Open sc&an...", "&Save scan...", "-", "&Print...", "Print Pre&view",
                                  "&Export to PDF...", "-", "E&xit"}));
    EXPECT_EQ(frame->Command(ID_PRINT)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    for (const int id : {ID_PRINT, ID_PRINT_PREVIEW, ID_EXPORT_PDF}) {
        QAction* command = frame->Command(id);
        ASSERT_NE(command, nullptr) << id;
        EXPECT_FALSE(command->statusTip().isEmpty()) << id;
        command->showStatusText(frame.get()); // what hovering the menu item does
        EXPECT_EQ(frame->statusBar()->currentMessage(), command->statusTip()) << id;
    }
}

namespace {
// The page of a PDF rendered at the screen's 96 pixels per inch.
QImage RenderFirstPage(const QString& pdf, const QString& prefix)
{
    QProcess process;
    process.start("pdftoppm", {"-r", "96", "-f", "1", "-l", "1", "-png", "-singlefile", pdf, prefix});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QImage(prefix + ".png");
}

int ColourDistance(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}
} // namespace

TEST_F(AppFixture, TheExportedPageShowsTheRowsAsTheScreenDoes)
{
    Kestrum::Test::CFakeGridClock clock;
    clock.Advance(10000); // the walk's change highlights have faded on the screen
    frame->View().ExpandAll();
    Grid().viewport()->repaint();
    const QImage screen = Grid().viewport()->grab().toImage();
    QTemporaryDir folder;
    ASSERT_TRUE(frame->ExportPdf(folder.filePath("rows.pdf")));
    EXPECT_EQ(frame->statusBar()->currentMessage(), "Exported to " + folder.filePath("rows.pdf"));
    // The same print with margins of half an inch, a whole number of pixels
    // at 96 per inch, so the page's pixels can be laid over the screen's.
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder.filePath("aligned.pdf"));
    printer.setPageMargins(QMarginsF(36, 36, 36, 36), QPageLayout::Point);
    ASSERT_TRUE(Grid().PrintTo(printer));
    const QImage page = RenderFirstPage(folder.filePath("aligned.pdf"), folder.filePath("page"));
    ASSERT_FALSE(page.isNull()) << "pdftoppm (poppler-utils) is needed";
    const int margin = 48;
    const QColor fileColour = ToQColor(CRowPainter::kFileTextColor);
    CHeader* header = Grid().GetHeader();
    for (int row = 0; row < Grid().GetRowCount(AreaScrollable); ++row) {
        const HITEM item = Grid().GetItemAt(row, AreaScrollable);
        for (CColumn* column : header->GetVisibleColumns()) {
            const CRect cell = Grid().GetCellRect(item, column->GetFieldId());
            if (cell.right + margin > page.width() - margin)
                break; // on the next page across
            // The cell's colour, right of its text.
            const QColor onScreen = screen.pixelColor(cell.right - 2, cell.top + 1);
            const QColor printed = page.pixelColor(cell.right - 2 + margin, cell.top + 1 + margin);
            EXPECT_LE(ColourDistance(onScreen, printed), 6) << "row " << row << " field " << column->GetFieldId();
        }
        // The Name cell: its icon, and file names in the file colour.
        const CRect name = Grid().GetCellRect(item, FIELD_NAME);
        const int level = Grid().GetLevel(item);
        const int iconLeft = name.left + (level + 1) * name.Height();
        // The icon: the same colours (its pixels are resampled on the page).
        int sums[2][3] = {};
        int fileColoured = 0;
        for (int y = name.top; y < name.bottom; ++y) {
            for (int x = iconLeft; x < iconLeft + name.Height(); ++x) {
                const QColor pixels[2] = {screen.pixelColor(x, y), page.pixelColor(x + margin, y + margin)};
                for (int i = 0; i < 2; ++i) {
                    sums[i][0] += pixels[i].red();
                    sums[i][1] += pixels[i].green();
                    sums[i][2] += pixels[i].blue();
                }
            }
            for (int x = iconLeft + name.Height(); x < name.right; ++x)
                if (ColourDistance(page.pixelColor(x + margin, y + margin), fileColour) < 90)
                    ++fileColoured;
        }
        const int area = name.Height() * name.Height();
        for (int channel = 0; channel < 3; ++channel)
            EXPECT_NEAR(sums[0][channel] / area, sums[1][channel] / area, 8) << "the icon of row " << row;
        const bool isFile = Grid().GetObject(item)->GetLong(FIELD_TYPE) == TYPE_FILE;
        if (isFile)
            EXPECT_GT(fileColoured, 5) << "row " << row;
        else
            EXPECT_EQ(fileColoured, 0) << "row " << row;
    }
}

namespace {
// The page count pdfinfo reads (0: not read).
int PdfPageCount(const QString& pdf)
{
    QProcess process;
    process.start("pdfinfo", {pdf});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return 0;
    const QRegularExpression pages("^Pages:\\s+(\\d+)", QRegularExpression::MultilineOption);
    return pages.match(QString::fromUtf8(process.readAllStandardOutput())).captured(1).toInt();
}

QImage RenderPage(const QString& pdf, int page, const QString& prefix)
{
    QProcess process;
    const QString number = QString::number(page);
    process.start("pdftoppm", {"-r", "96", "-f", number, "-l", number, "-png", "-singlefile", pdf, prefix});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QImage(prefix + ".png");
}
} // namespace

// With the treemap shown a print ends with a page of its picture: the PDF
// has one page more, and that page has the picture's tile colours over
// areas in proportion to the picture's.
TEST_F(AppFixture, APdfExportedWithTheTreemapShownEndsWithItsPicture)
{
    QTemporaryDir folder;
    ASSERT_TRUE(frame->ExportPdf(folder.filePath("rows.pdf")));
    const int rowPages = PdfPageCount(folder.filePath("rows.pdf"));
    ASSERT_GT(rowPages, 0) << "pdfinfo (poppler-utils) is needed";
    frame->Treemap().SetStyle(CTreemapView::Style::Flat); // flat tiles: one colour each
    frame->TreemapLink().Show(true);
    PumpUntil([&] { return frame->Treemap().isVisible() && frame->Treemap().height() > 100; }, 5);
    ASSERT_TRUE(frame->ExportPdf(folder.filePath("treemap.pdf")));
    ASSERT_EQ(PdfPageCount(folder.filePath("treemap.pdf")), rowPages + 1);
    const QImage page = RenderPage(folder.filePath("treemap.pdf"), rowPages + 1, folder.filePath("last"));
    ASSERT_FALSE(page.isNull()) << "pdftoppm (poppler-utils) is needed";
    const QImage picture = frame->Treemap().Picture().convertToFormat(QImage::Format_RGB32);
    std::map<QRgb, double> inPicture;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            ++inPicture[picture.pixel(x, y)];
    // The page's pixels near a colour (the PDF's image is resampled and compressed).
    const QImage rendered = page.convertToFormat(QImage::Format_RGB32);
    auto onPage = [&](QRgb colour) {
        double count = 0;
        for (int y = 0; y < rendered.height(); ++y)
            for (int x = 0; x < rendered.width(); ++x)
                count += ColourDistance(rendered.pixelColor(x, y), QColor(colour)) <= 9;
        return count;
    };
    // The two largest colours, each over the same share of the picture's area.
    std::vector<std::pair<double, QRgb>> largest;
    for (const auto& [colour, count] : inPicture)
        largest.emplace_back(count, colour);
    std::sort(largest.rbegin(), largest.rend());
    ASSERT_GE(largest.size(), 2u);
    const double ratio = onPage(largest[0].second) / largest[0].first;
    EXPECT_GT(ratio, 0.5) << "the picture is drawn at least about its size";
    EXPECT_NEAR(onPage(largest[1].second) / largest[1].first, ratio, ratio * 0.1)
        << QColor(largest[1].second).name().toStdString();
    // Hidden again, the print is the rows alone.
    frame->TreemapLink().Show(false);
    ASSERT_TRUE(frame->ExportPdf(folder.filePath("hidden.pdf")));
    EXPECT_EQ(PdfPageCount(folder.filePath("hidden.pdf")), rowPages);
}

namespace {
// The letter after a single '&' of a menu text, lower case; 0 for none.
QChar Mnemonic(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&')
            continue;
        if (text[i + 1] != '&')
            return text[i + 1].toLower();
        ++i;
    }
    return {};
}
void ExpectDistinctMnemonics(QMenu* menu)
{
    std::map<QChar, QString> seen;
    for (QAction* action : menu->actions()) {
        const QChar key = Mnemonic(action->text());
        if (action->isSeparator() || !action->isVisible() || key.isNull())
            continue;
        const auto [it, added] = seen.emplace(key, action->text());
        EXPECT_TRUE(added) << menu->title().toStdString() << ": " << it->second.toStdString() << " and "
                           << action->text().toStdString();
    }
}
} // namespace

TEST_F(AppFixture, NoMenuHasTwoItemsWithOneMnemonic)
{
    std::vector<QMenu*> menus;
    for (QAction* title : frame->menuBar()->actions())
        if (title->menu())
            menus.push_back(title->menu());
    std::unique_ptr<QMenu> rowMenu(frame->MakeContextMenu(Grid().GetObject(Grid().GetItemAt(0, AreaScrollable))));
    menus.push_back(rowMenu.get());
    for (QMenu* menu : menus)
        ExpectDistinctMnemonics(menu);
}

// The keys a user presses, through the window's key handling: Alt+F, X and
// Ctrl+Q end the window; the font steps and Expand or Collapse all have
// their keys while the grid keeps its own.
TEST_F(AppFixture, TheMenuKeysReachTheirCommandsAndTheGridKeepsItsKeys)
{
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    Grid().setFocus();
    const int points = frame->View().FontPoints();
    QTest::keyClick(&Grid(), Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(frame->View().FontPoints(), points + 1);
    QTest::keyClick(&Grid(), Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(frame->View().FontPoints(), points);
    const int rows = Grid().GetRowCount(AreaScrollable);
    QTest::keyClick(&Grid(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(Grid().GetRowCount(AreaScrollable), 6); // the root, two folders, three files
    QTest::keyClick(&Grid(), Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Grid().GetRowCount(AreaScrollable), rows);
    // No command takes the grid's keys.
    for (QAction* action : frame->findChildren<QAction*>())
        for (const QKeySequence& key : action->shortcuts())
            for (const QKeySequence& gridKey : {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_V),
                                                QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::CTRL | Qt::Key_A),
                                                QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Left),
                                                QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_Up), QKeySequence(Qt::Key_Down)})
                EXPECT_NE(key, gridKey) << action->text().toStdString();

    QTest::keyClick(&Grid(), Qt::Key_F, Qt::AltModifier);
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_X);
    EXPECT_FALSE(frame->isVisible());

    frame = std::make_unique<CMainFrame>(std::make_unique<CVelmoraDoc>(std::vector<std::string>{tree.Root().string()}));
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    Grid().setFocus();
    QTest::keyClick(&Grid(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(frame->isVisible());
}

// Sorting without the mouse: View > Sort by with its keys, and a caption's
// accessible press, each a click on the caption; the menu's check and text
// follow the sort, whoever set it.
TEST_F(AppFixture, SortByIsReachedByKeysAndTheCaptionsByTheirAccessiblePress)
{
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    Grid().setFocus();
    // Alt+V, S, then the column's own letter; returns the item's text before the choice.
    auto sortByKeys = [&](const QString& caption) {
        QTest::keyClick(&Grid(), Qt::Key_V, Qt::AltModifier);
        QWidget* view = QApplication::activePopupWidget();
        EXPECT_NE(view, nullptr);
        if (!view)
            return QString();
        QTest::keyClick(view, Qt::Key_S);
        auto* sortBy = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        EXPECT_EQ(sortBy, frame->SortMenu());
        if (!sortBy)
            return QString();
        ExpectDistinctMnemonics(sortBy);
        QString text;
        for (QAction* action : sortBy->actions())
            if (QString(action->text()).remove('&').startsWith(caption + " (") || QString(action->text()).remove('&') == caption)
                text = action->text();
        EXPECT_FALSE(text.isEmpty()) << caption.toStdString();
        const QChar key = Mnemonic(text);
        QTest::keyClick(sortBy, key.unicode() - 'a' + Qt::Key_A);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
        return text;
    };
    sortByKeys("Size on disk");
    ASSERT_GE(Grid().GetSortLevelCount(), 1);
    EXPECT_EQ(Grid().GetSortInfo(0).GetFieldId(), FIELD_SIZE_ON_DISK);
    const bool descending = Grid().GetSortInfo(0).IsDescending();
    // Chosen again it is reversed, and the menu said the order it had.
    const QString before = sortByKeys("Size on disk");
    EXPECT_TRUE(before.endsWith(descending ? " (descending)" : " (ascending)")) << before.toStdString();
    EXPECT_EQ(Grid().GetSortInfo(0).IsDescending(), !descending);
    EXPECT_EQ(frame->SortMenu()->menuAction()->text(), "&Sort by");

    // A screen reader's press on the Name caption.
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&Grid());
    ASSERT_NE(table, nullptr);
    QAccessibleInterface* name = nullptr;
    for (int i = 0; i < table->childCount() && !name; ++i)
        if (table->child(i)->role() == QAccessible::ColumnHeader && table->child(i)->text(QAccessible::Name) == "Name")
            name = table->child(i);
    ASSERT_NE(name, nullptr);
    name->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(Grid().GetSortInfo(0).GetFieldId(), FIELD_NAME);
    EXPECT_TRUE(name->text(QAccessible::Description).startsWith("Sorted "));
    frame->SortMenu()->popup(QPoint(0, 0)); // filled as it opens
    int checked = 0;
    for (QAction* action : frame->SortMenu()->actions())
        if (action->isChecked()) {
            ++checked;
            EXPECT_TRUE(QString(action->text()).remove('&').startsWith("Name (")) << action->text().toStdString();
        }
    EXPECT_EQ(checked, 1);
    frame->SortMenu()->close();
}

// File > Export to PDF into a folder that is not there: a message box says
// why, and the printer is not started on it.
TEST_F(AppFixture, ExportToAPlaceThatCannotBeWrittenSaysWhyInAMessageBox)
{
    bool chosen = false;
    const QString missing = QString::fromStdString((tree.Root() / "missing").string());
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->setDirectory(QString::fromStdString(tree.Root().string()));
        dialog->selectFile("missing/x.pdf");
        QMetaObject::invokeMethod(dialog, "accept"); // as its Save button does
        chosen = true;
    });
    testing::internal::CaptureStderr();
    frame->Command(ID_EXPORT_PDF)->trigger();
    const std::string told = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(chosen);
    auto* box = frame->findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->text().contains(missing + "/x.pdf")) << box->text().toStdString();
    EXPECT_TRUE(box->text().contains("no such folder '" + missing + "'")) << box->text().toStdString();
    EXPECT_EQ(told.find("QPainter"), std::string::npos) << told;
    box->close();
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

TEST_F(AppFixture, CtrlCCopiesTheSelectedRowsAsTextAndFileNamesAndNothingIsCutPastedOrDropped)
{
    CGrid& grid = Grid();
    frame->View().ExpandAll();
    ASSERT_EQ(grid.GetRowCount(AreaScrollable), 6);
    auto nameAt = [&](int row) {
        return grid.GetObject(grid.GetItemAt(row, AreaScrollable))->GetValueText(FIELD_NAME, nullptr);
    };
    auto fullNameAt = [&](int row) {
        Kestrum::Common::CDataObject* object = grid.GetObject(grid.GetItemAt(row, AreaScrollable));
        if (auto* folder = dynamic_cast<CFolderData*>(object))
            return ToQString(folder->GetFullName());
        return ToQString(dynamic_cast<CFileData*>(object)->GetFullName());
    };
    grid.setFocus();
    for (int row = 1; row <= 3; ++row)
        grid.SelectRow(row, AreaScrollable, true);
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    const QStringList lines = data->text().split("\r\n");
    ASSERT_EQ(lines.size(), 3);
    for (int row = 1; row <= 3; ++row) {
        const QStringList cells = lines[row - 1].split('\t');
        EXPECT_EQ(cells.size(), grid.GetHeader()->GetVisibleColumnCount()) << "one cell per shown column";
        EXPECT_EQ(cells.front().toStdString(), nameAt(row));
    }
    ASSERT_TRUE(data->hasFormat("text/uri-list"));
    const QStringList uris = QString::fromUtf8(data->data("text/uri-list")).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(uris.size(), 3);
    for (int row = 1; row <= 3; ++row)
        EXPECT_EQ(QUrl(uris[row - 1]).toLocalFile(), fullNameAt(row));
    EXPECT_FALSE(data->formats().contains("application/x-kestrum.localdataformat")) << "no rows for pasting";

    // A folder copies as its own row, without what lies below it.
    grid.ClearSelection();
    grid.SelectRow(0, AreaScrollable, true);
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text().count("\r\n"), 0);

    // Cut, paste and drops are off: the rows and the clipboard stay.
    const QString copied = QGuiApplication::clipboard()->text();
    grid.SetFocusedRow(2, AreaScrollable);
    QTest::keyClick(&grid, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(&grid, Qt::Key_V, Qt::ControlModifier);
    EXPECT_FALSE(grid.Paste());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), copied);
    EXPECT_EQ(grid.GetRowCount(AreaScrollable), 6);
    EXPECT_FALSE(grid.IsPasteEnabled());
    EXPECT_FALSE(grid.IsDragDropEnabled());
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

// A subscriber still attached when the window closes hears each disposal
// once, in the tree's order, and nothing else; the window is off the screen
// before the teardown starts (every row still there).
TEST_F(AppFixture, ASubscriberAttachedAtTheCloseHearsOnlyTheDisposalsAfterTheWindowIsHidden)
{
    // How many rows the grid still holds when the window hides.
    struct CHideWatch : QObject {
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Hide && rowsAtHide < 0) {
                std::vector<HITEM> items;
                grid->GetAllItems(MaskBoth, items);
                rowsAtHide = static_cast<int>(items.size());
            }
            return false;
        }
        CGrid* grid = nullptr;
        int rowsAtHide = -1;
    } hideWatch;
    hideWatch.grid = &Grid();
    frame->installEventFilter(&hideWatch);
    struct CRecorder : Kestrum::Common::CDataObject::ISink {
        void OnFieldChanged(Kestrum::Common::FieldId, Kestrum::Common::CDataObject* object) override
        {
            heard.push_back("changed " + names.at(object));
        }
        void OnDispose(Kestrum::Common::CDataObject* object) override
        {
            heard.push_back(std::string(window->isVisible() ? "shown " : "hidden ") + "disposed " + names.at(object));
        }
        CMainFrame* window = nullptr;
        std::map<Kestrum::Common::CDataObject*, std::string> names;
        std::vector<std::string> heard;
    } recorder;
    recorder.window = frame.get();
    CFolderData* root = frame->Document().Scanner().GetDrives().at(0);
    CFolderData* folder = root->GetFolders().at(0);
    std::vector<Kestrum::Common::CDataObject*> watched = {root, folder, root->GetFiles().at(0),
                                                         folder->GetFiles().at(0)};
    for (Kestrum::Common::CDataObject* object : watched) {
        recorder.names[object] = object->GetValueText(FIELD_NAME, nullptr);
        object->Subscribe(&recorder);
    }
    ASSERT_TRUE(frame->isVisible());
    frame->close();
    frame.reset();
    // A folder's files go first, then its subfolders' subtrees, itself last.
    EXPECT_EQ(recorder.heard, (std::vector<std::string>{"hidden disposed file.txt", "hidden disposed inner.txt",
                                                        "hidden disposed folder", "hidden disposed " + recorder.names[root]}));
    EXPECT_EQ(hideWatch.rowsAtHide, 6); // the root, 2 folders, 3 files: none removed yet
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
        // A bound for a hang, not a speed target: a sanitizer build on a loaded
        // machine takes over a second to free the rows.
        ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "round " << round;
    }
}
