// CGridInputController: the grid's keyboard and mouse input. The widget
// hands it every key, mouse, leave, hover and capture-loss event; it turns
// them into grid operations.
//
// Keys: a key-down first goes to the key manager (pre-translation, before
// any window shortcut: the widget's ShortcutOverride asks here, and the key
// press that follows is not handed over twice); a key the manager does not
// consume and that is a plain letter or digit runs the incremental search,
// whose later slices run from a zero-delay timer. A key the manager takes, or
// a click, ends a search still under way.
//
// Mouse: it overrides eight hooks of CUserInputHelper and owns the mouse
// state: the header mode (resizing, moving or pressing a column), the drag
// image and drop position of a moved column, the rubber band (selection
// rectangle), the resize cursor, the hot header cell and the auto-scroll
// timer (grid timer 1). The paint pass reads the band and the header's
// tracked and drop columns through DescribeForPaint.
//
// A press on a row that may be dragged (CGridTransfer::MayStartDrag) waits:
// once the pointer has moved the platform's drag distance the drag of the
// rows runs (gui/clipboard/), a release without moving is applied as an
// ordinary click with the press's keys. A press or double click ends an
// active edit and may start one in the cell under the pointer (the grid's
// edit state, gui/edit/); moves track the cell under the pointer for the
// editor's hot-cell frame. Moves, the hover and leaving go on to the grid's
// tooltips, which ask for the hover they need.
//
// One per grid, owned by CGridImpl; GUI thread only.
#pragma once

#include "gui/platform/Export.h"

#include <QCursor>
#include <QPointer>
#include <QTimer>
#include <cstdint>

#include "common/Types.h"
#include "gui/input/IncrementalSearch.h"
#include "gui/input/UserInputHelper.h"
#include "gui/platform/Geometry.h"

class QKeyEvent;
class QLabel;
class QMouseEvent;

namespace Kestrum::GUI {

class CColumn;
class CHeader;
class CGridImpl;
class CGridItem;
class IKeyManager;
struct HeaderDrawContext;
struct PaintState;

// Kinds of KeyAction (request 176).
enum KeyActionKind : int {
    KeyActionUp = 0,
    KeyActionDown = 1,
    KeyActionPageUp = 2,
    KeyActionPageDown = 3,
    KeyActionHome = 4,
    KeyActionEnd = 5,
    KeyActionSearch = 6,
};

enum HeaderMode : int { HeaderModeNone = 0, HeaderModeResizing = 1, HeaderModeMoving = 2, HeaderModePressed = 3 };

class KESTRUM_GUI_EXPORT CGridInputController final : public CUserInputHelper {
public:
    explicit CGridInputController(CGridImpl& grid);
    ~CGridInputController() override;
    CGridInputController(const CGridInputController&) = delete;
    CGridInputController& operator=(const CGridInputController&) = delete;

    // --- keys ------------------------------------------------------------------
    // A ShortcutOverride: runs the pre-translation; true when the grid takes
    // the key (the manager consumed it, or it is a search character).
    bool OnShortcutOverride(const QKeyEvent& event);
    void OnKeyPress(QKeyEvent& event);
    void OnKeyRelease(QKeyEvent& event);
    // Request 176: kinds 0-5 run the key manager's movement with the given
    // states, kind 6 searches for `character`. Nothing happens while the
    // scrollable area has no rows or the left button is down.
    void KeyAction(int kind, bool shift, bool ctrl, char character);
    const CIncrementalSearch& Search() const noexcept { return m_search; }

    // --- mouse -------------------------------------------------------------------
    static InputMessage MouseMessage(int kind, const QMouseEvent& event);
    bool OnMouseMove(std::uint32_t flags, int x, int y) override;
    bool OnLeftButtonDown(std::uint32_t flags, int x, int y) override;
    bool OnLeftButtonUp(std::uint32_t flags, int x, int y) override;
    bool OnLeftButtonDoubleClick(std::uint32_t flags, int x, int y) override;
    bool OnRightButtonUp(std::uint32_t flags, int x, int y) override;
    bool OnCaptureLost(void* window) override;
    bool OnMouseLeave() override;
    bool OnMouseHover(std::uint32_t flags, int x, int y) override;
    void OnAutoScrollTimer();

    int GetHeaderMode() const noexcept { return m_header.mode; }
    // A rubber band is being dragged (scrolling then repaints instead of
    // shifting pixels, so the band is drawn where it now is).
    bool IsSelecting() const noexcept;
    // The band and the header's tracked and drop columns, for the paint pass.
    void DescribeForPaint(PaintState& state, HeaderDrawContext& header);
    // Ends every mode without acting (a header was replaced, the grid loaded).
    void Reset();

private:
    struct HeaderState {
        int mode = HeaderModeNone;
        Common::FieldId field = Common::FIELD_NONE; // the column resized, moved or pressed
        CPoint press;
        int widthAtPress = 0; // Esc puts it back
        int dropIndex = -1;   // visible index of the column the drop goes next to
        bool dropAfter = false;
        std::int64_t lastDropRepaint = 0;
        Common::FieldId hot = Common::FIELD_NONE; // the caption under the pointer
    };
    struct Band {
        int mode = 0; // 1: the button was pressed on the body
        int area = 0;
        CPoint anchor;
        CPoint current;
        CGridItem* anchorItem = nullptr; // null: pressed below the last row
        int anchorOffset = 0;            // of the press within the anchor row
        int first = -1, last = -1;       // rows the band has selected
    };

    // A press that starts a drag if the pointer moves far enough.
    struct DragPress {
        bool active = false;
        CPoint point;
        std::uint32_t flags = 0;
        CGridItem* item = nullptr; // validated again before use
        int area = 0;
    };

    bool PreTranslate(const QKeyEvent& event);
    // The press rules from the rubber band on (the drag start was passed).
    bool ApplyPress(std::uint32_t flags, CPoint point, int area, int row, CGridItem* item);
    bool StartDrag();
    void CancelSearch();
    IKeyManager& KeyManager() const;
    CHeader* Header() const;
    bool InHeaderStrip(CPoint point) const;
    CColumn* EdgeColumn(int x) const;
    CColumn* ColumnAt(int x) const;
    bool MayMove(CColumn* column) const;
    void RepaintHeader();
    void SetHot(Common::FieldId field);
    void UpdateCursor(CPoint point, bool buttonDown);
    void EndHeaderMode(bool restoreWidth);
    void ShowDragImage(CColumn* column, CPoint point);
    void MoveDragImage(CPoint point);
    void HideDragImage();
    void UpdateDrop(CPoint point);
    bool ToggleTreeButton(CGridItem* item, CPoint point);
    void StartBand(int area, CPoint point, CGridItem* item, int row);
    bool BandApplies() const;
    int AnchorRow() const;
    int RowAtY(int area, int y) const;
    CRect BandRect() const;
    void UpdateBand(CPoint point);
    void EndBand();
    void StartAutoScroll();
    void StopAutoScroll();

    CGridImpl& m_grid;
    HeaderState m_header;
    Band m_band;
    DragPress m_dragPress;
    bool m_leftDown = false;
    CPoint m_lastPoint;
    QCursor m_resizeCursor;
    bool m_resizeCursorShown = false;
    QPointer<QLabel> m_dragImage;
    CPoint m_dragHotSpot;
    QTimer m_searchTimer; // runs the slices of a long search

    // The answer of the last pre-translation, so the key press that follows
    // its ShortcutOverride is not handed to the key manager again.
    struct {
        bool valid = false;
        int key = 0;
        int modifiers = 0;
        std::uint64_t timestamp = 0;
        bool autoRepeat = false;
        bool handled = false;
    } m_pretranslated;
    CIncrementalSearch m_search;
};

} // namespace Kestrum::GUI
