// A real (offscreen) grid for the transfer tests: three columns (Name, Size,
// Note) with the tree in Name, rows of dynamic objects, and helpers to read
// the rows back by name.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "common/DynamicObject.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"
#include "tests/support/EventPump.h"

namespace Kestrum::Test {

using namespace Kestrum::GUI;
using Kestrum::Common::CDynamicObject;

inline constexpr std::int32_t kName = 0;
inline constexpr std::int32_t kSize = 1;
inline constexpr std::int32_t kNote = 2;
inline constexpr int kRowHeight = 16;

inline CColumn* MakeColumn(std::int32_t field, const char* caption, int width)
{
    return new CColumn(field, caption, width, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, "");
}

// Records every drag notification.
struct CDragLog : IGridListener {
    std::vector<GridDragNotification> notes;
    void OnGridItemNotification(const GridItemNotification&) override {}
    void OnGridHeaderNotification(const GridHeaderNotification&) override {}
    void OnGridDragNotification(const GridDragNotification& notification) override { notes.push_back(notification); }
    std::vector<int> Codes() const
    {
        std::vector<int> codes;
        for (const auto& note : notes)
            codes.push_back(note.code);
        return codes;
    }
};

// Objects outlive the grids that show them.
struct CObjects {
    std::vector<std::unique_ptr<CDynamicObject>> all;
    CDynamicObject* Make(const std::string& name, std::int64_t size = 0, const std::string& note = "")
    {
        all.push_back(std::make_unique<CDynamicObject>(true));
        all.back()->SetStlString(kName, name);
        all.back()->SetInt64(kSize, size);
        all.back()->SetStlString(kNote, note);
        return all.back().get();
    }
};

class CTransferGrid : public CGrid {
public:
    explicit CTransferGrid(CObjects& objects, QWidget* parent = nullptr) : CGrid(parent), m_objects(objects)
    {
        setFrameStyle(QFrame::NoFrame);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        header = new CHeader(true);
        header->AddColumn(MakeColumn(kName, "Name", 140));
        header->AddColumn(MakeColumn(kSize, "Size", 60));
        header->AddColumn(MakeColumn(kNote, "Note", 60));
        header->SetTreeColumn(kName);
        SetHeader(header);
    }
    HITEM AddRow(const std::string& name, HITEM parent = GRID_ROOT, std::int64_t size = 0, const std::string& note = "")
    {
        const HITEM item = Add(m_objects.Make(name, size, note), parent, GRID_LAST);
        SetRowHeight(item, kRowHeight);
        return item;
    }
    // Rows named "<prefix>0".. at the top level.
    void AddRows(int count, const std::string& prefix = "row ")
    {
        for (int i = 0; i < count; ++i)
            AddRow(prefix + std::to_string(i), GRID_ROOT, i);
    }
    std::string Name(HITEM item) { return item ? GetObject(item)->GetStlString(kName) : "(none)"; }
    // The shown rows of an area as "name" or "  name" by level.
    std::vector<std::string> Shown(int area = AreaScrollable)
    {
        std::vector<std::string> rows;
        for (int row = 0; row < GetRowCount(area); ++row) {
            const HITEM item = GetItemAt(row, area);
            rows.push_back(std::string(2 * static_cast<std::size_t>(GetLevel(item)), ' ') + Name(item));
        }
        return rows;
    }
    HITEM Row(const std::string& name, int area = AreaScrollable)
    {
        for (int row = 0; row < GetRowCount(area); ++row)
            if (Name(GetItemAt(row, area)) == name)
                return GetItemAt(row, area);
        return 0;
    }
    void Select(const std::vector<std::string>& names, int area = AreaScrollable)
    {
        ClearSelection();
        for (const std::string& name : names)
            SelectItem(Row(name, area), true);
    }
    std::vector<std::string> SelectedNames()
    {
        std::vector<HITEM> items;
        GetSelectedItems(items, MaskBoth);
        std::vector<std::string> names;
        for (HITEM item : items)
            names.push_back(Name(item));
        return names;
    }
    void Focus(const std::string& name, int area = AreaScrollable) { SetFocusedRow(GetVisibleIndex(Row(name, area)), area); }
    std::string FocusedName() { return Name(GetItemAt(GetFocusedRow(), GetFocusedArea())); }
    QPoint RowPoint(const std::string& name, int x = 100, int dy = 0)
    {
        const CRect rect = GetRowRect(Row(name));
        return {x, (rect.top + rect.bottom) / 2 + dy};
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { QTest::keyClick(this, Qt::Key(key), modifiers); }

    CHeader* header = nullptr;

private:
    CObjects& m_objects;
};

using Names = std::vector<std::string>;

} // namespace Kestrum::Test
