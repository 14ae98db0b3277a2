// Games that run at the same time on one high.dat, each a whole game on the
// recording platform driven round a lap by the autopilot; and a failed save
// told to the player once per run.
//
// Two games cannot run in one process (the platform's state is global), so
// the other game runs in a forked child process. The game of this process is
// built first, so that it has read the table before the other one starts.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "hardening_fixture.h"
#include "tests/support/autopilot.h"

namespace hardening {
namespace {

// One game's end: its name, its lap, and what its player saw at the exit.
struct Ending {
    std::string name;
    std::uint32_t lap = 0;  // ms; 0 when no lap was timed
    std::string firstOfList;     // the first name of the list shown before the name entry
    std::string congratulation;  // the name entry's text
};

Ending Entry(const std::string& name, std::uint32_t lap) {
    Ending ending;
    ending.name = name;
    ending.lap = lap;
    return ending;
}

// Space ends the title, the autopilot drives, letting go of the throttle for
// `coast` ticks early in the timed lap (so that games differ in their laps),
// and Esc follows as soon as a lap is timed. The name entry gets `name`.
Ending PlayOneLap(GameSession& session, const std::string& name, int coast) {
    Ending ending = Entry(name, 0);
    RecordingPlatform& platform = session.platform;
    platform.OnDialog(IDD_HIGHSCORE_LIST, [&](DialogDriver& d) {
        if (ending.congratulation.empty()) ending.firstOfList = d.ItemText(IDC_NAME_PLACE1);
        d.Click(IDOK);
    });
    platform.OnDialog(IDD_NAME_ENTRY, [&](DialogDriver& d) {
        ending.congratulation = d.ItemText(IDC_CONGRATULATION);
        d.TypeText(IDC_NAME_ENTRY, name);
        d.Click(IDOK);
    });
    if (!session.Start()) {
        ADD_FAILURE() << name << ": the game did not start";
        return ending;
    }
    Game& game = session.game();
    session.Device()->recording = false;  // counts only: a long drive
    Autopilot pilot(game.course);
    int timed = 0;
    bool quitting = false;
    session.Play(6000, [&](std::uint64_t tick) {
        if (quitting) return;
        platform.SetKeyDown(DIK_SPACE, tick < 3);
        if (game.race.titleShowing) return;
        if (game.race.lapMarks) ++timed;
        const bool coasting = timed > 100 && timed <= 100 + coast;
        const AutopilotKeys k = pilot.Drive(game.car);
        platform.SetKeyDown(DIK_UP, k.up && !coasting);
        platform.SetKeyDown(DIK_DOWN, k.down);
        platform.SetKeyDown(DIK_LEFT, k.left);
        platform.SetKeyDown(DIK_RIGHT, k.right);
        std::uint32_t lap = 0;
        if (game.race.FastestLap(&lap)) {
            platform.ReleaseAllKeys();
            platform.QueueKey(VK_ESCAPE);
            quitting = true;
        }
    });
    EXPECT_TRUE(game.race.FastestLap(&ending.lap)) << name << ": no lap within 6000 ticks";
    return ending;
}

// A game in a child process of its own. The child runs `play` and ends
// without tearing down what it inherited: the game of this process is in
// its memory too and must not save there.
class OtherProcess {
public:
    explicit OtherProcess(const std::function<Ending(OtherProcess&)>& play) {
        if (pipe(toParent_) != 0 || pipe(toChild_) != 0) {
            ADD_FAILURE() << "no pipe";
            return;
        }
        std::fflush(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            close(toParent_[0]);
            close(toChild_[1]);
            const Ending ending = play(*this);
            Send(ending.lap);
            std::fflush(nullptr);
            _exit(testing::Test::HasFailure() ? 1 : 0);
        }
        close(toParent_[1]);
        close(toChild_[0]);
    }

    // Either side: a number to the other, and the next number from it (0
    // when the other has ended).
    void Send(std::uint32_t value) {
        const int fd = pid_ == 0 ? toParent_[1] : toChild_[1];
        if (write(fd, &value, sizeof value) != sizeof value) ADD_FAILURE() << "the other process is gone";
    }
    std::uint32_t Receive() {
        std::uint32_t value = 0;
        const int fd = pid_ == 0 ? toChild_[0] : toParent_[0];
        return read(fd, &value, sizeof value) == sizeof value ? value : 0;
    }

    // The parent: waits for the child's end and returns its lap.
    std::uint32_t Wait() {
        const std::uint32_t lap = Receive();
        int status = 0;
        EXPECT_EQ(waitpid(pid_, &status, 0), pid_);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other game failed (see its output)";
        close(toParent_[0]);
        close(toChild_[1]);
        return lap;
    }

private:
    pid_t pid_ = -1;
    int toParent_[2] = {-1, -1};
    int toChild_[2] = {-1, -1};
};

// Older entries, slower than any lap the autopilot drives.
const std::string kOlder = "80.000000,Anna\r\n90.000000,Bert\r\n100.000000,Carla\r\n0.000000,\r\n0.000000,\r\n";

struct Driver {
    const char* name;
    int coast;
};

// The table the entries and the older rows make: the laps in order, then the
// older rows, five in all.
std::string TableOf(std::vector<Ending> entries) {
    std::stable_sort(entries.begin(), entries.end(), [](const Ending& a, const Ending& b) { return a.lap < b.lap; });
    std::string text;
    for (const Ending& e : entries) text += FormatFixed(float(e.lap) * 0.001f, 6) + "," + e.name + "\r\n";
    const std::string older[] = {"80.000000,Anna\r\n", "90.000000,Bert\r\n", "100.000000,Carla\r\n",
                                 "0.000000,\r\n", "0.000000,\r\n"};
    for (std::size_t i = 0; i + entries.size() < 5; ++i) text += older[i];
    return text;
}

GameFiles TableFiles(const fs::path& table) {
    GameFiles files;
    files.highscores = table.string();
    return files;
}

// Game one and game two read the same table; game two ends first with its
// entry, then game one with its own. Whichever is faster, both are kept, and
// game one's player already sees game two's entry in the list at the exit.
TEST(TwoGamesOnOneTable, BothEntriesAreKeptWhicheverEndsFirst) {
    struct Case {
        Driver here, other;  // the other ends first
    };
    const Driver slower{"AAA", 80}, faster{"BBB", 0};
    const Case cases[] = {{slower, faster}, {faster, slower}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.other.name) + " ends first, then " + c.here.name);
        const fs::path table = TestFolder() / "two_games_high.dat";
        WriteBytes(table, kOlder);
        GameSession here(DataFolder(), TableFiles(table));
        here.Build();  // reads the table
        OtherProcess other([&](OtherProcess&) {
            GameSession session(DataFolder(), TableFiles(table));
            Ending ending = PlayOneLap(session, c.other.name, c.other.coast);
            session.End();
            return ending;
        });
        const Ending second = Entry(c.other.name, other.Wait());
        ASSERT_GT(second.lap, 0u);
        ASSERT_EQ(ReadBytes(table), TableOf({second})) << "the other game's save";

        const Ending first = PlayOneLap(here, c.here.name, c.here.coast);
        here.End();
        ASSERT_NE(first.lap, second.lap) << "the coasting should have made the laps differ";
        EXPECT_EQ(ReadBytes(table), TableOf({first, second}));
        const bool firstIsFaster = first.lap < second.lap;
        EXPECT_EQ(first.firstOfList, c.other.name) << "the list at the exit shows the other game's entry";
        char place[32];
        std::snprintf(place, sizeof place, "den %d. Platz", firstIsFaster ? 1 : 2);
        EXPECT_NE(first.congratulation.find(place), std::string::npos) << first.congratulation;
    }
}

// Game A starts; game B plays a whole game meanwhile; game C starts after
// B's save and is still running when A ends. All three entries stay.
TEST(TwoGamesOnOneTable, AThirdGameStartedInBetweenKeepsAllThree) {
    const fs::path table = TestFolder() / "three_games_high.dat";
    WriteBytes(table, kOlder);
    GameSession a(DataFolder(), TableFiles(table));
    a.Build();
    OtherProcess b([&](OtherProcess&) {
        GameSession session(DataFolder(), TableFiles(table));
        Ending ending = PlayOneLap(session, "BBB", 0);
        session.End();
        return ending;
    });
    const Ending endingB = Entry("BBB", b.Wait());
    ASSERT_GT(endingB.lap, 0u);

    OtherProcess c([&](OtherProcess& self) {
        GameSession session(DataFolder(), TableFiles(table));
        session.Build();  // reads the table with B's entry
        self.Send(1);
        self.Receive();  // until A has ended
        Ending ending = PlayOneLap(session, "CCC", 40);
        session.End();
        return ending;
    });
    ASSERT_EQ(c.Receive(), 1u) << "C did not start";
    const Ending endingA = PlayOneLap(a, "AAA", 80);
    a.End();
    EXPECT_EQ(ReadBytes(table), TableOf({endingA, endingB}));
    c.Send(1);
    const Ending endingC = Entry("CCC", c.Wait());
    ASSERT_GT(endingC.lap, 0u);
    EXPECT_EQ(ReadBytes(table), TableOf({endingA, endingB, endingC}));
}

// A table and settings that cannot be saved: the player is told once for
// each, by a message box; the terminal keeps its line for every failure.
TEST(SaveFailures, AreToldInOneBoxForEachKindOfFilePerRun) {
    const fs::path folder = TestFolder() / "unsaved";
    fs::remove_all(folder);
    fs::create_directories(folder);
    GameFiles files;
    files.highscores = (folder / "high.dat").string();
    files.settings = (folder / "settings.ini").string();
    const std::string settingsText = FormatSettings(GameSettings());
    WriteBytes(files.highscores, kOlder);
    WriteBytes(files.settings, settingsText);
    chmod(files.highscores.c_str(), 0444);
    chmod(files.settings.c_str(), 0444);
    const std::string tableBox = "Die Bestenliste konnte nicht gespeichert werden; sie bleibt, wie sie war:\r" +
                                 files.highscores;
    const std::string settingsBox = "Die Einstellungen gelten, konnten aber nicht gespeichert werden:\r" + files.settings;

    struct Case {
        const char* label;
        bool configurationFirst;  // OK in the Konfiguration dialog before the F11 presses
    };
    for (const Case c : {Case{"F11 ten times", false}, Case{"the dialog's OK, then F11 ten times", true}}) {
        SCOPED_TRACE(c.label);
        GameSession session(DataFolder(), files);
        RecordingPlatform& platform = session.platform;
        platform.OnDialog(IDD_CONFIGURATION, [](DialogDriver& d) { d.Click(IDOK); });
        ASSERT_TRUE(session.Start());
        session.Device()->recording = false;
        Game& game = session.game();
        const HWND window = game.shell.mainWindow;
        testing::internal::CaptureStderr();
        session.Play(60, [&](std::uint64_t tick) {
            if (tick == 2 && c.configurationFirst) PostMessageA(window, WM_COMMAND, IDM_CONFIGURATION, 0);
            if (tick >= 10 && tick < 20) platform.QueueKey(VK_F11);
        });
        session.End();
        const std::string said = testing::internal::GetCapturedStderr();

        const std::vector<RecordedMessageBox>& boxes = platform.MessageBoxes();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].text, settingsBox);
        if (c.configurationFirst)
            EXPECT_NE(boxes[0].owner, window) << "the dialog's own box";
        else
            EXPECT_EQ(boxes[0].owner, window);
        EXPECT_EQ(boxes[1].text, tableBox);
        EXPECT_EQ(boxes[1].owner, nullptr) << "the window is gone at the teardown";
        for (const RecordedMessageBox& box : boxes) {
            EXPECT_EQ(box.caption, "Tarvik 3D");
            EXPECT_EQ(box.type, UINT(MB_OK | MB_ICONEXCLAMATION));
        }
        std::size_t lines = 0;
        for (std::size_t at = said.find("Die Einstellungen \""); at != std::string::npos;
             at = said.find("Die Einstellungen \"", at + 1))
            ++lines;
        EXPECT_EQ(lines, 10u) << said;
        EXPECT_NE(said.find("Die Bestenliste \"" + files.highscores + "\" konnte nicht gespeichert werden"),
                  std::string::npos)
            << said;
        EXPECT_EQ(ReadBytes(files.highscores), kOlder);
        EXPECT_EQ(ReadBytes(files.settings), settingsText);
    }
    chmod(files.highscores.c_str(), 0600);
    chmod(files.settings.c_str(), 0600);
}

}  // namespace
}  // namespace hardening
