#include "gui/input/UserInputHelper.h"

namespace Kestrum::GUI {

bool CUserInputHelper::Dispatch(const InputMessage& message, std::intptr_t* result)
{
    if (result)
        *result = 0;
    const std::uint32_t flags = message.flags;
    const int x = message.x, y = message.y;
    switch (message.kind) {
    case InputMouseMove: return OnMouseMove(flags, x, y);
    case InputLeftDown: return OnLeftButtonDown(flags, x, y);
    case InputLeftUp: return OnLeftButtonUp(flags, x, y);
    case InputLeftDoubleClick: return OnLeftButtonDoubleClick(flags, x, y);
    case InputRightDown: return OnRightButtonDown(flags, x, y);
    case InputRightUp: return OnRightButtonUp(flags, x, y);
    case InputRightDoubleClick: return OnRightButtonDoubleClick(flags, x, y);
    case InputMiddleDown: return OnMiddleButtonDown(flags, x, y);
    case InputMiddleUp: return OnMiddleButtonUp(flags, x, y);
    case InputMiddleDoubleClick: return OnMiddleButtonDoubleClick(flags, x, y);
    case InputCaptureLost: return OnCaptureLost(message.window);
    case InputSetCursor: return OnSetCursor(message.window, message.hitTest, message.mouseMessage);
    case InputMouseLeave: return OnMouseLeave();
    case InputMouseHover: return OnMouseHover(flags, x, y);
    case InputKeyDown: return OnKeyDown(message.key, message.repeat, flags);
    case InputKeyUp: return OnKeyUp(message.key, message.repeat, flags);
    case InputChar: return OnChar(message.key, message.repeat, flags);
    case InputDeadChar: return OnDeadChar(message.key, message.repeat, flags);
    case InputSystemKeyDown: return OnSystemKeyDown(message.key, message.repeat, flags);
    case InputSystemKeyUp: return OnSystemKeyUp(message.key, message.repeat, flags);
    case InputSystemChar: return OnSystemChar(message.key, message.repeat, flags);
    case InputSystemDeadChar: return OnSystemDeadChar(message.key, message.repeat, flags);
    case InputSize: return OnSize(message.type, message.width, message.height);
    case InputHorizontalScroll: return OnHorizontalScroll(message.code, message.position, message.window);
    case InputVerticalScroll: return OnVerticalScroll(message.code, message.position, message.window);
    default: return false;
    }
}

bool CUserInputHelper::OnMouseMove(std::uint32_t, int, int) { return false; }
bool CUserInputHelper::OnLeftButtonDown(std::uint32_t, int, int) { return false; }
bool CUserInputHelper::OnLeftButtonUp(std::uint32_t, int, int) { return false; }
bool CUserInputHelper::OnLeftButtonDoubleClick(std::uint32_t, int, int) { return false; }
bool CUserInputHelper::OnRightButtonDown(std::uint32_t, int, int) { return false; }
bool CUserInputHelper::OnRightButtonUp(std::uint32_t, int, int) { return false; }
bool CUserInputHelper::OnRightButtonDoubleClick(std::uint32_t, int, int) { return false; }
bool CUserInputHelper::OnMiddleButtonDown(std::uint32_t, int, int) { return false; }
bool CUserInputHelper::OnMiddleButtonUp(std::uint32_t, int, int) { return false; }
bool CUserInputHelper::OnMiddleButtonDoubleClick(std::uint32_t, int, int) { return false; }
bool CUserInputHelper::OnCaptureLost(void*) { return false; }
bool CUserInputHelper::OnSetCursor(void*, int, int) { return false; }
bool CUserInputHelper::OnMouseLeave() { return false; }
bool CUserInputHelper::OnMouseHover(std::uint32_t, int, int) { return false; }
bool CUserInputHelper::OnKeyDown(int, int, std::uint32_t) { return false; }
bool CUserInputHelper::OnKeyUp(int, int, std::uint32_t) { return false; }
bool CUserInputHelper::OnChar(int, int, std::uint32_t) { return false; }
bool CUserInputHelper::OnDeadChar(int, int, std::uint32_t) { return false; }
bool CUserInputHelper::OnSystemKeyDown(int, int, std::uint32_t) { return false; }
bool CUserInputHelper::OnSystemKeyUp(int, int, std::uint32_t) { return false; }
bool CUserInputHelper::OnSystemChar(int, int, std::uint32_t) { return false; }
bool CUserInputHelper::OnSystemDeadChar(int, int, std::uint32_t) { return false; }
bool CUserInputHelper::OnSize(int, int, int) { return false; }
bool CUserInputHelper::OnHorizontalScroll(int, int, void*) { return false; }
bool CUserInputHelper::OnVerticalScroll(int, int, void*) { return false; }

} // namespace Kestrum::GUI
