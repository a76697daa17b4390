// The grid's input numbers at the widget boundary. Qt key events become the
// design's virtual-key numbers and key flags, Qt buttons and modifiers become
// the mouse messages' flag bits, so key managers, input hooks and tests speak
// those numbers and never see a Qt key code.
//
// Key states "at the time of the call" (IsKeyDown) are those of the input
// event the grid is handling (CInputStateScope), else Qt's last known state.
// GUI thread only.
#pragma once

#include "gui/platform/Export.h"

#include <QtCore/qnamespace.h>
#include <cstdint>

class QKeyEvent;
class QMouseEvent;

namespace Kestrum::GUI {

enum VirtualKey : int {
    KeyLeftButton = 1,
    KeyRightButton = 2,
    KeyMiddleButton = 4,
    KeyBackspace = 8,
    KeyTab = 9,
    KeyClear = 12,
    KeyEnter = 13,
    KeyShift = 16,
    KeyControl = 17,
    KeyAlt = 18,
    KeyPause = 19,
    KeyCapsLock = 20,
    KeyEscape = 27,
    KeySpace = 32,
    KeyPageUp = 33,
    KeyPageDown = 34,
    KeyEnd = 35,
    KeyHome = 36,
    KeyLeft = 37,
    KeyUp = 38,
    KeyRight = 39,
    KeyDown = 40,
    KeyPrint = 44,
    KeyInsert = 45,
    KeyDelete = 46,
    Key0 = 48, // '0' to '9': 48 to 57
    Key9 = 57,
    KeyA = 65, // 'A' to 'Z': 65 to 90
    KeyC = 67,
    KeyV = 86,
    KeyX = 88,
    KeyZ = 90,
    KeyApplications = 93,
    KeyNumpad0 = 96, // keypad digits: 96 to 105
    KeyNumpad9 = 105,
    KeyMultiply = 106,
    KeyAdd = 107,
    KeySubtract = 109,
    KeyDecimal = 110,
    KeyDivide = 111,
    KeyF1 = 112, // F1 to F24: 112 to 135
    KeyF24 = 135,
    KeyNumLock = 144,
    KeyScrollLock = 145,
};

// Bits of the key flags (the high word of the original key data).
enum KeyFlag : std::uint32_t {
    KeyFlagScanCode = 0x00FF,
    KeyFlagExtended = 0x0100, // navigation keys outside the keypad, keypad Enter
    KeyFlagAltDown = 0x2000,
    KeyFlagRepeated = 0x4000, // the key was down already (auto-repeat)
    KeyFlagReleased = 0x8000,
};

// Bits of the mouse messages' flags.
enum MouseFlag : std::uint32_t {
    MouseLeftButton = 0x01,
    MouseRightButton = 0x02,
    MouseShift = 0x04,
    MouseControl = 0x08,
    MouseMiddleButton = 0x10,
};

// The virtual key of a Qt key event, 0 for a key without one. Punctuation
// follows the US layout, as the original numbers do.
KESTRUM_GUI_EXPORT int VirtualKeyOf(const QKeyEvent& event);
KESTRUM_GUI_EXPORT std::uint32_t KeyFlagsOf(const QKeyEvent& event);
// The repeat count of a key message (at least 1).
KESTRUM_GUI_EXPORT int RepeatCountOf(const QKeyEvent& event);
KESTRUM_GUI_EXPORT std::uint32_t MouseFlagsOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

// Whether Shift, Ctrl, Alt or a mouse button (KeyLeftButton …) is down now.
KESTRUM_GUI_EXPORT bool IsKeyDown(int virtualKey);

// While alive, IsKeyDown answers from this event's modifiers and buttons
// (scopes nest; the innermost wins).
class KESTRUM_GUI_EXPORT CInputStateScope {
public:
    CInputStateScope(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
    ~CInputStateScope();
    CInputStateScope(const CInputStateScope&) = delete;
    CInputStateScope& operator=(const CInputStateScope&) = delete;

private:
    const CInputStateScope* m_outer;
    Qt::KeyboardModifiers m_modifiers;
    Qt::MouseButtons m_buttons;
    friend bool IsKeyDown(int virtualKey);
};

} // namespace Kestrum::GUI
