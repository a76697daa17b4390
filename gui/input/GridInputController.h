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
// Mouse: it overrides eight hooks of CUserInputHelper and dispatches: the
// header strip's presses and moves to the header's mouse modes
// (CHeaderMouse, gui/header/), a press on the body to the click selection
// (here: the tree button, Shift, Ctrl and plain clicks, asked of the
// selection model), the rubber band (CRubberBand) and the drag start
// (CDragStart). The paint pass reads the band and the header's tracked and
// drop columns through DescribeForPaint.
//
// A press or double click ends an active edit and may start one in the
// cell under the pointer; moves track the cell under the pointer for the
// editor's hot-cell frame. Moves, the hover and leaving go on to the grid's
// tooltips, which ask for the hover they need. All of it reaches the grid
// through IInputHost (gui/input/InputHost.h), never its members.
//
// One per grid, owned by CGridImpl; GUI thread only.
#pragma once

#include "gui/platform/Export.h"

#include <QTimer>
#include <cstdint>

#include "common/Types.h"
#include "gui/header/HeaderMouse.h"
#include "gui/input/DragStart.h"
#include "gui/input/IncrementalSearch.h"
#include "gui/input/RubberBand.h"
#include "gui/input/UserInputHelper.h"
#include "gui/platform/Geometry.h"

class QKeyEvent;
class QMouseEvent;

namespace Kestrum::GUI {

class CGridItem;
class IInputHost;
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

class KESTRUM_GUI_EXPORT CGridInputController final : public CUserInputHelper {
public:
    explicit CGridInputController(IInputHost& host);
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

    int GetHeaderMode() const noexcept { return m_header.Mode(); }
    // A rubber band is being dragged (scrolling then repaints instead of
    // shifting pixels, so the band is drawn where it now is).
    bool IsSelecting();
    // The band and the header's tracked and drop columns, for the paint pass.
    void DescribeForPaint(PaintState& state, HeaderDrawContext& header);
    // Ends every mode without acting (a header was replaced, the grid loaded).
    void Reset();

private:
    bool PreTranslate(const QKeyEvent& event);
    // The press rules from the rubber band on (the drag start was passed).
    bool ApplyPress(std::uint32_t flags, CPoint point, int area, int row, CGridItem* item);
    bool StartDrag();
    void CancelSearch();
    CGridItem* ItemAt(int area, int row);
    bool ToggleTreeButton(CGridItem* item, CPoint point);
    void ToggleItem(CGridItem* item);

    IInputHost& m_host;
    CHeaderMouse m_header;
    CRubberBand m_band;
    CDragStart m_drag;
    bool m_leftDown = false;
    CPoint m_lastPoint;
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
