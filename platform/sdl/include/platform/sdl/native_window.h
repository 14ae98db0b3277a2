// The link between a window handle of the message layer and the SDL window
// behind it, so the OpenGL device can draw into the window the message layer
// made, and the message layer can draw its menu and dialogs over the frame.
#pragma once

#include "platform/wintypes.h"

struct SDL_Window;

void RegisterNativeWindow(HWND window, SDL_Window* native);
void UnregisterNativeWindow(HWND window);
SDL_Window* NativeWindowOf(HWND window);

// Called by the device's Present after the frame is drawn and before the
// buffers are swapped: the menu bar and open dialogs of `window`, if it is the
// window that carries them, are drawn there. The device sets its own GL state
// again for the next frame.
void DrawWindowOverlay(HWND window);
