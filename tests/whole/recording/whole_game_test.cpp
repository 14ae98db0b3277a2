#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/dinput.h"
#include "tests/support/autopilot.h"
#include "tests/support/game_session.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Row(float seconds, const char* name) {
    char line[96];
    std::snprintf(line, sizeof line, "%f,%s\r\n", double(seconds), name);
    return line;
}

// Runs the game in its data folder, so the real course, meshes, textures and
// sounds are read, on the recording platform, device and sound.
class WholeGame : public ::testing::Test {
protected:
    WholeGame() { std::filesystem::remove(highscoreFile); }
    static GameFiles Files(const std::string& highscores) {
        GameFiles files;
        files.highscores = highscores;
        return files;
    }
    // Starts the game and hands it to `play`; the game is torn down (and
    // high.dat written) when this returns.
    template <class Play>
    void Run(Play play) {
        ASSERT_TRUE(session.Start());
        // Long runs keep only counts on the device.
        session.Device()->recording = false;
        play(session.game());
        session.End();
    }
    void Hold(BYTE key, bool down) { platform.SetKeyDown(key, down); }

    std::string highscoreFile = (TestFolder() / "high.dat").string();
    GameSession session{DataFolder(), Files(highscoreFile)};
    RecordingPlatform& platform = session.platform;
    std::shared_ptr<SoundRecorder>& sound = session.sound;
};

}  // namespace

TEST_F(WholeGame, TheTitleFlightEndsByItselfAndEscShowsTheListAndCloses) {
    std::vector<std::string> listTimes;
    int listOpenings = 0;
    platform.OnDialog(IDD_HIGHSCORE_LIST, [&](DialogDriver& d) {
        if (d.Calls() == 0) {
            ++listOpenings;
            listTimes.push_back(d.ItemText(IDC_TIME_PLACE1));
            d.PressKey(VK_ESCAPE);  // the list does not close with Esc
            d.RunFor(400);          // the game goes on behind it
            EXPECT_FALSE(d.Closed());
            return;
        }
        d.Click(IDOK);
    });
    Run([&](Game& game) {
        int ticks = 0;
        platform.OnIdle([&] {
            if (game.race.titleShowing == 0 && ticks == 0) ticks = int(game.drawStats.frameCount);
            if (ticks && int(game.drawStats.frameCount) >= ticks + 10) platform.QueueKey(VK_ESCAPE);
        });
        RunMessageLoop();
        EXPECT_EQ(ticks, 214);  // the title ended on its 214th frame
        EXPECT_TRUE(sound->Count("Stop", "race_boxenluder.wav") >= 1);
        EXPECT_EQ(game.race.endingShowing, 1);
        EXPECT_GT(game.race.endingAngle, 0.0f);  // the ending ran behind the list
        EXPECT_FALSE(IsWindow(game.shell.mainWindow));
    });
    EXPECT_EQ(listOpenings, 1);  // no lap: no name entry, no second list
    EXPECT_EQ(listTimes, std::vector<std::string>{"       0.000 sec"});
    std::string empty;
    for (int i = 0; i < 5; ++i) empty += "0.000000,\r\n";
    EXPECT_EQ(ReadFile(highscoreFile), empty);
}

TEST_F(WholeGame, SpaceThenThreeLapsThenEscEntersTheFastestLap) {
    {
        std::ofstream(highscoreFile, std::ios::binary) << Row(35.5f, "Anna") << Row(60.0f, "Bert") << Row(0, "")
                                                       << Row(0, "") << Row(0, "");
    }
    std::vector<std::string> dialogsSeen;
    std::string congratulation;
    platform.OnDialog(IDD_HIGHSCORE_LIST, [&](DialogDriver& d) {
        dialogsSeen.push_back("list " + d.ItemText(IDC_NAME_PLACE2));
        d.Click(IDOK);
    });
    platform.OnDialog(IDD_NAME_ENTRY, [&](DialogDriver& d) {
        dialogsSeen.push_back("name");
        congratulation = d.ItemText(IDC_CONGRATULATION);
        d.PressKey(VK_ESCAPE);  // cannot be cancelled
        EXPECT_FALSE(d.Closed());
        d.TypeText(IDC_NAME_ENTRY, "Testfahrer");
        d.PressKey(VK_RETURN);
    });
    std::uint32_t fastest = 0;
    std::vector<std::uint32_t> marks;
    Run([&](Game& game) {
        Autopilot pilot(game.course);
        int lapsWanted = 3, ticks = 0;
        bool quitting = false;
        std::uint32_t seenFrame = ~0u;
        platform.OnIdle([&] {
            // Keys change once per tick; changing them counts as the script acting.
            if (game.drawStats.frameCount == seenFrame) return;
            seenFrame = game.drawStats.frameCount;
            ++ticks;
            Hold(DIK_SPACE, ticks < 3);
            if (game.race.titleShowing) return;
            AutopilotKeys k = pilot.Drive(game.car);
            Hold(DIK_UP, k.up);
            Hold(DIK_DOWN, k.down);
            Hold(DIK_LEFT, k.left);
            Hold(DIK_RIGHT, k.right);
            // Quit once the third lap is timed.
            if (game.race.lapCount >= lapsWanted && game.race.lapRecorded && game.race.gatePhase == 2 && !quitting) {
                platform.ReleaseAllKeys();
                platform.QueueKey(VK_ESCAPE);
                quitting = true;
            }
            if (ticks > 20000 && !quitting) {
                ADD_FAILURE() << "no three laps within 20000 ticks";
                platform.QueueKey(VK_ESCAPE);
                quitting = true;
            }
        });
        RunMessageLoop();
        EXPECT_EQ(game.race.lapCount, 3);
        for (const LapMark* m = game.race.lapMarks; m; m = m->next) marks.push_back(m->time);
        ASSERT_TRUE(game.race.FastestLap(&fastest));
    });
    ASSERT_EQ(marks.size(), 4u);  // the start and three line crossings
    for (size_t i = 0; i + 1 < marks.size(); ++i) {
        std::uint32_t lap = marks[i] - marks[i + 1];
        EXPECT_GT(lap, 30000u);  // a real lap round the course, not a shortcut
        EXPECT_LT(lap, 70000u);
        EXPECT_GE(lap, fastest);
    }
    EXPECT_EQ(dialogsSeen, (std::vector<std::string>{"list Bert", "name", "list Testfahrer"}));
    float seconds = float(fastest) * 0.001f;
    char expectedText[160];
    std::snprintf(expectedText, sizeof expectedText, "Gl\xFC" "ckwunsch, du hast mit %12.3f sec. den 2. Platz  erreicht!",
                  double(seconds));
    EXPECT_EQ(congratulation, expectedText);
    EXPECT_EQ(ReadFile(highscoreFile),
              Row(35.5f, "Anna") + Row(seconds, "Testfahrer") + Row(60.0f, "Bert") + Row(0, "") + Row(0, ""));
}
