// A grid clock that moves only when the test says so: delays, fading and
// time-outs are tested without waiting. One at a time; the steady clock comes
// back when it goes.
#pragma once

#include <atomic>
#include <cstdint>

#include "gui/grid/GridClock.h"

namespace Kestrum::Test {

class CFakeGridClock {
public:
    CFakeGridClock()
    {
        s_now = Kestrum::GUI::GridClockNow();
        Kestrum::GUI::SetGridClockSource(&Read);
    }
    ~CFakeGridClock() { Kestrum::GUI::SetGridClockSource(nullptr); }
    CFakeGridClock(const CFakeGridClock&) = delete;
    CFakeGridClock& operator=(const CFakeGridClock&) = delete;

    void Advance(std::int64_t milliseconds) { s_now += milliseconds; }
    std::int64_t Now() const { return s_now; }

private:
    static std::int64_t Read() { return s_now; }
    static inline std::atomic<std::int64_t> s_now{0};
};

} // namespace Kestrum::Test
