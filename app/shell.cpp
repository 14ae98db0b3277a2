#include "app/shell.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/config_dialog.h"
#include "app/game.h"
#include "app/lighting_dialog.h"
#include "app/window_keys.h"
#include "render/mesh_model.h"
#include "resources/resource.h"
#include "scores/highscore_dialog_procs.h"
#include "platform/port/frame_pacing.h"
#include "platform/port/menu_bar.h"
#include "platform/port/step_trace.h"
#include "util3d/load_ahead.h"

namespace {

Game* currentGame = nullptr;
HACCEL accelerators = nullptr;
// The last tick's keys ended the title flight: a press of the pad's Start
// read then is the one that ended it.
bool titleEndedThisTick = false;

constexpr UINT kStartUpMessageStyle = MB_OK | MB_ICONHAND | MB_SETFOREGROUND;

void CheckItem(HMENU menu, UINT item, bool on) { CheckMenuItem(menu, item, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED)); }

// The pause on or off, with its check mark, which shows it.
void SetPaused(Game& game, bool on) {
    game.race.SetPaused(on);
    CheckItem(game.shell.mainMenu, IDM_PAUSE, game.race.paused != 0);
}

// The window went to the background (another program has the focus, or it
// was minimised): a race pauses as F4 pauses it, and stays paused until the
// player goes on.
void PauseInBackground(Game& game) {
    const RaceState& race = game.race;
    if (!game.settings.pauseInBackground || race.paused || race.titleShowing != 0 || race.endingShowing != 0) return;
    SendMessageA(game.shell.mainWindow, WM_COMMAND, MAKEWPARAM(IDM_PAUSE, 0), 0);
}

// One tick: the keys, the controls and the race's frame, which with smooth
// frames moves the game and keeps its picture without drawing it.
void Tick(Game& game) {
    if (game.loopWatch) game.loopWatch->TickStarts();
    const bool title = game.race.titleShowing == 1;
    game.keyboard.Poll(game.shell.mainWindow, game.controls);
    game.race.ApplyControls();
    titleEndedThisTick = title && game.race.titleShowing == 0;
    game.race.Frame();
    if (!game.loopWatch) return;
    game.loopWatch->Ticked();
    if (!game.scene.Smooth() && !IsIconic(game.shell.mainWindow)) game.loopWatch->FrameShown();
}

int FramesPerSecond(const Game& game) {
    const int limit = game.settings.frameLimit;
    if (limit == kFrameLimitNone) return 0;
    if (limit != kFrameLimitDisplay) return limit;
    const int rate = DisplayRefreshRate(game.shell.mainWindow);
    return rate > 0 ? rate : 60;
}

// The menu bar and the dialogs are drawn with the game's frames: while one
// is open, each tick draws its frame whether or not the game moved.
bool OverlayOpen(const Game& game) {
    const HWND window = game.shell.mainWindow;
    return !IsWindowEnabled(window) || IsMenuBarOpen(window);
}

// Draws the smooth frame of now; only when it differs from the one drawn
// last, unless `evenIfSame`. A minimised window draws nothing.
void DrawSmoothFrame(Game& game, bool evenIfSame) {
    if (IsIconic(game.shell.mainWindow)) return;
    const DWORD began = timeGetTime();
    if (!game.scene.DrawBetweenTicks(game.pacer.Fraction(began), evenIfSame || OverlayOpen(game))) return;
    game.pacer.FrameDrawn(began, timeGetTime());
    if (game.loopWatch) game.loopWatch->FrameShown();
}

// The next of the frames planned after the last tick, while something
// moves; none while nothing does.
void ScheduleFrame(Game& game) {
    const HWND window = game.shell.mainWindow;
    const UINT in = game.scene.Moving() && !IsIconic(window) ? game.pacer.NextFrameIn(timeGetTime()) : 0;
    if (in > 0)
        SetFrameTimer(window, kSmoothFrameTimer, in);
    else
        KillTimer(window, kSmoothFrameTimer);
}

// A command that came from a key (an accelerator) rather than the menu.
bool FromKey(WPARAM wParam) { return HIWORD(wParam) == 1; }

}  // namespace

void SetCurrentGame(Game* game) { currentGame = game; }
Game& CurrentGame() { return *currentGame; }

bool StartUp(HINSTANCE instance, int showCommand) {
    Game& game = CurrentGame();
    // The meshes' textures are decoded on the side while the window and the
    // device are made; the loads below take them from there.
    std::vector<std::string> meshFiles;
    for (const MeshFile& file : kMeshLoadOrder) meshFiles.push_back(file.fileName);
    LoadAhead ahead(std::move(meshFiles));
    Shell& shell = game.shell;
    shell.appInstance = instance;
    shell.appTitle = "Tarvik 3D";

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TARVIK));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_WINDOW + 1));
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MENU);
    windowClass.lpszClassName = shell.appTitle;
    if (!RegisterClassExA(&windowClass)) return false;

    accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));

    HWND window = CreateWindowExA(0, shell.appTitle, shell.appTitle, WS_OVERLAPPEDWINDOW, 0, 0, 1024, 768, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) return false;
    shell.mainWindow = window;
    shell.mainMenu = GetMenu(window);
    TraceStep("window");

    if (!game.race.InitGame()) {
        MessageBoxA(window, "Direct3d konnte nicht initialisiert werden", shell.appTitle, kStartUpMessageStyle);
        return false;
    }
    if (!game.keyboard.Create(shell.appInstance, window)) {
        MessageBoxA(window, "DInput Fehler : InitAll", shell.appTitle, kStartUpMessageStyle);
        return false;
    }
    TraceStep("keyboard");
    game.sounds.volume = game.settings.volume;
    const HRESULT sounds = game.sounds.Init(window);
    if (sounds == DSERR_NODRIVER && !game.sounds.manager.device) {
        // No sound device at all: the game plays without its sounds, which
        // every sound call takes in its stride (they have no buffer to play).
        std::fputs("Tarvik 3D: Kein Soundger\u00e4t gefunden; das Spiel l\u00e4uft ohne Ton.\n", stderr);
    } else if (sounds < 0) {
        MessageBoxA(window, "Fehler beim Initialisieren der Sounds", shell.appTitle, kStartUpMessageStyle);
        return false;
    }
    TraceStep("sounds");
    CheckItem(shell.mainMenu, IDM_SOUND, game.sounds.soundOn != 0);
    SetTimer(window, kTickTimer, 40, nullptr);
    ShowWindow(window, showCommand);
    TraceStep("window shown");
    // The player's keys, pads and full screen (the volume went with the sounds),
    // and the lighting as the player left it.
    ApplySettings(game);
    RestoreLighting(game);

    RaceState& race = game.race;
    race.lapCount = -1;
    race.FreeLapMarks();
    race.lapRecorded = 0;
    race.clockStart = timeGetTime();
    game.sounds.Play(SOUND_TITLE, 0);
    race.ResetTitleCamera();
    return true;
}

int RunMessageLoop() {
    Game& game = CurrentGame();
    MSG msg;
    for (;;) {
        // Polls like the original; the platform's PeekMessage waits for the next
        // event or timer instead of letting this spin a core.
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) continue;
        if (!GetMessageA(&msg, nullptr, 0, 0)) break;
        if (!TranslateAcceleratorA(game.shell.mainWindow, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return 0;
}

int WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    if (!StartUp(instance, showCommand)) return 0;
    return RunMessageLoop();
}

void RunExitSequence(Game& game) {
    // The ending comes as always, with the background going on.
    if (game.race.paused) SetPaused(game, false);
    game.car.position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    game.car.UpdatePose();
    BuildCreditsPage(game.credits, 0);
    game.race.endingShowing = 1;
    game.highscores.Refresh();  // what another game saved meanwhile, so the list and the place are today's
    if (HighscoreDialogs* dialogs = game.highscores.Dialogs()) dialogs->ShowList(game.highscores);
    std::uint32_t fastest = 0;
    if (game.race.FastestLap(&fastest)) game.highscores.Insert(fastest);
    PostMessageA(game.shell.mainWindow, WM_CLOSE, 0, 0);
}

LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Game& game = CurrentGame();
    Shell& shell = game.shell;
    switch (message) {
        case WM_TIMER:
            if (!game.scene.Smooth()) {
                Tick(game);
            } else if (wParam == kSmoothFrameTimer) {
                game.pacer.FrameSlotGone();
                if (game.pacer.FrameFits(timeGetTime())) DrawSmoothFrame(game, false);
                ScheduleFrame(game);
            } else if (const int due = game.pacer.TicksDue(timeGetTime()); due > 0) {
                // Every tick that is due, the frame of the last at once, and
                // the frames until the next.
                for (int i = 0; i < due; ++i) Tick(game);
                game.pacer.PlanFrames(FramesPerSecond(game));
                DrawSmoothFrame(game, false);
                ScheduleFrame(game);
            }
            break;
        case WM_PAINT:
            // A repaint steps the race as a tick does, as it always did;
            // with smooth frames it draws the frame of now and steps nothing.
            if (game.scene.Smooth())
                DrawSmoothFrame(game, true);
            else
                game.race.Frame();
            ValidateRect(window, nullptr);
            break;
        case WM_OVERLAYINPUT:
            // The menu bar or a dialog took input: shown at once where no
            // frames come anyway.
            if (game.scene.Smooth() && !game.scene.Moving()) DrawSmoothFrame(game, true);
            return 0;
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) game.graphics.Resize(LOWORD(lParam), HIWORD(lParam));
            if (wParam == SIZE_MINIMIZED) PauseInBackground(game);
            break;
        case WM_ACTIVATEAPP:
            if (!wParam) PauseInBackground(game);
            break;
        case WM_DESTROY:
            if (game.race.debugDisplay == 1) game.drawStats.ShowReport(game);
            PostQuitMessage(0);
            return 0;
        case WM_KEYDOWN:
            if (wParam == kMenuBarPadKey) {
                // The pad's Start ends the title flight when that is its
                // action; everywhere else it opens the menu bar.
                const bool endsTitle = game.settings.pad.buttons[PAD_ACTION_START] == PAD_START;
                const bool title = game.race.titleShowing == 1 || titleEndedThisTick;
                if (!(title && endsTitle)) OpenMenuBarForKeys(window);
                return 0;
            }
            [[fallthrough]];
        case WM_SYSKEYDOWN:
            if (const UINT command = WindowKeyCommand(message, wParam, lParam)) {
                SendMessageA(window, WM_COMMAND, MAKEWPARAM(command, 1), 0);
                return 0;
            }
            break;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDM_QUIT:
                    RunExitSequence(game);
                    return 0;
                case IDM_LIGHTING:
                    DialogBoxA(shell.appInstance, MAKEINTRESOURCEA(IDD_LIGHTING), shell.mainWindow, LightingDialog);
                    break;
                case IDM_SOUND: {
                    GameSounds& sounds = game.sounds;
                    sounds.soundOn = sounds.soundOn ? 0 : 1;
                    CheckItem(shell.mainMenu, IDM_SOUND, sounds.soundOn != 0);
                    if (sounds.backgroundHeld)
                        sounds.SwitchWhileHeld();  // the pause decides when it is heard again
                    else if (sounds.soundOn)
                        sounds.Play(SOUND_BACKGROUND, 1);
                    else if (sounds.sounds[SOUND_BACKGROUND])
                        sounds.sounds[SOUND_BACKGROUND]->Stop();
                    return 0;
                }
                case IDM_PAUSE:
                    game.race.pauseFlag = game.race.pauseFlag ? 0 : 1;
                    // Only the race pauses: the title flight and the ending are none.
                    if (game.race.titleShowing == 0 && game.race.endingShowing == 0)
                        SetPaused(game, game.race.paused == 0);
                    return 0;
                case IDM_NEW_GAME:
                    if (game.race.endingShowing == 1) return 0;
                    if (game.race.titleShowing == 1) {
                        game.race.EndTitle();  // as Space does
                        return 0;
                    }
                    // While paused the keys do nothing; the menu item starts a race that runs.
                    if (game.race.paused) {
                        if (FromKey(wParam)) return 0;
                        SetPaused(game, false);
                    }
                    game.race.StartNewRace();
                    return 0;
                case IDM_CONFIGURATION:
                    DialogBoxA(shell.appInstance, MAKEINTRESOURCEA(IDD_CONFIGURATION), shell.mainWindow,
                               ConfigDialogProc);
                    return 0;
                case IDM_FULLSCREEN:
                    ToggleFullScreen(game);
                    return 0;
                case IDM_HELP:
                    DialogBoxA(shell.appInstance, MAKEINTRESOURCEA(IDD_HELP), shell.mainWindow, HelpDialogProc);
                    return 0;
                case IDM_HIGHSCORE:
                    if (HighscoreDialogs* dialogs = game.highscores.Dialogs()) dialogs->ShowList(game.highscores);
                    return 0;
                case IDM_INFO:
                    DialogBoxA(shell.appInstance, MAKEINTRESOURCEA(IDD_INFO), shell.mainWindow, InfoDialogProc);
                    return 0;
                case IDM_HORN:
                    if (game.race.paused) return 0;  // the keys do nothing while paused
                    game.sounds.Play(SOUND_HORN, 0);
                    return 0;
                default: break;
            }
            break;
        default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

INT_PTR HelpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (wParam == IDOK || wParam == IDCANCEL)) {
        EndDialog(dialog, INT_PTR(wParam));
        return TRUE;
    }
    return FALSE;
}

std::string InfoPageAddress() {
    std::error_code error;
    auto page = std::filesystem::absolute("info/tarvik3d.html", error);
    // Blanks and letters beyond ASCII in the folder's name are escaped, as an
    // address has them: the address stays one word that a browser takes as
    // it is, also when the player copies it from the message below.
    std::string address = "file://";
    for (unsigned char c : page.string()) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (plain || (c && std::strchr("/-._~", c))) {
            address += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            address += escaped;
        }
    }
    return address;
}

INT_PTR InfoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && wParam == IDC_MORE_INFO) {
        const std::string address = InfoPageAddress();
        HINSTANCE opened = ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        // No opener on this desktop, or it failed: the player gets the
        // address to open by hand. The dialog stays open either way.
        if (reinterpret_cast<INT_PTR>(opened) <= 32) {
            const std::string text = "Die Seite konnte nicht ge\xF6" "ffnet werden.\nDie Adresse zum Kopieren:\n" + address;
            MessageBoxA(dialog, text.c_str(), CurrentGame().shell.appTitle, MB_OK | MB_ICONEXCLAMATION);
        }
        return TRUE;
    }
    if (message == WM_COMMAND && (wParam == IDOK || wParam == IDCANCEL)) {
        EndDialog(dialog, INT_PTR(wParam));
        return TRUE;
    }
    return FALSE;
}
