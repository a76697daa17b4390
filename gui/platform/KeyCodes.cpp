#include "gui/platform/KeyCodes.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace Kestrum::GUI {

namespace {
const CInputStateScope* s_innermost = nullptr; // GUI thread only

bool IsNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Insert:
    case Qt::Key_Delete: return true;
    default: return false;
    }
}

int KeypadKey(int key)
{
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return KeyNumpad0 + (key - Qt::Key_0);
    switch (key) {
    case Qt::Key_Asterisk: return KeyMultiply;
    case Qt::Key_Plus: return KeyAdd;
    case Qt::Key_Minus: return KeySubtract;
    case Qt::Key_Period:
    case Qt::Key_Comma: return KeyDecimal;
    case Qt::Key_Slash: return KeyDivide;
    default: return 0;
    }
}
} // namespace

int VirtualKeyOf(const QKeyEvent& event)
{
    const int key = event.key();
    if (event.modifiers() & Qt::KeypadModifier) {
        if (const int keypad = KeypadKey(key))
            return keypad;
    }
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return key; // Qt's codes of digits and letters are the same numbers
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return KeyF1 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace: return KeyBackspace;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return KeyTab;
    case Qt::Key_Clear: return KeyClear;
    case Qt::Key_Return:
    case Qt::Key_Enter: return KeyEnter;
    case Qt::Key_Shift: return KeyShift;
    case Qt::Key_Control: return KeyControl;
    case Qt::Key_Alt: return KeyAlt;
    case Qt::Key_Pause: return KeyPause;
    case Qt::Key_CapsLock: return KeyCapsLock;
    case Qt::Key_Escape: return KeyEscape;
    case Qt::Key_Space: return KeySpace;
    case Qt::Key_PageUp: return KeyPageUp;
    case Qt::Key_PageDown: return KeyPageDown;
    case Qt::Key_End: return KeyEnd;
    case Qt::Key_Home: return KeyHome;
    case Qt::Key_Left: return KeyLeft;
    case Qt::Key_Up: return KeyUp;
    case Qt::Key_Right: return KeyRight;
    case Qt::Key_Down: return KeyDown;
    case Qt::Key_Print: return KeyPrint;
    case Qt::Key_Insert: return KeyInsert;
    case Qt::Key_Delete: return KeyDelete;
    case Qt::Key_Menu: return KeyApplications;
    case Qt::Key_NumLock: return KeyNumLock;
    case Qt::Key_ScrollLock: return KeyScrollLock;
    // Shifted digits name their digit's key.
    case Qt::Key_ParenRight: return Key0;
    case Qt::Key_Exclam: return Key0 + 1;
    case Qt::Key_At: return Key0 + 2;
    case Qt::Key_NumberSign: return Key0 + 3;
    case Qt::Key_Dollar: return Key0 + 4;
    case Qt::Key_Percent: return Key0 + 5;
    case Qt::Key_AsciiCircum: return Key0 + 6;
    case Qt::Key_Ampersand: return Key0 + 7;
    case Qt::Key_Asterisk: return Key0 + 8;
    case Qt::Key_ParenLeft: return Key0 + 9;
    // The punctuation keys, unshifted and shifted.
    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return 186;
    case Qt::Key_Equal:
    case Qt::Key_Plus: return 187;
    case Qt::Key_Comma:
    case Qt::Key_Less: return 188;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return 189;
    case Qt::Key_Period:
    case Qt::Key_Greater: return 190;
    case Qt::Key_Slash:
    case Qt::Key_Question: return 191;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return 192;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return 219;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return 220;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return 221;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl: return 222;
    default: return 0;
    }
}

std::uint32_t KeyFlagsOf(const QKeyEvent& event)
{
    std::uint32_t flags = event.nativeScanCode() & KeyFlagScanCode;
    const bool keypad = (event.modifiers() & Qt::KeypadModifier) != 0;
    if ((IsNavigationKey(event.key()) && !keypad) || (event.key() == Qt::Key_Enter && keypad))
        flags |= KeyFlagExtended;
    if (event.modifiers() & Qt::AltModifier)
        flags |= KeyFlagAltDown;
    if (event.isAutoRepeat())
        flags |= KeyFlagRepeated;
    if (event.type() == QEvent::KeyRelease)
        flags |= KeyFlagReleased;
    return flags;
}

int RepeatCountOf(const QKeyEvent& event) { return std::max(1, event.count()); }

std::uint32_t MouseFlagsOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    std::uint32_t flags = 0;
    if (buttons & Qt::LeftButton)
        flags |= MouseLeftButton;
    if (buttons & Qt::RightButton)
        flags |= MouseRightButton;
    if (buttons & Qt::MiddleButton)
        flags |= MouseMiddleButton;
    if (modifiers & Qt::ShiftModifier)
        flags |= MouseShift;
    if (modifiers & Qt::ControlModifier)
        flags |= MouseControl;
    return flags;
}

bool IsKeyDown(int virtualKey)
{
    const Qt::KeyboardModifiers modifiers = s_innermost ? s_innermost->m_modifiers : QGuiApplication::keyboardModifiers();
    const Qt::MouseButtons buttons = s_innermost ? s_innermost->m_buttons : QGuiApplication::mouseButtons();
    switch (virtualKey) {
    case KeyShift: return (modifiers & Qt::ShiftModifier) != 0;
    case KeyControl: return (modifiers & Qt::ControlModifier) != 0;
    case KeyAlt: return (modifiers & Qt::AltModifier) != 0;
    case KeyLeftButton: return (buttons & Qt::LeftButton) != 0;
    case KeyRightButton: return (buttons & Qt::RightButton) != 0;
    case KeyMiddleButton: return (buttons & Qt::MiddleButton) != 0;
    default: return false;
    }
}

CInputStateScope::CInputStateScope(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons)
    : m_outer(s_innermost), m_modifiers(modifiers), m_buttons(buttons)
{
    s_innermost = this;
}

CInputStateScope::~CInputStateScope() { s_innermost = m_outer; }

} // namespace Kestrum::GUI
