// The SDL backend of the Win32-style layer: the window, events turned into
// messages, waiting for the next event or timer, the keyboard state, the
// desktop's message box and opener, and the real clocks.
#include <SDL.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/core/lasting.h"
#include "platform/dinput.h"
#include "platform/sdl/dinput_keymap.h"
#include "platform/sdl/native_window.h"
#include "platform/core/win_core.h"
#include "platform/sdl/ui_imgui.h"
#include "platform/sdl/win_sdl.h"
#include "platform/sdl/window_mode_sdl.h"
#include "platform/port/frame_pacing.h"
#include "platform/port/menu_bar.h"
#include "platform/core/win_text.h"

extern char** environ;

namespace {

// The character of a key as the layout prints it, upper case, in
// Windows-1252; empty for keys that print none or none of that code page.
std::string KeyLabelOf(SDL_Keycode key) {
    if (key < 0x21 || key == 0x7F || key > 0xFF || (key >= 0x80 && key < 0xA1)) return "";
    int c = static_cast<int>(key);
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    // Latin-1's small letters with accents have their capitals 0x20 below; not the sharp s or the division sign.
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) c -= 0x20;
    return std::string(1, static_cast<char>(c));
}

// A key latched for typed text that never reached a frame is let go after this.
constexpr std::uint64_t kLatchedKeyLimitMs = 200;
// The longest single wait, so that latched keys and the like are looked at.
constexpr DWORD kLongestWaitMs = 250;
// The smallest client area a player can make: the read-outs and the dialogs
// stay whole in it.
constexpr int kMinimumClientWidth = 640;
constexpr int kMinimumClientHeight = 480;
// A message box is drawn in the window only when frames are being presented.
constexpr std::uint64_t kRecentFrameMs = 500;
constexpr std::uint64_t kStalledFrameMs = 1500;

// How long the opener is given to say that it failed. It may run for as
// long as the browser it starts (xdg-open's generic way keeps the browser in
// the foreground), so one still running then is taken to have opened the
// page. Openers of the desktops hand over and end within a fraction of this;
// xdg-open's generic way fails in about that, more on a busy machine. The
// game's frames wait this long at most, once per click.
constexpr int kOpenerVerdictMs = 1000;

// Hands `file` to xdg-open. False when there is no xdg-open or it ends with
// an error within kOpenerVerdictMs. A shell in the background runs it and
// writes its exit status (127: not found) into a pipe, so the game never
// waits for the opener's end and leaves no child behind; the opener gets
// neither the pipe nor the terminal.
bool OpenWithXdgOpen(const std::string& file) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 3);
    const char* argv[] = {"sh", "-c", "{ xdg-open \"$1\" >/dev/null 2>&1 3>&-; echo $? >&3; } &", "sh",
                          file.c_str(), nullptr};
    pid_t pid = 0;
    const bool spawned =
        posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char* const*>(argv), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned) {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    std::string said;
    const std::uint64_t until = MonotonicMilliseconds() + kOpenerVerdictMs;
    bool ended = !spawned;
    while (!ended) {
        const std::uint64_t now = MonotonicMilliseconds();
        if (now >= until) break;
        pollfd watch{pipeEnds[0], POLLIN, 0};
        const int ready = poll(&watch, 1, static_cast<int>(until - now));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char chunk[16];
        const ssize_t got = read(pipeEnds[0], chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) ended = true;
        else said.append(chunk, static_cast<size_t>(got));
    }
    close(pipeEnds[0]);
    if (!spawned) return false;
    if (!ended) return true;  // still running: the page is taken as open
    // Ended: its status, or nothing when the shell around it was killed.
    return said == "0\n";
}

class SdlWinBackend : public WinBackend {
public:
    SdlWinBackend() : start_(MonotonicMilliseconds()) {
        for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) dikOf_[sc] = DikFromSdlScancode(sc);
    }

    DWORD Now() override { return static_cast<DWORD>(MonotonicMilliseconds()); }
    DWORD Elapsed() override { return static_cast<DWORD>(MonotonicMilliseconds() - start_); }

    void Sleep(DWORD milliseconds) override {
        timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
        while (nanosleep(&ts, &ts) != 0) {
        }
    }

    bool CreateNativeWindow(WindowObject& w) override {
        if (!EnsureVideo()) return false;
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
        Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
        if (w.style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
        int x = w.x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : w.x;
        int y = w.y == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : w.y;
        FitToScreen(w, x, y);
        const std::string title = Utf8FromWindows1252(w.text);
        SDL_Window* window = nullptr;
        {
            // The first OpenGL window loads the GL library, which makes a
            // context of its own on the way. A driver that cannot answers
            // with an X error; the window is then made without OpenGL, and
            // the device, which cannot be made on it, fails as it would
            // without any driver.
            XErrorTrap trap;
            window = SDL_CreateWindow(title.c_str(), x, y, w.outerWidth, w.outerHeight, flags);
            if (window && trap.Caught(window)) {
                trap.Report();
                SDL_DestroyWindow(window);
                window = SDL_CreateWindow(title.c_str(), x, y, w.outerWidth, w.outerHeight, flags & ~SDL_WINDOW_OPENGL);
                trap.Caught(window);
            }
        }
        if (!window) {
            std::fprintf(stderr, "window: %s\n", SDL_GetError());
            return false;
        }
        w.native = window;
        RegisterNativeWindow(&w, window);
        SetIcon(w, window);
        if (!uiWindow_ && UiCreate(window)) {
            uiWindow_ = &w;
        }
        SetMinimumSize(w, w.outerWidth, w.outerHeight);
        UpdateClient(w);
        return true;
    }

    void ShowNativeWindow(WindowObject& w, int showCommand) override {
        auto* window = static_cast<SDL_Window*>(w.native);
        if (!window) return;
        switch (showCommand) {
            case SW_HIDE:
                SDL_HideWindow(window);
                return;
            case SW_MINIMIZE:
            case SW_SHOWMINIMIZED:
            case SW_SHOWMINNOACTIVE:
                SDL_ShowWindow(window);
                SDL_MinimizeWindow(window);
                return;
            case SW_SHOWMAXIMIZED:
                SDL_ShowWindow(window);
                SDL_MaximizeWindow(window);
                break;
            case SW_RESTORE:
                SDL_ShowWindow(window);
                SDL_RestoreWindow(window);
                break;
            default:
                SDL_ShowWindow(window);
                break;
        }
        // The outer size includes the window manager's frame where there is one.
        int top = 0, left = 0, bottom = 0, right = 0;
        if (!framed_ && SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0 &&
            top + left + bottom + right > 0) {
            framed_ = true;
            const int width = std::max(1, w.outerWidth - left - right);
            const int height = std::max(1, w.outerHeight - top - bottom);
            SetMinimumSize(w, width, height);
            SDL_SetWindowSize(window, width, height);
        }
        UpdateClient(w);
    }

    void DestroyNativeWindow(WindowObject& w) override {
        auto* window = static_cast<SDL_Window*>(w.native);
        if (!window) return;
        if (uiWindow_ == &w) {
            UiDestroy();
            uiWindow_ = nullptr;
        }
        UnregisterNativeWindow(&w);
        ForgetSdlFullScreen(w);
        SDL_DestroyWindow(window);
        w.native = nullptr;
    }

    void SetNativeTitle(WindowObject& w) override {
        if (w.native) SDL_SetWindowTitle(static_cast<SDL_Window*>(w.native), Utf8FromWindows1252(w.text).c_str());
    }

    bool SetFullScreen(WindowObject& w, bool on) override { return SetSdlFullScreen(w, on); }

    std::string KeyLabel(BYTE dik) override {
        if (!EnsureVideo()) return "";
        return KeyLabelOf(SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(SdlScancodeFromDik(dik))));
    }

    int MenuBarHeight() override { return UiActive() ? UiMenuBarHeight() : 19; }
    bool OpenMenuBar(WindowObject& w) override { return &w == uiWindow_ && UiOpenMenuBar(w); }
    bool MenuBarOpen() override { return UiActive() && UiMenuOpen(); }

    int RefreshRate(WindowObject& w) override {
        SDL_DisplayMode mode{};
        auto* window = static_cast<SDL_Window*>(w.native);
        if (!window || SDL_GetWindowDisplayMode(window, &mode) != 0) return 0;
        return mode.refresh_rate;
    }

    bool SetPresentSync(WindowObject& w, bool sync) override {
        // The interval belongs to the OpenGL context that is current: the
        // device's, which draws into the window.
        if (!w.native || !SDL_GL_GetCurrentContext()) return false;
        if (!sync) return SDL_GL_SetSwapInterval(0) == 0;
        return SDL_GL_SetSwapInterval(-1) == 0 || SDL_GL_SetSwapInterval(1) == 0;
    }
    void MenuBarKey(UINT virtualKey) override {
        if (UiActive()) UiMenuKey(virtualKey);
    }

    void PumpEvents() override {
        if (!videoStarted_) return;
        ReleaseStaleKeys();
        closeSeen_ = false;
        overlayInput_ = false;
        SDL_Event e;
        while (SDL_PollEvent(&e)) Handle(e);
        if (overlayInput_ && uiWindow_ && uiWindow_->visible) PostToQueue(uiWindow_, WM_OVERLAYINPUT, 0, 0);
    }

    void Idle(DWORD timeout) override {
        DWORD wait = std::min(timeout, kLongestWaitMs);
        if (!videoStarted_) {
            Sleep(std::min<DWORD>(wait, 10));
            return;
        }
        if (wait > 0) SDL_WaitEventTimeout(nullptr, static_cast<int>(wait));
    }

    int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override {
        std::string body = Utf8FromWindows1252(UnixLineBreaks(text));
        std::string title = Utf8FromWindows1252(caption);
        Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
        switch (type & MB_ICONMASK) {
            case MB_ICONHAND:
                flags = SDL_MESSAGEBOX_ERROR;
                break;
            case MB_ICONEXCLAMATION:
                flags = SDL_MESSAGEBOX_WARNING;
                break;
            default:
                break;
        }
        SDL_MessageBoxButtonData ok{};
        ok.flags = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        ok.buttonid = IDOK;
        ok.text = "OK";
        SDL_MessageBoxData data{};
        data.flags = flags;
        WindowObject* w = RootOf(WindowOf(owner));
        data.window = w && w->visible ? static_cast<SDL_Window*>(w->native) : nullptr;
        data.title = title.c_str();
        data.message = body.c_str();
        data.numbuttons = 1;
        data.buttons = &ok;
        int pressed = 0;
        // Without a desktop the text must still reach someone.
        if (SDL_ShowMessageBox(&data, &pressed) != 0)
            std::fprintf(stderr, "%s: %s\n", title.c_str(), body.c_str());
        // The box was a window of the game's own: the focus it took and gave
        // back is no going to the background.
        SDL_PumpEvents();
        SDL_FilterEvents(
            [](void*, SDL_Event* e) {
                return e->type == SDL_WINDOWEVENT && (e->window.event == SDL_WINDOWEVENT_FOCUS_LOST ||
                                                      e->window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                           ? 0
                           : 1;
            },
            nullptr);
        return IDOK;
    }

    bool CanDrawMessageBoxIn(HWND owner) override {
        WindowObject* w = RootOf(WindowOf(owner));
        if (!w || w != uiWindow_ || !w->visible || w->minimized || w->destroying) return false;
        std::uint64_t last = UiLastFrameTime();
        return last != 0 && MonotonicMilliseconds() - last < kRecentFrameMs;
    }

    bool ModalLoopStalled(DialogRuntime&) override {
        std::uint64_t last = UiLastFrameTime();
        return last == 0 || MonotonicMilliseconds() - last > kStalledFrameMs;
    }

    bool OpenWithShell(const std::string& file) override { return OpenWithXdgOpen(file); }

    void KeyboardSnapshot(BYTE keys[256]) override {
        std::memset(keys, 0, 256);
        if (!EnsureVideo()) return;
        SDL_PumpEvents();
        int count = 0;
        const Uint8* state = SDL_GetKeyboardState(&count);
        count = std::min(count, static_cast<int>(SDL_NUM_SCANCODES));
        for (int sc = 0; sc < count; ++sc)
            if (state[sc] && dikOf_[sc]) keys[dikOf_[sc]] = 0x80;
    }

private:
    bool EnsureVideo() {
        if (videoStarted_) return true;
        if (videoFailed_) return false;
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            std::fprintf(stderr, "video: %s\n", SDL_GetError());
            videoFailed_ = true;
            return false;
        }
        videoStarted_ = true;
        return true;
    }

    void SetIcon(WindowObject& w, SDL_Window* window) {
        if (!w.icon || w.icon->resourceId == 0) return;
        const IconImage* image = FindIconResource(w.icon->resourceId);
        if (!image || image->rgba.size() != static_cast<size_t>(image->width) * image->height * 4) return;
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<std::uint8_t*>(image->rgba.data()), image->width, image->height, 32, image->width * 4,
            SDL_PIXELFORMAT_RGBA32);
        if (!surface) return;
        SDL_SetWindowIcon(window, surface);
        SDL_FreeSurface(surface);
    }

    // A window larger than the usable area of its screen (the screen less
    // its panels) opens fitted to it, keeping its aspect, in the area's
    // corner; one that fits opens as asked.
    void FitToScreen(WindowObject& w, int& x, int& y) {
        int display = 0;
        const SDL_Point corner{x, y};
        for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
            SDL_Rect bounds;
            if (SDL_GetDisplayBounds(i, &bounds) == 0 && SDL_PointInRect(&corner, &bounds)) {
                display = i;
                break;
            }
        }
        SDL_Rect usable;
        if (SDL_GetDisplayUsableBounds(display, &usable) != 0) return;
        const WindowSize fitted = FitWindowSize(w.outerWidth, w.outerHeight, usable.w, usable.h);
        if (fitted.width == w.outerWidth && fitted.height == w.outerHeight) return;
        w.outerWidth = fitted.width;
        w.outerHeight = fitted.height;
        x = usable.x;
        y = usable.y;
    }

    // The smallest the player can make a resizable window: a client area of
    // 640 x 480 below its menu bar, or the size it has (at most `width` x
    // `height`), should its screen be smaller than that.
    void SetMinimumSize(WindowObject& w, int width, int height) {
        if (!(w.style & WS_THICKFRAME)) return;
        const int menuBar = w.menu ? MenuBarHeight() : 0;
        SDL_SetWindowMinimumSize(static_cast<SDL_Window*>(w.native), std::min(kMinimumClientWidth, width),
                                 std::min(kMinimumClientHeight + menuBar, height));
    }

    void UpdateClient(WindowObject& w) {
        int width = 0, height = 0;
        SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(w.native), &width, &height);
        SetClientFromDrawable(w, width, height);
    }

    WindowObject* WindowOfEvent(Uint32 windowId) {
        SDL_Window* window = SDL_GetWindowFromID(windowId);
        if (!window) return nullptr;
        for (auto& w : State().windows)
            if (w->native == window) return w.get();
        return nullptr;
    }

    void ReleaseStaleKeys() {
        for (DialogRuntime* d : State().modalStack) {
            if (d->pendingKey && MonotonicMilliseconds() - d->pendingKeySince > kLatchedKeyLimitMs) {
                PostToQueue(d->window, kUiKey, d->pendingKey, 0);
                d->pendingKey = 0;
            }
        }
    }

    void Handle(const SDL_Event& e) {
        if (UiActive()) {
            UiProcessEvent(e);
            switch (e.type) {
                case SDL_MOUSEMOTION:
                case SDL_MOUSEBUTTONDOWN:
                case SDL_MOUSEBUTTONUP:
                case SDL_MOUSEWHEEL:
                case SDL_KEYDOWN:
                case SDL_KEYUP:
                case SDL_TEXTINPUT:
                    overlayInput_ = true;
                    break;
                default:
                    break;
            }
        }
        switch (e.type) {
            case SDL_WINDOWEVENT:
                HandleWindowEvent(e.window);
                break;
            case SDL_KEYDOWN:
                HandleKey(e.key);
                break;
            case SDL_KEYUP:
                HandleKeyUp(e.key);
                break;
            case SDL_QUIT:
                // An interrupt or the session ending asks the window to close like its close box.
                if (!closeSeen_ && uiWindow_ && uiWindow_->disabledCount == 0) PostToQueue(uiWindow_, WM_CLOSE, 0, 0);
                break;
            default:
                break;
        }
    }

    void HandleWindowEvent(const SDL_WindowEvent& e) {
        WindowObject* w = WindowOfEvent(e.windowID);
        if (!w) return;
        switch (e.event) {
            case SDL_WINDOWEVENT_CLOSE:
                closeSeen_ = true;
                // The close box of a window under a modal dialog does nothing.
                if (w->disabledCount == 0) PostToQueue(w, WM_CLOSE, 0, 0);
                break;
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                if (!w->visible || w->minimized) break;
                UpdateClient(*w);
                SendSizeMessage(*w, w->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED, w->clientWidth, w->clientHeight);
                w->needsPaint = true;
                break;
            case SDL_WINDOWEVENT_MINIMIZED:
                if (!w->visible) break;
                w->minimized = true;
                SendSizeMessage(*w, SIZE_MINIMIZED, 0, 0);
                break;
            case SDL_WINDOWEVENT_MAXIMIZED:
                if (!w->visible) break;
                w->minimized = false;
                w->maximized = true;
                UpdateClient(*w);
                SendSizeMessage(*w, SIZE_MAXIMIZED, w->clientWidth, w->clientHeight);
                w->needsPaint = true;
                break;
            case SDL_WINDOWEVENT_RESTORED:
                if (!w->visible) break;
                w->minimized = false;
                w->maximized = false;
                UpdateClient(*w);
                SendSizeMessage(*w, SIZE_RESTORED, w->clientWidth, w->clientHeight);
                w->needsPaint = true;
                break;
            case SDL_WINDOWEVENT_EXPOSED:
                if (w->visible) w->needsPaint = true;
                break;
            case SDL_WINDOWEVENT_FOCUS_LOST:
                altAlone_ = false;  // Alt+Tab to another window is no Alt alone
                [[fallthrough]];
            case SDL_WINDOWEVENT_FOCUS_GAINED:
                // The game's dialogs are drawn inside its window, so a change
                // of focus is always to or from another program.
                if (w->visible) PostToQueue(w, WM_ACTIVATEAPP, e.event == SDL_WINDOWEVENT_FOCUS_GAINED, 0);
                break;
            default:
                break;
        }
    }

    void HandleKey(const SDL_KeyboardEvent& e) {
        UINT vk = VirtualKeyFromSdlScancode(e.keysym.scancode);
        if (!vk) return;
        WinState& state = State();
        // The keyboard now, not a pad: a dialog is worked as the keyboard works it.
        state.padInput = false;
        if (!state.modalStack.empty()) {
            state.modalStack.back()->padFocus = false;
            // The dialog on top has the keyboard: Esc and Enter are its keys,
            // and a trackbar the player clicked takes the keys that move it
            // (held, they repeat). The game reads its keys from the key state,
            // so the car answers them all the same.
            DialogRuntime* d = state.modalStack.back();
            if (TrackbarTakesKey(*d, vk)) {
                PostToQueue(d->window, kUiKey, vk, 0);
                return;
            }
            if ((vk != VK_ESCAPE && vk != VK_RETURN) || e.repeat) return;
            if (UiTextPending()) {
                d->pendingKey = vk;
                d->pendingKeySince = MonotonicMilliseconds();
            } else {
                PostToQueue(d->window, kUiKey, vk, 0);
            }
            return;
        }
        const bool altKey = e.keysym.scancode == SDL_SCANCODE_LALT || e.keysym.scancode == SDL_SCANCODE_RALT;
        if (!altKey) altAlone_ = false;
        // Keys that work the open menu are the menu's, and only theirs: Esc
        // closes it and does nothing else.
        const bool plain = !(e.keysym.mod & (KMOD_ALT | KMOD_CTRL | KMOD_SHIFT | KMOD_GUI));
        if (UiMenuOpen()) {
            if (IsMenuBarKey(vk, false) && !e.repeat)
                UiCloseMenus();
            else if (!altKey)
                UiMenuKey(vk);
            if (altKey && !e.repeat) altAlone_ = true;
            return;
        }
        // F10, as on every desktop, opens the menu bar for the keys.
        if (IsMenuBarKey(vk, false) && !e.repeat && plain) {
            if (uiWindow_) UiOpenMenuBar(*uiWindow_);
            return;
        }
        if (altKey && !e.repeat) altAlone_ = true;
        WindowObject* w = WindowOfEvent(e.windowID);
        if (!w) w = uiWindow_;
        if (!w) return;
        bool alt = (e.keysym.mod & KMOD_ALT) != 0;
        // The scan code and the extended flag, which the DIK_ code holds.
        const BYTE dik = dikOf_[e.keysym.scancode < SDL_NUM_SCANCODES ? e.keysym.scancode : 0];
        LPARAM info = 1 | (static_cast<LPARAM>(dik & 0x7F) << 16) | ((dik & 0x80) ? (1L << 24) : 0) |
                      (e.repeat ? (1L << 30) : 0) | (alt ? (1L << 29) : 0);
        PostToQueue(w, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, info);
    }

    void HandleKeyUp(const SDL_KeyboardEvent& e) {
        UINT vk = VirtualKeyFromSdlScancode(e.keysym.scancode);
        WinState& state = State();
        if (altAlone_ && IsMenuBarKey(vk, true)) {
            // Alt pressed and let go alone opens the menu bar, or closes it.
            altAlone_ = false;
            if (state.modalStack.empty() && uiWindow_) {
                if (UiMenuOpen())
                    UiCloseMenus();
                else
                    UiOpenMenuBar(*uiWindow_);
            }
            return;
        }
        if (!vk || state.modalStack.empty()) return;
        DialogRuntime* d = state.modalStack.back();
        if (TrackbarTakesKey(*d, vk)) PostToQueue(d->window, kUiKeyUp, vk, 0);
    }

    std::uint64_t start_;
    BYTE dikOf_[SDL_NUM_SCANCODES] = {};
    bool videoStarted_ = false;
    bool videoFailed_ = false;
    bool framed_ = false;
    bool closeSeen_ = false;
    bool altAlone_ = false;  // Alt is down and no other key went down with it
    bool overlayInput_ = false;  // the menu bar and dialogs took input in this pump
    WindowObject* uiWindow_ = nullptr;
};

}  // namespace

void WarmUpSdlBackend() { UiPrepareFontAtlas(); }

WinBackend& SdlBackend() {
    static Lasting<SdlWinBackend> backend;
    return *backend;
}
