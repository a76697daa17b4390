// CDragStart: a press on a row that may be dragged (the transfer's
// MayStartDrag) waits here. Once the pointer has moved the platform's drag
// distance with the button held the drag of the rows runs (the transfer's
// RunDrag); a release without that move hands the press back, to be applied
// as an ordinary click with the press's keys.
//
// Owned by the input controller; reaches the grid through IInputHost only.
// GUI thread only.
#pragma once

#include <cstdint>

#include "gui/platform/Geometry.h"

namespace Kestrum::GUI {

class CGridItem;
class IInputHost;

class CDragStart {
public:
    struct Press {
        CPoint point;
        std::uint32_t flags = 0;
        CGridItem* item = nullptr; // validated again before use
        int area = 0;
    };

    explicit CDragStart(IInputHost& host) : m_host(host) {}

    // True when the press waits for a drag.
    bool Arm(const Press& press);
    bool IsArmed() const noexcept { return m_armed; }
    // The pointer has gone the drag distance from the press.
    bool Reached(CPoint point) const;
    // The press, no longer waiting.
    Press Take();
    void Cancel() noexcept { m_armed = false; }
    // Runs the drag of the press taken; false when the grid went meanwhile.
    bool Run(const Press& press);

private:
    IInputHost& m_host;
    bool m_armed = false;
    Press m_press;
};

} // namespace Kestrum::GUI
