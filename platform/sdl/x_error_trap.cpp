// The X error trap of native_window.h.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/core/lasting.h"
#include "platform/sdl/native_window.h"

namespace {

struct Traps {
    std::mutex lock;
    int set = 0;  // traps set on all threads
    XErrorHandler previous = nullptr;
    std::mutex firstLock;
    std::string first;  // the first error caught in the run, as Xlib words it
    bool reported = false;
};

Traps& AllTraps() {
    static Lasting<Traps> traps;
    return *traps;
}

// This thread's traps and the errors they caught.
thread_local int trapsHere = 0;
thread_local unsigned errorsHere = 0;

int NoteError(Display* display, XErrorEvent* event) {
    Traps& t = AllTraps();
    if (trapsHere == 0) return t.previous ? t.previous(display, event) : 0;
    ++errorsHere;
    std::lock_guard<std::mutex> guard(t.firstLock);
    if (t.first.empty()) {
        char text[256] = "";
        XGetErrorText(display, event->error_code, text, sizeof text);
        t.first = std::string(text) + ", Anfrage " + std::to_string(event->request_code) + "." +
                  std::to_string(event->minor_code);
    }
    return 0;
}

Display* DisplayOf(SDL_Window* window) {
    if (!window) return nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
    return info.info.x11.display;
}

}  // namespace

XErrorTrap::XErrorTrap() {
    Traps& t = AllTraps();
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.set++ == 0) t.previous = XSetErrorHandler(&NoteError);
    ++trapsHere;
    start_ = errorsHere;
}

XErrorTrap::~XErrorTrap() {
    Traps& t = AllTraps();
    std::lock_guard<std::mutex> guard(t.lock);
    --trapsHere;
    if (--t.set == 0) XSetErrorHandler(t.previous);
}

bool XErrorTrap::Caught(SDL_Window* window) {
    if (Display* display = DisplayOf(window)) XSync(display, False);
    return errorsHere != start_;
}

void XErrorTrap::Report() const {
    Traps& t = AllTraps();
    std::lock_guard<std::mutex> guard(t.firstLock);
    if (t.reported || errorsHere == start_) return;
    t.reported = true;
    std::fprintf(stderr, "Tarvik 3D: OpenGL l\u00e4sst sich nicht einrichten (X-Fehler: %s).\n", t.first.c_str());
}
