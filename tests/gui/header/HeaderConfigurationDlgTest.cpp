// The header configuration dialog on real offscreen widgets: its controls
// and their places, the list it builds from the header, the check boxes, the
// four move buttons, the fixed-column spin, OK and Cancel, and the grid's
// request that opens it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "common/DynamicObject.h"
#include "gui/edit/EditPainting.h"
#include "gui/grid/Grid.h"
#include "gui/header/Column.h"
#include "gui/header/Header.h"
#include "gui/grid/HeaderConfigurationDlg.h"
#include "tests/support/EventPump.h"

namespace {

using namespace Kestrum::GUI;
using Kestrum::Common::CDynamicObject;
using Kestrum::Test::Pump;
using Kestrum::Test::PumpUntil;
using Dlg = CHeaderConfigurationDlg;

constexpr int kColumns = 6;
constexpr std::int32_t kFirstField = 10;

CColumn* MakeColumn(std::int32_t field, const std::string& caption)
{
    return new CColumn(field, caption, 70, AlignLeft, false, -1, -1, nullptr, nullptr, nullptr, "");
}

std::vector<std::int32_t> StoredOrder(const CHeader& header)
{
    std::vector<std::int32_t> order;
    for (int index = 0; index < header.GetColumnCount(); ++index)
        order.push_back(header.GetColumnAt(index)->GetFieldId());
    return order;
}
std::vector<std::int32_t> VisibleOrder(const CHeader& header)
{
    std::vector<std::int32_t> order;
    for (CColumn* column : header.GetVisibleColumns())
        order.push_back(column->GetFieldId());
    return order;
}
// Fields by their place in the first order: Fields({3, 5}) is the fourth
// and the sixth column.
std::vector<std::int32_t> Fields(const std::vector<int>& places)
{
    std::vector<std::int32_t> fields;
    for (int place : places)
        fields.push_back(kFirstField + place);
    return fields;
}

class HeaderDialog : public ::testing::Test {
protected:
    HeaderDialog()
    {
        for (int index = 0; index < kColumns; ++index)
            header->AddColumn(MakeColumn(kFirstField + index, std::string(1, static_cast<char>('A' + index))));
        header->SetMoveFixedColumns(true);
        header->SetMoveScrollableColumns(true);
        grid.SetHeader(header);
        grid.resize(500, 300);
    }
    ~HeaderDialog() override
    {
        dialog.reset();
        grid.Clear(MaskBoth);
    }

    Dlg& Open(CHeader* configured)
    {
        dialog = std::make_unique<Dlg>(configured);
        dialog->show();
        Pump();
        return *dialog;
    }
    Dlg& Open() { return Open(header); }

    CGrid& List() { return *dialog->GetListGrid(); }
    HITEM Row(int index) { return List().GetItemAt(index, AreaScrollable); }
    QPoint Inside(const CRect& rect) { return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }
    QPoint CaptionPoint(int index) { return Inside(List().GetCellRect(Row(index), Dlg::FieldCaption)); }
    void ClickRow(int index, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(List().viewport(), Qt::LeftButton, modifiers, CaptionPoint(index));
        Pump();
    }
    void Select(const std::vector<int>& rows)
    {
        for (std::size_t i = 0; i < rows.size(); ++i)
            ClickRow(rows[i], i == 0 ? Qt::NoModifier : Qt::ControlModifier);
    }
    void ToggleCheckBox(int index)
    {
        const CRect box = CheckBoxRect(List().GetCellRect(Row(index), Dlg::FieldVisible), AlignLeft);
        QTest::mouseClick(List().viewport(), Qt::LeftButton, Qt::NoModifier, Inside(box));
        Pump();
    }
    void Press(int id)
    {
        auto* button = qobject_cast<QAbstractButton*>(dialog->GetControl(id));
        ASSERT_NE(button, nullptr) << id;
        QTest::mouseClick(button, Qt::LeftButton);
        Pump();
    }
    void Spin(const char* arrow)
    {
        auto* button = dialog->GetControl(Dlg::IdSpin)->findChild<QToolButton*>(arrow);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        Pump();
    }
    QString CountText() { return static_cast<QLineEdit*>(dialog->GetControl(Dlg::IdFixedCount))->text(); }
    std::vector<std::int32_t> ListOrder()
    {
        std::vector<std::int32_t> order;
        for (int row = 0; row < List().GetRowCount(AreaScrollable); ++row)
            order.push_back(List().GetObject(Row(row))->GetLong(Dlg::FieldId));
        return order;
    }
    bool Checked(int row) { return List().GetObject(Row(row))->GetBool(Dlg::FieldVisible); }

    CHeader* header = new CHeader(true); // the main grid's
    CGrid grid;
    std::unique_ptr<Dlg> dialog;
};

// --- the controls ---------------------------------------------------------------------------------------------

struct ControlCase {
    int id;
    const char* className;
    const char* text;
    QRect units;
};

TEST_F(HeaderDialog, EveryControlHasItsIdTextClassAndPlaceInDialogUnits)
{
    const ControlCase cases[] = {
        {Dlg::IdOk, "QPushButton", "OK", {31, 201, 50, 14}},
        {Dlg::IdCancel, "QPushButton", "Cancel", {87, 201, 50, 14}},
        {Dlg::IdTop, "QPushButton", "Top", {147, 15, 38, 14}},
        {Dlg::IdUp, "QPushButton", "Up", {147, 33, 38, 14}},
        {Dlg::IdDown, "QPushButton", "Down", {147, 51, 38, 14}},
        {Dlg::IdBottom, "QPushButton", "Bottom", {147, 69, 38, 14}},
        {Dlg::IdFixedLabel, "QLabel", "Fixed columns", {141, 103, 46, 8}},
        {Dlg::IdList, nullptr, "", {7, 7, 130, 188}},
        {Dlg::IdSpin, nullptr, "", {178, 113, 11, 12}},
        {Dlg::IdFixedCount, "QLineEdit", "", {148, 113, 27, 12}},
    };
    Dlg& dlg = Open();
    EXPECT_EQ(dlg.windowTitle(), "Header configuration dialog");
    EXPECT_EQ(dlg.size(), Dlg::DialogUnitsToPixels(dlg.font(), {0, 0, 194, 222}).size());
    EXPECT_TRUE(dlg.isModal());
    const QRect inside = dlg.rect();
    for (const ControlCase& control : cases) {
        SCOPED_TRACE(control.id);
        QWidget* widget = dlg.GetControl(control.id);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->isVisible());
        if (control.className) {
            EXPECT_STREQ(widget->metaObject()->className(), control.className);
        }
        const QRect place = Dlg::DialogUnitsToPixels(dlg.font(), control.units);
        if (control.id == Dlg::IdFixedLabel) {
            // The static text may be widened to its text, never moved.
            EXPECT_EQ(widget->pos(), place.topLeft());
            EXPECT_EQ(widget->height(), place.height());
            EXPECT_GE(widget->width(), place.width());
        } else {
            EXPECT_EQ(widget->geometry(), place);
        }
        EXPECT_TRUE(inside.contains(widget->geometry()));
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), control.text);
            EXPECT_EQ(button->isDefault(), control.id == Dlg::IdOk);
            // Nothing clipped: the text fits the button.
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width());
        }
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text(), control.text);
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
        }
    }
    EXPECT_EQ(dynamic_cast<CGrid*>(dlg.GetControl(Dlg::IdList)), dlg.GetListGrid());
    auto* count = static_cast<QLineEdit*>(dlg.GetControl(Dlg::IdFixedCount));
    EXPECT_TRUE(count->isReadOnly());
    EXPECT_EQ(count->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(dlg.GetControl(999), nullptr);
}

TEST(HeaderDialogUnits, ConvertThroughTheAverageLetterWidthAndTheFontHeight)
{
    const QFont font = QApplication::font();
    const QFontMetrics metrics(font);
    const int baseX = (metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
    const QRect pixels = CHeaderConfigurationDlg::DialogUnitsToPixels(font, {4, 8, 40, 16});
    EXPECT_EQ(pixels, QRect(baseX, metrics.height(), 10 * baseX, 2 * metrics.height()));
}

// --- the list -------------------------------------------------------------------------------------------------

TEST_F(HeaderDialog, TheListHasARowPerColumnWithItsFlagCaptionAndFieldInStoredOrder)
{
    header->MoveColumnToIndex(kFirstField + 5, 0);
    header->HideColumn(kFirstField + 2);
    header->SetFixedColumnCount(2);
    Open();
    ASSERT_EQ(List().GetRowCount(AreaScrollable), kColumns);
    EXPECT_EQ(ListOrder(), StoredOrder(*header));
    for (int row = 0; row < kColumns; ++row) {
        CColumn* column = header->GetColumnAt(row);
        EXPECT_EQ(Checked(row), column->IsVisible()) << row;
        EXPECT_EQ(List().GetObject(Row(row))->GetStlString(Dlg::FieldCaption), column->GetCaption());
    }
    EXPECT_EQ(CountText(), "2");
    EXPECT_EQ(dialog->GetFixedColumnCount(), 2);
    EXPECT_FALSE(List().IsHeaderShown());
    EXPECT_EQ(List().GetSortAreas(), 0);
    EXPECT_EQ(List().GetPaintFlags() & PaintHierarchy, 0u);
    EXPECT_FALSE(List().IsUpdateHighlightEnabled());
    EXPECT_TRUE(List().GetDoubleBuffering());
    EXPECT_EQ(List().GetAppearance().oddRowBack, MakeColor(240, 240, 255));
    EXPECT_EQ(List().GetAppearance().evenRowBack, MakeColor(255, 255, 255));
    EXPECT_EQ(List().GetDragDropSettings().switches[0], 0);
}

TEST_F(HeaderDialog, AClickOnACheckBoxTogglesTheRowAndAClickOnTheCaptionDoesNot)
{
    Open();
    ToggleCheckBox(1);
    EXPECT_FALSE(Checked(1));
    ClickRow(1);
    QTest::mouseDClick(List().viewport(), Qt::LeftButton, Qt::NoModifier, CaptionPoint(1));
    Pump();
    EXPECT_FALSE(Checked(1));
    EXPECT_EQ(List().GetEditControl(), nullptr);
    ToggleCheckBox(1);
    EXPECT_TRUE(Checked(1));
    // The header is not touched before OK.
    EXPECT_EQ(header->GetVisibleColumnCount(), kColumns);
}

TEST_F(HeaderDialog, ADoubleClickOnACheckBoxTogglesItOnce)
{
    Open();
    const QPoint box = Inside(CheckBoxRect(List().GetCellRect(Row(2), Dlg::FieldVisible), AlignLeft));
    // As the platform delivers it: press, release, double click, release.
    QTest::mousePress(List().viewport(), Qt::LeftButton, Qt::NoModifier, box);
    QTest::mouseRelease(List().viewport(), Qt::LeftButton, Qt::NoModifier, box);
    QTest::mouseDClick(List().viewport(), Qt::LeftButton, Qt::NoModifier, box);
    QTest::mouseRelease(List().viewport(), Qt::LeftButton, Qt::NoModifier, box);
    Pump();
    EXPECT_FALSE(Checked(2));
}

TEST_F(HeaderDialog, RowsOfFixedColumnsAreGreyItalicOnATintedBackground)
{
    header->SetFixedColumnCount(2);
    Open();
    const QImage image = List().viewport()->grab().toImage();
    auto backAt = [&](int row) {
        const CRect cell = List().GetCellRect(Row(row), Dlg::FieldCaption);
        return image.pixelColor(cell.right - 4, (cell.top + cell.bottom) / 2);
    };
    auto darkPixels = [&](int row) {
        const CRect cell = List().GetCellRect(Row(row), Dlg::FieldCaption);
        int dark = 0;
        for (int y = cell.top; y < cell.bottom; ++y)
            for (int x = cell.left; x < cell.right; ++x)
                dark += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
        return dark;
    };
    auto greyPixels = [&](int row) {
        const CRect cell = List().GetCellRect(Row(row), Dlg::FieldCaption);
        int grey = 0;
        for (int y = cell.top; y < cell.bottom; ++y)
            for (int x = cell.left; x < cell.right; ++x) {
                const QColor c = image.pixelColor(x, y);
                grey += c.red() == c.green() && c.green() == c.blue() && c.red() < 200 ? 1 : 0;
            }
        return grey;
    };
    // Row 0 lies on a white row, row 1 on a tinted one: the blend of the
    // pale yellow with each.
    const QColor first = backAt(0);
    const QColor second = backAt(1);
    const bool firstIsWhiteRow = first == QColor(250, 254, 224);
    EXPECT_TRUE(firstIsWhiteRow ? second == QColor(246, 249, 224) : (first == QColor(246, 249, 224) && second == QColor(250, 254, 224)))
        << first.name().toStdString() << " " << second.name().toStdString();
    EXPECT_NE(backAt(2), first);
    EXPECT_NE(backAt(2), second);
    // Grey text in the fixed rows, black in the others.
    EXPECT_EQ(darkPixels(0), 0);
    EXPECT_GT(greyPixels(0), 0);
    EXPECT_GT(darkPixels(2), 0);
}

TEST_F(HeaderDialog, WithoutAHeaderTheListIsEmptyAndNothingHappens)
{
    Open(nullptr);
    EXPECT_EQ(List().GetRowCount(AreaScrollable), 0);
    EXPECT_EQ(CountText(), "0");
    Spin("up");
    EXPECT_EQ(CountText(), "0");
    Press(Dlg::IdTop);
    Press(Dlg::IdOk);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

// --- moving rows ----------------------------------------------------------------------------------------------

struct MoveCase {
    const char* name;
    int button;
    std::vector<int> selected;
    std::vector<int> expected; // first places, in the new order
};

class HeaderDialogMoves : public HeaderDialog, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(HeaderDialogMoves, MoveTheSelectedRowsInTheirOrderAndOkMovesTheColumns)
{
    const MoveCase& move = GetParam();
    Open();
    Select(move.selected);
    std::vector<int> selected;
    for (int row = 0; row < kColumns; ++row)
        if (List().IsRowSelected(row, AreaScrollable))
            selected.push_back(row);
    ASSERT_EQ(selected.size(), move.selected.size());
    Press(move.button);
    EXPECT_EQ(ListOrder(), Fields(move.expected));
    // The header waits for OK.
    EXPECT_EQ(StoredOrder(*header), Fields({0, 1, 2, 3, 4, 5}));
    Press(Dlg::IdOk);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(StoredOrder(*header), Fields(move.expected));
    EXPECT_EQ(VisibleOrder(*header), Fields(move.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, HeaderDialogMoves,
    ::testing::Values(MoveCase{"TopKeepsTheirOrder", Dlg::IdTop, {3, 5}, {3, 5, 0, 1, 2, 4}},
                      MoveCase{"TopPickedInReverse", Dlg::IdTop, {5, 3}, {3, 5, 0, 1, 2, 4}},
                      MoveCase{"UpMovesEachOneUp", Dlg::IdUp, {2, 4}, {0, 2, 1, 4, 3, 5}},
                      MoveCase{"UpWithTheFirstRowDoesNothing", Dlg::IdUp, {0}, {0, 1, 2, 3, 4, 5}},
                      MoveCase{"UpStopsAtTheFirstRow", Dlg::IdUp, {0, 3}, {0, 1, 2, 3, 4, 5}},
                      MoveCase{"DownMovesEachOneDown", Dlg::IdDown, {1, 3}, {0, 2, 1, 4, 3, 5}},
                      MoveCase{"DownStopsAtTheLastRow", Dlg::IdDown, {2, 5}, {0, 1, 2, 3, 4, 5}},
                      MoveCase{"BottomKeepsTheirOrder", Dlg::IdBottom, {0, 2}, {1, 3, 4, 5, 0, 2}}),
    [](const ::testing::TestParamInfo<MoveCase>& test) { return test.param.name; });

TEST_F(HeaderDialog, RepeatedUpKeepsTheRowsSelectedAndStopsAtTheTop)
{
    Open();
    Select({2, 3});
    Press(Dlg::IdUp);
    Press(Dlg::IdUp);
    Press(Dlg::IdUp);
    EXPECT_EQ(ListOrder(), Fields({2, 3, 0, 1, 4, 5}));
}

// --- OK and Cancel --------------------------------------------------------------------------------------------

TEST_F(HeaderDialog, OkWithoutChangesKeepsOrderAndVisibility)
{
    header->MoveColumnToIndex(kFirstField + 4, 1);
    header->HideColumn(kFirstField + 1);
    header->SetFixedColumnCount(1);
    const auto stored = StoredOrder(*header);
    const auto visible = VisibleOrder(*header);
    Open();
    Press(Dlg::IdOk);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(StoredOrder(*header), stored);
    EXPECT_EQ(VisibleOrder(*header), visible);
    EXPECT_EQ(header->GetFixedColumnCount(), 1);
}

TEST_F(HeaderDialog, HidingEveryColumnLeavesNoneVisibleAndTheGridStillPaints)
{
    std::deque<CDynamicObject> objects;
    for (int row = 0; row < 3; ++row) {
        objects.emplace_back(true);
        objects.back().SetStlString(kFirstField, "row");
        grid.Add(&objects.back());
    }
    grid.show();
    Pump();
    Open();
    for (int row = 0; row < kColumns; ++row)
        ToggleCheckBox(row);
    Press(Dlg::IdOk);
    EXPECT_EQ(header->GetVisibleColumnCount(), 0);
    EXPECT_EQ(header->GetColumnCount(), kColumns);
    const QImage image = grid.viewport()->grab().toImage();
    EXPECT_FALSE(image.isNull());
    // Keys and clicks on the empty grid are harmless.
    QTest::keyClick(&grid, Qt::Key_Down);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 30));
    Pump();
    grid.Clear(MaskBoth);
}

TEST_F(HeaderDialog, OkSkipsTheMovesTheHeaderRefusesAndStillAppliesVisibility)
{
    header->SetFixedColumnCount(1);
    header->SetMoveFixedColumns(false);
    Open();
    Select({0});
    Press(Dlg::IdBottom); // the fixed column last: refused at OK
    Select({2});
    Press(Dlg::IdTop);
    ASSERT_EQ(ListOrder(), Fields({3, 1, 2, 4, 5, 0}));
    ToggleCheckBox(1); // the second column
    Press(Dlg::IdOk);
    // The fixed column stays first; the others follow the list.
    EXPECT_EQ(header->GetColumnAt(0)->GetFieldId(), kFirstField);
    const auto order = StoredOrder(*header);
    EXPECT_EQ(std::vector<std::int32_t>(order.begin() + 1, order.end()), Fields({3, 1, 2, 4, 5}));
    EXPECT_FALSE(header->GetColumn(kFirstField + 1)->IsVisible());
    EXPECT_EQ(header->GetVisibleColumnCount(), kColumns - 1);
}

TEST_F(HeaderDialog, CancelDropsTheListsChanges)
{
    Open();
    Select({4});
    Press(Dlg::IdTop);
    ToggleCheckBox(0);
    Press(Dlg::IdCancel);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(StoredOrder(*header), Fields({0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(header->GetVisibleColumnCount(), kColumns);
}

// --- the fixed-column spin ------------------------------------------------------------------------------------

struct SpinCase {
    const char* name;
    int start;
    const char* arrow;
    int expected;
};

class HeaderDialogSpin : public HeaderDialog, public ::testing::WithParamInterface<SpinCase> {};

TEST_P(HeaderDialogSpin, ChangesTheCountWithinZeroAndTheColumnCountAtOnce)
{
    const SpinCase& spin = GetParam();
    header->SetFixedColumnCount(spin.start);
    Open();
    Spin(spin.arrow);
    EXPECT_EQ(header->GetFixedColumnCount(), spin.expected);
    EXPECT_EQ(dialog->GetFixedColumnCount(), spin.expected);
    EXPECT_EQ(CountText(), QString::number(spin.expected));
}

INSTANTIATE_TEST_SUITE_P(Arrows, HeaderDialogSpin,
                         ::testing::Values(SpinCase{"DownAtZeroDoesNothing", 0, "down", 0},
                                           SpinCase{"UpAtTheColumnCountDoesNothing", kColumns, "up", kColumns},
                                           SpinCase{"UpRaises", 2, "up", 3}, SpinCase{"DownLowers", 2, "down", 1},
                                           SpinCase{"UpFromZero", 0, "up", 1},
                                           SpinCase{"DownFromTheColumnCount", kColumns, "down", kColumns - 1}),
                         [](const ::testing::TestParamInfo<SpinCase>& test) { return test.param.name; });

TEST_F(HeaderDialog, TheChangeNoticeRaisesAtZeroOrBelowAndLowersAbove)
{
    header->SetFixedColumnCount(3);
    Open();
    dialog->OnSpin(0);
    EXPECT_EQ(header->GetFixedColumnCount(), 4);
    dialog->OnSpin(-5);
    EXPECT_EQ(header->GetFixedColumnCount(), 5);
    dialog->OnSpin(7);
    EXPECT_EQ(header->GetFixedColumnCount(), 4);
}

TEST_F(HeaderDialog, CancelAfterTheSpinKeepsTheNewCount)
{
    header->SetFixedColumnCount(1);
    Open();
    Spin("up");
    Spin("up");
    Press(Dlg::IdCancel);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(header->GetFixedColumnCount(), 3);
}

TEST_F(HeaderDialog, TheSpinRepaintsTheGreyedRows)
{
    header->SetFixedColumnCount(0);
    Open();
    auto backAt = [&](int row) {
        const QImage image = List().viewport()->grab().toImage();
        const CRect cell = List().GetCellRect(Row(row), Dlg::FieldCaption);
        return image.pixelColor(cell.right - 4, (cell.top + cell.bottom) / 2);
    };
    const QColor before = backAt(0);
    Spin("up");
    EXPECT_NE(backAt(0), before);
}

// --- the grid's request ---------------------------------------------------------------------------------------

TEST_F(HeaderDialog, TheGridOpensTheDialogForItsHeader)
{
    header->SetFixedColumnCount(1);
    grid.show();
    Pump();
    bool seen = false;
    QTimer::singleShot(0, [&] {
        PumpUntil([] { return QApplication::activeModalWidget() != nullptr; }, 10);
        auto* opened = qobject_cast<Dlg*>(QApplication::activeModalWidget());
        if (!opened)
            return;
        seen = opened->GetListGrid()->GetRowCount(AreaScrollable) == kColumns && opened->GetFixedColumnCount() == 1;
        opened->GetListGrid()->SelectRow(5, AreaScrollable, true);
        QTest::mouseClick(qobject_cast<QAbstractButton*>(opened->GetControl(Dlg::IdTop)), Qt::LeftButton);
        QTest::mouseClick(qobject_cast<QAbstractButton*>(opened->GetControl(Dlg::IdOk)), Qt::LeftButton);
    });
    EXPECT_EQ(grid.ShowHeaderConfiguration(), QDialog::Accepted);
    EXPECT_TRUE(seen);
    EXPECT_EQ(header->GetColumnAt(0)->GetFieldId(), kFirstField + 5);
}

// An application's grid that shows a dialog of its own for the header.
class COwnDialogGrid final : public CGrid {
public:
    int ShowHeaderConfiguration() override
    {
        QDialog own(this);
        own.setObjectName("ApplicationHeaderDialog");
        return own.exec() == QDialog::Accepted ? 42 : 0;
    }
};

TEST(HeaderConfigurationRequest, AnApplicationsOverrideShowsItsOwnDialog)
{
    COwnDialogGrid own;
    own.SetHeader(new CHeader(true));
    own.show();
    Pump();
    QString shown;
    QTimer::singleShot(0, [&] {
        PumpUntil([] { return QApplication::activeModalWidget() != nullptr; }, 10);
        if (QWidget* modal = QApplication::activeModalWidget()) {
            shown = modal->objectName();
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->accept();
        }
    });
    CGrid& grid = own; // where the library and the application reach it
    EXPECT_EQ(grid.ShowHeaderConfiguration(), 42);
    EXPECT_EQ(shown, "ApplicationHeaderDialog");
}

} // namespace
