#include "platform/core/backends.h"

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/core/lasting.h"
#include "platform/core/win_core.h"

namespace {

// The window back-end of a program that installed none: no window can be
// made, nothing is pressed, message boxes go to the terminal, the clocks run.
class NoWindowBackend : public WinBackend {
public:
    NoWindowBackend() : start_(MonotonicMilliseconds()) {}

    DWORD Now() override { return static_cast<DWORD>(MonotonicMilliseconds()); }
    DWORD Elapsed() override { return static_cast<DWORD>(MonotonicMilliseconds() - start_); }
    void Sleep(DWORD milliseconds) override {
        timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
        while (nanosleep(&ts, &ts) != 0) {
        }
    }
    bool CreateNativeWindow(WindowObject&) override { return false; }
    void ShowNativeWindow(WindowObject&, int) override {}
    void DestroyNativeWindow(WindowObject&) override {}
    int MenuBarHeight() override { return 0; }
    void PumpEvents() override {}
    // Only timers can be due: wait for the next one, a little at a time.
    void Idle(DWORD timeout) override { Sleep(std::min<DWORD>(timeout, 10)); }
    int ShowMessageBox(HWND, const std::string& text, const std::string& caption, UINT) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return IDOK;
    }
    bool OpenWithShell(const std::string&) override { return false; }
    void KeyboardSnapshot(BYTE keys[256]) override { std::memset(keys, 0, 256); }

private:
    std::uint64_t start_;
};

Backends& Installed() {
    static Backends backends;
    return backends;
}

}  // namespace

void InstallBackends(const Backends& backends) {
    if (backends.window != Installed().window) DropWindowState();
    Installed() = backends;
}

const Backends& InstalledBackends() { return Installed(); }

WinBackend& Backend() {
    static Lasting<NoWindowBackend> none;
    WinBackend* window = Installed().window;
    return window ? *window : *none;
}
