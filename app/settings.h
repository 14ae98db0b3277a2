// The player's settings: the driving keys, the gamepad, full screen, the
// read-outs' outline, the pause when the window goes to the background, the
// volume and the lighting dialog's values, kept in a small text file of the player's own
// ($XDG_CONFIG_HOME/tarvik3d/settings.ini). A missing file means the
// defaults; a value that cannot be used is replaced by its default, with one
// line on the terminal for each.
#pragma once

#include <string>
#include <vector>

#include "gfx/graphics_device.h"
#include "platform/port/gamepad.h"
#include "race/keyboard.h"

// What the pad's buttons do beyond steering (always the left stick and the
// d-pad) and the triggers (right accelerates, left brakes).
enum PadAction { PAD_ACTION_ACCELERATE, PAD_ACTION_BRAKE, PAD_ACTION_START, PAD_ACTION_QUIT, PAD_ACTION_HORN,
                 PAD_ACTION_PAUSE, PAD_ACTION_COUNT };

// A pad action without a button.
constexpr int kNoPadButton = -1;

struct PadSettings {
    bool enabled = true;
    // The PadInput of each PadAction, or kNoPadButton.
    int buttons[PAD_ACTION_COUNT] = {PAD_A, PAD_B, PAD_START, PAD_BACK, PAD_Y, kNoPadButton};
    bool operator==(const PadSettings&) const = default;
};

// The lighting dialog's values as the player left them. A part the player
// never moved is not kept, so the game starts with its own values there: the
// lights as the device starts them, each mesh's reflection as its file has it.
struct LightingSettings {
    // Both light levels; any slider moved sets them, and the sky's reflection.
    bool lights = false;
    int directional = 100;
    int headlight = 0;
    // The reflections of a group, ambient, diffuse and emission (0 to 255),
    // once a slider was moved with that group chosen.
    bool fields = false;
    int fieldsReflection[3] = {255, 255, 0};
    bool car = false;
    int carReflection[3] = {255, 255, 0};
    bool operator==(const LightingSettings&) const = default;
};

// How many frames a second smooth frames draw at most: the display's rate
// (or 60 where the window system does not say), a number, or no limit.
constexpr int kFrameLimitDisplay = 0;
constexpr int kFrameLimitNone = -1;
constexpr int kFrameLimits[] = {kFrameLimitDisplay, 30, 60, 120, 144, kFrameLimitNone};

struct GameSettings {
    KeyBindings keys;
    PadSettings pad;
    bool fullScreen = false;
    // Frames between the 40 ms ticks, what moves blended between the last
    // two; off, one frame a tick as the first version drew them.
    bool smoothFrames = true;
    int frameLimit = kFrameLimitDisplay;
    ReadoutOutline outline = ReadoutOutline::Automatic;
    // A race pauses when the window loses the focus to another program or is minimised.
    bool pauseInBackground = true;
    int volume = 100;  // per cent of the sounds as they are
    LightingSettings lighting;
    bool operator==(const GameSettings&) const = default;
};

// The six driving keys in the order of the file and the dialog.
enum KeyAction { KEY_ACTION_ACCELERATE, KEY_ACTION_BRAKE, KEY_ACTION_LEFT, KEY_ACTION_RIGHT, KEY_ACTION_START,
                 KEY_ACTION_DEBUG, KEY_ACTION_COUNT };
BYTE& KeyOf(KeyBindings& keys, KeyAction action);
BYTE KeyOf(const KeyBindings& keys, KeyAction action);

// Which keys may drive: every key but those the game or the window take as
// commands (Esc, F1 to F4, F10, F11), the dialog keys (Enter, Tab), Alt
// (alone it opens the menu bar, Alt+Enter is full screen) and the system's keys.
bool IsDrivingKey(BYTE dik);
// The command a key is fixed to, in German, for the keys that may not drive
// because of it (e.g. "Neues Spiel" for F1); empty for others.
std::string FixedKeyUse(BYTE dik);
// A key's name in the file (its place on a US keyboard, e.g. "Up", "W",
// "Numpad8"), and back; 0 for a name that is no key.
std::string KeyFileName(BYTE dik);
BYTE KeyOfFileName(const std::string& name);
// A pad button's name in the file ("A", "Start", "none"), and back; false for
// a name that is no button.
std::string PadButtonFileName(int button);
bool PadButtonOfFileName(const std::string& name, int* button);
// The buttons that may be given to an action: the face buttons, Back, Start,
// the shoulders and the sticks pressed in.
bool IsAssignablePadButton(int input);
// A pad button's name in the dialog (Windows-1252).
std::string PadButtonLabel(int button);

// The settings a text holds; each problem adds one line (German) naming the
// file as `where` and the line.
GameSettings ParseSettings(const std::string& text, const std::string& where, std::vector<std::string>* problems);
std::string FormatSettings(const GameSettings& settings);

// The settings of the file at path: the defaults when there is no file (no
// problem) or when it cannot be read (one problem). An empty path is no file.
GameSettings LoadSettings(const std::string& path, std::vector<std::string>* problems);
// Saves as high.dat is saved: through a temporary file renamed over the old
// one, the folders made for the player alone. False when nothing could be
// saved (the old file is then intact); always false for an empty path.
//
// Two games may run at once, so the save merges field by field, under a
// SaveLock on the file: a value this game changed from `baseline` (the
// settings as it last read or saved them) is written as this game has it,
// any other as the file holds it now (when the game can use it), and every
// setting and section of the file that this game does not know stays as it
// stands. Without a baseline every value the game knows is this game's.
bool SaveSettings(const std::string& path, const GameSettings& settings, const GameSettings* baseline = nullptr);

// The player's settings file under the XDG rules: $XDG_CONFIG_HOME when it is
// an absolute path, else ~/.config; empty when neither can be found.
std::string UserSettingsFile(const std::string& xdgConfigHome, const std::string& home);

// The key the pad's Start presses to open the menu bar; the keyboard has no
// such key of the game's.
constexpr UINT kMenuBarPadKey = VK_APPS;

// What the pads do with these settings, in the keys they feed: none while
// the pad is off.
std::vector<PadBinding> PadBindingsOf(const GameSettings& settings);
