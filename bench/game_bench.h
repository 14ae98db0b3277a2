// The real game for benchmarks: the SDL window system and the OpenGL device,
// started from the data folder as ./run.sh does, with the software device's
// start-up message boxes answered at once (a person would click them away;
// a benchmark must not wait for one). Nothing else differs from the program.
#pragma once

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include "app/game.h"
#include "app/shell.h"
#include "platform/gl_device.h"
#include "platform/win.h"
#include "platform/win_core.h"
#include "resources/resources.h"

// The SDL backend in every respect but one: message boxes are counted and
// answered with OK instead of being shown.
class QuietBackend : public WinBackend {
public:
    int messageBoxes = 0;

    DWORD Now() override { return sdl_.Now(); }
    DWORD Elapsed() override { return sdl_.Elapsed(); }
    void Sleep(DWORD milliseconds) override { sdl_.Sleep(milliseconds); }
    bool AllowRegisterClass() override { return sdl_.AllowRegisterClass(); }
    bool CreateNativeWindow(WindowObject& window) override { return sdl_.CreateNativeWindow(window); }
    void ShowNativeWindow(WindowObject& window, int showCommand) override {
        sdl_.ShowNativeWindow(window, showCommand);
    }
    void DestroyNativeWindow(WindowObject& window) override { sdl_.DestroyNativeWindow(window); }
    void SetNativeTitle(WindowObject& window) override { sdl_.SetNativeTitle(window); }
    int MenuBarHeight() override { return sdl_.MenuBarHeight(); }
    void PumpEvents() override { sdl_.PumpEvents(); }
    void Idle(DWORD timeout) override { sdl_.Idle(timeout); }
    int ShowMessageBox(HWND, const std::string&, const std::string&, UINT) override {
        ++messageBoxes;
        return IDOK;
    }
    bool CanDrawMessageBoxIn(HWND) override { return false; }
    bool OpenWithShell(const std::string&) override { return false; }
    HRESULT KeyboardStepResult(KeyboardStep step) override { return sdl_.KeyboardStepResult(step); }
    void KeyboardSnapshot(BYTE keys[256]) override { sdl_.KeyboardSnapshot(keys); }
    HRESULT ReadKeyboard(BYTE keys[256]) override { return sdl_.ReadKeyboard(keys); }
    void DialogStarted(DialogRuntime& dialog) override { sdl_.DialogStarted(dialog); }
    void DialogEnded(DialogRuntime& dialog) override { sdl_.DialogEnded(dialog); }
    bool ModalLoopStalled(DialogRuntime& dialog) override { return sdl_.ModalLoopStalled(dialog); }

private:
    WinBackend& sdl_ = SdlBackend();
};

// Milliseconds on a steady clock, for the benchmarks' own timings.
inline double NowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The game as the program builds it, in the data folder, with its highscores
// kept in a file of the benchmark's own so that data/ stays untouched.
class BenchGame {
public:
    BenchGame() : BenchGame(Prepare()) {}
    ~BenchGame() {
        if (IsWindow(game.shell.mainWindow)) DestroyWindow(game.shell.mainWindow);
        SetCurrentGame(nullptr);
        std::error_code ignored;
        std::filesystem::remove(files_.highscores, ignored);
    }
    BenchGame(const BenchGame&) = delete;
    BenchGame& operator=(const BenchGame&) = delete;

    // Start-up as the program does it; false with a message on stderr.
    bool Start() {
        SetCurrentGame(&game);
        if (!StartUp(GetModuleHandleA(nullptr), SW_SHOWNORMAL) || !game.graphics.device) {
            std::fprintf(stderr, "benchmark: the game did not start (is there a display?)\n");
            return false;
        }
        return true;
    }

    QuietBackend backend;
    Game game;

private:
    struct Prepared {
        GameFiles files;
    };
    static Prepared Prepare() {
        std::filesystem::current_path(std::string(TARVIK_SOURCE_DIR) + "/data");
        SetDirect3DFactory(CreateOpenGLDirect3D);
        RegisterGameResources();
        Prepared p;
        p.files.highscores = (std::filesystem::temp_directory_path() /
                              ("tarvik-bench-" + std::to_string(getpid()) + "-high.dat"))
                                 .string();
        return p;
    }
    explicit BenchGame(const Prepared& p) : game((SetWinBackend(&backend), p.files)), files_(p.files) {}

    GameFiles files_;
};
