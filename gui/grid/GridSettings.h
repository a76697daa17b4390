// Settings records the grid keeps and stores in its archive for the editing,
// transfer (copy, cut, paste, drag and drop) and tooltip parts.
#pragma once

#include "gui/platform/Export.h"

#include <array>
#include <cstdint>

#include "gui/platform/Geometry.h"

namespace Kestrum::GUI {

class CArchive;

struct KESTRUM_GRIDCORE_EXPORT TransferPolicy {
    std::array<std::uint8_t, 11> flags{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0};
    std::int32_t pastePosition = 3;
    std::int32_t scrollAfterPaste = 3;
    std::int32_t focusAfterPaste = 3;
    void Serialize(CArchive& archive);
    friend bool operator==(const TransferPolicy&, const TransferPolicy&) = default;
};

struct KESTRUM_GRIDCORE_EXPORT DragDropSettings {
    std::array<std::uint8_t, 15> switches{1, 1, 1, 1, 1, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0};
    Color dropMarker = MakeColor(32, 128, 223);
    void Serialize(CArchive& archive); // 20 bytes, no version
    friend bool operator==(const DragDropSettings&, const DragDropSettings&) = default;
};

struct KESTRUM_GRIDCORE_EXPORT EditSettings {
    std::uint8_t enabled = 1;
    std::int32_t startMode = 1;
    std::uint8_t clickOnButton = 1;
    Color hotFrameColor = MakeColor(128, 128, 128);
    std::uint8_t hotFrame = 1;
    std::uint8_t decoration = 1;
    std::uint8_t secondDecoration = 0;
    std::uint8_t navigateOnExit = 1;
    void Serialize(CArchive& archive);
    friend bool operator==(const EditSettings&, const EditSettings&) = default;
};
// Copied in and out whole: twenty bytes (the stored form has no padding).
static_assert(sizeof(EditSettings) == 20);

// One per kind of tooltip. The grid replaces the colours below with its
// palette's (gui/tooltip/TooltipCtrl.h, DefaultTooltipSettings) when it is
// made; these are what a record starts with where there is no palette.
struct KESTRUM_GRIDCORE_EXPORT TooltipSettings {
    Color background = MakeColor(255, 255, 225);
    Color text = MakeColor(0, 0, 0);
    Color border = MakeColor(180, 180, 180);
    std::int32_t hoverDelay = 500;
    std::int32_t displayTime = 10000;
    std::int32_t offsetX = 0;
    std::int32_t offsetY = 0;
    std::int32_t marginX = 1;
    std::int32_t marginY = 1;
    std::int32_t position = 0;
    std::int32_t hoverMode = 1;
    void Serialize(CArchive& archive); // version 1, then the eleven fields
    friend bool operator==(const TooltipSettings&, const TooltipSettings&) = default;
};

} // namespace Kestrum::GUI
