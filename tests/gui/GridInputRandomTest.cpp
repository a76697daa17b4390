// Thousands of random key presses (and some clicks) over a random tree in a
// real offscreen grid: the focus always names a shown row in a focusable
// area (or none), the selection stays within the selectable areas and the
// selection switches, the top row stays valid, and nothing crashes. Seeded by
// the test parameter; a failure names the seed and the step.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <deque>
#include <random>

#include "common/DynamicObject.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"
#include "tests/support/EventPump.h"
#include "tests/support/FakeClock.h"

using namespace Kestrum::GUI;
using Kestrum::Common::CDynamicObject;

namespace {
constexpr std::int32_t kName = 0;
constexpr std::int32_t kSize = 2;

class RandomInput : public ::testing::TestWithParam<unsigned> {
protected:
    void SetUp() override
    {
        random.seed(GetParam());
        grid.setFrameStyle(QFrame::NoFrame);
        auto* header = new CHeader(true);
        header->AddColumn(new CColumn(kName, "Name", 150, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        header->AddColumn(new CColumn(kSize, "Size", 80, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        grid.SetHeader(header);
        grid.resize(300, 40 + static_cast<int>(random() % 300));
        grid.show();
        const int fixed = static_cast<int>(random() % 4);
        for (int i = 0; i < fixed; ++i)
            AddSubtree(GRID_FIXED_ROOT, 1);
        const int tops = 5 + static_cast<int>(random() % 40);
        for (int i = 0; i < tops; ++i)
            AddSubtree(GRID_ROOT, 0);
        grid.SetKeyboardAreas(1 + static_cast<int>(random() % 3));
        grid.SetFocusableAreas(1 + static_cast<int>(random() % 3));
        grid.SetSelectableAreas(1 + static_cast<int>(random() % 3));
        grid.EnableMultiSelection(random() % 4 != 0);
        grid.EnableSelection(random() % 8 != 0);
        if (random() % 2)
            grid.SetSortInfo(0, CSortInfo(kSize, random() % 2 == 0), true);
        Kestrum::Test::Pump();
    }

    void AddSubtree(HITEM parent, int depth)
    {
        objects.push_back(std::make_unique<CDynamicObject>(true));
        static const char* const names[] = {"alpha", "beta", "gamma", "delta", "Alpine", "Bravo", "echo", "2nd"};
        objects.back()->SetStlString(kName, std::string(names[random() % 8]) + std::to_string(objects.size()));
        objects.back()->SetInt64(kSize, static_cast<std::int64_t>(random() % 50));
        const HITEM item = grid.Add(objects.back().get(), parent, GRID_LAST);
        if (depth < 3 && random() % 3 == 0) {
            const int children = 1 + static_cast<int>(random() % 5);
            for (int i = 0; i < children; ++i)
                AddSubtree(item, depth + 1);
            if (random() % 2)
                grid.Expand(item, false);
        }
    }

    // The invariants; an empty string when they hold.
    std::string Check()
    {
        const int area = grid.GetFocusedArea();
        const int row = grid.GetFocusedRow();
        if (!(row == -1 && area == 0)) {
            if (area != AreaFixed && area != AreaScrollable)
                return "focus in area " + std::to_string(area);
            if (row < 0 || row >= grid.GetRowCount(area))
                return "focus on row " + std::to_string(row) + " of " + std::to_string(grid.GetRowCount(area));
            if (!grid.IsAreaFocusable(area))
                return "focus in an area that is not focusable";
        }
        const int count = grid.GetRowCount(AreaScrollable);
        const int top = grid.GetTopRow();
        if (count > 0 && (top < 0 || top >= count))
            return "top row " + std::to_string(top) + " of " + std::to_string(count);
        std::vector<HITEM> items;
        grid.GetAllItems(MaskBoth, items);
        int selected = 0;
        for (HITEM item : items) {
            if (!grid.IsItemSelected(item))
                continue;
            ++selected;
            if (!grid.IsAreaSelectable(grid.GetArea(item)))
                return "a selected row in an area that is not selectable";
        }
        if (selected != grid.GetSelectedCount())
            return "selected count " + std::to_string(grid.GetSelectedCount()) + ", flags " + std::to_string(selected);
        if (!grid.IsSelectionEnabled() && selected > 0)
            return "selection while selection is off";
        if (!grid.IsMultiSelectionEnabled() && selected > 1)
            return std::to_string(selected) + " selected while multi-selection is off";
        return {};
    }

    void RandomKey()
    {
        static const int keys[] = {Qt::Key_Up,     Qt::Key_Down,  Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home,
                                   Qt::Key_End,    Qt::Key_Left,  Qt::Key_Right,  Qt::Key_Return,   Qt::Key_Escape,
                                   Qt::Key_Space,  Qt::Key_A,     Qt::Key_B,      Qt::Key_E,        Qt::Key_G,
                                   Qt::Key_L,      Qt::Key_P,     Qt::Key_2,      Qt::Key_C,        Qt::Key_V,
                                   Qt::Key_X,      Qt::Key_F2,    Qt::Key_Delete, Qt::Key_Up,       Qt::Key_Down};
        const int key = keys[random() % std::size(keys)];
        Qt::KeyboardModifiers modifiers = Qt::NoModifier;
        switch (random() % 10) {
        case 0:
        case 1: modifiers = Qt::ShiftModifier; break;
        case 2:
        case 3: modifiers = Qt::ControlModifier; break;
        case 4: modifiers = Qt::ShiftModifier | Qt::ControlModifier; break;
        default: break;
        }
        clock.Advance(static_cast<std::int64_t>(random() % 1500));
        QTest::keyClick(&grid, Qt::Key(key), modifiers);
    }

    void RandomClick()
    {
        const QPoint point(static_cast<int>(random() % 300), static_cast<int>(random() % std::max(1, grid.height())));
        Qt::KeyboardModifiers modifiers = Qt::NoModifier;
        if (random() % 4 == 0)
            modifiers = random() % 2 ? Qt::ShiftModifier : Qt::ControlModifier;
        if (random() % 5 == 0)
            QTest::mouseDClick(grid.viewport(), Qt::LeftButton, modifiers, point);
        else
            QTest::mouseClick(grid.viewport(), Qt::LeftButton, modifiers, point);
    }

    std::mt19937 random;
    Kestrum::Test::CFakeGridClock clock;
    std::deque<std::unique_ptr<CDynamicObject>> objects;
    CGrid grid;
};
} // namespace

TEST_P(RandomInput, KeysKeepTheFocusOnAShownRowAndTheSelectionInItsAreas)
{
    ASSERT_EQ(Check(), "");
    for (int step = 0; step < 3000; ++step) {
        if (random() % 12 == 0)
            RandomClick();
        else
            RandomKey();
        const std::string broken = Check();
        ASSERT_EQ(broken, "") << "seed " << GetParam() << ", step " << step;
        if (step % 200 == 0) {
            Kestrum::Test::Pump(15); // deferred scrolls and a painted frame
            grid.viewport()->repaint();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomInput, ::testing::Values(1u, 2u, 3u, 4u, 5u, 6u));
