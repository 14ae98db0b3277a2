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

// X errors while a window's OpenGL is set up or a context is made on it.
// Xlib's default handler ends the program on any error, so a driver that
// cannot make a context (GLX answering BadValue when the driver asked for did
// not load) would end the game before it could say why. In a trap's scope the
// errors of this thread's X requests are noted instead, and whoever set the
// trap takes them as a failure; errors on other threads go to the handler
// there was before. Caught waits for the server's answers to what was sent,
// so its errors are in: a trap's user asks it after its last request, while
// the window (and SDL's video) is still there. Traps may nest. Without X,
// nothing is ever caught.
class XErrorTrap {
public:
    XErrorTrap();
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Whether an X error came since the trap was set; `window` names the
    // connection to the X server (none: only the errors already read).
    bool Caught(SDL_Window* window);
    // Says on the terminal, once per run, what the first error was and that
    // OpenGL cannot be set up.
    void Report() const;

private:
    unsigned start_ = 0;
};
