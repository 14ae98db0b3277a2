// Desktop full screen of an SDL window (platform/port/window_mode.h): the
// SDL window back-end's part, kept in a unit of its own.
#pragma once

#include "platform/core/win_core.h"

// Switches the window's SDL window to desktop full screen or back, and sends
// WM_SIZE when its drawable size changed at once; a size the window system
// settles on later comes as its own size event.
bool SetSdlFullScreen(WindowObject& window, bool fullScreen);
// The window goes away: what full screen kept of it goes too.
void ForgetSdlFullScreen(WindowObject& window);

// The size a window of width x height opens at on a screen whose usable area
// (the screen less its panels) is areaWidth x areaHeight: its own where it
// fits, else the largest of its aspect that fits.
struct WindowSize {
    int width = 0, height = 0;
};
WindowSize FitWindowSize(int width, int height, int areaWidth, int areaHeight);
