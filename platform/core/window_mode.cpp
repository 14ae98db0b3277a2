#include "platform/port/window_mode.h"

#include "platform/port/menu_bar.h"

#include "platform/core/win_core.h"

BOOL SetWindowFullScreen(HWND window, BOOL fullScreen) {
    WindowObject* w = WindowOf(window);
    if (!w || w->kind != WindowObject::Kind::TopLevel) return FALSE;
    const bool on = fullScreen != FALSE;
    if (w->fullScreen == on) return TRUE;
    // Set first: the client area the back-end reports depends on it (a
    // window in full screen has no menu bar of its own height).
    w->fullScreen = on;
    if (!Backend().SetFullScreen(*w, on)) {
        w->fullScreen = !on;
        return FALSE;
    }
    ++State().activity;
    return TRUE;
}

BOOL IsWindowFullScreen(HWND window) {
    WindowObject* w = WindowOf(window);
    return w && w->fullScreen ? TRUE : FALSE;
}

BOOL OpenMenuBarForKeys(HWND window) {
    WindowObject* w = WindowOf(window);
    if (!w || w->kind != WindowObject::Kind::TopLevel || !w->menu || w->disabledCount > 0) return FALSE;
    return Backend().OpenMenuBar(*w) ? TRUE : FALSE;
}

BOOL IsMenuBarOpen(HWND window) {
    WindowObject* w = WindowOf(window);
    return w && w->kind == WindowObject::Kind::TopLevel && w->menu && Backend().MenuBarOpen() ? TRUE : FALSE;
}

namespace {
constexpr MenuBarKey kMenuBarKeys[] = {{VK_F10, false}, {VK_MENU, true}};
}  // namespace

std::span<const MenuBarKey> MenuBarKeys() { return kMenuBarKeys; }

bool IsMenuBarKey(UINT virtualKey, bool letGoAlone) {
    for (const MenuBarKey& key : kMenuBarKeys)
        if (key.virtualKey == virtualKey && key.alone == letGoAlone) return true;
    return false;
}
