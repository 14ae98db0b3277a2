#include "platform/port/window_mode.h"

#include "platform/core/win_core.h"

BOOL SetWindowFullScreen(HWND window, BOOL fullScreen) {
    WindowObject* w = WindowOf(window);
    if (!w || w->kind != WindowObject::Kind::TopLevel) return FALSE;
    const bool on = fullScreen != FALSE;
    if (w->fullScreen == on) return TRUE;
    if (!Backend().SetFullScreen(*w, on)) return FALSE;
    // The back-end may have sent WM_SIZE, whose handler may have closed the window.
    if (WindowOf(window)) w->fullScreen = on;
    ++State().activity;
    return TRUE;
}

BOOL IsWindowFullScreen(HWND window) {
    WindowObject* w = WindowOf(window);
    return w && w->fullScreen ? TRUE : FALSE;
}
