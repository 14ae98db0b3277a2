#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/settings.h"
#include "tests/support/working_folder.h"

namespace fs = std::filesystem;

namespace {

GameSettings Changed() {
    GameSettings s;
    s.keys.accelerate = DIK_W;
    s.keys.brake = DIK_S;
    s.keys.left = DIK_NUMPAD4;
    s.pad.enabled = false;
    s.pad.buttons[PAD_ACTION_HORN] = kNoPadButton;
    s.pad.buttons[PAD_ACTION_PAUSE] = PAD_X;
    s.fullScreen = true;
    s.outline = ReadoutOutline::Never;
    s.smoothFrames = false;
    s.frameLimit = 144;
    s.pauseInBackground = false;
    s.volume = 35;
    s.lighting.lights = true;
    s.lighting.directional = 139;
    s.lighting.headlight = 255;
    s.lighting.car = true;
    s.lighting.carReflection[0] = 0;
    s.lighting.carReflection[1] = 50;
    s.lighting.carReflection[2] = 7;
    return s;
}

TEST(SettingsFile, WhatIsSavedIsReadBackAndAMissingFileGivesTheDefaults) {
    const fs::path folder = TestFolder() / "settings-roundtrip";
    fs::remove_all(folder);
    const std::string file = (folder / "tarvik3d/settings.ini").string();
    std::vector<std::string> problems;
    EXPECT_EQ(LoadSettings(file, &problems), GameSettings());
    EXPECT_TRUE(problems.empty());

    ASSERT_TRUE(SaveSettings(file, Changed()));
    EXPECT_EQ(LoadSettings(file, &problems), Changed());
    EXPECT_TRUE(problems.empty());
    // Kept for the player alone, as the highscores are.
    EXPECT_EQ(fs::status(folder / "tarvik3d").permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(ParseSettings(FormatSettings(GameSettings()), "x", &problems), GameSettings());
    for (int limit : kFrameLimits) {
        GameSettings limited;
        limited.frameLimit = limit;
        EXPECT_EQ(ParseSettings(FormatSettings(limited), "x", &problems), limited) << limit;
    }
    EXPECT_FALSE(SaveSettings("", Changed()));
}

// Each damaged line gives its own default and one line on the terminal; the
// rest of the file still counts.
TEST(SettingsFile, BadValuesGiveTheirDefaultsEachWithOneLine) {
    struct Case {
        const char* name;
        std::string line;
    };
    const Case cases[] = {
        {"a key that is no key", "[keyboard]\naccelerate = Raketenantrieb\n"},
        {"a key the game keeps for itself", "[keyboard]\naccelerate = F1\n"},
        {"F10, which opens the menu bar", "[keyboard]\ndebug = F10\n"},
        {"a pad button that is no button", "[gamepad]\naccelerate = Z9\n"},
        {"a volume beyond 100", "[sound]\nvolume = 250\n"},
        {"a volume that is no number", "[sound]\nvolume = laut\n"},
        {"full screen neither on nor off", "[display]\nfullscreen = vielleicht\n"},
        {"a line without equals sign", "[sound]\nvolume\n"},
        {"an outline that is no choice", "[display]\noutline = bunt\n"},
        {"smooth frames neither on nor off", "[display]\nsmooth = etwas\n"},
        {"a frame limit not offered", "[display]\nframe_limit = 75\n"},
        {"a frame limit that is no number", "[display]\nframe_limit = schnell\n"},
        {"a pause switch neither on nor off", "[game]\npause_in_background = manchmal\n"},
        // The two light levels count only together.
        {"a light level beyond 255", "[lighting]\ndirectional = 300\nheadlight = 20\n"},
        {"one light level alone", "[lighting]\nheadlight = 20\n"},
        {"a reflection of two numbers", "[lighting]\ncar = 10 20\n"},
        {"a reflection with a word", "[lighting]\nfields = 10 20 hell\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> problems;
        // A good line after the bad one still counts.
        const GameSettings read = ParseSettings(c.line + "[sound]\nvolume = 40\n", "settings.ini", &problems);
        GameSettings expected;
        expected.volume = 40;
        EXPECT_EQ(read, expected);
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0].rfind("Tarvik 3D: settings.ini, Zeile ", 0), 0u) << problems[0];
    }
}

// One key for two actions cannot be meant: every key goes back to its default
// (and likewise the pad's buttons), with one line.
TEST(SettingsFile, AKeyOrButtonGivenTwiceGivesTheDefaultKeysOrButtons) {
    std::vector<std::string> problems;
    GameSettings read =
        ParseSettings("[keyboard]\naccelerate = W\nbrake = W\n[sound]\nvolume = 40\n", "settings.ini", &problems);
    EXPECT_EQ(read.keys, KeyBindings());
    EXPECT_EQ(read.volume, 40);
    EXPECT_EQ(problems.size(), 1u);
    problems.clear();
    read = ParseSettings("[gamepad]\nhorn = A\n", "settings.ini", &problems);
    EXPECT_EQ(read.pad, PadSettings());
    EXPECT_EQ(problems.size(), 1u);
}

TEST(SettingsFile, AFileThatCannotBeReadGivesTheDefaultsWithOneLine) {
    const fs::path folder = TestFolder() / "settings-bad";
    fs::remove_all(folder);
    fs::create_directories(folder / "a-folder.ini");
    std::ofstream(folder / "garbage.ini", std::ios::binary) << std::string("\x00\xff\x01[[[=\n\xfe", 9);
    std::vector<std::string> problems;
    EXPECT_EQ(LoadSettings((folder / "a-folder.ini").string(), &problems), GameSettings());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("es gelten die Vorgaben"), std::string::npos) << problems[0];
    problems.clear();
    EXPECT_EQ(LoadSettings((folder / "garbage.ini").string(), &problems), GameSettings());
    EXPECT_FALSE(problems.empty());
}

}  // namespace
