#include "platform/sdl/window_mode_sdl.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "platform/core/lasting.h"

namespace {

// A window in full screen made by hand, and where it was before.
struct HandMade {
    int x = 0, y = 0, width = 0, height = 0;
};

std::map<SDL_Window*, HandMade>& HandMadeWindows() {
    static Lasting<std::map<SDL_Window*, HandMade>> windows;
    return *windows;
}

// Whether a window manager carries out full screen. SDL's desktop full
// screen asks the window manager for it; on an X server without one (a
// kiosk, a virtual X server) nothing would happen but SDL taking the window
// for full size. Window managers of X announce themselves on the root window
// (_NET_SUPPORTING_WM_CHECK); other video systems always have a compositor.
bool ManagedFullScreen(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
    Display* display = info.info.x11.display;
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const int result = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                          &format, &items, &after, &data);
    const bool found = result == Success && data && items == 1;
    if (data) XFree(data);
    return found;
}

bool Switch(SDL_Window* window, bool fullScreen) {
    auto& handMade = HandMadeWindows();
    auto own = handMade.find(window);
    if (!fullScreen && own != handMade.end()) {
        SDL_SetWindowBordered(window, SDL_TRUE);
        SDL_SetWindowPosition(window, own->second.x, own->second.y);
        SDL_SetWindowSize(window, own->second.width, own->second.height);
        handMade.erase(own);
        return true;
    }
    if (!fullScreen || ManagedFullScreen(window))
        return SDL_SetWindowFullscreen(window, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0;
    // Without a window manager the window covers its screen itself.
    SDL_Rect screen;
    if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &screen) != 0) return false;
    HandMade before;
    SDL_GetWindowPosition(window, &before.x, &before.y);
    SDL_GetWindowSize(window, &before.width, &before.height);
    handMade[window] = before;
    SDL_SetWindowBordered(window, SDL_FALSE);
    SDL_SetWindowPosition(window, screen.x, screen.y);
    SDL_SetWindowSize(window, screen.w, screen.h);
    SDL_RaiseWindow(window);
    return true;
}

}  // namespace

bool SetSdlFullScreen(WindowObject& w, bool fullScreen) {
    auto* window = static_cast<SDL_Window*>(w.native);
    if (!window) return false;
    if (!Switch(window, fullScreen)) {
        std::fprintf(stderr, "Tarvik 3D: Vollbild nicht m\u00f6glich: %s\n", SDL_GetError());
        return false;
    }
    if (w.visible && !w.minimized) {
        int width = 0, height = 0;
        SDL_GL_GetDrawableSize(window, &width, &height);
        SetClientFromDrawable(w, width, height);
        SendSizeMessage(w, w.maximized ? SIZE_MAXIMIZED : SIZE_RESTORED, w.clientWidth, w.clientHeight);
        w.needsPaint = true;
    }
    return true;
}

void ForgetSdlFullScreen(WindowObject& w) { HandMadeWindows().erase(static_cast<SDL_Window*>(w.native)); }

WindowSize FitWindowSize(int width, int height, int areaWidth, int areaHeight) {
    if (width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0) return {width, height};
    if (width <= areaWidth && height <= areaHeight) return {width, height};
    // Rounded down, so that it fits; in 64 bits, so that no product overflows.
    const long long w = width, h = height, aw = areaWidth, ah = areaHeight;
    if (w * ah >= h * aw) return {areaWidth, static_cast<int>(std::max(1LL, h * aw / w))};
    return {static_cast<int>(std::max(1LL, w * ah / h)), areaHeight};
}
