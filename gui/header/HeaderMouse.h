// CHeaderMouse: the mouse in the header strip. A press within 4 pixels of a
// column's right edge resizes the column (the resize cursor; Esc puts the
// width back); a press on a caption waits, and is a click on release or
// becomes a column move (a drag image of the header cell and a drop marker)
// once the pointer has gone more than 4 pixels away. Without a button the
// caption under the pointer is hot and a column edge shows the resize
// cursor. A double click on an edge fits the column to its cells.
//
// The input controller hands it the strip's presses, moves, releases and
// the ends of a press (Esc, right button, capture loss); it reaches the grid
// only through IHeaderMouseHost. One per grid; GUI thread only.
#pragma once

#include "gui/platform/Export.h"

#include <QCursor>
#include <QPointer>
#include <cstdint>

#include "common/Types.h"
#include "gui/platform/Geometry.h"

class QLabel;

namespace Kestrum::GUI {

class CColumn;
class CHeader;
class IHeaderMouseHost;

enum HeaderMode : int { HeaderModeNone = 0, HeaderModeResizing = 1, HeaderModeMoving = 2, HeaderModePressed = 3 };

// What the paint pass draws of the header's mouse state.
struct HeaderMouseMarks {
    CColumn* tracked = nullptr; // pressed, moved or hot
    bool pressed = false;
    CColumn* dropTarget = nullptr;
    int dropSide = 0; // 0 none, 1 before, 2 after
};

class KESTRUM_GUI_EXPORT CHeaderMouse {
public:
    explicit CHeaderMouse(IHeaderMouseHost& host);
    ~CHeaderMouse();
    CHeaderMouse(const CHeaderMouse&) = delete;
    CHeaderMouse& operator=(const CHeaderMouse&) = delete;

    int Mode() const noexcept { return m_state.mode; }
    // The point lies in the header strip (a header is set and shown).
    bool InStrip(CPoint point);

    // A left press in the strip: starts a resize or a caption press.
    void OnPress(CPoint point);
    // True when a mode took the move; else the cursor and the hot caption
    // follow the pointer and the body may use the move.
    bool OnMove(CPoint point, bool leftDown);
    // The left button went up: a caption click sorts (Shift clears the
    // sort, Ctrl adds a level), a move drops the column; the mode ends.
    void OnRelease(bool shift, bool ctrl);
    void OnDoubleClick(CPoint point);
    void OnHover(CPoint point, bool leftDown);
    void OnLeave(bool leftDown);
    // Esc: a resize or a move ends, the width put back. True when one did.
    bool OnEscape(CPoint pointer, bool leftDown);
    // The press ended without its release (right button, capture lost).
    void EndMode(CPoint pointer, bool leftDown);
    // The resize cursor where the pointer is now (after a release).
    void UpdateCursor(CPoint point, bool buttonDown);
    // Ends every mode without acting.
    void Reset();
    HeaderMouseMarks Marks() const;

private:
    struct State {
        int mode = HeaderModeNone;
        Common::FieldId field = Common::FIELD_NONE; // the column resized, moved or pressed
        CPoint press;
        int widthAtPress = 0; // Esc puts it back
        int dropIndex = -1;   // visible index of the column the drop goes next to
        bool dropAfter = false;
        std::int64_t lastDropRepaint = 0;
        Common::FieldId hot = Common::FIELD_NONE; // the caption under the pointer
    };

    void End(bool restoreWidth, CPoint pointer, bool leftDown);
    CColumn* EdgeColumn(int x);
    CColumn* ColumnAt(int x);
    bool MayMove(CColumn* column);
    void Repaint();
    void SetHot(Common::FieldId field);
    void TrackHot(CPoint point);
    void ShowDragImage(CColumn* column, CPoint point);
    void MoveDragImage(CPoint point);
    void HideDragImage();
    void UpdateDrop(CPoint point);

    IHeaderMouseHost& m_host;
    State m_state;
    QCursor m_resizeCursor;
    bool m_resizeCursorShown = false;
    QPointer<QLabel> m_dragImage;
    CPoint m_dragHotSpot;
};

} // namespace Kestrum::GUI
