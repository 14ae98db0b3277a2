// Desktop full screen for the game's window, which the port adds: the window
// covers its screen without a frame, at the desktop's own resolution. Its
// client area is the whole screen: the menu bar hides, and shows over the
// picture while the mouse is at the top edge or the menu bar is worked from
// the keys or a pad (see menu_bar.h). Every change of its size arrives as WM_SIZE, the way a
// resize by the player does, so whatever follows the window's size (the
// device, the read-outs, the dialogs) follows this too.
#pragma once

#include "platform/win.h"

// Switches a shown or hidden top-level window to full screen or back to
// its window. FALSE when the window system cannot (the window keeps its mode).
BOOL SetWindowFullScreen(HWND window, BOOL fullScreen);
BOOL IsWindowFullScreen(HWND window);
