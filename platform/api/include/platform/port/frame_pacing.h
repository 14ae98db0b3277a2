// Frames at the display's rate, which the port adds: what the game needs to
// draw its frames between its 40 ms ticks. The game's timer stays what moves
// it; these pace the frames in between.
#pragma once

#include "platform/win.h"

// The refresh rate of the screen the window is on, in frames a second; 0
// when the window system does not say.
int DisplayRefreshRate(HWND window);

// Presents in the window wait for the screen's refresh (adaptive, where the
// driver offers it, so a late frame is not held back a whole refresh), or no
// longer wait. FALSE when the driver cannot: frames are then paced by a
// timer alone.
BOOL SetPresentSync(HWND window, BOOL sync);

// A timer as SetTimer makes it, also shorter than the 10 ms below which
// SetTimer makes none: frames of 120 or 144 a second need 7 or 8 ms.
UINT_PTR SetFrameTimer(HWND window, UINT_PTR id, UINT milliseconds);

// Posted to a window whose menu bar or dialogs took the player's input (the
// mouse, a key, typed text), at most once for the events taken together: a
// game that draws only what moves draws a frame for it, so the menu or the
// dialog shows what the input did.
constexpr UINT WM_OVERLAYINPUT = 0xBF80;
