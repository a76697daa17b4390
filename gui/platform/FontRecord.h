// The stored font record: the 60-byte logical-font layout (five int32:
// height, width, escapement, orientation, weight; eight bytes: italic,
// underline, strike-out, charset, output precision, clip precision, quality,
// pitch and family; a 32-byte face name). A negative height is the
// character height in pixels. QtFont.h converts it to and from QFont.
#pragma once

#include "gui/platform/Export.h"

#include <array>
#include <cstdint>

namespace Kestrum::GUI {

class CArchive;

struct KESTRUM_GRIDCORE_EXPORT FontRecord {
    std::int32_t height = 0;
    std::int32_t width = 0;
    std::int32_t escapement = 0;
    std::int32_t orientation = 0;
    std::int32_t weight = 400;
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strikeOut = 0;
    std::uint8_t charset = 0;
    std::uint8_t outPrecision = 0;
    std::uint8_t clipPrecision = 0;
    std::uint8_t quality = 0;
    std::uint8_t pitchAndFamily = 0;
    std::array<char, 32> faceName{};

    static constexpr std::size_t kSize = 60;
    void Write(CArchive& archive) const;
    static FontRecord Read(CArchive& archive);
    friend bool operator==(const FontRecord&, const FontRecord&) = default;
};

} // namespace Kestrum::GUI
