#pragma once

// Marks what kestrum_gridcore and kestrum_gui export from their shared
// libraries; everything else is built with hidden visibility. No Qt here:
// kestrum_gridcore's headers include it too.
#if defined(__GNUC__) || defined(__clang__)
#define KESTRUM_GRIDCORE_EXPORT __attribute__((visibility("default")))
#define KESTRUM_GUI_EXPORT __attribute__((visibility("default")))
#else
#define KESTRUM_GRIDCORE_EXPORT
#define KESTRUM_GUI_EXPORT
#endif
