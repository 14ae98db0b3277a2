#include "platform/native_window.h"

#include "platform/lasting.h"

#include <map>

namespace {
std::map<HWND, SDL_Window*>& Windows() {
    static Lasting<std::map<HWND, SDL_Window*>> windows;
    return *windows;
}
PresentOverlay overlay = nullptr;
}  // namespace

void RegisterNativeWindow(HWND window, SDL_Window* native) { Windows()[window] = native; }
void UnregisterNativeWindow(HWND window) { Windows().erase(window); }
SDL_Window* NativeWindowOf(HWND window) {
    auto it = Windows().find(window);
    return it == Windows().end() ? nullptr : it->second;
}
void SetPresentOverlay(PresentOverlay o) { overlay = o; }
PresentOverlay CurrentPresentOverlay() { return overlay; }
