// Two games on one settings.ini: each save writes the fields its game changed
// and keeps what the file holds for the rest, whatever keys it holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "app/settings.h"
#include "platform/dinput.h"
#include "tests/support/working_folder.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

GameSettings Load(const fs::path& path, std::vector<std::string>* problems = nullptr) {
    std::vector<std::string> ignored;
    return LoadSettings(path.string(), problems ? problems : &ignored);
}

// Both games read the file at their start; the first saves its change, then
// the second saves its own.
TEST(SettingsSave, TwoGamesKeepEachOthersFieldsAndTheLastSaveWinsAField) {
    using Change = std::function<void(GameSettings&)>;
    struct Case {
        const char* label;
        Change first, second, expected;
    };
    const Change volume40 = [](GameSettings& s) { s.volume = 40; };
    const Change volume70 = [](GameSettings& s) { s.volume = 70; };
    const Change fullScreen = [](GameSettings& s) { s.fullScreen = true; };
    const Change accelerateW = [](GameSettings& s) { s.keys.accelerate = DIK_W; };
    const Change brakeS = [](GameSettings& s) { s.keys.brake = DIK_S; };
    const Change brakeW = [](GameSettings& s) { s.keys.brake = DIK_W; };
    const Change hornNone = [](GameSettings& s) { s.pad.buttons[PAD_ACTION_HORN] = kNoPadButton; };
    const Case cases[] = {
        {"different sections", volume40, fullScreen, [&](GameSettings& s) {
             volume40(s);
             fullScreen(s);
         }},
        {"different keys of one section", accelerateW, brakeS, [&](GameSettings& s) {
             accelerateW(s);
             brakeS(s);
         }},
        {"a key and a pad button", accelerateW, hornNone, [&](GameSettings& s) {
             accelerateW(s);
             hornNone(s);
         }},
        {"the same field: the last save wins", volume40, volume70, volume70},
        // Taken together the two would give W to two actions, which reads back as
        // the default keys: the last save's keys stand as they are.
        {"keys that would clash: the last save's keys", accelerateW, brakeW, brakeW},
    };
    const fs::path folder = TestFolder() / "settings-two-games";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(folder);
        fs::create_directories(folder);
        const fs::path file = folder / "settings.ini";
        GameSettings start;
        start.volume = 90;
        ASSERT_TRUE(SaveSettings(file.string(), start));
        const GameSettings firstRead = Load(file), secondRead = Load(file);
        ASSERT_EQ(firstRead, start);

        GameSettings first = firstRead;
        c.first(first);
        ASSERT_TRUE(SaveSettings(file.string(), first, &firstRead));
        // Nothing else changed the file: written exactly as the game formats it.
        EXPECT_EQ(ReadText(file), FormatSettings(first));

        GameSettings second = secondRead;
        c.second(second);
        ASSERT_TRUE(SaveSettings(file.string(), second, &secondRead));
        GameSettings expected = start;
        c.expected(expected);
        std::vector<std::string> problems;
        EXPECT_EQ(Load(file, &problems), expected);
        EXPECT_TRUE(problems.empty()) << problems.front();
        EXPECT_EQ(ReadText(file), FormatSettings(expected));
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << "no lock file left";
    }
}

// A newer game writes settings this one does not know, in its sections and
// in sections of their own: they stay, where they stood. A value this game
// cannot use is not taken from the file.
TEST(SettingsSave, WhatThisGameDoesNotKnowStaysAndUnusableValuesAreNotTaken) {
    const fs::path folder = TestFolder() / "settings-unknown";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path file = folder / "settings.ini";
    const std::string newer =
        "; von einer neueren Version\n"
        "fremd = 1\n"
        "[keyboard]\n"
        "accelerate = w\n"
        "[Display]\n"
        "FullScreen = no\n"
        "brightness = 80\n"
        "[weather]\n"
        "rain = 200\n"
        "fog = 150\n"
        "[sound]\n"
        "volume = laut\n"
        "[focus]\n"
        "pause = yes\n";
    WriteText(file, newer);
    const GameSettings read = Load(file);
    EXPECT_EQ(read.keys.accelerate, DIK_W);
    EXPECT_EQ(read.volume, 100);  // "laut" is no volume
    GameSettings changed = read;
    changed.fullScreen = true;
    ASSERT_TRUE(SaveSettings(file.string(), changed, &read));

    // The known values in this game's order, as the file spells those this
    // game did not change ("w") unless it cannot use them ("laut"); the
    // unknown ones where they stood.
    std::string expected = FormatSettings(changed);
    expected.replace(expected.find("accelerate = W\n"), 15, "accelerate = w\n");
    expected.insert(expected.find("\n[keyboard]"), "fremd = 1\n");
    expected.insert(expected.find("\n\n[game]") + 1, "brightness = 80\n");  // the end of [display]
    expected += "\n[weather]\nrain = 200\nfog = 150\n\n[focus]\npause = yes\n";
    EXPECT_EQ(ReadText(file), expected);
    std::vector<std::string> problems;
    EXPECT_EQ(Load(file, &problems), changed);
    EXPECT_EQ(problems.size(), 4u) << "one line each for what this game does not know, as before the save";

}

}  // namespace
