// The lock keys' state through XKB on X11. Kept apart: the X11 headers
// define macros (None, Bool, Status) that clash with Qt's.
#include <QGuiApplication>

#include "app/Application.h"

#if defined(VELMORA_HAVE_XKB) && QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#define VELMORA_XKB 1
#endif

namespace Velmora {

std::optional<LockKeyState> ReadLockKeys()
{
#ifdef VELMORA_XKB
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    // Indicators are asked for by name: their indexes differ between keymaps.
    static Display* atomsOf = nullptr;
    static Atom names[3] = {};
    if (atomsOf != display) {
        names[0] = XInternAtom(display, "Caps Lock", False);
        names[1] = XInternAtom(display, "Num Lock", False);
        names[2] = XInternAtom(display, "Scroll Lock", False);
        atomsOf = display;
    }
    bool on[3] = {};
    bool known = false;
    for (int i = 0; i < 3; ++i) {
        int index = 0;
        Bool state = False;
        if (XkbGetNamedIndicator(display, names[i], &index, &state, nullptr, nullptr)) {
            on[i] = state != False;
            known = true;
        }
    }
    if (!known)
        return std::nullopt;
    return LockKeyState{on[0], on[1], on[2]};
#else
    return std::nullopt;
#endif
}

} // namespace Velmora
