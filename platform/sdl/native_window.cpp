#include "platform/sdl/native_window.h"

#include "platform/core/lasting.h"

#include <map>

#include "platform/sdl/ui_imgui.h"

namespace {
std::map<HWND, SDL_Window*>& Windows() {
    static Lasting<std::map<HWND, SDL_Window*>> windows;
    return *windows;
}
}  // namespace

void RegisterNativeWindow(HWND window, SDL_Window* native) { Windows()[window] = native; }
void UnregisterNativeWindow(HWND window) { Windows().erase(window); }
SDL_Window* NativeWindowOf(HWND window) {
    auto it = Windows().find(window);
    return it == Windows().end() ? nullptr : it->second;
}
void DrawWindowOverlay(HWND window) { UiDrawOverlay(window); }
