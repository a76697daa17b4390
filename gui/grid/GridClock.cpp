#include "gui/grid/GridClock.h"

#include <atomic>
#include <chrono>

namespace Kestrum::GUI {

namespace {
std::atomic<GridClockSource> s_source{nullptr};

std::int64_t SteadyMilliseconds()
{
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}
} // namespace

std::int64_t GridClockNow()
{
    const GridClockSource source = s_source.load(std::memory_order_acquire);
    return source ? source() : SteadyMilliseconds();
}

void SetGridClockSource(GridClockSource source) { s_source.store(source, std::memory_order_release); }

} // namespace Kestrum::GUI
