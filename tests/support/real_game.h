// The real game for benchmarks and screenshot tests: the SDL window system and
// the OpenGL device, started from the data folder as ./run.sh does, with the
// software device's start-up message boxes answered at once (a person would
// click them away; a program measuring or checking frames must not wait for
// one). Nothing else differs from the program.
#pragma once

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include "app/game.h"
#include "app/shell.h"
#include "platform/core/win_core.h"
#include "platform/desktop/desktop.h"
#include "platform/gl/gl_diagnostics.h"
#include "platform/win.h"
#include "resources/resources.h"
#include "tests/support/test_backends.h"

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
    WinBackend& sdl_ = *DesktopBackends().window;
};

// Milliseconds on a steady clock, for the benchmarks' own timings.
inline double NowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The game as the program builds it, in the data folder, with its highscores
// kept in a file of its own so that data/ stays untouched. The working folder
// and the window system are put back when it goes.
class RealGame {
public:
    RealGame() : previousFolder_(std::filesystem::current_path()) {
        std::filesystem::current_path(std::string(TARVIK_SOURCE_DIR) + "/data");
        RegisterGameResources();
        GameFiles files;
        files.highscores = (std::filesystem::temp_directory_path() /
                            ("tarvik-real-" + std::to_string(getpid()) + "-high.dat"))
                               .string();
        highscores_ = files.highscores;
        game_ = std::make_unique<Game>(files);
    }
    ~RealGame() {
        if (IsWindow(game_->shell.mainWindow)) DestroyWindow(game_->shell.mainWindow);
        game_.reset();
        SetCurrentGame(nullptr);
        std::error_code ignored;
        std::filesystem::remove(highscores_, ignored);
        std::filesystem::current_path(previousFolder_, ignored);
    }
    RealGame(const RealGame&) = delete;
    RealGame& operator=(const RealGame&) = delete;

    // Start-up as the program does it; false with a message on stderr (no
    // display, no OpenGL).
    bool Start() {
        SetCurrentGame(game_.get());
        if (!StartUp(GetModuleHandleA(nullptr), SW_SHOWNORMAL) || !game_->graphics.device) {
            std::fprintf(stderr, "the game did not start (is there a display?)\n");
            return false;
        }
        return true;
    }

    Game& game() { return *game_; }

    QuietBackend backend;

private:
    static Backends Quiet(QuietBackend& quiet) {
        Backends b = DesktopBackends();
        b.window = &quiet;
        return b;
    }
    TestBackends backends_{Quiet(backend)};
    std::filesystem::path previousFolder_;
    std::string highscores_;
    std::unique_ptr<Game> game_;
};
