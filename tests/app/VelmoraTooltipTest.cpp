// Velmora's tooltips on a real temporary tree, offscreen: a clipped name
// shows whole in place, after its indentation and icon; a name that fits
// shows its full path beside the cursor; an unreadable folder adds why.
// The hover waits on the fake grid clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>
#include <cerrno>
#include <cstring>

#include "TempTree.h"
#include "app/FileSystemData.h"
#include "app/MainFrame.h"
#include "app/PathTooltip.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"
#include "gui/paint/DrawContext.h"
#include "gui/platform/QtText.h"
#include "gui/tooltip/TooltipCtrl.h"
#include "tests/support/EventPump.h"
#include "tests/support/FakeClock.h"

using namespace Velmora;
using namespace Kestrum::GUI;
using Kestrum::Test::PumpUntil;

namespace {
const std::string kLongName = "a file whose name is far too long for the Name column to show it whole.txt";

struct TooltipWindow : ::testing::Test {
    TooltipWindow()
    {
        tree.File("one/two/three/" + kLongName, 10);
        tree.File("short.txt", 5);
        tree.File(std::string(200, 'd') + "/" + std::string(200, 'e') + "/s.txt", 5);
        frame = std::make_unique<CMainFrame>(std::make_unique<CVelmoraDoc>(std::vector<std::string>{tree.Root().string()}));
        frame->resize(700, 400);
        frame->move(60, 40);
        frame->show();
        PumpUntil([&] { return frame->Document().Scanner().IsFinished(); });
        PumpUntil([&] { return !frame->View().HasWaitingRows(); });
        QCoreApplication::processEvents();
        frame->View().ExpandAll();
        QCoreApplication::processEvents();
        clock = std::make_unique<Kestrum::Test::CFakeGridClock>();
    }
    ~TooltipWindow() override
    {
        clock.reset();
        frame.reset();
    }
    CGrid& Grid() { return frame->View().Grid(); }
    HITEM RowNamed(const std::string& name)
    {
        for (int row = 0; row < Grid().GetRowCount(AreaScrollable); ++row) {
            const HITEM item = Grid().GetItemAt(row, AreaScrollable);
            if (Grid().GetObject(item)->GetValueText(FIELD_NAME, nullptr) == name)
                return item;
        }
        return 0;
    }
    // Rests the mouse on the item's Name cell, `dx` pixels in.
    QPoint Hover(HITEM item, int dx)
    {
        const CRect cell = Grid().GetCellRect(item, FIELD_NAME);
        const QPoint point{cell.left + dx, (cell.top + cell.bottom) / 2};
        QWidget* view = Grid().viewport();
        QMouseEvent move(QEvent::MouseMove, point, view->mapToGlobal(point), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
        clock->Advance(Grid().GetTooltipSettings(false).hoverDelay);
        QTimer* hover = Grid().findChild<QTimer*>(QStringLiteral("Kestrum.TooltipHover"));
        if (hover && hover->isActive()) {
            QTimerEvent event(hover->timerId());
            QCoreApplication::sendEvent(hover, &event);
        }
        return point;
    }
    CTooltipCtrl* Control(bool inPlace) { return dynamic_cast<CTooltipCtrl*>(Grid().GetTooltipCtrl(inPlace)); }
    bool Shown(bool inPlace) { return Control(inPlace) && Control(inPlace)->GetWindow()->isVisible(); }

    Velmora::Test::CTempTree tree;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<Kestrum::Test::CFakeGridClock> clock;
};
} // namespace

TEST_F(TooltipWindow, RegularTooltipsAreOnWithTheViewsOwnSource)
{
    EXPECT_TRUE(Grid().AreTooltipsEnabled(false));
    EXPECT_TRUE(Grid().AreTooltipsEnabled(true));
    EXPECT_NE(dynamic_cast<CPathTooltip*>(Grid().GetTooltipSource()), nullptr);
    EXPECT_NE(Control(false), nullptr);
}

TEST_F(TooltipWindow, AClippedNameShowsWholeInPlaceAfterItsIndentationAndIcon)
{
    const HITEM item = RowNamed(kLongName);
    ASSERT_NE(item, 0u);
    Hover(item, 250);
    ASSERT_TRUE(Shown(true));
    EXPECT_FALSE(Shown(false));
    EXPECT_EQ(Control(true)->GetText(), QString::fromStdString(kLongName));
    // Level 4: five squares of indentation, the icon's square, the margin.
    const CRect cell = Grid().GetCellRect(item, FIELD_NAME);
    const int side = cell.Height();
    const QPoint corner = Grid().viewport()->mapToGlobal(QPoint(cell.left + 5 * side + side + 2, cell.top));
    QWidget* popup = Control(true)->GetWindow();
    EXPECT_EQ(popup->pos(), corner);
    EXPECT_EQ(popup->height(), std::max(side, QFontMetrics(Grid().GetGridFont()).height() + 2)); // at least the cell's
    EXPECT_GT(popup->geometry().right(), Grid().viewport()->mapToGlobal(QPoint(cell.right, 0)).x());
}

TEST_F(TooltipWindow, ANameThatFitsShowsTheRowsFullPathBesideTheCursor)
{
    const HITEM item = RowNamed("short.txt");
    ASSERT_NE(item, 0u);
    const QPoint point = Hover(item, 150);
    ASSERT_TRUE(Shown(false));
    EXPECT_FALSE(Shown(true));
    EXPECT_EQ(Control(false)->GetText(), QString::fromStdString((tree.Root() / "short.txt").string()));
    // Above the cursor, centred on it.
    const QRect popup = Control(false)->GetWindow()->geometry();
    const QPoint cursor = Grid().viewport()->mapToGlobal(point);
    EXPECT_EQ(popup.bottom() + 1, cursor.y());
    EXPECT_EQ(popup.left() + popup.width() / 2, cursor.x());
}

TEST_F(TooltipWindow, OtherColumnsHaveNoRegularTooltip)
{
    const HITEM item = RowNamed("short.txt");
    const CRect size = Grid().GetCellRect(item, FIELD_SIZE);
    Hover(item, size.left - Grid().GetCellRect(item, FIELD_NAME).left + 10);
    EXPECT_FALSE(Shown(false));
}

// However long the text and wherever the cell, a pop-up stays on the
// screen, no wider than it (the text then ends in an ellipsis).
TEST_F(TooltipWindow, APopUpStaysOnTheScreen)
{
    const QRect screen = frame->screen()->virtualGeometry();
    frame->move(screen.right() - 450, 40); // the long name runs past the right edge
    QCoreApplication::processEvents();
    const HITEM clipped = RowNamed(kLongName);
    ASSERT_NE(clipped, 0u);
    Hover(clipped, 250);
    ASSERT_TRUE(Shown(true));
    EXPECT_TRUE(screen.contains(Control(true)->GetWindow()->geometry())) << Control(true)->GetWindow()->geometry().right();
    // A path wider than the whole screen, beside the cursor.
    QTest::keyClick(Grid().viewport(), Qt::Key_Shift); // a key hides it
    const HITEM deep = RowNamed("s.txt");
    ASSERT_NE(deep, 0u);
    Hover(deep, 60);
    ASSERT_TRUE(Shown(false));
    ASSERT_GT(QFontMetrics(Grid().GetGridFont()).horizontalAdvance(Control(false)->GetText()), screen.width());
    EXPECT_TRUE(screen.contains(Control(false)->GetWindow()->geometry())) << Control(false)->GetWindow()->geometry().left();
}

// Opening the row menu hides the tooltip, and none shows while it is open,
// not even from a hover asked for before.
TEST_F(TooltipWindow, NoTooltipWhileTheRowMenuIsOpen)
{
    const HITEM item = RowNamed("short.txt");
    ASSERT_NE(item, 0u);
    Hover(item, 150);
    ASSERT_TRUE(Shown(false));
    Grid().SetFocusedRow(Grid().GetVisibleIndex(item), AreaScrollable);
    QTest::keyClick(Grid().viewport(), Qt::Key_Menu);
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(Shown(false));
    EXPECT_FALSE(Shown(true));
    menu->close();
    // The mouse comes to rest on the name and the menu key follows before
    // the hover delay is over: the hover comes due while the menu is open.
    const CRect cell = Grid().GetCellRect(item, FIELD_NAME);
    const QPoint point{cell.left + 120, (cell.top + cell.bottom) / 2};
    QMouseEvent move(QEvent::MouseMove, point, Grid().viewport()->mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(Grid().viewport(), &move);
    QTest::keyClick(Grid().viewport(), Qt::Key_Menu);
    menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    clock->Advance(Grid().GetTooltipSettings(false).hoverDelay);
    if (QTimer* hover = Grid().findChild<QTimer*>(QStringLiteral("Kestrum.TooltipHover")); hover && hover->isActive()) {
        QTimerEvent event(hover->timerId());
        QCoreApplication::sendEvent(hover, &event);
    }
    EXPECT_FALSE(Shown(false));
    EXPECT_FALSE(Shown(true));
    menu->close();
}

// --- the source on its own ---------------------------------------------------------------

namespace {
struct SourceCell {
    explicit SourceCell(CDataObject* object) : column(FIELD_NAME, "Name", 270, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, "")
    {
        row.object = object;
        cell.row = &row;
        cell.column = &column;
    }
    CColumn column;
    RowDrawContext row;
    CellDrawContext cell;
};
} // namespace

TEST(PathTooltip, AnUnreadableFolderAddsTheReasonEvenWhenItsNameIsClipped)
{
    CFolderData root(CString("/srv"), nullptr);
    auto* locked = new CFolderData(CString("locked"), &root);
    root.AddFolder(locked);
    locked->MarkUnreadable(EACCES);
    SourceCell at(locked);
    CPathTooltip source;
    EXPECT_TRUE(source.IsAutoDelete());
    EXPECT_TRUE(source.HasTooltip(nullptr, at.cell)); // no grid to measure in: the reason still shows
    EXPECT_EQ(source.GetTooltipText(nullptr, at.cell),
              ToQString(locked->GetFullName()) + "\nCould not be read: " + QString::fromLocal8Bit(std::strerror(EACCES)));
    auto* unknown = new CFolderData(CString("unknown"), &root);
    root.AddFolder(unknown);
    unknown->MarkUnreadable(0);
    SourceCell there(unknown);
    EXPECT_TRUE(source.GetTooltipText(nullptr, there.cell).endsWith("\nCould not be read"));
}

TEST(PathTooltip, OnlyTheNameColumnOfARowHasOne)
{
    CFolderData root(CString("/srv"), nullptr);
    SourceCell at(&root);
    CPathTooltip source;
    CColumn size(FIELD_SIZE, "Size", 120, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, "");
    at.cell.column = &size;
    EXPECT_FALSE(source.HasTooltip(nullptr, at.cell));
    EXPECT_EQ(source.GetTooltipText(nullptr, at.cell), QString());
    at.cell.column = nullptr;
    EXPECT_FALSE(source.HasTooltip(nullptr, at.cell));
    at.cell.column = &at.column;
    at.row.object = nullptr;
    EXPECT_FALSE(source.HasTooltip(nullptr, at.cell));
}
