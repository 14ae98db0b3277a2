#include "app/config_dialog.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/game.h"
#include "app/shell.h"
#include "platform/port/frame_pacing.h"
#include "platform/port/gamepad.h"
#include "platform/port/window_mode.h"
#include "resources/resource.h"

namespace {

constexpr UINT_PTR kCaptureTimer = 1;

// Texts of the dialog, in Windows-1252.
const char* const kKeyActionLabels[KEY_ACTION_COUNT] = {"Gas", "Bremse", "Links", "Rechts", "Start (Titel)",
                                                        "Debug-Anzeige"};
const char* const kPadActionLabels[PAD_ACTION_COUNT] = {"Gas", "Bremse", "Start (Titel)", "Beenden", "Hupe",
                                                        "Pause"};
const char* const kWaiting = "...";

std::string Quoted(const std::string& text) { return "\x84" + text + "\x93"; }

// What the open dialog shows and what it is waiting for. There is one
// dialog at a time.
struct Draft {
    GameSettings settings;
    enum class Capture { None, Key, Pad } capture = Capture::None;
    int action = -1;
    BYTE keysBefore[256] = {};  // keys down when last looked at during a capture
    DWORD padBefore = 0;
    int padCount = -1;  // as last shown
};

Draft draft;

std::string KeyLabel(BYTE dik) {
    char name[64];
    const LONG lParam = static_cast<LONG>((DWORD(dik & 0x7F) << 16) | ((dik & 0x80) ? (DWORD(1) << 24) : 0));
    if (GetKeyNameTextA(lParam, name, sizeof name) == 0) return KeyFileName(dik);
    return name;
}

void Say(HWND dialog, const std::string& text) { SetDlgItemTextA(dialog, IDC_CONFIG_MESSAGE, text.c_str()); }

void ShowKey(HWND dialog, int action) {
    SetDlgItemTextA(dialog, IDC_KEY_BUTTON[action], KeyLabel(KeyOf(draft.settings.keys, KeyAction(action))).c_str());
}

void ShowPadButton(HWND dialog, int action) {
    SetDlgItemTextA(dialog, IDC_PAD_BUTTON[action], PadButtonLabel(draft.settings.pad.buttons[action]).c_str());
}

void ShowVolume(HWND dialog) {
    SendDlgItemMessageA(dialog, IDC_VOLUME, TBM_SETPOS, TRUE, draft.settings.volume);
    SetDlgItemTextA(dialog, IDC_VOLUME_TEXT, (std::to_string(draft.settings.volume) + " %").c_str());
}

void ShowPadCount(HWND dialog) {
    const int count = GamepadCount();
    if (count == draft.padCount) return;
    draft.padCount = count;
    const std::string text = count == 0   ? std::string("Kein Gamepad angeschlossen.")
                             : count == 1 ? std::string("1 Gamepad angeschlossen.")
                                          : std::to_string(count) + " Gamepads angeschlossen.";
    SetDlgItemTextA(dialog, IDC_PAD_STATUS, text.c_str());
}

static_assert(IDC_FRAME_LIMIT_LAST - IDC_FRAME_LIMIT_FIRST + 1 == std::size(kFrameLimits));

// The limit counts only for smooth frames: without them its choices are grey.
void ShowSmoothFrames(HWND dialog) {
    CheckDlgButton(dialog, IDC_SMOOTH_FRAMES, draft.settings.smoothFrames ? BST_CHECKED : BST_UNCHECKED);
    for (int i = 0; i <= IDC_FRAME_LIMIT_LAST - IDC_FRAME_LIMIT_FIRST; ++i) {
        const HWND choice = GetDlgItem(dialog, IDC_FRAME_LIMIT_FIRST + i);
        CheckDlgButton(dialog, IDC_FRAME_LIMIT_FIRST + i,
                       kFrameLimits[i] == draft.settings.frameLimit ? BST_CHECKED : BST_UNCHECKED);
        EnableWindow(choice, draft.settings.smoothFrames ? TRUE : FALSE);
    }
}

void ShowAll(HWND dialog) {
    for (int a = 0; a < KEY_ACTION_COUNT; ++a) ShowKey(dialog, a);
    for (int a = 0; a < PAD_ACTION_COUNT; ++a) ShowPadButton(dialog, a);
    CheckDlgButton(dialog, IDC_PAD_ENABLED, draft.settings.pad.enabled ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_FULLSCREEN, draft.settings.fullScreen ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(dialog, IDC_OUTLINE_AUTOMATIC, IDC_OUTLINE_NEVER,
                     IDC_OUTLINE_AUTOMATIC + static_cast<int>(draft.settings.outline));
    ShowSmoothFrames(dialog);
    CheckDlgButton(dialog, IDC_PAUSE_IN_BACKGROUND, draft.settings.pauseInBackground ? BST_CHECKED : BST_UNCHECKED);
    ShowVolume(dialog);
}

// Ends a capture; its button shows what it holds again.
void EndCapture(HWND dialog) {
    if (draft.capture == Draft::Capture::Key) ShowKey(dialog, draft.action);
    if (draft.capture == Draft::Capture::Pad) {
        ShowPadButton(dialog, draft.action);
        HoldPadNavigation(dialog, FALSE);
    }
    draft.capture = Draft::Capture::None;
    draft.action = -1;
}

void StartKeyCapture(HWND dialog, int action) {
    EndCapture(dialog);
    draft.capture = Draft::Capture::Key;
    draft.action = action;
    std::memcpy(draft.keysBefore, CurrentGame().keyboard.keys, sizeof draft.keysBefore);
    SetDlgItemTextA(dialog, IDC_KEY_BUTTON[action], kWaiting);
    Say(dialog, "Taste f\xFCr " + Quoted(kKeyActionLabels[action]) + " dr\xFC" "cken (Esc bricht ab).");
}

void StartPadCapture(HWND dialog, int action) {
    EndCapture(dialog);
    draft.capture = Draft::Capture::Pad;
    draft.action = action;
    // The pad's buttons are what the capture waits for, not moves through the dialog.
    HoldPadNavigation(dialog, TRUE);
    draft.padBefore = GamepadInputsDown();
    std::memcpy(draft.keysBefore, CurrentGame().keyboard.keys, sizeof draft.keysBefore);
    SetDlgItemTextA(dialog, IDC_PAD_BUTTON[action], kWaiting);
    Say(dialog, "Gamepad-Taste f\xFCr " + Quoted(kPadActionLabels[action]) +
                    " dr\xFC" "cken (Entf: keine, Esc bricht ab).");
}

// A key that went down since the last look, not Esc (which is the dialog's);
// 0 when none did.
BYTE NewKey() {
    const BYTE* keys = CurrentGame().keyboard.keys;
    BYTE found = 0;
    for (int dik = 1; dik < 256; ++dik) {
        if ((keys[dik] & 0x80) && !(draft.keysBefore[dik] & 0x80) && dik != DIK_ESCAPE && !found)
            found = static_cast<BYTE>(dik);
    }
    std::memcpy(draft.keysBefore, keys, sizeof draft.keysBefore);
    return found;
}

void TakeKey(HWND dialog, BYTE dik) {
    const std::string name = Quoted(KeyLabel(dik));
    const std::string again = " Bitte eine andere Taste dr\xFC" "cken (Esc bricht ab).";
    if (!IsDrivingKey(dik)) {
        const std::string use = FixedKeyUse(dik);
        Say(dialog, name + (use.empty() ? " kann nicht zum Fahren dienen." : " ist fest vergeben (" + use + ").") + again);
        return;
    }
    for (int other = 0; other < KEY_ACTION_COUNT; ++other) {
        if (other != draft.action && KeyOf(draft.settings.keys, KeyAction(other)) == dik) {
            Say(dialog, name + " ist schon mit " + Quoted(kKeyActionLabels[other]) + " belegt." + again);
            return;
        }
    }
    KeyOf(draft.settings.keys, KeyAction(draft.action)) = dik;
    EndCapture(dialog);
    Say(dialog, "");
}

void TakePadButton(HWND dialog, int button) {
    const std::string again = " Bitte eine andere Taste dr\xFC" "cken (Esc bricht ab).";
    if (button != kNoPadButton && !IsAssignablePadButton(button)) {
        Say(dialog, "Steuerkreuz, Stick und Trigger lenken, geben Gas und bremsen." + again);
        return;
    }
    for (int other = 0; button != kNoPadButton && other < PAD_ACTION_COUNT; ++other) {
        if (other != draft.action && draft.settings.pad.buttons[other] == button) {
            Say(dialog, Quoted(PadButtonLabel(button)) + " ist schon mit " + Quoted(kPadActionLabels[other]) +
                            " belegt." + again);
            return;
        }
    }
    draft.settings.pad.buttons[draft.action] = button;
    EndCapture(dialog);
    Say(dialog, "");
}

// Looks for the key or the pad's button the capture waits for.
void LookForInput(HWND dialog) {
    if (draft.capture == Draft::Capture::Key) {
        if (BYTE dik = NewKey()) TakeKey(dialog, dik);
    } else if (draft.capture == Draft::Capture::Pad) {
        if (NewKey() == DIK_DELETE) {
            TakePadButton(dialog, kNoPadButton);
            return;
        }
        const DWORD down = GamepadInputsDown();
        const DWORD pressed = down & ~draft.padBefore;
        draft.padBefore = down;
        for (int input = 0; input < PAD_INPUT_COUNT; ++input) {
            if (pressed & PadBit(PadInput(input))) {
                TakePadButton(dialog, input);
                break;
            }
        }
    }
}

void SetVolume(HWND dialog, int percent) {
    draft.settings.volume = percent;
    SetDlgItemTextA(dialog, IDC_VOLUME_TEXT, (std::to_string(percent) + " %").c_str());
    // Heard at once; Cancel puts the volume back.
    CurrentGame().sounds.SetVolume(percent);
}

void Close(HWND dialog, INT_PTR result) {
    KillTimer(dialog, kCaptureTimer);
    draft.capture = Draft::Capture::None;
    EndDialog(dialog, result);
}

}  // namespace

INT_PTR ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    Game& game = CurrentGame();
    switch (message) {
        case WM_INITDIALOG:
            draft = Draft{};
            draft.settings = game.settings;
            SendDlgItemMessageA(dialog, IDC_VOLUME, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
            ShowAll(dialog);
            ShowPadCount(dialog);
            SetTimer(dialog, kCaptureTimer, 40, nullptr);
            return TRUE;
        case WM_TIMER:
            LookForInput(dialog);
            ShowPadCount(dialog);
            return TRUE;
        case WM_HSCROLL:
            SetVolume(dialog, static_cast<int>(SendDlgItemMessageA(dialog, IDC_VOLUME, TBM_GETPOS, 0, 0)));
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            for (int a = 0; a < KEY_ACTION_COUNT; ++a) {
                if (id == IDC_KEY_BUTTON[a]) {
                    StartKeyCapture(dialog, a);
                    return TRUE;
                }
            }
            for (int a = 0; a < PAD_ACTION_COUNT; ++a) {
                if (id == IDC_PAD_BUTTON[a]) {
                    StartPadCapture(dialog, a);
                    return TRUE;
                }
            }
            if (id >= IDC_FRAME_LIMIT_FIRST && id <= IDC_FRAME_LIMIT_LAST) {
                draft.settings.frameLimit = kFrameLimits[id - IDC_FRAME_LIMIT_FIRST];
                return TRUE;
            }
            switch (id) {
                case IDC_PAD_ENABLED:
                    draft.settings.pad.enabled = IsDlgButtonChecked(dialog, IDC_PAD_ENABLED) == BST_CHECKED;
                    return TRUE;
                case IDC_FULLSCREEN:
                    draft.settings.fullScreen = IsDlgButtonChecked(dialog, IDC_FULLSCREEN) == BST_CHECKED;
                    return TRUE;
                case IDC_OUTLINE_AUTOMATIC:
                case IDC_OUTLINE_ALWAYS:
                case IDC_OUTLINE_NEVER:
                    draft.settings.outline = static_cast<ReadoutOutline>(id - IDC_OUTLINE_AUTOMATIC);
                    return TRUE;
                case IDC_SMOOTH_FRAMES:
                    draft.settings.smoothFrames = IsDlgButtonChecked(dialog, IDC_SMOOTH_FRAMES) == BST_CHECKED;
                    ShowSmoothFrames(dialog);
                    return TRUE;
                case IDC_PAUSE_IN_BACKGROUND:
                    draft.settings.pauseInBackground =
                        IsDlgButtonChecked(dialog, IDC_PAUSE_IN_BACKGROUND) == BST_CHECKED;
                    return TRUE;
                case IDC_DEFAULTS: {
                    EndCapture(dialog);
                    // The lighting has no place here: the defaults leave it as it is.
                    const LightingSettings lighting = draft.settings.lighting;
                    draft.settings = GameSettings();
                    draft.settings.lighting = lighting;
                    ShowAll(dialog);
                    game.sounds.SetVolume(draft.settings.volume);
                    Say(dialog, "Die Vorgaben sind eingetragen; OK \xFC" "bernimmt sie.");
                    return TRUE;
                }
                case IDOK:
                    game.settings = draft.settings;
                    ApplySettings(game);
                    if (!game.SaveSettingsFile()) {
                        const std::string text = "Die Einstellungen gelten, konnten aber nicht gespeichert werden:\r" +
                                                 game.settingsFile;
                        MessageBoxA(dialog, text.c_str(), game.shell.appTitle, MB_OK | MB_ICONEXCLAMATION);
                        game.notSavedTold[int(SavedFile::Settings)] = true;  // said in the dialog's own words
                    }
                    Close(dialog, IDOK);
                    return TRUE;
                case IDCANCEL:
                    // Esc while the dialog waits for a key ends the waiting only.
                    if (draft.capture != Draft::Capture::None) {
                        EndCapture(dialog);
                        Say(dialog, "");
                        return TRUE;
                    }
                    if (game.sounds.volume != game.settings.volume) game.sounds.SetVolume(game.settings.volume);
                    Close(dialog, IDCANCEL);
                    return TRUE;
                default:
                    break;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

void ApplySettings(Game& game) {
    const GameSettings& settings = game.settings;
    game.keyboard.bindings = settings.keys;
    game.graphics.readoutOutline = settings.outline;
    if (game.scene.Smooth() != settings.smoothFrames) {
        // Either way the game goes on from its next tick.
        game.scene.SetSmooth(settings.smoothFrames);
        game.pacer.Reset();
        if (IsWindow(game.shell.mainWindow)) {
            KillTimer(game.shell.mainWindow, kSmoothFrameTimer);
            SetPresentSync(game.shell.mainWindow, settings.smoothFrames ? TRUE : FALSE);
        }
    }
    const std::vector<PadBinding> pads = PadBindingsOf(settings);
    SetGamepadBindings(pads.data(), static_cast<int>(pads.size()));
    if (game.sounds.volume != settings.volume) game.sounds.SetVolume(settings.volume);
    const HWND window = game.shell.mainWindow;
    if (IsWindow(window) && (IsWindowFullScreen(window) != FALSE) != settings.fullScreen)
        SetWindowFullScreen(window, settings.fullScreen ? TRUE : FALSE);
}

void ToggleFullScreen(Game& game) {
    const HWND window = game.shell.mainWindow;
    const bool on = !IsWindowFullScreen(window);
    if (!SetWindowFullScreen(window, on ? TRUE : FALSE)) return;
    game.settings.fullScreen = on;
    SaveGameSettings(game);
}

bool SaveGameSettings(Game& game) {
    if (game.settingsFile.empty()) return true;
    if (game.SaveSettingsFile()) return true;
    std::fprintf(stderr, "Tarvik 3D: Die Einstellungen \"%s\" konnten nicht gespeichert werden.\n",
                 game.settingsFile.c_str());
    game.TellNotSaved(SavedFile::Settings, game.settingsFile, game.shell.mainWindow);
    return false;
}
