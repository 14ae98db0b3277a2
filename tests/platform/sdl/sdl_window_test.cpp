// The SDL backend on a real display (Xvfb will do; skipped without one, failed
// where one is expected, see tests/support/display.h): the window and its menu
// bar, a dialog and a message box drawn over a cleared GL frame, input from the
// window system, and a polling loop that waits.
#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/dinput.h"
#include "platform/core/win_core.h"
#include "platform/sdl/native_window.h"
#include "platform/win.h"
#include "platform/port/win_resources.h"
#include "platform/port/window_mode.h"
#include "platform/sdl/ui_imgui.h"
#include "platform/sdl/window_mode_sdl.h"
#include "platform/desktop/desktop.h"
#include "tests/support/display.h"
#include "tests/support/test_backends.h"
#include "resources/resource.h"
#include "resources/resources.h"
#include "scores/highscore_dialog_procs.h"

namespace {

struct Rgb {
    int r, g, b;
};
constexpr Rgb kClear{20, 90, 160};
constexpr Rgb kDialogFace{212, 208, 200};

bool Near(const unsigned char* p, Rgb c) {
    return std::abs(p[0] - c.r) <= 3 && std::abs(p[1] - c.g) <= 3 && std::abs(p[2] - c.b) <= 3;
}

bool WritePng(const std::string& path, const std::vector<unsigned char>& rgba, int width, int height) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, rgba.data() + static_cast<size_t>(y) * width * 4);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return true;
}

// A folder of stand-in openers: `xdg-open` as the given script, put first on
// the PATH for the scope; without a script, a PATH on which there is no
// xdg-open at all.
class StandInOpener {
public:
    explicit StandInOpener(const std::string& script) {
        ++count_;
        std::string dir = std::string(TARVIK_BINARY_DIR) + "/fake_opener" + std::to_string(count_);
        EXPECT_EQ(std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()), 0);
        if (!script.empty()) {
            std::ofstream(dir + "/xdg-open") << "#!/bin/sh\n" << script;
            chmod((dir + "/xdg-open").c_str(), 0755);
        }
        old_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("PATH", script.empty() ? dir.c_str() : (dir + ":" + old_).c_str(), 1);
    }
    ~StandInOpener() { setenv("PATH", old_.c_str(), 1); }

private:
    static inline int count_ = 0;
    std::string old_;
};

std::string ReadWhenThere(const std::string& file) {
    std::string text;
    for (int i = 0; i < 80 && text.empty(); ++i) {
        usleep(100000);
        std::ifstream in(file);
        std::stringstream all;
        all << in.rdbuf();
        text = all.str();
    }
    return text;
}

// A window too large for its screen opens at the largest size of its aspect
// that fits the screen's usable area; one that fits keeps its size.
TEST(SdlBackend, AWindowTooLargeForItsScreenIsFittedKeepingItsAspect) {
    struct Case {
        int width, height, areaWidth, areaHeight;
        WindowSize fitted;
    };
    const Case cases[] = {
        {1024, 768, 1280, 1024, {1024, 768}},  // fits: as asked, to the pixel
        {1024, 768, 1024, 768, {1024, 768}},   // fits exactly
        {1024, 768, 800, 600, {800, 600}},     // the same aspect
        {1024, 768, 1366, 736, {981, 736}},    // a wide screen less its panel: the height decides
        {1024, 768, 768, 1024, {768, 576}},    // a screen on its side: the width decides
        {1024, 768, 1024, 700, {933, 700}},    // only the height too large
        {1024, 768, 3, 2, {2, 2}},             // absurdly small, yet never zero
    };
    for (const Case& c : cases) {
        const WindowSize got = FitWindowSize(c.width, c.height, c.areaWidth, c.areaHeight);
        EXPECT_EQ(got.width, c.fitted.width) << c.areaWidth << " x " << c.areaHeight;
        EXPECT_EQ(got.height, c.fitted.height) << c.areaWidth << " x " << c.areaHeight;
    }
}

// The SDL backend without a window.
TEST(SdlBackend, ShellOpenHandsTheNameToXdgOpenWithoutWaitingForItsEnd) {
    TestBackends backends(DesktopBackends());
    // A stand-in opener that takes its time, as one that runs the browser in
    // the foreground does, and notes what it was given.
    std::string note = std::string(TARVIK_BINARY_DIR) + "/opened.txt";
    std::remove(note.c_str());
    StandInOpener opener("sleep 3\nprintf '%s' \"$1\" > '" + note + "'\n");
    const char* url = "http://example.org/tarvik3d?a=1&b='x' y";
    std::uint64_t start = MonotonicMilliseconds();
    HINSTANCE result = ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
    std::uint64_t took = MonotonicMilliseconds() - start;
    EXPECT_GT(reinterpret_cast<INT_PTR>(result), 32);  // still running: taken as opened
    // It is given a second to fail, and not waited for beyond that.
    EXPECT_GE(took, 900u);
    EXPECT_LT(took, 2000u);
    EXPECT_EQ(ReadWhenThere(note), url);  // passed as one argument, quotes and blanks and all
}

// Openers that end at once: what they say is what the call says, and the
// game's terminal gets none of their words.
TEST(SdlBackend, ShellOpenTellsAMissingOrFailingOpener) {
    TestBackends backends(DesktopBackends());
    struct Case {
        const char* name;
        std::string script;  // empty: no xdg-open on the PATH
        bool opened;
    };
    const Case cases[] = {
        {"an opener that hands over", "exit 0\n", true},
        {"no method to open it (no browser)", "echo 'xdg-open: no method available' >&2\nexit 3\n", false},
        {"the opener's action failed", "exit 4\n", false},
        {"no opener at all", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandInOpener opener(c.script);
        testing::internal::CaptureStderr();
        std::uint64_t start = MonotonicMilliseconds();
        HINSTANCE result = ShellExecuteA(nullptr, "open", "file:///tmp/tarvik3d.html", nullptr, nullptr, SW_SHOWNORMAL);
        std::uint64_t took = MonotonicMilliseconds() - start;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(reinterpret_cast<INT_PTR>(result) > 32, c.opened);
        EXPECT_LT(took, 900u) << "the verdict came only from the time limit";
    }
}

TEST(SdlBackend, TimeGetTimeIsTheMonotonicClockInMilliseconds) {
    TestBackends backends(DesktopBackends());
    DWORD before = static_cast<DWORD>(MonotonicMilliseconds());
    DWORD now = timeGetTime();
    Sleep(30);
    DWORD later = timeGetTime();
    EXPECT_LE(now - before, 2u);
    EXPECT_GE(later - now, 30u);
    EXPECT_LT(later - now, 200u);
}

// The window of the test with a GL context of its own standing in for the device.
class SdlWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            SKIP_OR_FAIL_WITHOUT_DISPLAY(std::string("no display: ") + SDL_GetError());
        RegisterGameResources();
        self = this;
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = &Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hIcon = LoadIconA(wc.hInstance, MAKEINTRESOURCEA(IDI_TARVIK));
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MENU);
        wc.lpszClassName = "Tarvik 3D test";
        ASSERT_NE(RegisterClassExA(&wc), 0);
        window = CreateWindowExA(0, wc.lpszClassName, "Tarvik 3D", WS_OVERLAPPEDWINDOW, 0, 0, 1024, 768, nullptr,
                                 nullptr, wc.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
        native = NativeWindowOf(window);
        ASSERT_NE(native, nullptr);
        context = SDL_GL_CreateContext(native);
        ASSERT_NE(context, nullptr) << SDL_GetError();
    }

    void TearDown() override {
        if (window && IsWindow(window)) DestroyWindow(window);
        if (context) SDL_GL_DeleteContext(context);
        UnregisterClassA("Tarvik 3D test", nullptr);
        self = nullptr;
    }

    static LRESULT Proc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
        if (self) {
            if (message == WM_SIZE) self->sizes.push_back({wParam, lParam});
            if (message == WM_COMMAND) self->commands.push_back(wParam);
            if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) self->keys.push_back(wParam);
            if (message == WM_TIMER) {
                ++self->ticks;
                if (self->onTick) self->onTick();
                return 0;
            }
        }
        return DefWindowProcA(w, message, wParam, lParam);
    }

    // One frame as the device would present it: clear, overlay, swap. The
    // frame is read back before the swap when asked.
    void Frame(std::vector<unsigned char>* pixels = nullptr) {
        SDL_GL_MakeCurrent(native, context);
        int width = 0, height = 0;
        SDL_GL_GetDrawableSize(native, &width, &height);
        glViewport(0, 0, width, height);
        glClearColor(kClear.r / 255.0f, kClear.g / 255.0f, kClear.b / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        DrawWindowOverlay(window);
        if (pixels) {
            std::vector<unsigned char> bottomUp(static_cast<size_t>(width) * height * 4);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
            pixels->resize(bottomUp.size());
            for (int y = 0; y < height; ++y)
                std::copy_n(bottomUp.data() + static_cast<size_t>(height - 1 - y) * width * 4, width * 4,
                            pixels->data() + static_cast<size_t>(y) * width * 4);
            frameWidth = width;
            frameHeight = height;
        }
        SDL_GL_SwapWindow(native);
    }

    int CountNear(const std::vector<unsigned char>& pixels, int x0, int y0, int x1, int y1, Rgb c) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (Near(&pixels[(static_cast<size_t>(y) * frameWidth + x) * 4], c)) ++n;
        return n;
    }

    void Show() {
        ShowWindow(window, SW_SHOWNORMAL);
        SDL_SetWindowInputFocus(native);
        ValidateRect(window, nullptr);
    }

    // Where a point of dialog `id`, given in dialog units, is on the screen:
    // the dialog is centred in the client area, below a caption as high as
    // the menu bar.
    SDL_Point DialogPoint(int id, int x, int y) const {
        const DialogTemplate* t = FindDialogResource(id);
        int windowX = 0, windowY = 0, width = 0, height = 0;
        SDL_GetWindowPosition(native, &windowX, &windowY);
        SDL_GL_GetDrawableSize(native, &width, &height);
        const int bx = UiBaseUnitX(), by = UiBaseUnitY();
        const float menuBar = static_cast<float>(UiMenuBarHeight());
        const float dialogWidth = static_cast<float>(DialogUnitsToPixelsX(t->cx, bx));
        const float dialogHeight = static_cast<float>(DialogUnitsToPixelsY(t->cy, by));
        const float left = std::floor(static_cast<float>(width) * 0.5f - dialogWidth * 0.5f);
        const float top = std::floor(menuBar + (static_cast<float>(height) - menuBar) * 0.5f -
                                     (dialogHeight + menuBar) * 0.5f) + menuBar;
        return {windowX + static_cast<int>(left) + DialogUnitsToPixelsX(x, bx),
                windowY + static_cast<int>(top) + DialogUnitsToPixelsY(y, by)};
    }

    static void Xdotool(const std::string& command) { EXPECT_EQ(std::system(("xdotool " + command).c_str()), 0); }

    static inline SdlWindowTest* self = nullptr;
    TestBackends backends{DesktopBackends()};
    HWND window = nullptr;
    SDL_Window* native = nullptr;
    SDL_GLContext context = nullptr;
    std::vector<std::pair<WPARAM, LPARAM>> sizes;
    std::vector<WPARAM> commands;
    std::vector<WPARAM> keys;  // WM_KEYDOWN and WM_SYSKEYDOWN that reached the window
    int ticks = 0;
    std::function<void()> onTick;
    int frameWidth = 0, frameHeight = 0;
};

TEST_F(SdlWindowTest, TheWindowShowsWithItsMenuBarAndTheClientBelowIt) {
    EXPECT_FALSE(SDL_GetWindowFlags(native) & SDL_WINDOW_SHOWN);
    EXPECT_TRUE(sizes.empty());
    Show();
    EXPECT_TRUE(SDL_GetWindowFlags(native) & SDL_WINDOW_SHOWN);
    int drawableWidth = 0, drawableHeight = 0;
    SDL_GL_GetDrawableSize(native, &drawableWidth, &drawableHeight);
    EXPECT_EQ(drawableWidth, 1024);
    EXPECT_LE(drawableHeight, 768);
    ASSERT_FALSE(sizes.empty());
    RECT client{};
    GetClientRect(window, &client);
    int menuBar = drawableHeight - client.bottom;
    EXPECT_GE(menuBar, 15);
    EXPECT_LE(menuBar, 30);
    EXPECT_EQ(sizes.front(), (std::pair<WPARAM, LPARAM>{SIZE_RESTORED, MAKELPARAM(1024, client.bottom)}));

    std::vector<unsigned char> pixels;
    Frame(&pixels);
    // The menu bar covers the strip above the client area and nothing below it.
    int strip = CountNear(pixels, 0, 0, frameWidth, menuBar, kDialogFace);
    EXPECT_GT(strip, frameWidth * menuBar * 3 / 4);
    EXPECT_EQ(CountNear(pixels, 0, menuBar, frameWidth, frameHeight, kClear), frameWidth * (frameHeight - menuBar));
}

// The window tells the window manager its smallest size, a client area of
// 640 x 480 below the menu bar, and is held to it when made smaller.
TEST_F(SdlWindowTest, TheWindowKeepsAClientAreaOfAtLeast640By480) {
    Show();
    int minWidth = 0, minHeight = 0;
    SDL_GetWindowMinimumSize(native, &minWidth, &minHeight);
    EXPECT_EQ(minWidth, 640);
    EXPECT_EQ(minHeight, 480 + UiMenuBarHeight());
    SetTimer(window, 0, 40, nullptr);
    onTick = [&] { Frame(); };
    MSG msg;
    auto settle = [&] {
        const int until = ticks + 5;
        while (ticks < until && GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    };
    for (SDL_Point size : {SDL_Point{1, 1}, SDL_Point{300, 900}, SDL_Point{800, 200}}) {
        SCOPED_TRACE(std::to_string(size.x) + " x " + std::to_string(size.y));
        SDL_SetWindowSize(native, size.x, size.y);
        settle();
        RECT client{};
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, std::max(640, size.x));
        EXPECT_EQ(client.bottom, std::max(480, size.y - UiMenuBarHeight()));
    }
}

TEST_F(SdlWindowTest, ADialogIsDrawnOverTheFrameAndTheGameTicksBehindIt) {
    Show();
    SetTimer(window, 0, 40, nullptr);
    HWND dialog = nullptr;
    static HWND* dialogSlot;
    dialogSlot = &dialog;
    std::vector<unsigned char> shot;
    int ticksWhenOpen = -1;
    onTick = [&] {
        if (!dialog) {
            Frame();
            return;
        }
        if (ticksWhenOpen < 0) ticksWhenOpen = ticks;
        int frame = ticks - ticksWhenOpen;
        if (frame == 3) {
            Frame(&shot);
            return;
        }
        Frame();
        if (frame == 5) {
            // Esc from the window system: the dialog's cancel.
            SDL_Event e{};
            e.type = SDL_KEYDOWN;
            e.key.windowID = SDL_GetWindowID(native);
            e.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
            e.key.keysym.sym = SDLK_ESCAPE;
            e.key.state = SDL_PRESSED;
            SDL_PushEvent(&e);
        }
    };
    auto proc = [](HWND d, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) {
            *dialogSlot = d;
            return TRUE;
        }
        if (message == WM_COMMAND && (wParam == IDOK || wParam == IDCANCEL)) {
            EndDialog(d, static_cast<INT_PTR>(wParam));
            return TRUE;
        }
        return FALSE;
    };
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_HELP), window, proc, 0), IDCANCEL);
    EXPECT_GE(ticks - ticksWhenOpen, 5);
    ASSERT_FALSE(shot.empty());
    WritePng(std::string(TARVIK_BINARY_DIR) + "/platform_dialog_144.png", shot, frameWidth, frameHeight);

    // The dialog (326 x 148 units, more than 400 x 200 pixels, plus its
    // caption) sits in the middle of the client area, in the dialog face colour.
    RECT client{};
    GetClientRect(window, &client);
    int menuBar = frameHeight - client.bottom;
    int cx = frameWidth / 2, cy = menuBar + client.bottom / 2;
    int face = CountNear(shot, cx - 200, cy - 90, cx + 200, cy + 90, kDialogFace);
    EXPECT_GT(face, 400 * 180 / 2);
    EXPECT_EQ(CountNear(shot, 0, menuBar + 10, 200, frameHeight - 10, kClear), 200 * (frameHeight - menuBar - 20));
}

TEST_F(SdlWindowTest, AMessageBoxIsDrawnInTheWindowWhileFramesGoOn) {
    Show();
    SetTimer(window, 0, 40, nullptr);
    bool boxOpen = false;
    int ticksInBox = 0;
    std::vector<unsigned char> shot;
    onTick = [&] {
        if (!boxOpen) {
            Frame();
            return;
        }
        ++ticksInBox;
        Frame(ticksInBox == 3 ? &shot : nullptr);
        if (ticksInBox == 4) {
            SDL_Event e{};
            e.type = SDL_KEYDOWN;
            e.key.windowID = SDL_GetWindowID(native);
            e.key.keysym.scancode = SDL_SCANCODE_RETURN;
            e.key.keysym.sym = SDLK_RETURN;
            e.key.state = SDL_PRESSED;
            SDL_PushEvent(&e);
        }
    };
    // A few frames first, so that the window is known to be presenting.
    MSG msg;
    while (ticks < 3 && GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    boxOpen = true;
    EXPECT_EQ(MessageBoxA(window, "Gesamtzeit:      0 ms\rAnzahl Aufrufe: 0\rZeit pro Aufruf: 0 ms", "game.name",
                          MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND),
              IDOK);
    EXPECT_GE(ticksInBox, 4);
    ASSERT_FALSE(shot.empty());
    WritePng(std::string(TARVIK_BINARY_DIR) + "/platform_message_box.png", shot, frameWidth, frameHeight);
    int cx = frameWidth / 2, cy = frameHeight / 2;
    EXPECT_GT(CountNear(shot, cx - 40, cy - 20, cx + 40, cy + 20, kDialogFace), 80 * 40 / 3);
}

// The address a message box gives to copy sits in a read-only field that
// has the keyboard when the box opens: Ctrl+C copies it, Enter still answers
// the box.
TEST_F(SdlWindowTest, AnAddressInAMessageBoxCopiesWithCtrlC) {
    Show();
    SetTimer(window, 0, 40, nullptr);
    const std::string address = "file:///usr/share/games/tarvik3d/info/tarvik3d.html";
    SDL_SetClipboardText("nothing copied");
    bool boxOpen = false;
    int ticksInBox = 0;
    std::vector<unsigned char> shot;
    auto key = [&](SDL_Scancode code, SDL_Keycode sym, Uint32 type, Uint16 mod) {
        SDL_Event e{};
        e.type = type;
        e.key.windowID = SDL_GetWindowID(native);
        e.key.keysym.scancode = code;
        e.key.keysym.sym = sym;
        e.key.keysym.mod = mod;
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        SDL_PushEvent(&e);
    };
    onTick = [&] {
        if (!boxOpen) {
            Frame();
            return;
        }
        ++ticksInBox;
        Frame(ticksInBox == 3 ? &shot : nullptr);
        // The dialog layer reads the modifiers from SDL's state, as a real Ctrl sets it.
        if (ticksInBox == 4) {
            SDL_SetModState(KMOD_LCTRL);
            key(SDL_SCANCODE_C, SDLK_c, SDL_KEYDOWN, KMOD_LCTRL);
        }
        if (ticksInBox == 6) {
            key(SDL_SCANCODE_C, SDLK_c, SDL_KEYUP, KMOD_LCTRL);
            SDL_SetModState(KMOD_NONE);
        }
        if (ticksInBox == 8) key(SDL_SCANCODE_RETURN, SDLK_RETURN, SDL_KEYDOWN, KMOD_NONE);
        if (ticksInBox == 60) key(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, SDL_KEYDOWN, KMOD_NONE);
    };
    MSG msg;
    while (ticks < 3 && GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    boxOpen = true;
    const std::string text = "Die Seite konnte nicht ge\xF6" "ffnet werden.\nDie Adresse zum Kopieren:\n" + address;
    EXPECT_EQ(MessageBoxA(window, text.c_str(), "Tarvik 3D", MB_OK | MB_ICONEXCLAMATION), IDOK);
    SDL_SetModState(KMOD_NONE);
    EXPECT_LT(ticksInBox, 60) << "Enter did not answer the box";
    char* copied = SDL_GetClipboardText();
    EXPECT_EQ(std::string(copied ? copied : ""), address);
    SDL_free(copied);
    ASSERT_FALSE(shot.empty());
    WritePng(std::string(TARVIK_BINARY_DIR) + "/platform_message_box_address.png", shot, frameWidth, frameHeight);
    // The box in the dialog face, with the field of the address in it, all of
    // it selected (the selection's light blue over the field's white).
    int cx = frameWidth / 2, cy = frameHeight / 2;
    const Rgb selected{189, 218, 253};
    EXPECT_GT(CountNear(shot, cx - 60, cy - 30, cx + 60, cy + 30, kDialogFace), 120 * 60 / 4);
    EXPECT_GT(CountNear(shot, cx - 150, cy - 40, cx + 150, cy + 40, selected), 200 * 10);
}

TEST_F(SdlWindowTest, AMouseClickOnOkEndsTheDialog) {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::string(driver) != "x11") GTEST_SKIP() << "not X11";
    Show();
    SetTimer(window, 0, 40, nullptr);
    int x = 0, y = 0;
    SDL_GetWindowPosition(native, &x, &y);
    // The OK button of the info dialog: (203, 162) size 50 x 14 in dialog
    // units, the dialog centred in the client area below its caption, which
    // is as high as the menu bar.
    RECT client{};
    GetClientRect(window, &client);
    int menuBar = 768 - client.bottom;
    const int bx = UiBaseUnitX(), by = UiBaseUnitY();
    int dialogWidth = DialogUnitsToPixelsX(280, bx), dialogHeight = DialogUnitsToPixelsY(191, by);
    int left = 512 - dialogWidth / 2;
    int top = menuBar + client.bottom / 2 - (dialogHeight + menuBar) / 2 + menuBar;
    int buttonX = x + left + DialogUnitsToPixelsX(203 + 25, bx);
    int buttonY = y + top + DialogUnitsToPixelsY(162 + 7, by);
    char command[256];
    int frame = 0;
    onTick = [&] {
        Frame();
        ++frame;
        if (frame == 2) {
            std::snprintf(command, sizeof command, "xdotool mousemove %d %d", buttonX, buttonY);
            EXPECT_EQ(std::system(command), 0);
        }
        if (frame == 4) {
            EXPECT_EQ(std::system("xdotool mousedown 1"), 0);
        }
        if (frame == 6) {
            EXPECT_EQ(std::system("xdotool mouseup 1"), 0);
        }
        if (frame == 60) {
            ADD_FAILURE() << "the click did not reach the dialog";
            SDL_Event e{};
            e.type = SDL_KEYDOWN;
            e.key.windowID = SDL_GetWindowID(native);
            e.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
            SDL_PushEvent(&e);
        }
    };
    auto proc = [](HWND d, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_COMMAND && (wParam == IDOK || wParam == IDCANCEL)) {
            EndDialog(d, static_cast<INT_PTR>(wParam));
            return TRUE;
        }
        return message == WM_INITDIALOG;
    };
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_INFO), window, proc, 0), IDOK);
}

TEST_F(SdlWindowTest, DialogsTakeTheirSizeFromDialogUnitsAndTheFont) {
    Show();
    SetTimer(window, 0, 40, nullptr);
    static HWND dialog;
    auto proc = [](HWND d, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) {
            dialog = d;
            SetDlgItemTextA(d, IDC_CONGRATULATION, "Gl\xFC" "ckwunsch! Platz 1 mit 83.457 sec");
            SetDlgItemTextA(d, IDC_NAME_PLACE1, "J\xFCrgen");
            SetDlgItemTextA(d, IDC_TIME_PLACE1, "      83.457 sec");
            SendDlgItemMessageA(d, IDC_DIRECTIONAL_LEVEL, TBM_SETRANGE, FALSE, MAKELPARAM(0, 255));
            SendDlgItemMessageA(d, IDC_DIRECTIONAL_LEVEL, TBM_SETPOS, TRUE, 100);
            CheckRadioButton(d, IDC_GROUP_FIELDS, IDC_GROUP_CAR, IDC_GROUP_FIELDS);
            return TRUE;
        }
        return FALSE;
    };
    for (int id : {IDD_LIGHTING, IDD_HIGHSCORE_LIST, IDD_NAME_ENTRY}) {
        SCOPED_TRACE(id);
        dialog = nullptr;
        std::vector<unsigned char> shot;
        int frame = 0;
        onTick = [&] {
            if (!dialog) return;
            ++frame;
            Frame(frame == 3 ? &shot : nullptr);
            if (frame == 3) EndDialog(dialog, IDOK);
        };
        EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), window, proc, 0), IDOK);
        ASSERT_FALSE(shot.empty());
        WritePng(std::string(TARVIK_BINARY_DIR) + "/platform_dialog_" + std::to_string(id) + ".png", shot,
                 frameWidth, frameHeight);
        // Where the dialog covers the row through the middle of the client area.
        RECT client{};
        GetClientRect(window, &client);
        int row = frameHeight - client.bottom + client.bottom / 2;
        int left = -1, right = -1;
        for (int x = 0; x < frameWidth; ++x) {
            if (Near(&shot[(static_cast<size_t>(row) * frameWidth + x) * 4], kClear)) continue;
            if (left < 0) left = x;
            right = x;
        }
        int expected = DialogUnitsToPixelsX(FindDialogResource(id)->cx, UiBaseUnitX());
        EXPECT_NEAR(right - left + 1, expected, 2);
        EXPECT_NEAR((left + right) / 2, frameWidth / 2, 2);
    }
}

TEST_F(SdlWindowTest, ChoosingAMenuItemPostsItsCommand) {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
    Show();
    SetTimer(window, 0, 40, nullptr);
    CheckMenuItem(GetMenu(window), IDM_SOUND, MF_BYCOMMAND | MF_CHECKED);
    EnableMenuItem(GetMenu(window), IDM_CONFIGURATION, MF_BYCOMMAND | MF_GRAYED);
    int x = 0, y = 0;
    SDL_GetWindowPosition(native, &x, &y);
    // "Einstellungen" in the bar, then its first two items: "Sound", and
    // "Konfiguration", grayed here, which must not answer.
    struct Click {
        int frame, px, py;
    };
    const Click clicks[] = {{2, 88, 9}, {8, 70, 33}, {14, 88, 9}, {20, 70, 50}, {26, 600, 400}};
    std::vector<unsigned char> shot;
    int frame = 0;
    onTick = [&] {
        ++frame;
        Frame(frame == 6 ? &shot : nullptr);
        for (const Click& c : clicks) {
            char command[128];
            if (frame == c.frame) {
                std::snprintf(command, sizeof command, "xdotool mousemove %d %d", x + c.px, y + c.py);
                EXPECT_EQ(std::system(command), 0);
            }
            if (frame == c.frame + 2) {
                EXPECT_EQ(std::system("xdotool mousedown 1"), 0);
            }
            if (frame == c.frame + 4) {
                EXPECT_EQ(std::system("xdotool mouseup 1"), 0);
            }
        }
        if (frame == 34) PostQuitMessage(0);
    };
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    EXPECT_EQ(commands, (std::vector<WPARAM>{MAKEWPARAM(IDM_SOUND, 0)}));
    ASSERT_FALSE(shot.empty());
    WritePng(std::string(TARVIK_BINARY_DIR) + "/platform_menu_open.png", shot, frameWidth, frameHeight);
}

// The menu bar from the keyboard, as on every desktop: F10 or Alt alone opens
// its first pop-up, the arrows move, Enter chooses, and Esc closes an open
// pop-up, also one the mouse opened, and does nothing else. The keys that
// work the menu never reach the window.
TEST_F(SdlWindowTest, TheKeysWorkTheMenuBarAndEscClosesItAndNothingElse) {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
    Show();
    SetTimer(window, 0, 40, nullptr);
    int x = 0, y = 0;
    SDL_GetWindowPosition(native, &x, &y);
    // Frame by frame: what the player does, and whether a pop-up is then open.
    struct Step {
        int frame;
        std::string command;  // for xdotool
    };
    const Step steps[] = {
        // F10; right to "Einstellungen", down twice, up once: "Konfiguration".
        {3, "key F10"}, {6, "key Right"}, {9, "key Down"}, {12, "key Down"}, {15, "key Up"}, {18, "key Return"},
        // Alt alone; left round to "Info", whose first item is "Hilfe".
        {24, "key alt"}, {27, "key Left"}, {30, "key Return"},
        // The mouse opens "Einstellungen"; Esc closes it and nothing else.
        {36, "mousemove " + std::to_string(x + 88) + " " + std::to_string(y + 9)}, {38, "click 1"},
        {44, "key Escape"},
        // F10 and Esc; Alt twice.
        {50, "key F10"}, {53, "key Escape"}, {56, "key alt"}, {59, "key alt"},
    };
    std::vector<std::pair<int, bool>> open;  // frame, pop-up open, a few frames after each step
    std::vector<unsigned char> shot;
    int frame = 0;
    onTick = [&] {
        ++frame;
        Frame(frame == 14 ? &shot : nullptr);
        for (const Step& step : steps) {
            if (frame == step.frame) Xdotool(step.command);
            if (frame == step.frame + 2) open.push_back({step.frame, UiMenuOpen()});
        }
        if (frame == 64) PostQuitMessage(0);
    };
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    EXPECT_EQ(commands, (std::vector<WPARAM>{MAKEWPARAM(IDM_CONFIGURATION, 0), MAKEWPARAM(IDM_HELP, 0)}));
    const std::vector<std::pair<int, bool>> expected = {
        {3, true},  {6, true},  {9, true},  {12, true}, {15, true}, {18, false}, {24, true},  {27, true},
        {30, false}, {36, false}, {38, true}, {44, false}, {50, true}, {53, false}, {56, true}, {59, false}};
    EXPECT_EQ(open, expected);
    // Alt itself reaches the window as always (Alt+Enter is full screen); no
    // other key of the menu's does.
    for (WPARAM key : keys) EXPECT_EQ(key, WPARAM(VK_MENU)) << "key " << key << " reached the window";
    ASSERT_FALSE(shot.empty());
    WritePng(std::string(TARVIK_BINARY_DIR) + "/platform_menu_keys.png", shot, frameWidth, frameHeight);
}

// In full screen the picture takes the whole screen: the menu bar hides, and
// shows over the picture while the mouse is at the top edge or the keys work
// it.
TEST_F(SdlWindowTest, InFullScreenTheMenuBarShowsOnlyWhenWanted) {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
    Show();
    ASSERT_TRUE(SetWindowFullScreen(window, TRUE));
    int drawableWidth = 0, drawableHeight = 0;
    SDL_GL_GetDrawableSize(native, &drawableWidth, &drawableHeight);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, drawableWidth);
    EXPECT_EQ(client.bottom, drawableHeight) << "no strip is kept for the menu bar";
    SetTimer(window, 0, 40, nullptr);
    const int bar = UiMenuBarHeight();
    // Frame by frame: where the mouse goes or which key is pressed, and
    // whether the bar's strip then shows the menu bar.
    struct Step {
        int frame;
        std::string command;
        bool barShown;
    };
    const Step steps[] = {
        {3, "mousemove 600 500", false}, {8, "mousemove 600 0", true}, {13, "mousemove 300 5", true},
        {18, "mousemove 300 300", false}, {23, "key F10", true}, {28, "key Escape", false},
    };
    std::vector<std::pair<int, bool>> seen;
    int frame = 0;
    onTick = [&] {
        ++frame;
        std::vector<unsigned char> pixels;
        Frame(&pixels);
        for (const Step& step : steps) {
            if (frame == step.frame) Xdotool(step.command);
            if (frame == step.frame + 3)
                seen.push_back({step.frame, CountNear(pixels, 0, 0, frameWidth, bar, kDialogFace) > frameWidth * bar / 2});
        }
        if (frame == 34) PostQuitMessage(0);
    };
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    std::vector<std::pair<int, bool>> expected;
    for (const Step& step : steps) expected.push_back({step.frame, step.barShown});
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(commands.empty());
    ASSERT_TRUE(SetWindowFullScreen(window, FALSE));
    GetClientRect(window, &client);
    SDL_GL_GetDrawableSize(native, &drawableWidth, &drawableHeight);
    EXPECT_EQ(client.bottom, drawableHeight - bar) << "the window has its menu bar again";
}

TEST_F(SdlWindowTest, TheArrowKeysStillReachTheKeyboardStateBehindADialog) {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
    Show();
    IDirectInput8A* input = nullptr;
    IDirectInputDevice8A* keyboard = nullptr;
    ASSERT_EQ(DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                 reinterpret_cast<void**>(&input), nullptr),
              DI_OK);
    ASSERT_EQ(input->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    SetTimer(window, 0, 40, nullptr);
    std::vector<BYTE> upWhileOpen;
    int frame = 0;
    static HWND dialog;
    dialog = nullptr;
    onTick = [&] {
        Frame();
        if (!dialog) return;
        ++frame;
        if (frame == 2) {
            EXPECT_EQ(std::system("xdotool keydown Up"), 0);
        }
        BYTE keys[256];
        if (keyboard->GetDeviceState(sizeof keys, keys) == DI_OK) upWhileOpen.push_back(keys[DIK_UP]);
        if (frame == 8) {
            EXPECT_EQ(std::system("xdotool keyup Up"), 0);
            EndDialog(dialog, IDOK);
        }
    };
    auto proc = [](HWND d, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) dialog = d;
        return message == WM_INITDIALOG;
    };
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_HELP), window, proc, 0), IDOK);
    SafeRelease(keyboard);
    SafeRelease(input);
    ASSERT_EQ(upWhileOpen.size(), 8u);
    EXPECT_EQ(upWhileOpen.front(), 0x00);
    EXPECT_EQ(upWhileOpen[6], 0x80);
}

// Typed text reaches the name entry through ImGui's field: a letter that
// Windows-1252 cannot hold is refused there, and the line under the field says
// why; the others are typed.
TEST_F(SdlWindowTest, ALetterTheTableCannotKeepIsRefusedWithALineThatSaysWhy) {
    Show();
    SetTimer(window, 0, 40, nullptr);
    static HWND entry;
    entry = nullptr;
    std::string line, field;
    std::vector<unsigned char> shot;
    int frame = 0;
    onTick = [&] {
        Frame(frame == 7 ? &shot : nullptr);
        if (!entry) return;
        ++frame;
        if (frame == 3) {
            SDL_Event e{};
            e.type = SDL_TEXTINPUT;
            e.text.windowID = SDL_GetWindowID(native);
            std::snprintf(e.text.text, sizeof e.text.text, "%s", "\u0141uk\u00e4");
            ASSERT_EQ(SDL_PushEvent(&e), 1);
        }
        if (frame == 8) {
            char text[256] = {};
            GetDlgItemTextA(entry, IDC_NAME_REFUSED, text, sizeof text);
            line = text;
            GetDlgItemTextA(entry, IDC_NAME_ENTRY, text, sizeof text);
            field = text;
            SendMessageA(entry, WM_COMMAND, IDOK, 0);
        }
    };
    char buffer[256] = "Gl\xFC" "ckwunsch";
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_NAME_ENTRY), window,
                    [](HWND d, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
                        if (message == WM_INITDIALOG) entry = d;
                        return NameEntryProc(d, message, wParam, lParam);
                    },
                    reinterpret_cast<LPARAM>(buffer));
    EXPECT_EQ(line, "Dieses Zeichen kann die Bestenliste nicht speichern");
    EXPECT_EQ(field, "uk\xE4");
    EXPECT_STREQ(buffer, "uk\xE4");
    ASSERT_FALSE(shot.empty());
    WritePng(std::string(TARVIK_BINARY_DIR) + "/platform_name_refused.png", shot, frameWidth, frameHeight);
}

// The name entry reached by a pad: the field is a letter picker, its letter
// boxed; what the pad picks shows at once, and a keyboard can still type on
// after it.
TEST_F(SdlWindowTest, ThePadsLetterPickerShowsWhatItPicksAndTheKeyboardTypesOn) {
    Show();
    SetTimer(window, 0, 40, nullptr);
    static HWND entry;
    entry = nullptr;
    std::vector<std::string> fields;
    std::vector<unsigned char> shot;
    int frame = 0;
    auto fieldText = [] {
        char text[256] = {};
        GetDlgItemTextA(entry, IDC_NAME_ENTRY, text, sizeof text);
        return std::string(text);
    };
    onTick = [&] {
        Frame(frame == 12 ? &shot : nullptr);
        if (!entry) return;
        ++frame;
        if (frame == 2) fields.push_back(fieldText());
        if (frame == 3 || frame == 4) PostMessageA(entry, kUiPad, static_cast<WPARAM>(PadNav::Up), 0);
        if (frame == 5) PostMessageA(entry, kUiPad, static_cast<WPARAM>(PadNav::Right), 0);
        if (frame == 6) PostMessageA(entry, kUiPad, static_cast<WPARAM>(PadNav::Down), 0);
        if (frame == 10) fields.push_back(fieldText());
        if (frame == 14) {
            SDL_Event e{};
            e.type = SDL_TEXTINPUT;
            e.text.windowID = SDL_GetWindowID(native);
            std::snprintf(e.text.text, sizeof e.text.text, "%s", "x");
            ASSERT_EQ(SDL_PushEvent(&e), 1);
        }
        if (frame == 18) {
            fields.push_back(fieldText());
            SendMessageA(entry, WM_COMMAND, IDOK, 0);
        }
    };
    State().padInput = true;  // the player came here with a pad
    char buffer[256] = "Gl\xFC" "ckwunsch";
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_NAME_ENTRY), window,
                    [](HWND d, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
                        if (message == WM_INITDIALOG) entry = d;
                        return NameEntryProc(d, message, wParam, lParam);
                    },
                    reinterpret_cast<LPARAM>(buffer));
    State().padInput = false;
    // An A to start with; up twice to C; right to a blank; down to the last letter.
    EXPECT_EQ(fields, (std::vector<std::string>{"A", "C-", "C-x"}));
    ASSERT_FALSE(shot.empty());
    WritePng(std::string(TARVIK_BINARY_DIR) + "/platform_letter_picker.png", shot, frameWidth, frameHeight);
}

// The lighting dialog's trackbars worked with the real mouse and keyboard:
// what the dialog procedure is told, and where the trackbar stands when it asks.
struct ScrollSeen {
    WORD notification;
    WORD high;
    int id;
    int position;
    bool buttonHeld;  // the mouse button was still down
};
std::vector<ScrollSeen> scrollsSeen;
bool buttonHeld = false;
HWND lightingDialog = nullptr;

INT_PTR ScrollSeenProc(HWND d, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            lightingDialog = d;
            for (int id : {IDC_DIRECTIONAL_LEVEL, IDC_HEADLIGHT_LEVEL, IDC_AMBIENT_REFLECTION, IDC_DIFFUSE_REFLECTION,
                           IDC_EMISSION})
                SendDlgItemMessageA(d, id, TBM_SETRANGE, FALSE, MAKELPARAM(0, 255));
            SendDlgItemMessageA(d, IDC_DIRECTIONAL_LEVEL, TBM_SETPOS, TRUE, 100);
            CheckRadioButton(d, IDC_GROUP_FIELDS, IDC_GROUP_CAR, IDC_GROUP_FIELDS);
            return TRUE;
        case WM_HSCROLL: {
            HWND control = reinterpret_cast<HWND>(lParam);
            scrollsSeen.push_back({LOWORD(wParam), HIWORD(wParam), GetDlgCtrlID(control),
                                   static_cast<int>(SendMessageA(control, TBM_GETPOS, 0, 0)), buttonHeld});
            return TRUE;
        }
        default:
            return FALSE;
    }
}

class SdlTrackbarTest : public SdlWindowTest {
protected:
    void SetUp() override {
        SdlWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
        const char* driver = SDL_GetCurrentVideoDriver();
        if (!driver || std::string(driver) != "x11") GTEST_SKIP() << "not X11";
        scrollsSeen.clear();
        buttonHeld = false;
        lightingDialog = nullptr;
        Show();
        SetTimer(window, 0, 40, nullptr);
    }
    // Runs the lighting dialog; `step` is called with each frame's number
    // from 1 while the dialog is open, and ends it by returning false.
    void RunLighting(std::function<bool(int)> step) {
        int frame = 0;
        onTick = [&] {
            Frame();
            if (!lightingDialog) return;
            if (!step(++frame) || frame == 200) EndDialog(lightingDialog, IDOK);
        };
        EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_LIGHTING), window,
                                  ScrollSeenProc, 0),
                  IDOK);
    }
};

TEST_F(SdlTrackbarTest, TheDraggedThumbFollowsThePointerAndNotifiesBeforeTheButtonIsLetGo) {
    // The headlight's trackbar (115, 53; 177 x 22 units) with its thumb at 0, at the left end.
    const SDL_Point corner = DialogPoint(IDD_LIGHTING, 115, 53);
    const int width = DialogUnitsToPixelsX(177, UiBaseUnitX());
    const int y = corner.y + DialogUnitsToPixelsY(22, UiBaseUnitY()) / 2;
    const int thumbX = corner.x + 7;
    constexpr int kStep = 40, kSteps = 4;
    int headlight = -1;
    char command[96];
    RunLighting([&](int frame) {
        if (frame == 2) {
            std::snprintf(command, sizeof command, "mousemove %d %d", thumbX, y);
            Xdotool(command);
        }
        if (frame == 4) {
            buttonHeld = true;
            Xdotool("mousedown 1");
        }
        if (frame > 4 && frame <= 4 + 2 * kSteps && frame % 2 == 0) {
            std::snprintf(command, sizeof command, "mousemove %d %d", thumbX + kStep * (frame - 4) / 2, y);
            Xdotool(command);
        }
        if (frame == 16) {
            buttonHeld = false;
            Xdotool("mouseup 1");
        }
        if (frame < 22) return true;
        headlight = static_cast<int>(SendDlgItemMessageA(lightingDialog, IDC_HEADLIGHT_LEVEL, TBM_GETPOS, 0, 0));
        return false;
    });
    // The thumb's centre runs over the control's width less the thumb and a margin each side.
    const int expected = static_cast<int>(std::lround(kStep * kSteps * 255.0 / (width - 15)));
    ASSERT_GE(scrollsSeen.size(), 5u);
    std::vector<ScrollSeen> track(scrollsSeen.begin(), scrollsSeen.end() - 2);
    int last = 0;
    for (const ScrollSeen& s : track) {
        EXPECT_EQ(s.notification, TB_THUMBTRACK);
        EXPECT_TRUE(s.buttonHeld);
        EXPECT_EQ(s.id, IDC_HEADLIGHT_LEVEL);
        EXPECT_EQ(s.high, s.position);
        EXPECT_GT(s.position, last);
        last = s.position;
    }
    EXPECT_GE(track.size(), 3u);  // one for every move of the pointer at least
    EXPECT_NEAR(last, expected, 2);
    const ScrollSeen& rest = scrollsSeen[scrollsSeen.size() - 2];
    const ScrollSeen& end = scrollsSeen.back();
    EXPECT_EQ(rest.notification, TB_THUMBPOSITION);
    EXPECT_EQ(rest.high, last);
    EXPECT_FALSE(rest.buttonHeld);
    EXPECT_EQ(end.notification, TB_ENDTRACK);
    EXPECT_EQ(end.high, 0);
    EXPECT_EQ(end.position, last);
    EXPECT_EQ(headlight, last);
}

TEST_F(SdlTrackbarTest, AButtonHeldOnTheChannelPagesTowardThePointerUntilTheThumbIsThere) {
    const SDL_Point corner = DialogPoint(IDD_LIGHTING, 115, 53);
    const int y = corner.y + DialogUnitsToPixelsY(22, UiBaseUnitY()) / 2;
    char command[96];
    RunLighting([&](int frame) {
        if (frame == 2) {
            // About position 94: the first page (51) falls short of it, the second (102) is there.
            std::snprintf(command, sizeof command, "mousemove %d %d", corner.x + 100, y);
            Xdotool(command);
        }
        if (frame == 4) {
            buttonHeld = true;
            Xdotool("mousedown 1");
        }
        if (frame == 34) {  // 1.2 seconds held
            buttonHeld = false;
            Xdotool("mouseup 1");
        }
        return frame < 40;
    });
    std::vector<std::tuple<WORD, int, bool>> seen;
    for (const ScrollSeen& s : scrollsSeen) seen.emplace_back(s.notification, s.position, s.buttonHeld);
    EXPECT_EQ(seen, (std::vector<std::tuple<WORD, int, bool>>{
                        {TB_PAGEDOWN, 51, true}, {TB_PAGEDOWN, 102, true}, {TB_ENDTRACK, 102, false}}));
}

TEST_F(SdlTrackbarTest, AClickedTrackbarTakesItsKeysWhileTheCarStillSeesThem) {
    IDirectInput8A* input = nullptr;
    IDirectInputDevice8A* keyboard = nullptr;
    ASSERT_EQ(DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                 reinterpret_cast<void**>(&input), nullptr),
              DI_OK);
    ASSERT_EQ(input->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    const SDL_Point corner = DialogPoint(IDD_LIGHTING, 115, 53);
    const int y = corner.y + DialogUnitsToPixelsY(22, UiBaseUnitY()) / 2;
    const SDL_Point autoRadio = DialogPoint(IDD_LIGHTING, 65 + 4, 111 + 5);
    size_t beforeClick = 0, beforeHeldRight = 0, afterHeldRight = 0, beforeRadioKey = 0;
    bool rightSeenByTheCar = false;
    char command[96];
    RunLighting([&](int frame) {
        switch (frame) {
            case 2:
                Xdotool("key Right End");  // no trackbar has the keyboard yet
                break;
            case 6:
                beforeClick = scrollsSeen.size();
                // The channel right of the thumb at 0: a page.
                std::snprintf(command, sizeof command, "mousemove %d %d click 1", corner.x + 100, y);
                Xdotool(command);
                break;
            case 10:
                Xdotool("key End");
                break;
            case 12:
                Xdotool("key Page_Up");
                break;
            case 14:
                Xdotool("key Left");
                break;
            case 16:
                beforeHeldRight = scrollsSeen.size();
                Xdotool("keydown Right");
                break;
            case 20:
                Xdotool("keyup Right");
                break;
            case 24:
                afterHeldRight = scrollsSeen.size();
                std::snprintf(command, sizeof command, "mousemove %d %d click 1", autoRadio.x, autoRadio.y);
                Xdotool(command);
                break;
            case 28:
                beforeRadioKey = scrollsSeen.size();
                Xdotool("key Left End");
                break;
            case 32:
                return false;
            default:
                break;
        }
        BYTE keys[256];
        if (frame > 16 && frame < 20 && keyboard->GetDeviceState(sizeof keys, keys) == DI_OK && keys[DIK_RIGHT])
            rightSeenByTheCar = true;
        return true;
    });
    SafeRelease(keyboard);
    SafeRelease(input);
    auto notifications = [](size_t from, size_t to) {
        std::vector<std::pair<WORD, int>> out;
        for (size_t i = from; i < to && i < scrollsSeen.size(); ++i)
            out.push_back({scrollsSeen[i].notification, scrollsSeen[i].position});
        return out;
    };
    EXPECT_EQ(beforeClick, 0u);
    using Seen = std::vector<std::pair<WORD, int>>;
    EXPECT_EQ(notifications(beforeClick, beforeHeldRight),
              (Seen{{TB_PAGEDOWN, 51}, {TB_ENDTRACK, 51}, {TB_BOTTOM, 255}, {TB_ENDTRACK, 255},
                    {TB_PAGEUP, 204}, {TB_ENDTRACK, 204}, {TB_LINEUP, 203}, {TB_ENDTRACK, 203}}));
    // Held, the key may repeat: a line each time, one TB_ENDTRACK at the release.
    Seen held = notifications(beforeHeldRight, afterHeldRight);
    ASSERT_GE(held.size(), 2u);
    for (size_t i = 0; i + 1 < held.size(); ++i) EXPECT_EQ(held[i], (std::pair<WORD, int>{TB_LINEDOWN, 204 + int(i)}));
    EXPECT_EQ(held.back().first, TB_ENDTRACK);
    EXPECT_TRUE(rightSeenByTheCar);
    // The radio button took the keyboard from the trackbar.
    EXPECT_EQ(afterHeldRight, beforeRadioKey);
    EXPECT_EQ(scrollsSeen.size(), beforeRadioKey);
    for (const ScrollSeen& s : scrollsSeen) EXPECT_EQ(s.id, IDC_HEADLIGHT_LEVEL);
}

TEST_F(SdlWindowTest, ThePollingLoopWaitsInsteadOfSpinning) {
    Show();
    SetTimer(window, 0, 40, nullptr);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    std::uint64_t start = MonotonicMilliseconds();
    MSG msg;
    // The game's loop: peek without removing, then take and dispatch.
    while (MonotonicMilliseconds() - start < 1000) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) continue;
        if (!GetMessageA(&msg, nullptr, 0, 0)) break;
        DispatchMessageA(&msg);
    }
    std::uint64_t wall = MonotonicMilliseconds() - start;
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    auto micros = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_usec); };
    double cpu = (micros(after.ru_utime) - micros(before.ru_utime)) + (micros(after.ru_stime) - micros(before.ru_stime));
    double share = cpu / (static_cast<double>(wall) * 1000.0);
    EXPECT_LT(share, 0.05) << "CPU share of one core: " << share * 100 << " %";
    // The pace is the timer's: 25 ticks a second, never more; a machine
    // loaded by other tests may lose a few.
    EXPECT_GE(ticks, 18);
    EXPECT_LE(ticks, 26);
}

}  // namespace
