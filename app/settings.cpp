#include "app/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <map>
#include <set>
#include <utility>

#include "platform/dinput.h"
#include "platform/win.h"
#include "scores/file_save.h"

namespace {

struct NamedKey {
    BYTE dik;
    const char* fileName;
};

// The keys that may drive, named by their place on a US keyboard.
constexpr NamedKey kDrivingKeys[] = {
    {DIK_A, "A"}, {DIK_B, "B"}, {DIK_C, "C"}, {DIK_D, "D"}, {DIK_E, "E"}, {DIK_F, "F"}, {DIK_G, "G"},
    {DIK_H, "H"}, {DIK_I, "I"}, {DIK_J, "J"}, {DIK_K, "K"}, {DIK_L, "L"}, {DIK_M, "M"}, {DIK_N, "N"},
    {DIK_O, "O"}, {DIK_P, "P"}, {DIK_Q, "Q"}, {DIK_R, "R"}, {DIK_S, "S"}, {DIK_T, "T"}, {DIK_U, "U"},
    {DIK_V, "V"}, {DIK_W, "W"}, {DIK_X, "X"}, {DIK_Y, "Y"}, {DIK_Z, "Z"},
    {DIK_0, "0"}, {DIK_1, "1"}, {DIK_2, "2"}, {DIK_3, "3"}, {DIK_4, "4"}, {DIK_5, "5"}, {DIK_6, "6"},
    {DIK_7, "7"}, {DIK_8, "8"}, {DIK_9, "9"},
    {DIK_MINUS, "Minus"}, {DIK_EQUALS, "Equals"}, {DIK_LBRACKET, "LeftBracket"}, {DIK_RBRACKET, "RightBracket"},
    {DIK_SEMICOLON, "Semicolon"}, {DIK_APOSTROPHE, "Apostrophe"}, {DIK_GRAVE, "Grave"},
    {DIK_BACKSLASH, "Backslash"}, {DIK_COMMA, "Comma"}, {DIK_PERIOD, "Period"}, {DIK_SLASH, "Slash"},
    {DIK_OEM_102, "Oem102"}, {DIK_BACK, "Backspace"}, {DIK_SPACE, "Space"},
    {DIK_LSHIFT, "LeftShift"}, {DIK_RSHIFT, "RightShift"}, {DIK_LCONTROL, "LeftCtrl"}, {DIK_RCONTROL, "RightCtrl"},
    {DIK_UP, "Up"}, {DIK_DOWN, "Down"}, {DIK_LEFT, "Left"}, {DIK_RIGHT, "Right"},
    {DIK_INSERT, "Insert"}, {DIK_DELETE, "Delete"}, {DIK_HOME, "Home"}, {DIK_END, "End"},
    {DIK_PRIOR, "PageUp"}, {DIK_NEXT, "PageDown"},
    {DIK_NUMPAD0, "Numpad0"}, {DIK_NUMPAD1, "Numpad1"}, {DIK_NUMPAD2, "Numpad2"}, {DIK_NUMPAD3, "Numpad3"},
    {DIK_NUMPAD4, "Numpad4"}, {DIK_NUMPAD5, "Numpad5"}, {DIK_NUMPAD6, "Numpad6"}, {DIK_NUMPAD7, "Numpad7"},
    {DIK_NUMPAD8, "Numpad8"}, {DIK_NUMPAD9, "Numpad9"}, {DIK_MULTIPLY, "NumpadMultiply"},
    {DIK_SUBTRACT, "NumpadMinus"}, {DIK_ADD, "NumpadPlus"}, {DIK_DECIMAL, "NumpadDecimal"},
    {DIK_DIVIDE, "NumpadDivide"}, {DIK_NUMPADENTER, "NumpadEnter"}, {DIK_NUMPADEQUALS, "NumpadEquals"},
    {DIK_NUMPADCOMMA, "NumpadComma"},
    {DIK_F5, "F5"}, {DIK_F6, "F6"}, {DIK_F7, "F7"}, {DIK_F8, "F8"}, {DIK_F9, "F9"},
    {DIK_F12, "F12"}, {DIK_F13, "F13"}, {DIK_F14, "F14"}, {DIK_F15, "F15"},
};

struct FixedKey {
    BYTE dik;
    const char* fileName;
    const char* use;  // Windows-1252
};

// Keys the game or its window take as commands, which therefore cannot drive.
constexpr FixedKey kFixedKeys[] = {
    {DIK_ESCAPE, "Escape", "Beenden"},     {DIK_F1, "F1", "Neues Spiel"},
    {DIK_F2, "F2", "Hupe"},                {DIK_F3, "F3", "Sound"},
    {DIK_F4, "F4", "Pause"},               {DIK_F11, "F11", "Vollbild"},
    {DIK_F10, "F10", "Men\xFCleiste"},
    {DIK_RETURN, "Enter", "OK in den Dialogen, Vollbild mit Alt"},
    {DIK_TAB, "Tab", "Dialoge"},           {DIK_LMENU, "LeftAlt", "Men\xFCleiste, Vollbild mit Alt+Eingabe"},
    {DIK_RMENU, "RightAlt", "Men\xFCleiste, Vollbild mit Alt+Eingabe"},
};

struct NamedButton {
    int button;
    const char* fileName;
    const char* label;  // Windows-1252
};

constexpr NamedButton kPadButtons[] = {
    {PAD_A, "A", "A"},
    {PAD_B, "B", "B"},
    {PAD_X, "X", "X"},
    {PAD_Y, "Y", "Y"},
    {PAD_BACK, "Back", "Back"},
    {PAD_START, "Start", "Start"},
    {PAD_LEFTSHOULDER, "LeftShoulder", "LB"},
    {PAD_RIGHTSHOULDER, "RightShoulder", "RB"},
    {PAD_LEFTSTICK, "LeftStick", "Linker Stick"},
    {PAD_RIGHTSTICK, "RightStick", "Rechter Stick"},
    {kNoPadButton, "none", "keine"},
};

const char* const kKeyActionNames[KEY_ACTION_COUNT] = {"accelerate", "brake", "left", "right", "start", "debug"};
const char* const kPadActionNames[PAD_ACTION_COUNT] = {"accelerate", "brake", "start", "quit", "horn", "pause"};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trimmed(const std::string& text) {
    const char* blanks = " \t\r\v\f";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The "„...“" the terminal lines quote with.
std::string Quoted(const std::string& text) { return "\u201e" + text + "\u201c"; }

bool ParseBool(const std::string& value, bool* result) {
    const std::string v = Lower(value);
    if (v == "yes" || v == "ja" || v == "true" || v == "on" || v == "1") {
        *result = true;
        return true;
    }
    if (v == "no" || v == "nein" || v == "false" || v == "off" || v == "0") {
        *result = false;
        return true;
    }
    return false;
}

const char* BoolText(bool value) { return value ? "yes" : "no"; }

bool ParseVolume(const std::string& value, int* result) {
    int v = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), v);
    if (error != std::errc() || end != value.data() + value.size() || v < 0 || v > 100) return false;
    *result = v;
    return true;
}

bool ParseLevel(const std::string& value, int* result) {
    int v = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), v);
    if (error != std::errc() || end != value.data() + value.size() || v < 0 || v > 255) return false;
    *result = v;
    return true;
}

// Three levels, ambient, diffuse and emission, apart by blanks.
bool ParseReflection(const std::string& value, int (&result)[3]) {
    int levels[3] = {};
    std::size_t at = 0;
    for (int& level : levels) {
        at = value.find_first_not_of(" \t", at);
        if (at == std::string::npos) return false;
        const std::size_t end = std::min(value.find_first_of(" \t", at), value.size());
        if (!ParseLevel(value.substr(at, end - at), &level)) return false;
        at = end;
    }
    if (value.find_first_not_of(" \t", at) != std::string::npos) return false;
    std::copy(std::begin(levels), std::end(levels), std::begin(result));
    return true;
}

std::string ReflectionText(const int (&levels)[3]) {
    return std::to_string(levels[0]) + " " + std::to_string(levels[1]) + " " + std::to_string(levels[2]);
}

std::string FrameLimitText(int limit) {
    if (limit == kFrameLimitDisplay) return "display";
    if (limit == kFrameLimitNone) return "none";
    return std::to_string(limit);
}

bool ParseFrameLimit(const std::string& value, int* result) {
    for (int limit : kFrameLimits) {
        if (Lower(value) == FrameLimitText(limit)) {
            *result = limit;
            return true;
        }
    }
    return false;
}

struct NamedOutline {
    ReadoutOutline outline;
    const char* fileName;
};
constexpr NamedOutline kOutlines[] = {
    {ReadoutOutline::Automatic, "auto"}, {ReadoutOutline::Always, "always"}, {ReadoutOutline::Never, "never"}};

const char* OutlineText(ReadoutOutline outline) {
    for (const NamedOutline& o : kOutlines)
        if (o.outline == outline) return o.fileName;
    return "auto";
}

bool KeysDiffer(const KeyBindings& keys) {
    for (int a = 0; a < KEY_ACTION_COUNT; ++a)
        for (int b = a + 1; b < KEY_ACTION_COUNT; ++b)
            if (KeyOf(keys, KeyAction(a)) == KeyOf(keys, KeyAction(b))) return false;
    return true;
}

bool ButtonsDiffer(const PadSettings& pad) {
    for (int a = 0; a < PAD_ACTION_COUNT; ++a)
        for (int b = a + 1; b < PAD_ACTION_COUNT; ++b)
            if (pad.buttons[a] != kNoPadButton && pad.buttons[a] == pad.buttons[b]) return false;
    return true;
}

// Files this long are no settings of the game's.
constexpr std::size_t kMaxFileBytes = 64 * 1024;

enum class SettingsText { Missing, Read, Unreadable, NoFile, TooLarge };

// The text of the settings file at path. Opened without blocking, so that a
// pipe named like the file cannot hang the start.
SettingsText ReadSettingsText(const std::string& path, std::string* text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? SettingsText::Missing : SettingsText::Unreadable;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return SettingsText::NoFile;
    }
    char chunk[4096];
    bool failed = false;
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed = true;
        if (n <= 0) break;
        text->append(chunk, static_cast<std::size_t>(n));
        if (text->size() > kMaxFileBytes) break;
    }
    ::close(fd);
    if (failed) return SettingsText::Unreadable;
    if (text->size() > kMaxFileBytes) return SettingsText::TooLarge;
    return SettingsText::Read;
}

// One line of a settings text as a save's merge sees it: every section and
// every "name = value" alike, whatever the game knows of them.
struct IniLine {
    std::string text;     // as written, without its line end
    std::string section;  // lower case; "" before the first header
    std::string key;      // a setting's name as written; "" for other lines
    std::string name;     // the same in lower case, as the reading compares it
    std::string value;
    bool header = false;
};

std::vector<IniLine> IniLines(const std::string& text) {
    std::vector<IniLine> lines;
    std::string section;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        IniLine l;
        l.text = text.substr(at, end - at);
        if (!l.text.empty() && l.text.back() == '\r') l.text.pop_back();
        at = end + 1;
        const std::string line = Trimmed(l.text);
        if (!line.empty() && line.front() == '[') {
            section = line.back() == ']' ? Lower(Trimmed(line.substr(1, line.size() - 2))) : Lower(line);
            l.header = true;
        } else if (!line.empty() && line[0] != '#' && line[0] != ';') {
            const std::size_t equals = line.find('=');
            if (equals != std::string::npos) {
                l.key = Trimmed(line.substr(0, equals));
                l.name = Lower(l.key);
                l.value = Trimmed(line.substr(equals + 1));
            }
        }
        l.section = section;
        lines.push_back(std::move(l));
    }
    return lines;
}

using IniName = std::pair<std::string, std::string>;  // section, name

// Whether the game can use value for the setting, as it stands alone.
bool Usable(const IniName& setting, const std::string& value) {
    std::vector<std::string> problems;
    ParseSettings("[" + setting.first + "]\n" + setting.second + " = " + value + "\n", "", &problems);
    return problems.empty();
}

// The text a save writes: this game's settings as FormatSettings lays them
// out, each value as the file holds it now (with takeFile, where the game
// can use it) unless this game changed it from baseline, then every
// setting and section the file holds that this game does not know, as it
// stands there. No baseline makes every value this game's.
std::string MergedText(const GameSettings& settings, const GameSettings* baseline, const std::string& fileText,
                       bool takeFile) {
    const std::vector<IniLine> own = IniLines(FormatSettings(settings));
    std::map<IniName, std::string> before;
    if (baseline)
        for (const IniLine& l : IniLines(FormatSettings(*baseline)))
            if (!l.name.empty()) before[{l.section, l.name}] = l.value;
    std::set<IniName> known;
    std::set<std::string> knownSections;
    std::map<std::string, std::size_t> lastLineOf;  // where each section of this game's text ends
    for (std::size_t i = 0; i < own.size(); ++i) {
        knownSections.insert(own[i].section);
        if (!own[i].name.empty()) known.insert({own[i].section, own[i].name});
        if (!Trimmed(own[i].text).empty()) lastLineOf[own[i].section] = i;
    }

    std::map<IniName, std::string> onFile;  // the last value of each, as the reading takes it
    std::map<std::string, std::string> foreign;  // lines of what this game does not know, by section
    std::vector<std::string> foreignSections;    // in the file's order, each with its header
    std::map<std::string, std::string> headerOf;
    for (const IniLine& l : IniLines(fileText)) {
        if (l.header && !knownSections.count(l.section) && !headerOf.count(l.section)) {
            headerOf[l.section] = Trimmed(l.text);
            foreignSections.push_back(l.section);
        }
        if (l.name.empty()) continue;
        onFile[{l.section, l.name}] = l.value;
        if (!known.count({l.section, l.name})) foreign[l.section] += Trimmed(l.text) + "\n";
    }

    std::string text;
    for (std::size_t i = 0; i < own.size(); ++i) {
        const IniLine& l = own[i];
        if (l.name.empty()) {
            text += l.text + "\n";
        } else {
            const IniName setting{l.section, l.name};
            std::string value = l.value;
            const auto file = onFile.find(setting);
            if (takeFile && baseline && before[setting] == value && file != onFile.end() &&
                Usable(setting, file->second))
                value = file->second;
            text += l.key + " = " + value + "\n";
        }
        if (lastLineOf[l.section] == i) text += foreign[l.section];
    }
    for (const std::string& section : foreignSections) text += "\n" + headerOf[section] + "\n" + foreign[section];
    return text;
}

// What a save writes over fileText. Values of the file that together with
// this game's would make the settings unusable (one key for two actions)
// are not taken: this game's stand for all it knows.
std::string MergeSettingsText(const GameSettings& settings, const GameSettings* baseline,
                              const std::string& fileText) {
    const std::string merged = MergedText(settings, baseline, fileText, true);
    if (!baseline) return merged;
    const std::string own = MergedText(settings, baseline, fileText, false);
    std::vector<std::string> mergedProblems, ownProblems;
    ParseSettings(merged, "", &mergedProblems);
    ParseSettings(own, "", &ownProblems);
    return mergedProblems.size() > ownProblems.size() ? own : merged;
}

}  // namespace

BYTE& KeyOf(KeyBindings& keys, KeyAction action) {
    switch (action) {
        case KEY_ACTION_ACCELERATE: return keys.accelerate;
        case KEY_ACTION_BRAKE: return keys.brake;
        case KEY_ACTION_LEFT: return keys.left;
        case KEY_ACTION_RIGHT: return keys.right;
        case KEY_ACTION_START: return keys.start;
        default: return keys.debug;
    }
}

BYTE KeyOf(const KeyBindings& keys, KeyAction action) { return KeyOf(const_cast<KeyBindings&>(keys), action); }

bool IsDrivingKey(BYTE dik) {
    return std::any_of(std::begin(kDrivingKeys), std::end(kDrivingKeys), [dik](const NamedKey& k) { return k.dik == dik; });
}

std::string FixedKeyUse(BYTE dik) {
    for (const FixedKey& k : kFixedKeys)
        if (k.dik == dik) return k.use;
    return "";
}

std::string KeyFileName(BYTE dik) {
    for (const NamedKey& k : kDrivingKeys)
        if (k.dik == dik) return k.fileName;
    for (const FixedKey& k : kFixedKeys)
        if (k.dik == dik) return k.fileName;
    return "";
}

BYTE KeyOfFileName(const std::string& name) {
    const std::string wanted = Lower(name);
    for (const NamedKey& k : kDrivingKeys)
        if (Lower(k.fileName) == wanted) return k.dik;
    for (const FixedKey& k : kFixedKeys)
        if (Lower(k.fileName) == wanted) return k.dik;
    return 0;
}

std::string PadButtonFileName(int button) {
    for (const NamedButton& b : kPadButtons)
        if (b.button == button) return b.fileName;
    return "none";
}

bool PadButtonOfFileName(const std::string& name, int* button) {
    const std::string wanted = Lower(name);
    for (const NamedButton& b : kPadButtons) {
        if (Lower(b.fileName) == wanted) {
            *button = b.button;
            return true;
        }
    }
    return false;
}

bool IsAssignablePadButton(int input) {
    return input != kNoPadButton &&
           std::any_of(std::begin(kPadButtons), std::end(kPadButtons), [input](const NamedButton& b) { return b.button == input; });
}

std::string PadButtonLabel(int button) {
    for (const NamedButton& b : kPadButtons)
        if (b.button == button) return b.label;
    return "keine";
}

GameSettings ParseSettings(const std::string& text, const std::string& where, std::vector<std::string>* problems) {
    GameSettings settings;
    const GameSettings defaults;
    std::string section;
    int lineNumber = 0;
    // The two light levels count only together, as the dialog sets them.
    bool directionalRead = false, headlightRead = false, lightLevelBad = false;
    int lightLine = 0;
    std::string lightText;
    auto problem = [&](const std::string& what) {
        if (problems) problems->push_back("Tarvik 3D: " + where + ", Zeile " + std::to_string(lineNumber) + ": " + what);
    };
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = Trimmed(text.substr(at, end - at));
        at = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line.front() == '[') {
            section = line.back() == ']' ? Lower(Trimmed(line.substr(1, line.size() - 2))) : "?";
            if (section != "keyboard" && section != "gamepad" && section != "display" && section != "game" &&
                section != "sound" && section != "lighting") {
                problem(Quoted(line) + " ist kein Abschnitt der Einstellungen; er wird \u00fcbergangen.");
                section = "?";
            }
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            problem(Quoted(line) + " ist keine Einstellung (Name = Wert); die Zeile wird \u00fcbergangen.");
            continue;
        }
        if (section == "?") continue;  // told once, at the section
        const std::string name = Lower(Trimmed(line.substr(0, equals)));
        const std::string value = Trimmed(line.substr(equals + 1));
        auto useDefault = [&](const std::string& why, const std::string& fallback) {
            problem(Quoted(line) + ": " + why + "; es gilt " + Quoted(fallback) + ".");
        };

        bool known = false;
        if (section == "keyboard") {
            for (int a = 0; a < KEY_ACTION_COUNT; ++a) {
                if (name != kKeyActionNames[a]) continue;
                known = true;
                const BYTE fallback = KeyOf(defaults.keys, KeyAction(a));
                const BYTE dik = KeyOfFileName(value);
                if (dik == 0) {
                    useDefault(Quoted(value) + " ist keine Taste", KeyFileName(fallback));
                    KeyOf(settings.keys, KeyAction(a)) = fallback;
                } else if (!IsDrivingKey(dik)) {
                    useDefault(Quoted(value) + " ist fest vergeben (" + FixedKeyUse(dik) + ")", KeyFileName(fallback));
                    KeyOf(settings.keys, KeyAction(a)) = fallback;
                } else {
                    KeyOf(settings.keys, KeyAction(a)) = dik;
                }
            }
        } else if (section == "gamepad") {
            if (name == "enabled") {
                known = true;
                if (!ParseBool(value, &settings.pad.enabled)) {
                    useDefault("weder yes noch no", BoolText(defaults.pad.enabled));
                    settings.pad.enabled = defaults.pad.enabled;
                }
            }
            for (int a = 0; a < PAD_ACTION_COUNT; ++a) {
                if (name != kPadActionNames[a]) continue;
                known = true;
                int button = kNoPadButton;
                if (PadButtonOfFileName(value, &button)) {
                    settings.pad.buttons[a] = button;
                } else {
                    useDefault(Quoted(value) + " ist keine Taste des Gamepads",
                               PadButtonFileName(defaults.pad.buttons[a]));
                    settings.pad.buttons[a] = defaults.pad.buttons[a];
                }
            }
        } else if (section == "display" && name == "fullscreen") {
            known = true;
            if (!ParseBool(value, &settings.fullScreen)) {
                useDefault("weder yes noch no", BoolText(defaults.fullScreen));
                settings.fullScreen = defaults.fullScreen;
            }
        } else if (section == "display" && name == "smooth") {
            known = true;
            if (!ParseBool(value, &settings.smoothFrames)) {
                useDefault("weder yes noch no", BoolText(defaults.smoothFrames));
                settings.smoothFrames = defaults.smoothFrames;
            }
        } else if (section == "display" && name == "frame_limit") {
            known = true;
            if (!ParseFrameLimit(value, &settings.frameLimit)) {
                useDefault("weder display noch none noch 30, 60, 120 oder 144", FrameLimitText(defaults.frameLimit));
                settings.frameLimit = defaults.frameLimit;
            }
        } else if (section == "display" && name == "outline") {
            known = true;
            const std::string wanted = Lower(value);
            const auto found = std::find_if(std::begin(kOutlines), std::end(kOutlines),
                                            [&](const NamedOutline& o) { return wanted == o.fileName; });
            if (found != std::end(kOutlines)) {
                settings.outline = found->outline;
            } else {
                useDefault("weder auto noch always noch never", OutlineText(defaults.outline));
                settings.outline = defaults.outline;
            }
        } else if (section == "game" && name == "pause_in_background") {
            known = true;
            if (!ParseBool(value, &settings.pauseInBackground)) {
                useDefault("weder yes noch no", BoolText(defaults.pauseInBackground));
                settings.pauseInBackground = defaults.pauseInBackground;
            }
        } else if (section == "lighting" && (name == "directional" || name == "headlight")) {
            known = true;
            const bool directional = name == "directional";
            int& level = directional ? settings.lighting.directional : settings.lighting.headlight;
            if (ParseLevel(value, &level)) {
                (directional ? directionalRead : headlightRead) = true;
                lightLine = lineNumber;
                lightText = line;
            } else {
                problem(Quoted(line) + ": keine ganze Zahl von 0 bis 255; es gelten die Lichter des Spiels.");
                lightLevelBad = true;
            }
        } else if (section == "lighting" && (name == "fields" || name == "car")) {
            known = true;
            LightingSettings& lighting = settings.lighting;
            const bool fields = name == "fields";
            bool& set = fields ? lighting.fields : lighting.car;
            set = ParseReflection(value, fields ? lighting.fieldsReflection : lighting.carReflection);
            if (!set)
                problem(Quoted(line) +
                        ": nicht drei ganze Zahlen von 0 bis 255; es gelten die Werte der Modelle.");
        } else if (section == "sound" && name == "volume") {
            known = true;
            if (!ParseVolume(value, &settings.volume)) {
                useDefault("keine ganze Zahl von 0 bis 100", std::to_string(defaults.volume));
                settings.volume = defaults.volume;
            }
        }
        if (!known) {
            problem(Quoted(line) + " ist keine Einstellung" + (section.empty() ? "" : " im Abschnitt [" + section + "]") +
                    "; die Zeile wird \u00fcbergangen.");
        }
    }
    LightingSettings& lighting = settings.lighting;
    lighting.lights = directionalRead && headlightRead && !lightLevelBad;
    if (directionalRead != headlightRead && !lightLevelBad && problems)
        problems->push_back("Tarvik 3D: " + where + ", Zeile " + std::to_string(lightLine) + ": " + Quoted(lightText) +
                            ": directional und headlight gelten nur zusammen; es gelten die Lichter des Spiels.");
    if (!lighting.lights) {
        lighting.directional = defaults.lighting.directional;
        lighting.headlight = defaults.lighting.headlight;
    }
    // One key for two actions (or one button) cannot be meant: all go back to
    // their defaults, which differ.
    if (!KeysDiffer(settings.keys)) {
        if (problems)
            problems->push_back("Tarvik 3D: " + where +
                                ": eine Taste ist mehreren Aktionen zugewiesen; es gelten die vorgegebenen Tasten.");
        settings.keys = defaults.keys;
    }
    if (!ButtonsDiffer(settings.pad)) {
        if (problems)
            problems->push_back("Tarvik 3D: " + where +
                                ": eine Taste des Gamepads ist mehreren Aktionen zugewiesen; es gelten die "
                                "vorgegebenen Tasten.");
        std::copy(std::begin(defaults.pad.buttons), std::end(defaults.pad.buttons), settings.pad.buttons);
    }
    return settings;
}

std::string FormatSettings(const GameSettings& settings) {
    std::string text =
        "# Tarvik 3D: Einstellungen. Das Spiel schreibt diese Datei, wenn im Dialog\n"
        "# Konfiguration OK gew\u00e4hlt oder mit F11 das Vollbild umgeschaltet wird.\n"
        "# Tasten tragen die Namen ihres Platzes auf einer US-Tastatur (Up, Space, W, Numpad8).\n"
        "\n[keyboard]\n";
    for (int a = 0; a < KEY_ACTION_COUNT; ++a)
        text += std::string(kKeyActionNames[a]) + " = " + KeyFileName(KeyOf(settings.keys, KeyAction(a))) + "\n";
    text += "\n[gamepad]\n";
    text += std::string("enabled = ") + BoolText(settings.pad.enabled) + "\n";
    for (int a = 0; a < PAD_ACTION_COUNT; ++a)
        text += std::string(kPadActionNames[a]) + " = " + PadButtonFileName(settings.pad.buttons[a]) + "\n";
    text += "\n[display]\n";
    text += std::string("fullscreen = ") + BoolText(settings.fullScreen) + "\n";
    text += std::string("outline = ") + OutlineText(settings.outline) + "\n";
    text += std::string("smooth = ") + BoolText(settings.smoothFrames) + "\n";
    text += "frame_limit = " + FrameLimitText(settings.frameLimit) + "\n";
    text += "\n[game]\n";
    text += std::string("pause_in_background = ") + BoolText(settings.pauseInBackground) + "\n";
    text += "\n[sound]\n";
    text += "volume = " + std::to_string(settings.volume) + "\n";
    const LightingSettings& lighting = settings.lighting;
    if (lighting.lights || lighting.fields || lighting.car) {
        text += "\n[lighting]\n";
        if (lighting.lights) {
            text += "directional = " + std::to_string(lighting.directional) + "\n";
            text += "headlight = " + std::to_string(lighting.headlight) + "\n";
        }
        if (lighting.fields) text += "fields = " + ReflectionText(lighting.fieldsReflection) + "\n";
        if (lighting.car) text += "car = " + ReflectionText(lighting.carReflection) + "\n";
    }
    return text;
}

GameSettings LoadSettings(const std::string& path, std::vector<std::string>* problems) {
    if (path.empty()) return GameSettings();
    auto unusable = [&](const std::string& why) {
        if (problems) problems->push_back("Tarvik 3D: " + path + " " + why + "; es gelten die Vorgaben.");
        return GameSettings();
    };
    std::string text;
    switch (ReadSettingsText(path, &text)) {
        case SettingsText::Missing: return GameSettings();
        case SettingsText::Unreadable: return unusable("l\u00e4sst sich nicht lesen");
        case SettingsText::NoFile: return unusable("ist keine Datei");
        case SettingsText::TooLarge: return unusable("ist zu gro\u00df f\u00fcr Einstellungen");
        case SettingsText::Read: break;
    }
    return ParseSettings(text, path, problems);
}

bool SaveSettings(const std::string& path, const GameSettings& settings, const GameSettings* baseline) {
    if (path.empty()) return false;
    if (!MakeFolders(FolderOf(path))) return false;
    std::error_code error;
    const std::filesystem::path real = std::filesystem::weakly_canonical(path, error);
    // Held from reading the file to writing it, so that two games' saves never interleave.
    const SaveLock lock(error ? path : real.string());
    std::string fileText;
    if (ReadSettingsText(path, &fileText) != SettingsText::Read) fileText.clear();
    return ReplaceFile(path, MergeSettingsText(settings, baseline, fileText));
}

std::string UserSettingsFile(const std::string& xdgConfigHome, const std::string& home) {
    namespace fs = std::filesystem;
    // The XDG rules take only absolute paths; a relative one is ignored.
    if (!xdgConfigHome.empty() && xdgConfigHome.front() == '/')
        return (fs::path(xdgConfigHome) / "tarvik3d/settings.ini").lexically_normal().string();
    if (!home.empty() && home.front() == '/')
        return (fs::path(home) / ".config/tarvik3d/settings.ini").lexically_normal().string();
    return "";
}

std::vector<PadBinding> PadBindingsOf(const GameSettings& settings) {
    std::vector<PadBinding> bindings;
    if (!settings.pad.enabled) return bindings;
    const KeyBindings& keys = settings.keys;
    auto held = [&](int input, BYTE key) {
        if (input != kNoPadButton) bindings.push_back(PadBinding{PadInput(input), key, 0});
    };
    auto pressed = [&](int input, UINT key) {
        if (input != kNoPadButton) bindings.push_back(PadBinding{PadInput(input), 0, key});
    };
    held(PAD_LEFTSTICK_LEFT, keys.left);
    held(PAD_DPAD_LEFT, keys.left);
    held(PAD_LEFTSTICK_RIGHT, keys.right);
    held(PAD_DPAD_RIGHT, keys.right);
    held(PAD_RIGHTTRIGGER, keys.accelerate);
    held(PAD_LEFTTRIGGER, keys.brake);
    const int* buttons = settings.pad.buttons;
    held(buttons[PAD_ACTION_ACCELERATE], keys.accelerate);
    held(buttons[PAD_ACTION_BRAKE], keys.brake);
    held(buttons[PAD_ACTION_START], keys.start);
    pressed(buttons[PAD_ACTION_QUIT], VK_ESCAPE);
    pressed(buttons[PAD_ACTION_HORN], VK_F2);
    pressed(buttons[PAD_ACTION_PAUSE], VK_F4);
    // Start opens the menu bar, as Alt does, unless the player gave it to an
    // action of its own (the window knows when it ends the title instead).
    bool startTaken = false;
    for (int a = 0; a < PAD_ACTION_COUNT; ++a) startTaken |= a != PAD_ACTION_START && buttons[a] == PAD_START;
    if (!startTaken) pressed(PAD_START, kMenuBarPadKey);
    return bindings;
}
