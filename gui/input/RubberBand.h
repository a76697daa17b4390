// CRubberBand: the selection rectangle. A press on the body starts it; while
// the left button is held it follows the pointer and selects the rows it
// covers through the selection model (only the rows whose state changes
// are touched), and with the pointer outside both areas it scrolls the
// scrollable area through the grid's auto-scroll timer, one row a tick and
// one more for each row height further out. The anchor is its row's item,
// so rows that move or scroll keep the band on the row pressed.
//
// Owned by the input controller; reaches the grid through IInputHost only.
// GUI thread only.
#pragma once

#include "gui/grid/AutoScroll.h"
#include "gui/platform/Geometry.h"

namespace Kestrum::GUI {

class CGridItem;
class IInputHost;

class CRubberBand final : public IAutoScrollClient {
public:
    explicit CRubberBand(IInputHost& host) : m_host(host) {}
    ~CRubberBand();
    CRubberBand(const CRubberBand&) = delete;
    CRubberBand& operator=(const CRubberBand&) = delete;

    // Pressed on the body, not yet released.
    bool IsActive() const noexcept { return m_mode == 1; }
    // Active, and the grid lets its area be multi-selected.
    bool Applies();
    // `item` is the row pressed (null below the last row).
    void Start(int area, CPoint point, CGridItem* item, int row);
    // The press selected its own row: the band covers it already.
    void NoteSelected(int row);
    // The pointer moved with the left button down.
    void Move(CPoint point);
    // Repaints where the band was and forgets it.
    void End();
    // Forgets it without repainting (a modifier click, a drag, a reset).
    void Forget();
    void StopScrolling();
    // In viewport coordinates, the anchor where its row is now.
    CRect Rect();

    void OnAutoScroll() override;

private:
    int AnchorRow();
    int RowAtY(int area, int y);
    void Update(CPoint point);

    IInputHost& m_host;
    int m_mode = 0; // 1: the button was pressed on the body
    int m_area = 0;
    CPoint m_anchor;
    CPoint m_current;
    CPoint m_pointer;                  // where the auto-scroll scrolls towards
    CGridItem* m_anchorItem = nullptr; // null: pressed below the last row
    int m_anchorOffset = 0;            // of the press within the anchor row
    int m_first = -1, m_last = -1;     // rows the band has selected
};

} // namespace Kestrum::GUI
