// Plain rectangles and points in pixels, with the design's edge semantics:
// right and bottom are one past the last pixel.
#pragma once

#include "gui/platform/Export.h"

#include <algorithm>
#include <cstdint>

namespace Kestrum::GUI {

// Colours are 0x00BBGGRR everywhere in the API and in stored records.
using Color = std::uint32_t;
constexpr Color MakeColor(int red, int green, int blue) noexcept
{
    return static_cast<Color>((red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16);
}

struct KESTRUM_GRIDCORE_EXPORT CPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const CPoint&, const CPoint&) = default;
};

struct KESTRUM_GRIDCORE_EXPORT CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const noexcept { return right - left; }
    int Height() const noexcept { return bottom - top; }
    bool IsEmpty() const noexcept { return right <= left || bottom <= top; }
    bool Contains(CPoint point) const noexcept
    {
        return point.x >= left && point.x < right && point.y >= top && point.y < bottom;
    }
    CRect Intersected(const CRect& other) const noexcept
    {
        return {std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                std::min(bottom, other.bottom)};
    }
    friend bool operator==(const CRect&, const CRect&) = default;
};

} // namespace Kestrum::GUI
