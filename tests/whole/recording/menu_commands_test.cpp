// The menu's commands beyond the original's: Neues Spiel (F1), Pause (F4) and
// the player's own driving keys, each in a whole game on the recording
// platform, driven by the autopilot.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/dinput.h"
#include "resources/resource.h"
#include "tests/support/autopilot.h"
#include "tests/support/game_session.h"

namespace {

struct Drive {
    std::uint64_t pauseAt = 0;      // race tick at which F4 pauses; 0 for none
    std::uint64_t pauseTicks = 0;   // ticks it stays paused
    BYTE accelerate = DIK_UP;       // the key the autopilot holds to accelerate
};

struct Driven {
    std::uint32_t firstLap = 0;  // ms, 0 when no lap was timed
    bool carStoodWhilePaused = true;
    bool pauseShown = false;
    bool checkedWhilePaused = false;
    bool checkedWhileRunning = false;
    std::uint64_t raceTicks = 0;
};

std::string FileBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) return "(no file)";
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> ReadoutTexts(const Game& game, DWORD now) {
    std::vector<std::string> texts;
    for (const ReadoutLine& line : game.race.ReadoutLines(now)) texts.push_back(line.text);
    return texts;
}

bool PauseChecked(const Game& game) {
    return (GetMenuState(game.shell.mainMenu, IDM_PAUSE, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

// Drives from the title's end until the first lap is timed (or 4000 ticks).
Driven DriveFirstLap(const Drive& drive, const std::function<void(Game&)>& prepare = {}) {
    GameSession session;
    Driven out;
    EXPECT_TRUE(session.Start());
    if (!session.game().graphics.device) return out;
    Game& game = session.game();
    session.Device()->recording = false;  // counts only: a long drive
    if (prepare) prepare(game);
    RecordingPlatform& platform = session.platform;
    Autopilot pilot(game.course);
    std::uint64_t race = 0, paused = 0;
    D3DXVECTOR3 stood{};
    session.Play(2500, [&](std::uint64_t tick) {
        platform.SetKeyDown(DIK_SPACE, tick < 3);
        if (game.race.titleShowing) return;
        ++race;
        if (game.race.paused) {
            ++paused;
            if (game.car.position.x != stood.x || game.car.position.z != stood.z) out.carStoodWhilePaused = false;
            for (const ReadoutLine& line : game.race.ReadoutLines(platform.Now())) out.pauseShown |= line.text == "Pause";
            out.checkedWhilePaused |= PauseChecked(game);
            if (paused == drive.pauseTicks) platform.QueueKey(VK_F4);
        } else if (PauseChecked(game)) {
            out.checkedWhileRunning = true;
        } else if (drive.pauseAt && race == drive.pauseAt) {
            platform.QueueKey(VK_F4);
            stood = game.car.position;
        }
        const AutopilotKeys k = pilot.Drive(game.car);
        // The keys stay held while paused, as a player's would.
        platform.SetKeyDown(drive.accelerate, k.up);
        platform.SetKeyDown(DIK_DOWN, k.down);
        platform.SetKeyDown(DIK_LEFT, k.left);
        platform.SetKeyDown(DIK_RIGHT, k.right);
        if (!out.firstLap && game.race.lapCount >= 1 && game.race.lapRecorded && game.race.lapMarks &&
            game.race.lapMarks->next) {
            out.firstLap = game.race.lapMarks->time - game.race.lapMarks->next->time;
            out.raceTicks = race;
        }
    });
    return out;
}

TEST(PauseCommand, ALapWithAPauseInItHasTheTimeOfTheSameLapWithout) {
    const Driven plain = DriveFirstLap({});
    ASSERT_GT(plain.firstLap, 20000u) << "no lap timed";
    EXPECT_FALSE(plain.pauseShown);
    const Driven withPause = DriveFirstLap({.pauseAt = 300, .pauseTicks = 150});
    EXPECT_EQ(withPause.firstLap, plain.firstLap);
    EXPECT_EQ(withPause.raceTicks, plain.raceTicks + 150);  // the pause took its ticks, and only those
    EXPECT_TRUE(withPause.carStoodWhilePaused);
    EXPECT_TRUE(withPause.pauseShown);
    EXPECT_TRUE(withPause.checkedWhilePaused);
    EXPECT_FALSE(withPause.checkedWhileRunning || plain.checkedWhileRunning);
}

TEST(DrivingKeys, ARemappedKeyDrivesAndTheOldOneNoLonger) {
    auto remap = [](Game& game) { game.keyboard.bindings.accelerate = DIK_W; };
    const Driven newKey = DriveFirstLap({.accelerate = DIK_W}, remap);
    const Driven plain = DriveFirstLap({});
    EXPECT_EQ(newKey.firstLap, plain.firstLap);
    ASSERT_GT(newKey.firstLap, 0u);
    const Driven oldKey = DriveFirstLap({.accelerate = DIK_UP}, remap);
    EXPECT_EQ(oldKey.firstLap, 0u) << "Up still accelerates";
}

// F1 during the race puts everything of the race back to its first frame;
// during the title it ends the title as Space does.
TEST(NewGameCommand, StartsTheRaceAnewFromItsFirstFrame) {
    GameSession session;
    ASSERT_TRUE(session.Start());
    Game& game = session.game();
    session.Device()->recording = false;
    RecordingPlatform& platform = session.platform;
    Autopilot pilot(game.course);
    struct Start {
        D3DXVECTOR3 position;
        float heading = 0, speed = 0;
    } first{}, afterF1{};
    bool titleEndedByF1 = false, askedInRace = false, checked = false;
    std::vector<std::string> firstReadouts, readoutsAfterF1;
    HighscoreEntry tableBeforeF1[HighscoreTable::RowCount];
    std::string fileBeforeF1;
    std::uint64_t race = 0;
    std::size_t backgroundPlays = 0;
    session.Play(2000, [&](std::uint64_t tick) {
        if (tick == 20) platform.QueueKey(VK_F1);  // in the title
        if (tick == 21) titleEndedByF1 = game.race.titleShowing == 0;
        if (game.race.titleShowing) return;
        if (++race == 1) {
            first = {game.car.position, game.car.heading, game.car.speed};
            firstReadouts = ReadoutTexts(game, platform.Now());
        }
        if (askedInRace && !checked) {
            checked = true;
            afterF1 = {game.car.position, game.car.heading, game.car.speed};
            readoutsAfterF1 = ReadoutTexts(game, platform.Now());
            EXPECT_EQ(std::memcmp(tableBeforeF1, game.highscores.rows, sizeof tableBeforeF1), 0) << "the table changed";
            EXPECT_EQ(FileBytes(game.highscores.FileName()), fileBeforeF1);
            EXPECT_EQ(game.race.lapCount, -1);
            EXPECT_EQ(game.race.lapMarks, nullptr);
            EXPECT_EQ(game.race.gatePhase, 0);
            EXPECT_EQ(game.race.lapRecorded, 0);
            EXPECT_EQ(session.sound->Count("Play", "race_hintergrund.wav"), backgroundPlays) << "the sound goes on";
            platform.ReleaseAllKeys();
            return;
        }
        if (checked) return;
        const AutopilotKeys k = pilot.Drive(game.car);
        platform.SetKeyDown(DIK_UP, k.up);
        platform.SetKeyDown(DIK_LEFT, k.left);
        platform.SetKeyDown(DIK_RIGHT, k.right);
        if (game.race.lapCount >= 1 && !askedInRace) {
            platform.ReleaseAllKeys();
            backgroundPlays = session.sound->Count("Play", "race_hintergrund.wav");
            std::memcpy(tableBeforeF1, game.highscores.rows, sizeof tableBeforeF1);
            fileBeforeF1 = FileBytes(game.highscores.FileName());
            platform.QueueKey(VK_F1);
            askedInRace = true;
        }
    });
    EXPECT_TRUE(titleEndedByF1);
    ASSERT_TRUE(checked) << "no lap before the new game";
    EXPECT_EQ(afterF1.speed, 0.0f);
    EXPECT_EQ(afterF1.heading, first.heading);
    // The new race's first frame stands where the first race's did (the car
    // may roll one step at most before the check, as it does at the start).
    EXPECT_LT(std::hypot(afterF1.position.x - first.position.x, afterF1.position.z - first.position.z), 1.0f);
    // No clock, no lap time, no laps: the read-outs of the first race frame.
    EXPECT_EQ(readoutsAfterF1, firstReadouts);
    EXPECT_EQ(readoutsAfterF1, (std::vector<std::string>{"Rundenzeit:        0.000", "Runden:        0"}));
}

// The ending runs behind the list of the best times; F1 (as key or menu
// item) changes nothing there, and the game ends as it would have.
TEST(NewGameCommand, DoesNothingInTheEnding) {
    GameSession session;
    ASSERT_TRUE(session.Start());
    Game& game = session.game();
    session.Device()->recording = false;
    RecordingPlatform& platform = session.platform;
    bool asked = false;
    platform.OnDialog(IDD_HIGHSCORE_LIST, [&](DialogDriver& d) {
        if (!asked) {
            asked = true;
            d.RunFor(400);  // the ending flies behind the list
            EXPECT_EQ(game.race.endingShowing, 1);
            const D3DXVECTOR3 car = game.car.position;
            const int laps = game.race.lapCount;
            const std::uint32_t raceStart = game.race.raceStart;
            for (WORD source : {WORD(0), WORD(1)}) {  // the menu item, then the key
                SendMessageA(game.shell.mainWindow, WM_COMMAND, MAKEWPARAM(IDM_NEW_GAME, source), 0);
                EXPECT_EQ(game.race.endingShowing, 1);
                EXPECT_EQ(game.race.titleShowing, 0);
                EXPECT_EQ(game.race.lapCount, laps);
                EXPECT_EQ(game.race.raceStart, raceStart);
                EXPECT_EQ(game.car.position.x, car.x);
                EXPECT_EQ(game.car.position.z, car.z);
            }
            const float angle = game.race.endingAngle;
            d.RunFor(200);
            EXPECT_GT(game.race.endingAngle, angle) << "the ending stood still";
        }
        d.Click(IDOK);
    });
    session.Play(120, [&](std::uint64_t tick) {
        platform.SetKeyDown(DIK_SPACE, tick < 3);
        platform.SetKeyDown(DIK_UP, tick > 10 && tick < 60);
    });
    EXPECT_TRUE(asked) << "no list at the end";
    EXPECT_FALSE(IsWindow(game.shell.mainWindow));
}

}  // namespace
