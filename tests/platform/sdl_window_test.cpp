// The SDL backend on a real display (Xvfb will do; skipped without one): the
// window and its menu bar, a dialog and a message box drawn over a cleared GL
// frame, input from the window system, and a polling loop that waits.
#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/native_window.h"
#include "platform/win.h"
#include "resources/resource.h"
#include "resources/resources.h"

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

// The window of the test with a GL context of its own standing in for the device.
class SdlWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) GTEST_SKIP() << "no display";
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
        if (PresentOverlay overlay = CurrentPresentOverlay()) overlay(window);
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

    static inline SdlWindowTest* self = nullptr;
    HWND window = nullptr;
    SDL_Window* native = nullptr;
    SDL_GLContext context = nullptr;
    std::vector<std::pair<WPARAM, LPARAM>> sizes;
    std::vector<WPARAM> commands;
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

    // The dialog (489 x 241 pixels of client with 6 x 13 base units, plus its
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

TEST_F(SdlWindowTest, AMouseClickOnOkEndsTheDialog) {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::string(driver) != "x11") GTEST_SKIP() << "not X11";
    Show();
    SetTimer(window, 0, 40, nullptr);
    int x = 0, y = 0;
    SDL_GetWindowPosition(native, &x, &y);
    // The OK button of the info dialog: (203, 162) size 50 x 14 in dialog units,
    // with 6 x 13 base units and the dialog centred in the client area.
    RECT client{};
    GetClientRect(window, &client);
    int menuBar = 768 - client.bottom;
    int dialogWidth = 420, dialogHeight = 310;  // 280 x 191 units
    int caption = menuBar;                       // the caption is as high as the menu bar
    int left = 512 - dialogWidth / 2;
    int top = menuBar + client.bottom / 2 - (dialogHeight + caption) / 2 + caption;
    int buttonX = x + left + (203 + 25) * 6 / 4;
    int buttonY = y + top + (162 + 7) * 13 / 8;
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
    // The pace is the timer's: 25 ticks a second.
    EXPECT_GE(ticks, 22);
    EXPECT_LE(ticks, 26);
}

}  // namespace
