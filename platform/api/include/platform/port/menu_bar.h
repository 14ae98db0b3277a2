// The menu bar worked from the keys and the pads, which the port adds to the
// mouse. Alt pressed alone or F10 opens the first pop-up of the window's menu
// bar with its first item chosen (the window back-end sees those keys
// itself); the arrows then move between the items and the pop-ups, Enter
// chooses, and Esc, Alt or F10 closes. Esc closes a pop-up the mouse opened
// too, and does nothing else. Items are chosen as with the mouse: WM_COMMAND.
#pragma once

#include <span>

#include "platform/win.h"

// The keys that open the menu bar and close it again: F10 as it goes down,
// Alt when it is let go with no other key pressed since it went down.
struct MenuBarKey {
    UINT virtualKey;
    bool alone;  // counts when let go alone
};
std::span<const MenuBarKey> MenuBarKeys();
// Whether a key going down (or, with `letGoAlone`, let go alone) is one of them.
bool IsMenuBarKey(UINT virtualKey, bool letGoAlone);

// Opens the menu bar of a top-level window as Alt does; for a pad's Start.
// FALSE when the window has no menu bar that can open now (a modal dialog
// is open over it).
BOOL OpenMenuBarForKeys(HWND window);
// Whether a pop-up of the window's menu bar is open, by the mouse, the keys or a pad.
BOOL IsMenuBarOpen(HWND window);
