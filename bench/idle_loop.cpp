// CPU share of one core that the game's message loop uses while the 40 ms
// timer's ticks do nothing: a window, the timer, and five seconds of the
// polling loop (PeekMessage without removing, then GetMessage and dispatch).
// Run it under a display, e.g. xvfb-run -a -s "-screen 0 1280x1024x24".
#include <sys/resource.h>

#include <cstdio>

#include "platform/desktop/desktop.h"
#include "platform/win.h"
#include "resources/resource.h"
#include "resources/resources.h"
#include "bench/quick.h"

namespace {

int ticks = 0;

LRESULT Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        ++ticks;
        return 0;
    }
    if (message == WM_PAINT) {
        ValidateRect(window, nullptr);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; }

}  // namespace

int main(int argc, char** argv) {
    const bool quick = QuickRun(argc, argv);
    // The loop runs over the desktop's window system, as the game's does.
    InstallBackends(DesktopBackends());
    RegisterGameResources();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MENU);
    wc.lpszClassName = "idle_loop";
    if (!RegisterClassExA(&wc)) return 1;
    HWND window = CreateWindowExA(0, "idle_loop", "Tarvik 3D", WS_OVERLAPPEDWINDOW, 0, 0, 1024, 768, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    if (!window) {
        std::fprintf(stderr, "idle_loop: no window (is there a display?)\n");
        return 1;
    }
    SetTimer(window, 0, 40, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const std::uint64_t start = MonotonicMilliseconds();
    MSG msg;
    const std::uint64_t runMs = quick ? 500 : 5000;
    while (MonotonicMilliseconds() - start < runMs) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) continue;
        if (!GetMessageA(&msg, nullptr, 0, 0)) break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    const double wall = static_cast<double>(MonotonicMilliseconds() - start) / 1000.0;
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const double cpu =
        Seconds(after.ru_utime) - Seconds(before.ru_utime) + Seconds(after.ru_stime) - Seconds(before.ru_stime);
    DestroyWindow(window);

    std::printf("idle_loop_cpu %.2f %%\n", 100.0 * cpu / wall);
    std::printf("idle_loop_ticks_per_second %.1f\n", ticks / wall);
    return 0;
}
