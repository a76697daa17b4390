// Tooltips on a real (offscreen) grid, driven by mouse, key and wheel events
// sent to its viewport: which kind shows where, the counted moves, the
// suppression after hiding, the hover delay and the display time on the fake
// grid clock (their timers fired through their real timer events), the
// placement beside the cursor and over a clipped cell, what hides them, the
// controls' and sources' ownership, and the pixels of a pop-up.
#include <gtest/gtest.h>
#include <QAccessible>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>
#include <QWheelEvent>
#include <deque>
#include <memory>

#include "common/DynamicObject.h"
#include "gui/edit/EditInPlace.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"
#include "gui/paint/CustomDraw.h"
#include "gui/platform/Archive.h"
#include "gui/platform/DeviceContext.h"
#include "gui/tooltip/GridTooltips.h"
#include "gui/tooltip/InPlaceTooltipCtrl.h"
#include "gui/tooltip/TooltipCtrl.h"
#include "tests/support/EventPump.h"
#include "tests/support/FakeClock.h"

using namespace Kestrum::GUI;
using Kestrum::Common::CDynamicObject;
using Kestrum::Test::CFakeGridClock;
using Kestrum::Test::Pump;

namespace {
constexpr std::int32_t kName = 0; // the tree column
constexpr std::int32_t kNote = 1;
constexpr int kRowHeight = 20;
constexpr int kNoteLeft = 150; // Name is 150 wide
const char* const kNoteText = "a note wider than nothing";

CColumn* MakeColumn(std::int32_t field, const char* caption, int width)
{
    return new CColumn(field, caption, width, AlignLeft, false, -1, -1, nullptr, nullptr, nullptr, "");
}

// A control that counts its own destruction.
struct CountedCtrl : CTooltipCtrl {
    CountedCtrl(bool autoDelete, int* deleted) : CTooltipCtrl(autoDelete), m_deleted(deleted) {}
    ~CountedCtrl() override { ++*m_deleted; }
    int* m_deleted;
};

// A regular control on a cursor of a given size.
struct CursorCtrl : CTooltipCtrl {
    explicit CursorCtrl(QSize cursor) : CTooltipCtrl(true), m_cursor(cursor) {}
    QSize CursorSize() const override { return m_cursor; }
    QSize m_cursor;
};

// A source whose answer and text the test chooses; it keeps the contexts it
// was asked about.
struct ChosenSource : ITooltipSource {
    explicit ChosenSource(bool autoDelete = false, int* deleted = nullptr) : m_autoDelete(autoDelete), m_deleted(deleted) {}
    ~ChosenSource() override
    {
        if (m_deleted)
            ++*m_deleted;
    }
    bool IsAutoDelete() const override { return m_autoDelete; }
    bool HasTooltip(CGrid*, CellDrawContext& cell) override
    {
        asked = cell;
        askedRow = *cell.row;
        return has && cell.column && cell.column->GetFieldId() == column;
    }
    QString GetTooltipText(CGrid*, CellDrawContext&) override { return text; }
    bool has = true;
    std::int32_t column = kName;
    QString text = QStringLiteral("regular text");
    CellDrawContext asked;
    RowDrawContext askedRow;
    bool m_autoDelete;
    int* m_deleted;
};

// An application's own editor that says whether it could edit any cell.
struct CSayingEditor : CEditInPlace {
    CSayingEditor() : CEditInPlace(false) {}
    bool CanEdit(const EditCell&, int reason) override { return editable && (reason == 0 || reason == 1); }
    bool editable = true;
};

// A grid with Name (150, the tree column) and Note (a width the test sets)
// and rows of 20 pixels; the clock moves only when the test says so.
struct TooltipGrid : ::testing::Test {
    TooltipGrid()
    {
        grid = std::make_unique<CGrid>();
        grid->setFrameStyle(QFrame::NoFrame);
        grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        header = new CHeader(true);
        header->AddColumn(MakeColumn(kName, "Name", 150));
        header->AddColumn(MakeColumn(kNote, "Note", 300));
        grid->SetHeader(header);
        grid->resize(600, header->GetHeight() + 8 * kRowHeight);
        grid->move(20, 20);
        grid->show();
        for (int i = 0; i < 4; ++i)
            Add("row " + std::to_string(i), kNoteText);
        Pump();
    }
    ~TooltipGrid() override { grid.reset(); }

    HITEM Add(const std::string& name, const std::string& note, HITEM parent = GRID_ROOT)
    {
        auto object = std::make_unique<CDynamicObject>(true);
        object->SetStlString(kName, name);
        object->SetStlString(kNote, note);
        objects.push_back(std::move(object));
        const HITEM item = grid->Add(objects.back().get(), parent, GRID_LAST);
        grid->SetRowHeight(item, kRowHeight);
        return item;
    }
    // The width the cells' text takes, measured as cells measure it.
    int TextWidth(const QString& text)
    {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        CDeviceContext dc(painter);
        dc.SelectFont(grid->GetGridFont());
        return dc.TextWidth(text);
    }
    // Note's width with room for `spare` pixels beside its text (margins 2 and 2).
    void FitNote(int spare) { header->GetColumn(kNote)->SetWidth(TextWidth(kNoteText) + 4 + spare); }
    QPoint NotePoint(int row = 1, int dx = 40)
    {
        const CRect rect = grid->GetCellRect(grid->GetItemAt(row, AreaScrollable), kNote);
        return {rect.left + dx, (rect.top + rect.bottom) / 2};
    }
    QPoint NamePoint(int row = 1) { return NotePoint(row, -100); }

    QWidget* View() { return grid->viewport(); }
    void Move(QPoint point, Qt::MouseButtons buttons = Qt::NoButton)
    {
        QMouseEvent move(QEvent::MouseMove, point, View()->mapToGlobal(point), Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(View(), &move);
        last = point;
    }
    QTimer* HoverTimer() { return grid->findChild<QTimer*>(QStringLiteral("Kestrum.TooltipHover")); }
    // The hover timer's own event, as when it wakes.
    void WakeHover()
    {
        QTimer* timer = HoverTimer();
        if (timer && timer->isActive()) {
            QTimerEvent event(timer->timerId());
            QCoreApplication::sendEvent(timer, &event);
        }
    }
    // The mouse rests for the hover delay.
    void Rest(int milliseconds = 500)
    {
        clock.Advance(milliseconds);
        WakeHover();
    }
    // Grid timer 2 is the one running with the display time.
    int AutoHideTimer(int displayTime = 10000)
    {
        for (const auto& timer : QAbstractEventDispatcher::instance()->registeredTimers(grid.get()))
            if (timer.interval == displayTime)
                return timer.timerId;
        return 0;
    }
    void WakeAutoHide(int displayTime = 10000)
    {
        if (const int id = AutoHideTimer(displayTime)) {
            QTimerEvent event(id);
            QCoreApplication::sendEvent(grid.get(), &event);
        }
    }
    QWidget* Popup(bool inPlace)
    {
        auto* control = dynamic_cast<CTooltipCtrl*>(grid->GetTooltipCtrl(inPlace));
        return control ? control->GetWindow() : nullptr;
    }
    bool Shown(bool inPlace)
    {
        QWidget* popup = Popup(inPlace);
        return popup && popup->isVisible();
    }
    CTooltipCtrl* UseRegular(CTooltipCtrl* control = nullptr)
    {
        if (!control)
            control = new CTooltipCtrl(true);
        grid->SetTooltipCtrl(false, control);
        grid->EnableTooltips(false, true);
        return control;
    }
    // The in-place tooltip over the row's Note, one pixel short of room.
    void ShowInPlace(int row = 1)
    {
        FitNote(-1);
        Move(NotePoint(row));
        Rest();
        ASSERT_TRUE(Shown(true));
    }

    CFakeGridClock clock;
    std::deque<std::unique_ptr<CDynamicObject>> objects; // outlive the rows
    std::unique_ptr<CGrid> grid;
    CHeader* header = nullptr;
    QPoint last;
};

} // namespace

// --- the defaults ------------------------------------------------------------------

TEST_F(TooltipGrid, DefaultsShowNoRegularTooltipOnlyTheInPlaceOne)
{
    EXPECT_FALSE(grid->AreTooltipsEnabled(false));
    EXPECT_TRUE(grid->AreTooltipsEnabled(true));
    EXPECT_EQ(grid->GetTooltipCtrl(false), nullptr);
    ASSERT_NE(dynamic_cast<CInPlaceTooltipCtrl*>(grid->GetTooltipCtrl(true)), nullptr);
    EXPECT_EQ(grid->GetTooltipSource(), nullptr);
    FitNote(10);
    for (QPoint point : {NamePoint(), NotePoint()}) {
        Move(point);
        Rest();
        EXPECT_FALSE(Shown(true));
    }
    // Enabled but without a control, regular tooltips still never show; the
    // in-place one is not held up by them.
    grid->EnableTooltips(false, true);
    auto* source = new ChosenSource(true);
    grid->SetTooltipSource(source);
    FitNote(-1);
    Move(NotePoint(2));
    Rest();
    EXPECT_TRUE(Shown(true));
    EXPECT_EQ(grid->GetTooltipCtrl(false), nullptr);
}

TEST_F(TooltipGrid, BothKindsStartWithThePalettesTooltipColoursAndTheActiveBorderColour)
{
    const QPalette palette = QApplication::palette();
    for (bool inPlace : {false, true}) {
        const TooltipSettings settings = grid->GetTooltipSettings(inPlace);
        EXPECT_EQ(settings.background, FromQColor(palette.color(QPalette::ToolTipBase)));
        EXPECT_EQ(settings.text, FromQColor(palette.color(QPalette::ToolTipText)));
        EXPECT_EQ(settings.border, kActiveBorderColor);
        EXPECT_EQ(settings.hoverDelay, 500);
        EXPECT_EQ(settings.displayTime, 10000);
        EXPECT_EQ(settings.offsetX, 0);
        EXPECT_EQ(settings.offsetY, 0);
        EXPECT_EQ(settings.marginX, 1);
        EXPECT_EQ(settings.marginY, 1);
        EXPECT_EQ(settings.position, 0);
        EXPECT_EQ(settings.hoverMode, 1);
    }
}

TEST_F(TooltipGrid, BothKindsSettingsTravelWithTheGridsArchive)
{
    TooltipSettings regular;
    regular.background = MakeColor(1, 2, 3);
    regular.position = 3;
    regular.hoverMode = 0;
    TooltipSettings inPlace;
    inPlace.marginX = 9;
    inPlace.displayTime = 0;
    grid->SetTooltipSettings(false, regular);
    grid->SetTooltipSettings(true, inPlace);
    CArchive stored;
    grid->Serialize(stored);
    CGrid loaded;
    CArchive reader(stored.GetBytes());
    loaded.Serialize(reader);
    EXPECT_EQ(loaded.GetTooltipSettings(false), regular);
    EXPECT_EQ(loaded.GetTooltipSettings(true), inPlace);
}

TEST(TooltipSettingsRecord, IsAVersionThenElevenFieldsInOrder)
{
    TooltipSettings settings;
    settings.background = 0x00332211;
    settings.text = 2;
    settings.border = 3;
    settings.hoverDelay = 4;
    settings.displayTime = 5;
    settings.offsetX = 6;
    settings.offsetY = 7;
    settings.marginX = 8;
    settings.marginY = 9;
    settings.position = 10;
    settings.hoverMode = 11;
    CArchive archive;
    settings.Serialize(archive);
    ASSERT_EQ(archive.GetBytes().size(), 48u);
    CArchive reader(archive.GetBytes());
    EXPECT_EQ(reader.ReadInt32(), 1);
    EXPECT_EQ(reader.ReadUInt32(), 0x00332211u);
    for (std::int32_t field = 2; field <= 11; ++field)
        EXPECT_EQ(reader.ReadInt32(), field);
}

// --- the in-place tooltip ------------------------------------------------------------

TEST_F(TooltipGrid, AFittingTextShowsNothingAndOnePixelTooNarrowShowsItOverTheCell)
{
    FitNote(0);
    Move(NotePoint());
    Rest();
    EXPECT_FALSE(Shown(true));

    FitNote(-1);
    Move(NotePoint(1, 60)); // a counted move
    Rest();
    ASSERT_TRUE(Shown(true));
    const CRect cell = grid->GetCellRect(grid->GetItemAt(1, AreaScrollable), kNote);
    const QPoint corner = View()->mapToGlobal(QPoint(cell.left + 2, cell.top)); // the text's rectangle
    const TooltipSettings settings = grid->GetTooltipSettings(true);
    EXPECT_EQ(Popup(true)->geometry(),
              QRect(corner, QSize(TextWidth(kNoteText) + 2 * settings.marginX, cell.Height())));
    EXPECT_EQ(dynamic_cast<CTooltipCtrl*>(grid->GetTooltipCtrl(true))->GetText(), QString(kNoteText));
}

// Assistive technology reads a shown pop-up's text as its name.
TEST_F(TooltipGrid, AShownTooltipTellsItsTextToAssistiveTechnology)
{
    FitNote(-1);
    Move(NotePoint(1, 60));
    Rest();
    ASSERT_TRUE(Shown(true));
    QAccessibleInterface* popup = QAccessible::queryAccessibleInterface(Popup(true));
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->text(QAccessible::Name), QString(kNoteText));
}

TEST_F(TooltipGrid, TheInPlaceTooltipStartsWhereTheTreeColumnsTextStarts)
{
    const HITEM parent = grid->GetItemAt(0, AreaScrollable);
    const std::string name = "a child with a long name that Name cannot hold";
    Add(name, "", parent);
    grid->Expand(parent);
    Move(NamePoint(1));
    Rest();
    ASSERT_TRUE(Shown(true));
    // Level 1: two row heights of indentation, then the margin of 2.
    const CRect cell = grid->GetCellRect(grid->GetItemAt(1, AreaScrollable), kName);
    EXPECT_EQ(Popup(true)->geometry().topLeft(), View()->mapToGlobal(QPoint(cell.left + 2 * kRowHeight + 2, cell.top)));
    EXPECT_EQ(Popup(true)->width(), TextWidth(QString::fromStdString(name)) + 2);
}

TEST_F(TooltipGrid, ATextTallerThanItsCellKeepsItsHeight)
{
    TooltipSettings settings = grid->GetTooltipSettings(true);
    settings.marginY = 12;
    grid->SetTooltipSettings(true, settings);
    ShowInPlace();
    EXPECT_EQ(Popup(true)->height(), QFontMetrics(grid->GetGridFont()).height() + 24);
    EXPECT_GT(Popup(true)->height(), kRowHeight);
}

TEST_F(TooltipGrid, NoInPlaceTooltipCoversACellTheApplicationsEditorCouldEdit)
{
    CSayingEditor editor;
    FitNote(-1);
    Move(NotePoint());
    Rest();
    EXPECT_TRUE(Shown(true)) << "the shared default editor is not the application's";
    Move(NotePoint(4));
    grid->SetEditInPlace(&editor);
    Move(NotePoint(2));
    Rest();
    EXPECT_FALSE(Shown(true));
    editor.editable = false;
    Move(NotePoint(4));
    Move(NotePoint(2));
    Rest();
    EXPECT_TRUE(Shown(true)) << "a cell the editor refuses gets its in-place tooltip";
    grid->SetEditInPlace(nullptr);
}

TEST_F(TooltipGrid, TheSourceIsHandedTheContextThePaintPassGivesTheCell)
{
    // The paint pass's context of the cell, caught by a custom draw.
    struct Catch : CCustomDraw {
        Catch() : CCustomDraw(false) {}
        void PaintCell(CellDrawContext& context, PaintState& state, PaintFlags flags) override
        {
            if (context.column && context.column->GetFieldId() == kName && context.row->rowIndex == 2) {
                painted = context;
                paintedRow = *context.row;
            }
            CCustomDraw::PaintCell(context, state, flags);
        }
        CellDrawContext painted;
        RowDrawContext paintedRow;
    } draw;
    grid->SetCustomDraw(&draw);
    grid->viewport()->repaint();
    ChosenSource source;
    UseRegular();
    grid->SetTooltipSource(&source);
    Move(NamePoint(2));
    const CellDrawContext& a = source.asked;
    const CellDrawContext& b = draw.painted;
    EXPECT_EQ(a.column, b.column);
    EXPECT_EQ(a.textColor, b.textColor);
    EXPECT_EQ(a.backColor, b.backColor);
    EXPECT_EQ(a.fullRect, b.fullRect);
    EXPECT_EQ(a.visibleRect, b.visibleRect);
    EXPECT_EQ(a.leftMargin, b.leftMargin);
    EXPECT_EQ(a.rightMargin, b.rightMargin);
    ASSERT_TRUE(a.font && b.font);
    EXPECT_EQ(*a.font, *b.font);
    EXPECT_EQ(a.format, b.format);
    EXPECT_EQ(a.images, b.images);
    EXPECT_EQ(a.imageIndex, b.imageIndex);
    EXPECT_EQ(a.highlight, b.highlight);
    EXPECT_EQ(source.askedRow.rowKey, draw.paintedRow.rowKey);
    EXPECT_EQ(source.askedRow.rowIndex, draw.paintedRow.rowIndex);
    EXPECT_EQ(source.askedRow.item, draw.paintedRow.item);
    EXPECT_EQ(source.askedRow.object, draw.paintedRow.object);
    EXPECT_EQ(source.askedRow.fullRect, draw.paintedRow.fullRect);
    grid->SetTooltipSource(nullptr);
    grid->SetCustomDraw(nullptr);
}

// --- moves, hover and suppression ---------------------------------------------------------

struct MoveCase {
    int dx, dy;
    bool hides;
};
class TooltipMoves : public TooltipGrid, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(TooltipMoves, OnlyACountedMoveHidesAShownTooltip)
{
    ShowInPlace();
    const MoveCase move = GetParam();
    Move(last + QPoint(move.dx, move.dy));
    EXPECT_EQ(Shown(true), !move.hides);
}

INSTANTIATE_TEST_SUITE_P(Distances, TooltipMoves,
                         ::testing::Values(MoveCase{4, 4, false}, MoveCase{-4, -4, false}, MoveCase{4, 0, false},
                                           MoveCase{0, 4, false}, MoveCase{5, 0, true}, MoveCase{-5, 0, true},
                                           MoveCase{0, 5, true}, MoveCase{0, -5, true}, MoveCase{5, 5, true}));

TEST_F(TooltipGrid, SmallMovesAddUpFromTheLastCountedOne)
{
    ShowInPlace();
    Move(last + QPoint(3, 0));
    Move(last + QPoint(1, 0)); // 4 from the counted point
    EXPECT_TRUE(Shown(true));
    Move(last + QPoint(1, 0)); // 5
    EXPECT_FALSE(Shown(true));
}

TEST_F(TooltipGrid, TheHoverDelayIsTheRegularSettingsDelayOnTheGridClock)
{
    TooltipSettings regular = grid->GetTooltipSettings(false);
    regular.hoverDelay = 300;
    grid->SetTooltipSettings(false, regular);
    FitNote(-1);
    Move(NotePoint());
    Rest(299);
    EXPECT_FALSE(Shown(true));
    ASSERT_TRUE(HoverTimer()->isActive()); // woken early, it waits out the rest
    Rest(1);
    EXPECT_TRUE(Shown(true));
    EXPECT_FALSE(HoverTimer()->isActive());
}

TEST_F(TooltipGrid, SmallMovesKeepAPendingHoverWhereItWas)
{
    FitNote(-1);
    Move(NotePoint());
    clock.Advance(400);
    Move(last + QPoint(2, 2));
    Rest(100);
    EXPECT_TRUE(Shown(true));
}

TEST_F(TooltipGrid, ADriftThatAddsUpToACountedMoveRestartsThePendingHover)
{
    FitNote(-1);
    Move(NotePoint());
    clock.Advance(400);
    Move(last + QPoint(3, 0));
    Move(last + QPoint(3, 0)); // 6 from where the hover was asked for
    Rest(100);
    EXPECT_FALSE(Shown(true));
    Rest(400);
    EXPECT_TRUE(Shown(true));
}

TEST_F(TooltipGrid, WithoutHoverModeATooltipShowsOnTheMoveAndStays)
{
    TooltipSettings settings = grid->GetTooltipSettings(true);
    settings.hoverMode = 0;
    grid->SetTooltipSettings(true, settings);
    FitNote(-1);
    Move(NotePoint());
    EXPECT_TRUE(Shown(true));
    EXPECT_EQ(AutoHideTimer(), 0);
    Move(last + QPoint(20, 0));
    EXPECT_TRUE(Shown(true));
    FitNote(40); // the text fits now: the pop-up goes at the next move
    Move(last + QPoint(20, 0));
    EXPECT_FALSE(Shown(true));
}

TEST_F(TooltipGrid, TheDisplayTimeHidesTheTooltipOnTimerTwo)
{
    ShowInPlace();
    ASSERT_NE(AutoHideTimer(), 0);
    clock.Advance(9999);
    WakeAutoHide();
    EXPECT_TRUE(Shown(true));
    clock.Advance(1);
    WakeAutoHide(1); // woken early, it waited out the rest
    EXPECT_FALSE(Shown(true));
    EXPECT_EQ(AutoHideTimer(), 0);
    Rest(); // resting on, it does not come back
    EXPECT_FALSE(Shown(true));
}

TEST_F(TooltipGrid, NothingChangesWhileAButtonIsHeld)
{
    FitNote(-1);
    Move(NotePoint(), Qt::LeftButton);
    EXPECT_FALSE(HoverTimer()->isActive());
    Rest();
    EXPECT_FALSE(Shown(true));
}

TEST_F(TooltipGrid, TheHeaderStripAndTheRowlessBodyHideAll)
{
    ShowInPlace();
    Move({kNoteLeft + 40, header->GetHeight() / 2});
    EXPECT_FALSE(Shown(true));
    ShowInPlace();
    Move({kNoteLeft + 40, header->GetHeight() + 7 * kRowHeight});
    EXPECT_FALSE(Shown(true));
}

// --- what hides all ---------------------------------------------------------------------

enum class Dismissal { Key, KeyRelease, LeftPress, RightPress, MiddlePress, DoubleClick, Wheel };
class TooltipDismissals : public TooltipGrid, public ::testing::WithParamInterface<Dismissal> {
public:
    // The button it leaves pressed, if any.
    Qt::MouseButton Dismiss(Dismissal how)
    {
        const QPoint at = last;
        switch (how) {
        case Dismissal::Key: QTest::keyPress(grid.get(), Qt::Key_Shift); break;
        case Dismissal::KeyRelease: {
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Shift, Qt::NoModifier);
            QApplication::sendEvent(grid.get(), &release);
            break;
        }
        case Dismissal::LeftPress: QTest::mousePress(View(), Qt::LeftButton, {}, at); return Qt::LeftButton;
        case Dismissal::RightPress: QTest::mousePress(View(), Qt::RightButton, {}, at); return Qt::RightButton;
        case Dismissal::MiddlePress: QTest::mousePress(View(), Qt::MiddleButton, {}, at); return Qt::MiddleButton;
        case Dismissal::DoubleClick: {
            QMouseEvent press(QEvent::MouseButtonDblClick, at, View()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(View(), &press);
            break;
        }
        case Dismissal::Wheel: {
            QWheelEvent wheel(at, View()->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                              false);
            QApplication::sendEvent(View(), &wheel);
            break;
        }
        }
        return Qt::NoButton;
    }
};

TEST_P(TooltipDismissals, HideTheTooltipUntilTheMouseMoves)
{
    ShowInPlace();
    const Qt::MouseButton pressed = Dismiss(GetParam());
    EXPECT_FALSE(Shown(true));
    if (pressed != Qt::NoButton)
        QTest::mouseRelease(View(), pressed, {}, last);
    Rest();
    EXPECT_FALSE(Shown(true));
    Move(last + QPoint(3, 3)); // not a counted move
    Rest();
    EXPECT_FALSE(Shown(true));
    Move(last + QPoint(3, 0)); // 6 across from where it was hidden
    Rest();
    EXPECT_TRUE(Shown(true));
}

INSTANTIATE_TEST_SUITE_P(Events, TooltipDismissals,
                         ::testing::Values(Dismissal::Key, Dismissal::KeyRelease, Dismissal::LeftPress, Dismissal::RightPress,
                                           Dismissal::MiddlePress, Dismissal::DoubleClick, Dismissal::Wheel));

TEST_F(TooltipGrid, LeavingHidesOnlyWhenTheCursorIsOutsideTheClientArea)
{
    ShowInPlace();
    QCursor::setPos(View()->mapToGlobal(last)); // over the pop-up, inside the grid
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(View(), &leave);
    EXPECT_TRUE(Shown(true));
    QCursor::setPos(View()->mapToGlobal(QPoint(-30, -30)));
    QApplication::sendEvent(View(), &leave);
    EXPECT_FALSE(Shown(true));
}

TEST_F(TooltipGrid, TheMouseOverThePopUpReachesTheGrid)
{
    ShowInPlace();
    QWidget* popup = Popup(true);
    const QPoint global = View()->mapToGlobal(last + QPoint(2, 0));
    QMouseEvent small(QEvent::MouseMove, popup->mapFromGlobal(global), global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(popup, &small);
    EXPECT_TRUE(Shown(true));
    const QPoint further = View()->mapToGlobal(last + QPoint(8, 0));
    QMouseEvent counted(QEvent::MouseMove, popup->mapFromGlobal(further), further, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(popup, &counted);
    EXPECT_FALSE(Shown(true));
    // A click on it is a click on the cell below.
    ShowInPlace(2);
    const HITEM item = grid->GetItemAt(2, AreaScrollable);
    QTest::mouseClick(Popup(true), Qt::LeftButton, {}, Popup(true)->mapFromGlobal(View()->mapToGlobal(last)));
    EXPECT_FALSE(Shown(true));
    EXPECT_TRUE(grid->IsItemSelected(item));
}

TEST_F(TooltipGrid, HidingTheGridHidesItsTooltip)
{
    ShowInPlace();
    grid->hide();
    EXPECT_FALSE(Shown(true));
    grid->show();
    ShowInPlace(2);
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(grid.get(), &deactivate);
    EXPECT_FALSE(Shown(true));
}

TEST_F(TooltipGrid, DisablingAKindHidesIt)
{
    ShowInPlace();
    grid->EnableTooltips(true, false);
    EXPECT_FALSE(Shown(true));
    Move(last + QPoint(10, 0));
    Rest();
    EXPECT_FALSE(Shown(true));
}

// --- the regular tooltip ---------------------------------------------------------------

TEST_F(TooltipGrid, ARegularTooltipShowsTheSourcesTextAboveTheCursor)
{
    CTooltipCtrl* control = UseRegular();
    auto* source = new ChosenSource(true);
    grid->SetTooltipSource(source);
    FitNote(-1); // the regular source wins over the in-place tooltip
    source->column = kNote;
    const QPoint point = NotePoint();
    Move(point);
    Rest();
    ASSERT_TRUE(Shown(false));
    EXPECT_FALSE(Shown(true));
    EXPECT_EQ(control->GetText(), source->text);
    const QSize size = Popup(false)->size();
    const QPoint cursor = View()->mapToGlobal(point);
    EXPECT_EQ(size, QSize(TextWidth(source->text) + 2, QFontMetrics(grid->GetGridFont()).height() + 2));
    EXPECT_EQ(Popup(false)->pos(), QPoint(cursor.x() - size.width() / 2, cursor.y() - size.height()));
}

TEST_F(TooltipGrid, PositionOneWithA32PixelCursorPlacesItTwentyTwoBelowTheHotSpotPlusTheOffset)
{
    UseRegular(new CursorCtrl({32, 32}));
    grid->SetTooltipSource(new ChosenSource(true));
    TooltipSettings settings = grid->GetTooltipSettings(false);
    settings.position = 1;
    settings.offsetY = 3;
    grid->SetTooltipSettings(false, settings);
    const QPoint point = NamePoint();
    Move(point);
    Rest();
    ASSERT_TRUE(Shown(false));
    EXPECT_EQ(Popup(false)->y(), View()->mapToGlobal(point).y() + 22 + 3);
}

TEST_F(TooltipGrid, ARegularTooltipAtTheRightEdgeOfTheScreenIsPushedLeftToTouchIt)
{
    const QRect screen = QGuiApplication::primaryScreen()->virtualGeometry();
    grid->move(screen.right() + 1 - grid->width(), 40);
    Pump();
    UseRegular();
    auto* source = new ChosenSource(true);
    source->column = kNote;
    source->text = QStringLiteral("a regular tooltip wide enough to pass the screen's edge");
    grid->SetTooltipSource(source);
    TooltipSettings settings = grid->GetTooltipSettings(false);
    settings.position = 1;
    grid->SetTooltipSettings(false, settings);
    const QPoint point = NotePoint(1, 290);
    Move(point);
    Rest();
    ASSERT_TRUE(Shown(false));
    EXPECT_EQ(Popup(false)->geometry().right(), screen.right());
    EXPECT_LT(Popup(false)->x(), View()->mapToGlobal(point).x() - Popup(false)->width() / 2);
}

TEST_F(TooltipGrid, ARegularTooltipShowsEachLineOfItsText)
{
    UseRegular();
    auto* source = new ChosenSource(true);
    source->text = QStringLiteral("first line\na second, longer line");
    grid->SetTooltipSource(source);
    Move(NamePoint());
    Rest();
    ASSERT_TRUE(Shown(false));
    const QFontMetrics metrics(grid->GetGridFont());
    EXPECT_EQ(Popup(false)->height(), metrics.height() + metrics.lineSpacing() + 2);
    EXPECT_EQ(Popup(false)->width(), TextWidth("a second, longer line") + 2);
}

TEST_F(TooltipGrid, MovingFromARegularCellToAClippedOneSwitchesKinds)
{
    UseRegular();
    auto* source = new ChosenSource(true); // Name only
    grid->SetTooltipSource(source);
    FitNote(-1);
    Move(NamePoint());
    Rest();
    ASSERT_TRUE(Shown(false));
    Move(NotePoint());
    EXPECT_FALSE(Shown(false));
    Move(last + QPoint(10, 0)); // the hide suppressed; this move clears it
    Rest();
    EXPECT_TRUE(Shown(true));
    EXPECT_FALSE(Shown(false));
}

struct PlaceCase {
    int position;
    CPoint cursor;
    CPoint expected;
};
class TooltipPlacement : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(TooltipPlacement, ByThePositionFieldThenOntoTheScreen)
{
    TooltipSettings settings;
    settings.position = GetParam().position;
    settings.offsetX = 5;
    settings.offsetY = 7;
    const CRect screen{0, 0, 1000, 800};
    EXPECT_EQ(CTooltipCtrl::Place(GetParam().cursor, {100, 20}, {32, 32}, settings, screen), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, TooltipPlacement,
    ::testing::Values(PlaceCase{0, {500, 400}, {450, 373}},          // above: y - offset y - h
                      PlaceCase{1, {500, 400}, {450, 429}},          // below: y + offset y + 22
                      PlaceCase{2, {500, 400}, {395, 390}},          // left: x - offset x - w
                      PlaceCase{3, {500, 400}, {527, 390}},          // right: x + offset x + 22
                      PlaceCase{9, {500, 400}, {0, 0}},              // any other: the origin
                      PlaceCase{0, {10, 400}, {0, 373}},             // past the left edge
                      PlaceCase{0, {990, 400}, {900, 373}},          // past the right edge
                      PlaceCase{0, {500, 5}, {450, 0}},              // past the top
                      PlaceCase{1, {500, 790}, {450, 780}}));        // past the bottom

TEST(TooltipPlacementCursor, ACursorBelowTheCapCountsItsOwnSize)
{
    TooltipSettings settings;
    settings.position = 1;
    EXPECT_EQ(CTooltipCtrl::Place({500, 400}, {100, 20}, {16, 16}, settings, {0, 0, 1000, 800}).y, 416);
    EXPECT_EQ(CTooltipCtrl::Place({500, 400}, {100, 20}, {23, 23}, settings, {0, 0, 1000, 800}).y, 422);
    settings.position = 3;
    EXPECT_EQ(CTooltipCtrl::Place({500, 400}, {100, 20}, {16, 16}, settings, {0, 0, 1000, 800}).x, 516);
}

TEST(TooltipPlacementScreen, AVirtualScreenLeftOfTheOriginKeepsItsOwnEdges)
{
    TooltipSettings settings;
    EXPECT_EQ(CTooltipCtrl::Place({-1590, 400}, {100, 20}, {32, 32}, settings, {-1600, 0, 1000, 800}).x, -1600);
}

// --- ownership ------------------------------------------------------------------------------

TEST_F(TooltipGrid, SettingAControlDetachesTheOldOneAndReturnsIt)
{
    ITooltipCtrl* made = grid->GetTooltipCtrl(true);
    auto* mine = new CInPlaceTooltipCtrl(false);
    EXPECT_EQ(grid->SetTooltipCtrl(true, mine), made);
    EXPECT_EQ(dynamic_cast<CTooltipCtrl*>(made)->GetWindow(), nullptr);
    EXPECT_EQ(dynamic_cast<CTooltipCtrl*>(made)->GetGrid(), nullptr);
    EXPECT_EQ(mine->GetGrid(), grid.get());
    EXPECT_NE(mine->GetWindow(), nullptr);
    EXPECT_EQ(grid->SetTooltipCtrl(true, mine), nullptr); // already set: nothing happens
    EXPECT_EQ(mine->GetGrid(), grid.get());
    delete made;
    grid.reset();
    EXPECT_EQ(mine->GetGrid(), nullptr); // not owned: detached, kept
    EXPECT_EQ(mine->GetWindow(), nullptr);
    delete mine;
}

TEST_F(TooltipGrid, AttachingTwiceFails)
{
    CTooltipCtrl control(false);
    EXPECT_FALSE(control.Attach(nullptr));
    EXPECT_TRUE(control.Attach(grid.get()));
    EXPECT_FALSE(control.Attach(grid.get()));
    ASSERT_NE(control.GetFont(), nullptr);
    EXPECT_EQ(*control.GetFont(), grid->GetGridFont());
    control.Detach();
    EXPECT_EQ(control.GetWindow(), nullptr);
}

TEST_F(TooltipGrid, TheGridDeletesOnlyAutoDeleteControlsAndSources)
{
    int deleted[4] = {};
    auto* kept = new CountedCtrl(false, &deleted[0]);
    auto* keptSource = new ChosenSource(false, &deleted[2]);
    grid->SetTooltipCtrl(false, new CountedCtrl(true, &deleted[1]));
    ITooltipCtrl* made = grid->SetTooltipCtrl(true, kept);
    grid->SetTooltipSource(keptSource);
    grid.reset();
    EXPECT_EQ(deleted[0], 0);
    EXPECT_EQ(deleted[1], 1);
    EXPECT_EQ(deleted[2], 0);
    delete kept;
    delete keptSource;
    delete made;

    grid = std::make_unique<CGrid>();
    grid->SetTooltipSource(new ChosenSource(true, &deleted[3]));
    grid.reset();
    EXPECT_EQ(deleted[3], 1);
}

TEST_F(TooltipGrid, DestroyingTheGridWhileATooltipShowsLeavesNoPopUp)
{
    UseRegular(); // its pop-up exists, hidden
    grid->SetTooltipSource(new ChosenSource(true));
    ShowInPlace();
    grid.reset();
    Pump();
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_NE(widget->objectName(), QStringLiteral("Kestrum.Tooltip"));
}

TEST(TooltipSource, TheDefaultSourceIsTheCellsTextWhenThereIsOne)
{
    CDynamicObject object(true);
    object.SetStlString(kName, "shown");
    object.SetStlString(kNote, "");
    CColumn name(kName, "Name", 50, AlignLeft, false, -1, -1, nullptr, nullptr, nullptr, "");
    CColumn note(kNote, "Note", 50, AlignLeft, false, -1, -1, nullptr, nullptr, nullptr, "");
    RowDrawContext row;
    row.object = &object;
    CellDrawContext cell;
    cell.row = &row;
    CTooltip& source = CTooltip::Shared();
    EXPECT_FALSE(source.IsAutoDelete());
    EXPECT_FALSE(source.HasTooltip(nullptr, cell)); // no column
    EXPECT_EQ(source.GetTooltipText(nullptr, cell), QString());
    cell.column = &name;
    EXPECT_TRUE(source.HasTooltip(nullptr, cell));
    EXPECT_EQ(source.GetTooltipText(nullptr, cell), QStringLiteral("shown"));
    cell.column = &note; // empty text
    EXPECT_FALSE(source.HasTooltip(nullptr, cell));
    row.object = nullptr;
    cell.column = &name;
    EXPECT_FALSE(source.HasTooltip(nullptr, cell));
    EXPECT_EQ(source.GetTooltipText(nullptr, cell), QString());
}

// --- the pixels of a pop-up ---------------------------------------------------------------------

namespace {
// The box of pixels that are neither background nor border.
QRect InkBox(const QImage& image, QRgb background, QRgb border)
{
    QRect box;
    for (int y = 1; y < image.height() - 1; ++y)
        for (int x = 1; x < image.width() - 1; ++x) {
            const QRgb pixel = image.pixel(x, y) | 0xFF000000;
            if (pixel != background && pixel != border)
                box |= QRect(x, y, 1, 1);
        }
    return box;
}
} // namespace

TEST_F(TooltipGrid, APopUpIsFilledFramedAndItsTextStartsAtTheMargins)
{
    UseRegular();
    auto* source = new ChosenSource(true);
    source->text = QStringLiteral("HIH");
    grid->SetTooltipSource(source);
    QRect boxes[2];
    const CPoint margins[2] = {{1, 1}, {7, 5}};
    for (int i = 0; i < 2; ++i) {
        TooltipSettings settings = grid->GetTooltipSettings(false);
        settings.background = MakeColor(250, 240, 200);
        settings.border = MakeColor(20, 40, 200);
        settings.text = MakeColor(0, 0, 0);
        settings.marginX = margins[i].x;
        settings.marginY = margins[i].y;
        grid->SetTooltipSettings(false, settings);
        Move(NamePoint(i + 1));
        Rest();
        ASSERT_TRUE(Shown(false));
        const QImage image = Popup(false)->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(image.size(), Popup(false)->size());
        const QRgb background = ToQColor(settings.background).rgb();
        const QRgb border = ToQColor(settings.border).rgb();
        for (int x = 0; x < image.width(); ++x) {
            EXPECT_EQ(image.pixel(x, 0), border) << x;
            EXPECT_EQ(image.pixel(x, image.height() - 1), border) << x;
        }
        for (int y = 0; y < image.height(); ++y) {
            EXPECT_EQ(image.pixel(0, y), border) << y;
            EXPECT_EQ(image.pixel(image.width() - 1, y), border) << y;
        }
        EXPECT_EQ(image.pixel(1, 1), background);
        EXPECT_EQ(image.pixel(image.width() - 2, image.height() - 2), background);
        boxes[i] = InkBox(image, background, border);
        ASSERT_FALSE(boxes[i].isEmpty());
        EXPECT_GE(boxes[i].left(), margins[i].x);
        EXPECT_GE(boxes[i].top(), margins[i].y);
        EXPECT_LT(boxes[i].right(), image.width() - margins[i].x);
        EXPECT_LT(boxes[i].bottom(), image.height() - margins[i].y);
        QTest::keyClick(grid.get(), Qt::Key_Shift); // hidden for the next round
    }
    // The text moves with the margins, pixel for pixel: it starts at them.
    EXPECT_EQ(boxes[1].topLeft() - boxes[0].topLeft(), QPoint(6, 4));
    EXPECT_EQ(boxes[1].size(), boxes[0].size());
}
