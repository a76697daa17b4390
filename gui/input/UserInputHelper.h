// CUserInputHelper: a table of input hooks, one per kind of input message.
// Dispatch hands a message to its hook and answers whether the hook handled
// it; every hook here answers false, so a derived class overrides just the
// hooks it handles (the grid's input controller overrides eight). No Qt: the
// widget turns its events into InputMessage records at its boundary
// (gui/platform/KeyCodes.h names the numbers).
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>

namespace Kestrum::GUI {

// The kinds of input message, numbered as the hook slots.
enum InputMessageKind : int {
    InputMouseMove = 1,
    InputLeftDown = 2,
    InputLeftUp = 3,
    InputLeftDoubleClick = 4,
    InputRightDown = 5,
    InputRightUp = 6,
    InputRightDoubleClick = 7,
    InputMiddleDown = 8,
    InputMiddleUp = 9,
    InputMiddleDoubleClick = 10,
    InputCaptureLost = 11,
    InputSetCursor = 12,
    InputMouseLeave = 13,
    InputMouseHover = 14,
    InputKeyDown = 15,
    InputKeyUp = 16,
    InputChar = 17,
    InputDeadChar = 18,
    InputSystemKeyDown = 19,
    InputSystemKeyUp = 20,
    InputSystemChar = 21,
    InputSystemDeadChar = 22,
    InputSize = 23,
    InputHorizontalScroll = 24,
    InputVerticalScroll = 25,
};

// One input message. Which fields count depends on the kind:
//   mouse messages, hover: flags (MouseFlag bits), x, y (client, 16-bit)
//   capture lost: window (the one that takes the capture, may be null)
//   set cursor: window, hitTest, mouseMessage
//   key and character messages: key (virtual key or character), repeat,
//                               flags (KeyFlag bits)
//   size: type, width, height
//   scroll: code, position, window (the scroll bar, may be null)
struct KESTRUM_GRIDCORE_EXPORT InputMessage {
    int kind = 0;
    std::uint32_t flags = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    int key = 0;
    int repeat = 1;
    void* window = nullptr;
    int hitTest = 0;
    int mouseMessage = 0;
    int type = 0;
    int width = 0;
    int height = 0;
    int code = 0;
    int position = 0;
};

class KESTRUM_GRIDCORE_EXPORT CUserInputHelper {
public:
    virtual ~CUserInputHelper() = default;

    // 0: calls the message's hook; `result` (may be null) receives the
    // message's result value, 0 unless a hook sets it.
    virtual bool Dispatch(const InputMessage& message, std::intptr_t* result);

    // 1-14: mouse, capture, cursor, leave and hover.
    virtual bool OnMouseMove(std::uint32_t flags, int x, int y);
    virtual bool OnLeftButtonDown(std::uint32_t flags, int x, int y);
    virtual bool OnLeftButtonUp(std::uint32_t flags, int x, int y);
    virtual bool OnLeftButtonDoubleClick(std::uint32_t flags, int x, int y);
    virtual bool OnRightButtonDown(std::uint32_t flags, int x, int y);
    virtual bool OnRightButtonUp(std::uint32_t flags, int x, int y);
    virtual bool OnRightButtonDoubleClick(std::uint32_t flags, int x, int y);
    virtual bool OnMiddleButtonDown(std::uint32_t flags, int x, int y);
    virtual bool OnMiddleButtonUp(std::uint32_t flags, int x, int y);
    virtual bool OnMiddleButtonDoubleClick(std::uint32_t flags, int x, int y);
    virtual bool OnCaptureLost(void* window);
    virtual bool OnSetCursor(void* window, int hitTest, int mouseMessage);
    virtual bool OnMouseLeave();
    virtual bool OnMouseHover(std::uint32_t flags, int x, int y);
    // 15-22: keys and characters.
    virtual bool OnKeyDown(int virtualKey, int repeat, std::uint32_t flags);
    virtual bool OnKeyUp(int virtualKey, int repeat, std::uint32_t flags);
    virtual bool OnChar(int character, int repeat, std::uint32_t flags);
    virtual bool OnDeadChar(int character, int repeat, std::uint32_t flags);
    virtual bool OnSystemKeyDown(int virtualKey, int repeat, std::uint32_t flags);
    virtual bool OnSystemKeyUp(int virtualKey, int repeat, std::uint32_t flags);
    virtual bool OnSystemChar(int character, int repeat, std::uint32_t flags);
    virtual bool OnSystemDeadChar(int character, int repeat, std::uint32_t flags);
    // 23-25: size and scroll bars.
    virtual bool OnSize(int type, int width, int height);
    virtual bool OnHorizontalScroll(int code, int position, void* scrollBar);
    virtual bool OnVerticalScroll(int code, int position, void* scrollBar);
};

} // namespace Kestrum::GUI
