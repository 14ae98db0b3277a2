// The keys the docs name, against the keys the game has. The game's keys
// come from the code: accelerator table 103 as the game loads it, the keys
// the window procedure takes itself (WindowKeys), the default driving keys
// (KeyBindings) and what the pad's default buttons do (PadBindingsOf). Each
// must be named in the manual page (KEYS, and GAMEPAD for the pad), in the
// README's key and gamepad tables and, for the keyboard, in the keys of
// --help; and each name there must be a key the game has.
//
// A key the game gains is found here by itself. What this file holds is only
// how the docs spell a key: a key without a spelling fails with a line saying
// to add one to VirtualKeyName, DirectInputKeyName or PadInputName.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/settings.h"
#include "app/window_keys.h"
#include "platform/dinput.h"
#include "platform/port/gamepad.h"
#include "platform/port/menu_bar.h"
#include "platform/win.h"
#include "resources/resource.h"
#include "resources/resources.h"

namespace {

std::string SourceText(const std::string& relative) {
    std::ifstream in(std::string(TARVIK_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// --- How the docs spell a key ---------------------------------------------

std::string VirtualKeyName(UINT key) {
    if (key >= VK_F1 && key < VK_F1 + 24) return "F" + std::to_string(key - VK_F1 + 1);
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, static_cast<char>(key));
    switch (key) {
        case VK_ESCAPE: return "Esc";
        case VK_RETURN: return "Enter";
        case VK_SPACE: return "Space";
        case VK_TAB: return "Tab";
        case VK_BACK: return "Backspace";
        case VK_MENU: return "Alt";
        case VK_UP: return "Up";
        case VK_DOWN: return "Down";
        case VK_LEFT: return "Left";
        case VK_RIGHT: return "Right";
        case VK_INSERT: return "Insert";
        case VK_DELETE: return "Delete";
        case VK_HOME: return "Home";
        case VK_END: return "End";
        case VK_PRIOR: return "PageUp";
        case VK_NEXT: return "PageDown";
        case VK_PAUSE: return "Pause";
        default: return "";
    }
}

std::string WithModifiers(BYTE modifiers, const std::string& name) {
    if (name.empty()) return "";
    return std::string(modifiers & FCONTROL ? "Ctrl+" : "") + (modifiers & FSHIFT ? "Shift+" : "") +
           (modifiers & FALT ? "Alt+" : "") + name;
}

// The settings file's names ("Up", "Space", "F12"), which the docs use too,
// but for Esc.
std::string DirectInputKeyName(BYTE dik) {
    const std::string name = KeyFileName(dik);
    return name == "Escape" ? "Esc" : name;
}

std::string PadInputName(PadInput input) {
    switch (input) {
        case PAD_A: return "A";
        case PAD_B: return "B";
        case PAD_X: return "X";
        case PAD_Y: return "Y";
        case PAD_BACK: return "Back";
        case PAD_START: return "Start";
        case PAD_LEFTSHOULDER: return "LB";
        case PAD_RIGHTSHOULDER: return "RB";
        case PAD_DPAD_UP:
        case PAD_DPAD_DOWN:
        case PAD_DPAD_LEFT:
        case PAD_DPAD_RIGHT: return "d-pad";
        case PAD_LEFTSTICK_LEFT:
        case PAD_LEFTSTICK_RIGHT:
        case PAD_LEFTSTICK_UP:
        case PAD_LEFTSTICK_DOWN: return "left stick";
        case PAD_LEFTTRIGGER: return "left trigger";
        case PAD_RIGHTTRIGGER: return "right trigger";
        default: return "";
    }
}

// --- The game's keys, from the code --------------------------------------

struct GameKey {
    std::string name;    // as the docs spell it; empty when the docs have no spelling yet
    std::string source;  // where the code has it, for the messages
};

struct GameKeys {
    std::vector<GameKey> keyboard;
    std::vector<GameKey> pad;
};

std::string Hex(unsigned value) {
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

GameKeys KeysOfTheCode() {
    GameKeys keys;
    RegisterGameResources();
    const HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    EXPECT_NE(table, nullptr) << "accelerator table 103 does not load";
    std::vector<ACCEL> entries(static_cast<std::size_t>(CopyAcceleratorTableA(table, nullptr, 0)));
    CopyAcceleratorTableA(table, entries.data(), static_cast<int>(entries.size()));
    EXPECT_FALSE(entries.empty()) << "accelerator table 103 is empty";
    for (const ACCEL& entry : entries) {
        keys.keyboard.push_back({WithModifiers(entry.fVirt, VirtualKeyName(entry.key)),
                                 "accelerator table 103 (virtual key " + Hex(entry.key) + ", command " +
                                     std::to_string(entry.cmd) + ")"});
    }
    for (const WindowKey& key : WindowKeys()) {
        keys.keyboard.push_back({WithModifiers(key.modifiers, VirtualKeyName(key.virtualKey)),
                                 "WindowKeys (virtual key " + Hex(key.virtualKey) + ", command " +
                                     std::to_string(key.command) + ")"});
    }
    for (const MenuBarKey& key : MenuBarKeys()) {
        keys.keyboard.push_back({VirtualKeyName(key.virtualKey),
                                 "MenuBarKeys (virtual key " + Hex(key.virtualKey) + ")"});
    }
    const KeyBindings defaults;
    for (int action = 0; action < KEY_ACTION_COUNT; ++action) {
        const BYTE dik = KeyOf(defaults, KeyAction(action));
        keys.keyboard.push_back(
            {DirectInputKeyName(dik), "KeyBindings (driving key " + std::to_string(action) + ", DIK " + Hex(dik) + ")"});
    }
    for (const PadBinding& binding : PadBindingsOf(GameSettings{})) {
        const std::string feeds = binding.heldKey ? DirectInputKeyName(binding.heldKey)
                                                  : VirtualKeyName(binding.pressedKey);
        keys.pad.push_back({PadInputName(binding.input),
                            "PadBindingsOf the defaults (pad input " + std::to_string(binding.input) + ", as " + feeds +
                                ")"});
    }
    for (const PadNavInput& nav : PadNavigation()) {
        keys.pad.push_back({PadInputName(nav.input), "PadNavigation (pad input " + std::to_string(nav.input) +
                                                         ", move " + std::to_string(static_cast<int>(nav.nav)) + ")"});
    }
    return keys;
}

// --- The keys the docs name -------------------------------------------------

// A list of keys as the docs write them: "Up / Down", "F11, Alt+Enter",
// "right trigger or A".
std::vector<std::string> SplitKeys(std::string text) {
    std::vector<std::string> names;
    for (const char* separator : {" / ", ", ", " or "}) {
        std::size_t at = 0;
        while ((at = text.find(separator, at)) != std::string::npos) text.replace(at, std::string(separator).size(), "\n");
    }
    std::istringstream lines(text);
    std::string name;
    while (std::getline(lines, name)) {
        const std::size_t first = name.find_first_not_of(' ');
        if (first == std::string::npos) continue;
        names.push_back(name.substr(first, name.find_last_not_of(' ') - first + 1));
    }
    return names;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The tags of a section of the manual page (the line after each .TP), with
// the font macros and escapes taken off.
std::vector<std::string> ManPageKeys(const std::string& page, const std::string& section) {
    std::vector<std::string> names;
    const std::vector<std::string> lines = Lines(page);
    bool inside = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind(".SH ", 0) == 0) {
            std::string title = lines[i].substr(4);
            title.erase(std::remove(title.begin(), title.end(), '"'), title.end());
            inside = title == section;
            continue;
        }
        if (!inside || lines[i] != ".TP" || i + 1 == lines.size()) continue;
        std::string tag = lines[i + 1];
        if (tag.rfind('.', 0) == 0) tag = tag.substr(std::min(tag.find(' '), tag.size()));
        for (const char* escape : {"\\fB", "\\fI", "\\fR", "\\fP", "\""}) {
            std::size_t at = 0;
            while ((at = tag.find(escape, at)) != std::string::npos) tag.erase(at, std::string(escape).size());
        }
        std::size_t at = 0;
        while ((at = tag.find("\\-", at)) != std::string::npos) tag.erase(at, 1);
        for (const std::string& name : SplitKeys(tag)) names.push_back(name);
    }
    return names;
}

// The first column of the Markdown table whose first heading starts with
// `heading`.
std::vector<std::string> MarkdownTableKeys(const std::string& markdown, const std::string& heading) {
    std::vector<std::string> names;
    bool inTable = false, inside = false;
    for (const std::string& line : Lines(markdown)) {
        if (line.rfind('|', 0) != 0) {
            inTable = inside = false;
            continue;
        }
        const std::string first = line.substr(1, line.find('|', 1) - 1);
        if (!inTable) {
            inTable = true;
            inside = first.rfind(" " + heading, 0) == 0;
            continue;
        }
        if (!inside) continue;
        if (first.find_first_not_of("-: ") == std::string::npos) continue;  // the rule under the heading
        for (const std::string& name : SplitKeys(first)) names.push_back(name);
    }
    return names;
}

// The keys of the "Tasten:" lines of --help: each line "  KEYS  what they do".
std::vector<std::string> HelpKeys(const std::string& help) {
    std::vector<std::string> names;
    bool inside = false;
    for (const std::string& line : Lines(help)) {
        if (line == "Tasten:") {
            inside = true;
            continue;
        }
        if (!inside) continue;
        if (line.rfind("  ", 0) != 0) break;
        const std::size_t gap = line.find("  ", 2);
        for (const std::string& name : SplitKeys(line.substr(2, gap == std::string::npos ? gap : gap - 2)))
            names.push_back(name);
    }
    return names;
}

// --- The check --------------------------------------------------------------

struct Docs {
    std::string manPage, readme, help;
};

Docs TheDocs() { return {SourceText("dist/tarvik3d.6"), SourceText("README.md"), UsageText()}; }

// One line for each key a list lacks and for each name in it that is no key
// of the game's; none when docs and code agree.
std::vector<std::string> Disagreements(const Docs& docs, const GameKeys& keys) {
    struct KeyList {
        std::string where;
        std::vector<std::string> names;
        const std::vector<GameKey>* keys;
    };
    const KeyList lists[] = {
        {"the manual page's KEYS", ManPageKeys(docs.manPage, "KEYS"), &keys.keyboard},
        {"the manual page's GAMEPAD", ManPageKeys(docs.manPage, "GAMEPAD"), &keys.pad},
        {"the README's key table", MarkdownTableKeys(docs.readme, "Key"), &keys.keyboard},
        {"the README's gamepad table", MarkdownTableKeys(docs.readme, "Gamepad"), &keys.pad},
        {"the keys of --help (\"Tasten:\" in UsageText)", HelpKeys(docs.help), &keys.keyboard},
    };
    std::vector<std::string> problems;
    for (const std::vector<GameKey>* kind : {&keys.keyboard, &keys.pad})
        for (const GameKey& key : *kind)
            if (key.name.empty())
                problems.push_back("the key of " + key.source + " has no name in this test: give it the docs' spelling");
    for (const KeyList& list : lists) {
        if (list.names.empty()) {
            problems.push_back(list.where + " names no keys (is it there, in its usual form?)");
            continue;
        }
        const std::set<std::string> named(list.names.begin(), list.names.end());
        std::set<std::string> known, told;
        for (const GameKey& key : *list.keys) {
            if (key.name.empty()) continue;
            known.insert(key.name);
            if (!named.count(key.name) && told.insert(key.name).second)
                problems.push_back(list.where + " lacks " + key.name + " (" + key.source + ")");
        }
        for (const std::string& name : list.names)
            if (!known.count(name)) problems.push_back(list.where + " names " + name + ", which the game does not have");
    }
    return problems;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "  " + line + "\n";
    return text;
}

TEST(KeyDocs, TheManualPageTheReadmeAndHelpNameEveryKeyOfTheGameAndNoOther) {
    const GameKeys keys = KeysOfTheCode();
    // What the code gives is the game's: a reader that found nothing would
    // pass any docs.
    ASSERT_GE(keys.keyboard.size(), 12u);
    ASSERT_GE(keys.pad.size(), 6u);
    const std::vector<std::string> problems = Disagreements(TheDocs(), keys);
    EXPECT_TRUE(problems.empty()) << "The docs and the code disagree on the keys:\n" << Joined(problems);
}

// The check itself, on the docs changed in one place each: it names what is
// missing or too much, and only that.
TEST(KeyDocs, AChangedDocIsFoundAndNamed) {
    const GameKeys keys = KeysOfTheCode();
    struct Case {
        const char* what;
        std::string Docs::*doc;
        const char* from;
        const char* to;
        const char* problem;  // the one expected
    };
    const Case cases[] = {
        {"F4 gone from the man page", &Docs::manPage, ".TP\n.B F4\n", ".PP\n", "the manual page's KEYS lacks F4"},
        {"Alt+Enter gone from the man page", &Docs::manPage, ".B F11, Alt+Enter\n", ".B F11\n",
         "the manual page's KEYS lacks Alt+Enter"},
        {"the pad's Y gone from the man page", &Docs::manPage, ".TP\n.B Y\n", ".PP\n",
         "the manual page's GAMEPAD lacks Y"},
        {"a key the game lacks in the man page", &Docs::manPage, ".B F2\n", ".B F2, F9\n",
         "the manual page's KEYS names F9, which the game does not have"},
        {"Esc gone from the README", &Docs::readme, "| Esc |", "| Escape |",
         "the README's key table lacks Esc"},
        {"the d-pad gone from the README", &Docs::readme, "| left stick or d-pad |", "| left stick |",
         "the README's gamepad table lacks d-pad"},
        {"F12 gone from --help", &Docs::help, "  F12  ", "  F13  ",
         "the keys of --help (\"Tasten:\" in UsageText) lacks F12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Docs docs = TheDocs();
        std::string& doc = docs.*c.doc;
        const std::size_t at = doc.find(c.from);
        ASSERT_NE(at, std::string::npos) << "the docs no longer hold \"" << c.from << "\"";
        doc.replace(at, std::string(c.from).size(), c.to);
        const std::vector<std::string> problems = Disagreements(docs, keys);
        const bool named = std::any_of(problems.begin(), problems.end(),
                                       [&](const std::string& p) { return p.rfind(c.problem, 0) == 0; });
        EXPECT_TRUE(named) << "expected \"" << c.problem << "\", got:\n" << Joined(problems);
    }
    // A section that is gone is said to be gone, not passed.
    Docs docs = TheDocs();
    docs.manPage.replace(docs.manPage.find(".SH GAMEPAD"), 11, ".SH PAD");
    const std::vector<std::string> problems = Disagreements(docs, keys);
    EXPECT_NE(std::find(problems.begin(), problems.end(),
                        "the manual page's GAMEPAD names no keys (is it there, in its usual form?)"),
              problems.end())
        << Joined(problems);
}

}  // namespace
