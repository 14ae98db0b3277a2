// The keys the window procedure takes itself, beside accelerator table 103:
// one row each. The window procedure goes by these rows and the test of the
// manual page, the README and --help reads them, so a key added here is one
// the docs must name before the tests pass.
#pragma once

#include <span>

#include "platform/win.h"

struct WindowKey {
    UINT virtualKey;
    // FALT for a key that counts only with Alt held; a key without it counts
    // with or without Alt (Alt+F11 is full screen as F11 is).
    BYTE modifiers;
    // The command it sends, marked as coming from a key as an accelerator's is.
    UINT command;
};

std::span<const WindowKey> WindowKeys();

// The command of a key message (WM_KEYDOWN, or WM_SYSKEYDOWN with Alt) that
// is one of the rows; 0 for any other message and for the repeats of a key
// held down, which would toggle again and again.
UINT WindowKeyCommand(UINT message, WPARAM wParam, LPARAM lParam);
