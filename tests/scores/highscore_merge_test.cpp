// Two games on one high.dat: a save merges what another game saved since this
// one read the table, under a lock that keeps saves from interleaving.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "scores/file_save.h"
#include "scores_fixture.h"

namespace scores_test {
namespace {

using HighscoreMergeTest = TempFolder;
using Clock = std::chrono::steady_clock;

// A line of high.dat as the game writes it.
std::string Line(float seconds, const std::string& name) { return FormatFixed(seconds, 6) + "," + name + "\r\n"; }
std::string Lines(const std::vector<Row>& rows) {
    std::string text;
    for (const Row& row : Table(rows)) text += Line(row.time, row.name);
    return text;
}

// Offers laps the way a game's exit does, each entered under its own name.
void Drive(HighscoreTable& table, const std::vector<std::pair<unsigned, std::string>>& laps) {
    for (const auto& [milliseconds, name] : laps) {
        ScriptedDialogs dialogs(name);
        table.SetDialogs(&dialogs);
        table.Insert(milliseconds);
    }
    table.SetDialogs(nullptr);
}

// A process of its own, as a second game is; it runs `body` and ends with
// its exit code, without tearing down what it inherited.
pid_t Fork(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int code = body();
        std::fflush(nullptr);
        _exit(code);
    }
    return pid;
}

int ExitCode(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// The case: full tables of older entries, game A saves AAA 40.44,
// then game B, which read the table before A saved, saves BBB 39.88.
const std::vector<Row> kOlder = {{41.5f, "Carla"}, {42.0f, "Dora"}, {43.0f, "Emil"}, {44.0f, "Fritz"}, {45.0f, "Gero"}};

TEST_F(HighscoreMergeTest, AFileChangedSinceTheStartIsMergedWithThisGamesNewEntries) {
    struct Case {
        const char* label;
        std::optional<std::string> atStart;    // the file this game reads; none: no file
        std::optional<std::string> meanwhile;  // what is there when it saves; none: removed
        std::vector<std::pair<unsigned, std::string>> laps;
        std::string saved;
    };
    const std::string unsorted = "60.000000,Bert\r\n35.500000,Anna\r\n";
    const Case cases[] = {
        {"unchanged (written again byte for byte): saved as a single game saves, rows unsorted as they were",
         unsorted, unsorted, {{50000, "Neu"}}, Lines({{60.0f, "Bert"}, {35.5f, "Anna"}, {Lap(50000), "Neu"}})},
        {"another game's new entry since: both kept",
         Lines(kOlder), Lines({{Lap(40440), "AAA"}, kOlder[0], kOlder[1], kOlder[2], kOlder[3]}),
         {{39880, "BBB"}}, Lines({{Lap(39880), "BBB"}, {Lap(40440), "AAA"}, kOlder[0], kOlder[1], kOlder[2]})},
        {"made by another game since, none at the start; equal times: the file's first, then this game's in order",
         std::nullopt, Lines({{40.0f, "Andere"}}), {{40000, "Erst"}, {40000, "Zweit"}},
         Lines({{40.0f, "Andere"}, {Lap(40000), "Erst"}, {Lap(40000), "Zweit"}})},
        {"removed since: this game's entries alone", Lines(kOlder), std::nullopt, {{40000, "Neu"}},
         Lines({{Lap(40000), "Neu"}})},
        {"empty rows of the file go last and push no lap out", std::nullopt,
         "30.000000,A\r\n0.000000,\r\n0.000000,Null\r\n31.000000,B\r\n", {{32000, "C"}},
         Lines({{30.0f, "A"}, {31.0f, "B"}, {Lap(32000), "C"}, {0.0f, ""}, {0.0f, "Null"}})},
        {"a lap of 0 ms is an empty row and goes below every lap", std::nullopt, Lines(kOlder), {{0, "Null"}},
         Lines(kOlder)},
        {"more laps than places: the best five of both", Lines({}), Lines({{20.0f, "X"}, {22.0f, "Y"}, {24.0f, "Z"}}),
         {{21000, "a"}, {23000, "b"}, {25000, "c"}},
         Lines({{20.0f, "X"}, {Lap(21000), "a"}, {22.0f, "Y"}, {Lap(23000), "b"}, {24.0f, "Z"}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove(file);
        if (c.atStart) WriteFile(file, *c.atStart);
        {
            HighscoreTable table(file);
            if (c.meanwhile)
                WriteFile(file, *c.meanwhile);
            else
                fs::remove(file);
            Drive(table, c.laps);
            ASSERT_TRUE(table.Save());
            EXPECT_EQ(ReadFile(file), c.saved);
            HighscoreTable reread(file);
            EXPECT_EQ(RowsOf(table), RowsOf(reread)) << "the table holds what it saved";
        }  // the teardown's save finds what it wrote and writes it again
        EXPECT_EQ(ReadFile(file), c.saved);
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"high.dat"});
    }
}

// At the exit the table is read again, so the list shows what another game
// saved and the new lap gets its place in today's table; a later save after
// yet another game's enters this game's laps once.
TEST_F(HighscoreMergeTest, RefreshTakesInAnotherGamesSaveBeforeTheNewLapIsPlaced) {
    WriteFile(file, Lines(kOlder));
    HighscoreTable table(file);
    table.Refresh();
    EXPECT_EQ(RowsOf(table), Table(kOlder)) << "nothing changed on disk";

    WriteFile(file, Lines({{Lap(40440), "AAA"}, kOlder[0], kOlder[1], kOlder[2], kOlder[3]}));
    table.Refresh();
    EXPECT_EQ(RowsOf(table), Table({{Lap(40440), "AAA"}, kOlder[0], kOlder[1], kOlder[2], kOlder[3]}));
    ScriptedDialogs dialogs("BBB");
    table.SetDialogs(&dialogs);
    table.Insert(41000);
    EXPECT_EQ(dialogs.shownText, CongratulationText(Lap(41000), 2));
    table.SetDialogs(nullptr);
    const std::vector<Row> afterBbb = {{Lap(40440), "AAA"}, {Lap(41000), "BBB"}, kOlder[0], kOlder[1], kOlder[2]};
    EXPECT_EQ(dialogs.listedRows, Table(afterBbb));
    ASSERT_TRUE(table.Save());
    EXPECT_EQ(ReadFile(file), Lines(afterBbb));

    // Another game saves again; this one's save must not enter BBB twice.
    WriteFile(file, Lines({{39.0f, "CCC"}, afterBbb[0], afterBbb[1], afterBbb[2], afterBbb[3]}));
    ASSERT_TRUE(table.Save());
    EXPECT_EQ(ReadFile(file), Lines({{39.0f, "CCC"}, afterBbb[0], afterBbb[1], afterBbb[2], afterBbb[3]}));
}

// A game that holds the lock keeps this save waiting; what it wrote while
// holding it is merged, not written over.
TEST_F(HighscoreMergeTest, AnotherGamesLockDelaysTheSaveWhichThenMergesItsEntry) {
    WriteFile(file, Lines(kOlder));
    HighscoreTable table(file);
    Drive(table, {{40440, "AAA"}});
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const std::string real = fs::weakly_canonical(file).string();
    const pid_t other = Fork([&] {
        close(ready[0]);
        SaveLock lock(real);
        if (!lock.Held()) return 1;
        const char byte = 1;
        if (write(ready[1], &byte, 1) != 1) return 2;
        usleep(400 * 1000);
        WriteFile(file, Lines({{Lap(39880), "BBB"}, kOlder[0], kOlder[1], kOlder[2], kOlder[3]}));
        return 0;
    });
    ASSERT_GT(other, 0);
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the other process did not take the lock";
    close(ready[0]);
    const Clock::time_point start = Clock::now();
    EXPECT_TRUE(table.Save());
    const auto waited = Clock::now() - start;
    EXPECT_EQ(ExitCode(other), 0);
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    EXPECT_EQ(ReadFile(file), Lines({{Lap(39880), "BBB"}, {Lap(40440), "AAA"}, kOlder[0], kOlder[1], kOlder[2]}));
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"high.dat"}) << "the lock file goes with the lock";
}

// Five games ending at the same moment, each with its own lap, over and over:
// every save finds the others' entries, and the file is always whole.
TEST_F(HighscoreMergeTest, SavesAtTheSameMomentKeepEveryEntry) {
    constexpr int kGames = 5;
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        WriteFile(file, Lines({}));
        int start[2];
        ASSERT_EQ(pipe(start), 0);
        std::vector<pid_t> games;
        for (int g = 0; g < kGames; ++g) {
            games.push_back(Fork([&, g] {
                close(start[1]);
                HighscoreTable table(file);  // each read the empty table
                char byte;
                if (read(start[0], &byte, 1) != 0) return 1;  // all go when the pipe closes
                Drive(table, {{30000u + 1000u * unsigned(g), "Spiel " + std::to_string(g)}});
                return table.Save() ? 0 : 2;
            }));
        }
        close(start[0]);
        usleep(50 * 1000);
        close(start[1]);
        for (const pid_t game : games) EXPECT_EQ(ExitCode(game), 0);
        std::vector<Row> expected;
        for (int g = 0; g < kGames; ++g) expected.push_back({Lap(30000 + 1000 * g), "Spiel " + std::to_string(g)});
        EXPECT_EQ(ReadFile(file), Lines(expected));
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"high.dat"});
    }
}

// The lock's own edges: a free lock is taken and its file goes with it; one
// held elsewhere is waited for a bounded time and then passed over with a
// line; a folder that takes no new file gets no lock file.
TEST_F(HighscoreMergeTest, TheLockWaitsABoundedTimeAndLeavesNoFileBehind) {
    const std::string path = fs::weakly_canonical(file).string();
    {
        SaveLock lock(path);
        EXPECT_TRUE(lock.Held());
        EXPECT_TRUE(fs::exists(path + ".lock"));
    }
    EXPECT_FALSE(fs::exists(path + ".lock"));

    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    const pid_t stuck = Fork([&] {
        close(ready[0]);
        close(done[1]);
        SaveLock lock(path);
        const char byte = 1;
        if (!lock.Held() || write(ready[1], &byte, 1) != 1) return 1;
        char ignored;
        return read(done[0], &ignored, 1) >= 0 ? 0 : 2;  // holds it until told
    });
    close(ready[1]);
    close(done[0]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    testing::internal::CaptureStderr();
    const Clock::time_point start = Clock::now();
    bool held = true;
    {
        SaveLock lock(path, std::chrono::milliseconds(300));
        held = lock.Held();
    }
    const auto waited = Clock::now() - start;
    const std::string said = testing::internal::GetCapturedStderr();
    close(done[1]);
    close(ready[0]);
    EXPECT_EQ(ExitCode(stuck), 0);
    EXPECT_FALSE(held);
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    EXPECT_LT(waited, std::chrono::seconds(3));
    EXPECT_NE(said.find("\"" + path + ".lock\" bleibt von einem anderen Spiel gesperrt; es wird ohne die Sperre "
                        "gespeichert."),
              std::string::npos)
        << said;

    WriteFile(file, Lines(kOlder));
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    testing::internal::CaptureStderr();
    {
        SaveLock lock(path);
        EXPECT_FALSE(lock.Held());
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    chmod(folder.c_str(), 0700);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"high.dat"});
}

}  // namespace
}  // namespace scores_test
