// The records the grid fills for each thing it draws, the paint state of a
// paint pass, the paint flags, and the per-grid appearance and update
// highlight settings that the paint formats read.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>

#include "gui/grid/GridTypes.h"
#include "gui/platform/Geometry.h"

class QFont;

namespace Kestrum::Common {
class CDataObject;
class CFormat;
}

namespace Kestrum::GUI {

class CArchive;
class CColumn;
class CDeviceContext;
class CGrid;
class CHeader;
class CImageList;
struct EditSettings;

enum PaintFlag : std::uint32_t {
    PaintText = 0x1,
    PaintImage = 0x2,
    PaintHeaderImage = 0x4,
    PaintBackground = 0x8,
    PaintSelectionTint = 0x10,
    PaintSelectionFrame = 0x20,
    PaintSortTint = 0x40,
    PaintSelectionRect = 0x80,
    PaintFocusTint = 0x100,
    PaintFocusFrame = 0x200,
    PaintUpdateHighlight = 0x400,
    PaintDropMarker = 0x800,
    PaintDropArrows = 0x1000,
    PaintHierarchy = 0x2000,
    PaintTreeButtons = 0x4000,
    PaintTreeLines = 0x8000,
    PaintHorizontalLines = 0x10000,
    PaintVerticalLines = 0x20000,
    PaintEmbeddedControls = 0x40000,
    PaintAll = 0x7FFFF,
};

struct KESTRUM_GRIDCORE_EXPORT ColorAlpha {
    Color color = 0;
    std::uint8_t alpha = 0;
    void Serialize(CArchive& archive);
    friend bool operator==(const ColorAlpha&, const ColorAlpha&) = default;
};

struct KESTRUM_GRIDCORE_EXPORT GridAppearance {
    Color oddRowText = MakeColor(0, 0, 0);
    Color evenRowText = MakeColor(0, 0, 0);
    Color oddRowBack = MakeColor(255, 255, 255);
    Color evenRowBack = MakeColor(255, 255, 255);
    Color verticalLine = MakeColor(128, 128, 128);
    Color horizontalLine = MakeColor(128, 128, 128);
    ColorAlpha selection{MakeColor(100, 100, 180), 60};
    ColorAlpha focus{MakeColor(100, 100, 180), 30};
    ColorAlpha sortColumn{MakeColor(180, 150, 180), 50};
    ColorAlpha selectionRect{MakeColor(180, 180, 180), 128};
    bool verticalLines = false;
    bool horizontalLines = false;
    void Serialize(CArchive& archive);
    friend bool operator==(const GridAppearance&, const GridAppearance&) = default;
};

struct KESTRUM_GRIDCORE_EXPORT UpdateHighlight {
    std::int32_t duration = 2000;
    Color textColor = MakeColor(255, 0, 0);
    Color backColor = MakeColor(255, 0, 0);
    std::uint8_t textAlpha = 150;
    std::uint8_t backAlpha = 150;
    std::int32_t fadeStep = 30;
    std::int32_t mode = 8;
    void Serialize(CArchive& archive);
    friend bool operator==(const UpdateHighlight&, const UpdateHighlight&) = default;
};

struct KESTRUM_GRIDCORE_EXPORT DrawContext {
    Color textColor = 0;
    Color backColor = 0;
    CRect visibleRect;
    CRect fullRect;
    CRect repaintRect;
    const QFont* font = nullptr;
    int leftMargin = 2;
    int rightMargin = 2;
    UpdateHighlight highlight;
};

struct KESTRUM_GRIDCORE_EXPORT RowDrawContext : DrawContext {
    int rowKey = 0;
    int rowIndex = -1;
    CGridItem* item = nullptr;
    Common::CDataObject* object = nullptr; // the item's data object
    bool noTopFrameLine = false;
    bool noBottomFrameLine = false;
};

struct KESTRUM_GRIDCORE_EXPORT CellDrawContext : DrawContext {
    RowDrawContext* row = nullptr;
    CColumn* column = nullptr;
    CImageList* images = nullptr;
    int imageIndex = -1;
    bool stretchImages = false;
    Common::CFormat* format = nullptr;
};

struct KESTRUM_GRIDCORE_EXPORT HeaderDrawContext {
    CColumn* trackedColumn = nullptr;
    CColumn* dropTarget = nullptr;
    int dropSide = 0; // 0 none, 1 before, 2 after
    bool trackedPressed = false;
    const QFont* font = nullptr;
    CImageList* images = nullptr;
    Color textColor = 0;
};

struct KESTRUM_GRIDCORE_EXPORT ColumnHeaderDrawContext {
    HeaderDrawContext* header = nullptr;
    CColumn* column = nullptr;
    CRect visibleRect;
    CRect fullRect;
    int state = 0; // 0 normal, 1 hot, 2 pressed
    const QFont* font = nullptr;
    int headerImageIndex = -1;
    Color textColor = 0;
};

struct KESTRUM_GRIDCORE_EXPORT DragState {
    int targetArea = 0;
    int targetRow = -1;
    bool after = false;
    int parentRow = -1;
    bool active = false;
    Color markerColor = MakeColor(32, 128, 223);
    // Rows in the drop-target area (to place the "after" bar of the last row).
    int rowCount = 0;
    // The level the dropped rows land at: in the tree column the bar starts
    // at that level's indent.
    int level = 0;
};

// Delayed repaints of the grid being painted (its thread, no marshalling):
// what paint code asks for instead of calling the grid.
class KESTRUM_GRIDCORE_EXPORT IRepaintScheduler {
public:
    virtual void RepaintRowLater(CGridItem* item, int delay) = 0;
    virtual void RepaintCellLater(CGridItem* item, std::int32_t fieldId, int delay) = 0;

protected:
    ~IRepaintScheduler() = default;
};

struct PaintState;

// The part of the grid's in-place editor (IEditInPlace) that the cell paint
// format asks for: the flags to paint a cell with (a check box instead of
// the text) and the cell's decoration (the hot-cell frame, a check box, a
// drop-down button). Declared here so painting reaches the editor without
// knowing the edit room; both read only the draw context and the paint state.
class KESTRUM_GRIDCORE_EXPORT IEditDecoration {
public:
    virtual ~IEditDecoration() = default;
    virtual void PaintDecoration(CellDrawContext& context, PaintState& state, std::uint32_t flags) = 0;
    virtual std::uint32_t AdjustPaintFlags(CellDrawContext& context, PaintState& state, std::uint32_t flags) = 0;
};

// What a paint pass tells the in-place editor's paint operations (the flag
// rewriting and the decoration of each cell).
struct KESTRUM_GRIDCORE_EXPORT EditPaintInfo {
    IEditDecoration* editor = nullptr; // null: no in-place editing on the grid
    const EditSettings* settings = nullptr;
    bool editing = false; // an edit is active
    // The cell under the mouse pointer (item, field id) and where the pointer is.
    CGridItem* hotItem = nullptr;
    std::int32_t hotField = -2;
    CPoint pointer{-32768, -32768};
    bool buttonsDown = false;
};

// Everything a paint pass hands its formats: they read it and never call
// back into the grid.
struct KESTRUM_GRIDCORE_EXPORT PaintState {
    CGrid* grid = nullptr; // for applications' own formats; the library's read the fields below
    CHeader* header = nullptr;
    CDeviceContext* dc = nullptr;
    CRect clipRect;
    DragState drag;
    CPoint selectionFrom{-1, -1};
    CPoint selectionTo{-1, -1};
    int focusedRowKey = 0;
    int focusedRowIndex = -1;
    CImageList* images = nullptr;
    bool stretchImages = false;
    bool hasBackground = false;
    CRect backgroundArea;
    // Alpha of the cells' own colour over the picture; -1: cells are opaque.
    int backgroundTransparency = -1;
    // The grid's horizontal scroll position, for the header's geometry.
    const class IScrollPositionSource* scroll = nullptr;
    // The grid's appearance (null: the shared default).
    const GridAppearance* appearance = nullptr;
    bool highlightEnabled = false;
    // The grid clock when the pass began.
    std::int64_t now = 0;
    IRepaintScheduler* repaint = nullptr;
    // Every row is drawn as expanded: a print of all rows shows the rows
    // under collapsed ones too.
    bool allExpanded = false;
    // In-place editing (null: none, as in a print).
    const EditPaintInfo* edit = nullptr;
};

} // namespace Kestrum::GUI
