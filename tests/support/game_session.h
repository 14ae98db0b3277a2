// The one harness for whole-game tests and benchmarks: the game as the
// program builds it, in a folder that is its working folder while the session
// lives (the data folder unless told otherwise), started with StartUp, driven
// through its message loop, and torn down, which writes high.dat.
//
// It runs on one of two sets of back-ends:
// - Recording: the recording window system, Direct3D and sound. The clock is
//   virtual, the test holds and queues the keys, and the highscore dialogs
//   are answered (OK on the list, `winnerName` in the name entry) unless the
//   test answers them itself.
// - Desktop: the SDL window system and the OpenGL device, as the program
//   runs, with the software device's start-up message boxes answered at once
//   (a person would click them away; a program measuring or checking frames
//   must not wait for one). Needs a display.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "app/game.h"
#include "app/shell.h"
#include "platform/core/win_core.h"
#include "platform/desktop/desktop.h"
#include "platform/win.h"
#include "resources/resource.h"
#include "resources/resources.h"
#include "scores/highscore_dialog_procs.h"
#include "tests/support/test_backends.h"
#include "tests/support/working_folder.h"

// The SDL back-end in every respect but one: message boxes are counted and
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
    bool SetFullScreen(WindowObject& window, bool on) override { return sdl_.SetFullScreen(window, on); }
    std::string KeyLabel(BYTE dik) override { return sdl_.KeyLabel(dik); }
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

enum class GameBackends { Recording, Desktop };

class GameSession {
public:
    // The game in `folder` with `files`, built by Build or Start, so that a
    // test may prepare the folder, the files and its dialog answers first.
    GameSession(const std::filesystem::path& folder, const GameFiles& files,
                GameBackends backends = GameBackends::Recording)
        : folder_(folder), files_(files) {
        Install(backends);
    }
    // The game in the data folder with a high.dat of the session's own, gone
    // with the session, so that data/ stays untouched.
    explicit GameSession(GameBackends backends = GameBackends::Recording) : folder_(DataFolder()) {
        files_.highscores = (std::filesystem::temp_directory_path() /
                             ("tarvik-session-" + std::to_string(getpid()) + "-" + std::to_string(++Sessions()) +
                              "-high.dat"))
                                .string();
        ownHighscores_ = files_.highscores;
        std::error_code ignored;
        std::filesystem::remove(ownHighscores_, ignored);
        Install(backends);
    }
    ~GameSession() { End(); }
    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;

    // Recording: the game reads these pads (none unless set). Before Build.
    void UseGamepads(GamepadBackend* pads) {
        if (desktop_ || game_) return;
        backends_.reset();
        backends_.emplace(&platform, sound, pads);
    }

    // Goes into the folder and builds the game's objects, as before main.
    void Build() {
        if (game_) return;
        in_.emplace(folder_);
        game_ = std::make_unique<Game>(files_);
        game_->settings.smoothFrames = smoothFrames;
        game_->savedSettings.smoothFrames = smoothFrames;
        SetCurrentGame(game_.get());
        dialogs_ = std::make_unique<GameHighscoreDialogs>(game_->shell.appInstance, game_->shell.mainWindow);
        game_->highscores.SetDialogs(dialogs_.get());
    }

    // Builds the game if need be and starts it as the program does. On the
    // desktop a start without a device counts as failed, with a message on
    // stderr (no display, no OpenGL).
    bool Start() {
        Build();
        if (StartUp(GetModuleHandleA(nullptr), SW_SHOWNORMAL) && game_->graphics.device) return true;
        if (desktop_) std::fprintf(stderr, "the game did not start (is there a display?)\n");
        return false;
    }

    Game& game() {
        Build();
        return *game_;
    }

    // Recording: runs the message loop. `script` is called once after every
    // timer tick with the number of ticks so far; keys it holds act from the
    // next tick on. After `ticks` ticks the player presses Esc and the exit
    // dialogs are answered.
    void Play(std::uint64_t ticks, const std::function<void(std::uint64_t tick)>& script = {}) {
        std::uint64_t seen = 0;
        bool quitting = false;
        // The timer expires every 40 ms of the platform's clock, which runs only
        // from one expiry to the next while the game has nothing to do.
        const DWORD begin = platform.Now();
        platform.OnIdle([&] {
            const std::uint64_t tick = (platform.Now() - begin) / 40;
            if (tick == seen || quitting) return;
            seen = tick;
            if (script) script(tick);
            if (tick >= ticks) {
                platform.ReleaseAllKeys();
                platform.QueueKey(VK_ESCAPE);
                quitting = true;
            }
        });
        RunMessageLoop();
        platform.OnIdle(nullptr);
    }

    // Recording: the device the game made.
    RecordingDevice* Device() {
        RecordingDirect3D* d3d = LastRecordingDirect3D();
        return d3d ? d3d->lastDevice : nullptr;
    }

    // Tears the game down (the sounds, high.dat, the meshes, the device) and
    // goes back to the previous working folder.
    void End() {
        if (game_) {
            // A desktop window still open goes first, as when the program closes.
            if (desktop_ && IsWindow(game_->shell.mainWindow)) DestroyWindow(game_->shell.mainWindow);
            game_.reset();
            dialogs_.reset();
            SetCurrentGame(nullptr);
        }
        in_.reset();
        std::error_code ignored;
        if (!ownHighscores_.empty()) std::filesystem::remove(ownHighscores_, ignored);
    }

    // The recording back-ends. Declared first so that the game goes before them.
    RecordingPlatform platform;
    std::shared_ptr<SoundRecorder> sound = std::make_shared<SoundRecorder>();
    // The desktop's window system.
    QuietBackend quiet;
    std::string winnerName = "Dauertest";
    // One frame per tick, the repaint stepping the race, as the game was first
    // made: what most tests hold it to. Set before Build for smooth frames.
    bool smoothFrames = false;
    int listsShown = 0;  // highscore lists the session answered

private:
    static int& Sessions() {
        static int count = 0;
        return count;
    }

    void Install(GameBackends backends) {
        desktop_ = backends == GameBackends::Desktop;
        if (desktop_) {
            WarmUpDesktop();  // as the program does
            Backends b = DesktopBackends();
            b.window = &quiet;
            backends_.emplace(b);
        } else {
            backends_.emplace(&platform, sound);
            platform.OnDialog(IDD_HIGHSCORE_LIST, [this](DialogDriver& d) {
                ++listsShown;
                d.Click(IDOK);
            });
            platform.OnDialog(IDD_NAME_ENTRY, [this](DialogDriver& d) {
                d.TypeText(IDC_NAME_ENTRY, winnerName);
                d.Click(IDOK);
            });
        }
        RegisterGameResources();
    }

    std::filesystem::path folder_;
    GameFiles files_;
    std::string ownHighscores_;
    bool desktop_ = false;
    std::optional<TestBackends> backends_;
    std::optional<WorkingFolder> in_;
    std::unique_ptr<GameHighscoreDialogs> dialogs_;
    std::unique_ptr<Game> game_;
};
