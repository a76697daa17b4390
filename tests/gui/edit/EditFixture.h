// A real (offscreen, active) grid with one column of each kind of editor,
// driven by QTest keys and mouse: text, a grouped long, a hexadecimal long,
// a double, a char, a bool, an enumeration and a column that is not
// editable. Rows are 20 pixels high; ten of them fit.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "common/DynamicObject.h"
#include "common/EnumFormat.h"
#include "common/FloatFormats.h"
#include "common/IntegerFormats.h"
#include "gui/edit/EditInPlace.h"
#include "gui/edit/EmbeddedCombo.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"
#include "tests/support/EventPump.h"

namespace Kestrum::Test {

using namespace Kestrum::GUI;
using Kestrum::Common::CDynamicObject;

enum EditField : std::int32_t {
    kText = 0,
    kLong = 1,
    kHex = 2,
    kDouble = 3,
    kChar = 4,
    kBool = 5,
    kEnum = 6,
    kFixed = 7,
};

inline constexpr int kEditRowHeight = 20;
inline constexpr int kEditPageRows = 10;

// Remembers every edit notification.
struct CEditListener final : IGridListener {
    std::vector<GridEditNotification> edits;
    void OnGridItemNotification(const GridItemNotification&) override {}
    void OnGridHeaderNotification(const GridHeaderNotification&) override {}
    void OnGridEditNotification(const GridEditNotification& notification) override { edits.push_back(notification); }
};

struct EditGrid : ::testing::Test {
    EditGrid()
    {
        grid.setFrameStyle(QFrame::NoFrame);
        grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        header = new CHeader(true);
        auto* choices = new Common::CLongEnumFormat;
        choices->AddItem(3, "High");
        choices->AddItem(1, "Low");
        choices->AddItem(2, "Medium");
        Column(kText, "Text", 80, nullptr);
        Column(kLong, "Long", 70, nullptr);
        Column(kHex, "Hex", 90, new Common::CLongFormat(1, true, ' ', true, false));
        Column(kDouble, "Double", 70, nullptr);
        Column(kChar, "Char", 40, nullptr);
        Column(kBool, "Bool", 40, nullptr);
        Column(kEnum, "Enum", 80, choices);
        header->AddColumn(new CColumn(kFixed, "Fixed", 50, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        grid.SetHeader(header);
        grid.SetListener(&listener);
        grid.resize(560, header->GetHeight() + kEditPageRows * kEditRowHeight);
        grid.show();
        grid.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&grid));
        grid.setFocus();
        Pump();
    }
    ~EditGrid() override
    {
        grid.SetListener(nullptr);
        grid.Clear();
    }
    void Column(std::int32_t field, const char* caption, int width, Common::CFormat* format)
    {
        header->AddColumn(new CColumn(field, caption, width, AlignAuto, true, -1, -1, format, nullptr, nullptr, ""));
    }
    HITEM Add(const std::string& text = "alpha", HITEM parent = GRID_ROOT)
    {
        auto object = std::make_unique<CDynamicObject>(true);
        object->SetStlString(kText, text);
        object->SetLong(kLong, 1234);
        object->SetLong(kHex, 255);
        object->SetDouble(kDouble, 2.5);
        object->SetChar(kChar, 'a');
        object->SetBool(kBool, false);
        object->SetLong(kEnum, 1);
        object->SetLong(kFixed, 7);
        objects.push_back(std::move(object));
        const HITEM item = grid.Add(objects.back().get(), parent, GRID_LAST);
        grid.SetRowHeight(item, kEditRowHeight);
        return item;
    }
    void AddRows(int count)
    {
        for (int i = 0; i < count; ++i)
            Add("row " + std::to_string(i));
    }
    CDynamicObject& Object(int index) { return *objects[static_cast<std::size_t>(index)]; }
    HITEM Row(int row) { return grid.GetItemAt(row, AreaScrollable); }

    QWidget* View() { return grid.viewport(); }
    QPoint CellPoint(int row, std::int32_t field, int dx = 0)
    {
        const CRect rect = grid.GetCellRect(Row(row), field);
        return {(rect.left + rect.right) / 2 + dx, (rect.top + rect.bottom) / 2};
    }
    // Near the right end of a cell (on a drop-down button).
    QPoint ButtonPoint(int row, std::int32_t field)
    {
        const CRect rect = grid.GetCellRect(Row(row), field);
        return {rect.right - 4, (rect.top + rect.bottom) / 2};
    }
    // A move with no button down.
    void Hover(QPoint point)
    {
        QMouseEvent move(QEvent::MouseMove, point, View()->mapToGlobal(point), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(View(), &move);
    }
    void Click(QPoint point) { QTest::mouseClick(View(), Qt::LeftButton, Qt::NoModifier, point); }
    void DoubleClick(QPoint point)
    {
        QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, point);
        QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, point);
        QTest::mouseDClick(View(), Qt::LeftButton, Qt::NoModifier, point);
        QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, point);
    }
    // Opens the editor of a cell with a double click; its control.
    QWidget* Open(int row, std::int32_t field)
    {
        DoubleClick(CellPoint(row, field));
        Pump();
        return grid.GetEditControl();
    }
    QLineEdit* OpenText(int row, std::int32_t field) { return qobject_cast<QLineEdit*>(Open(row, field)); }
    // A key to the control that has the focus (the editor while one is open).
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &grid;
        QTest::keyClick(target, Qt::Key(key), modifiers);
        Pump();
    }
    void Type(const char* text)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &grid;
        QTest::keyClicks(target, QString::fromLatin1(text));
        Pump();
    }
    bool Editing(int row, std::int32_t field) { return grid.GetEditItem() == Row(row) && grid.GetEditField() == field; }
    EditSettings Settings() { return grid.GetEditSettings(); }

    CGrid grid;
    CHeader* header = nullptr;
    CEditListener listener;
    std::vector<std::unique_ptr<CDynamicObject>> objects;
};

} // namespace Kestrum::Test
