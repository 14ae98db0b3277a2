#include "app/window_keys.h"

#include <cstdint>

#include "resources/resource.h"

namespace {

constexpr WindowKey kWindowKeys[] = {
    {VK_F11, 0, IDM_FULLSCREEN},
    {VK_RETURN, FALT, IDM_FULLSCREEN},
};

// Bits of a key message's lParam.
constexpr std::uintptr_t kAltDown = std::uintptr_t(1) << 29;
constexpr std::uintptr_t kWasDown = std::uintptr_t(1) << 30;

}  // namespace

std::span<const WindowKey> WindowKeys() { return kWindowKeys; }

UINT WindowKeyCommand(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_KEYDOWN && message != WM_SYSKEYDOWN) return 0;
    const auto bits = static_cast<std::uintptr_t>(lParam);
    if (bits & kWasDown) return 0;
    const bool alt = message == WM_SYSKEYDOWN && (bits & kAltDown);
    for (const WindowKey& key : kWindowKeys)
        if (key.virtualKey == wParam && (!(key.modifiers & FALT) || alt)) return key.command;
    return 0;
}
