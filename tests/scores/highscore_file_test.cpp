// Reading and writing high.dat: the format, round trips, bad files and files
// that cannot be written.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "scores_fixture.h"
#include "tests/support/working_folder.h"

namespace scores_test {
namespace {

using HighscoreFileTest = TempFolder;

const std::string kEmptyFile = "0.000000,\r\n0.000000,\r\n0.000000,\r\n0.000000,\r\n0.000000,\r\n";

TEST_F(HighscoreFileTest, MissingFileGivesAnEmptyTableWrittenAsFiveEmptyLines) {
    {
        HighscoreTable table(file);
        EXPECT_EQ(RowsOf(table), Table({}));
    }
    EXPECT_EQ(ReadFile(file), kEmptyFile);
}

TEST_F(HighscoreFileTest, WrittenFileByteForByte) {
    {
        HighscoreTable table(file);
        Fill(table, {{12.5f, "Hans"}, {61.25f, "Anna, die Schnelle"}, {83.457001f, "J\xFCrgen"}, {0.0f, "Null"}});
    }
    EXPECT_EQ(ReadFile(file),
              "12.500000,Hans\r\n"
              "61.250000,Anna, die Schnelle\r\n"
              "83.457001,J\xFCrgen\r\n"
              "0.000000,Null\r\n"
              "0.000000,\r\n");
}

TEST_F(HighscoreFileTest, DefaultFileIsHighDatInTheWorkingDirectory) {
    {
        WorkingFolder in(folder);
        WriteFile("high.dat", "12.500000,Hans\r\n");
        HighscoreTable table;
        EXPECT_EQ(RowsOf(table), Table({{12.5f, "Hans"}}));
        table.rows[0].time = 11.0f;
    }
    EXPECT_EQ(ReadFile(file).substr(0, 16), "11.000000,Hans\r\n");
}

TEST_F(HighscoreFileTest, RoundTripKeepsNamesAndTheWrittenTimes) {
    const std::string names[] = {"Anna, die Schnelle", "  Blanks  vorn und hinten ", ",,,",
                                 "M\xFCller \xC4\xD6\xDC\xE4\xF6\xFC\xDF \x80", std::string(38, 'z')};
    std::string firstSave;
    {
        HighscoreTable table(file);
        const unsigned laps[] = {5, 12345, 12500, 83457, 3599999};
        for (int i = 0; i < HighscoreTable::RowCount; ++i) {
            ScriptedDialogs dialogs(names[i]);
            table.SetDialogs(&dialogs);
            table.Insert(laps[i]);
        }
        table.SetDialogs(nullptr);
        ASSERT_TRUE(table.Save());
        firstSave = ReadFile(file);
    }
    HighscoreTable reloaded(file);
    for (int i = 0; i < HighscoreTable::RowCount; ++i) {
        EXPECT_EQ(std::string(reloaded.rows[i].name), names[i]);
    }
    // The file keeps six decimals, below a lap's milliseconds: the times read
    // back are those the file shows, and saving again writes the same bytes.
    EXPECT_EQ(FormatFixed(reloaded.rows[0].time, 6), "0.005000");
    EXPECT_EQ(FormatFixed(reloaded.rows[4].time, 6), "3599.999268");
    ASSERT_TRUE(reloaded.Save());
    EXPECT_EQ(ReadFile(file), firstSave);
}

struct LoadCase {
    const char* label;
    std::string content;
    std::vector<Row> rows;
};

TEST_F(HighscoreFileTest, BadFilesGiveDefinedRows) {
    const std::string n39(39, 'a');
    const std::string n50(50, 'b');
    const std::string n300(300, 'c');
    const LoadCase cases[] = {
        {"empty file", "", {}},
        {"fewer than five lines", "12.500000,Hans\r\n20.000000,Anna\r\n", {{12.5f, "Hans"}, {20.0f, "Anna"}}},
        {"LF line ends", "12.500000,Hans\n20.000000,Anna\n", {{12.5f, "Hans"}, {20.0f, "Anna"}}},
        {"mixed line ends, last line without one", "12.500000,Hans\n20.000000,Anna\r\n30.000000,Otto",
         {{12.5f, "Hans"}, {20.0f, "Anna"}, {30.0f, "Otto"}}},
        {"more than five lines", "1,a\n2,b\n3,c\n4,d\n5,e\n6,f\n",
         {{1.0f, "a"}, {2.0f, "b"}, {3.0f, "c"}, {4.0f, "d"}, {5.0f, "e"}}},
        {"name of 39 loses its last character", "12.5," + n39 + "\r\n20,Next\r\n",
         {{12.5f, n39.substr(0, 38)}, {20.0f, "Next"}}},
        {"name of 50 does not spill into the next row", "12.5," + n50 + "\r\n20,Next\r\n",
         {{12.5f, n50.substr(0, 38)}, {20.0f, "Next"}}},
        {"name of 300 does not spill into the next row", "12.5," + n300 + "\n20,Next\n",
         {{12.5f, n300.substr(0, 38)}, {20.0f, "Next"}}},
        {"Windows-1252 umlauts", "12.500000,J\xFCrgen M\xFCller\r\n", {{12.5f, "J\xFCrgen M\xFCller"}}},
        {"garbage number keeps the name", "schnell,Hans\r\n20,Anna\r\n", {{0.0f, "Hans"}, {20.0f, "Anna"}}},
        {"number followed by other text", "12.5s,Hans\r\n", {{0.0f, "Hans"}}},
        {"blanks around the number", "  12.5 ,Hans\r\n", {{12.5f, "Hans"}}},
        {"NaN", "nan,Hans\r\n", {{0.0f, "Hans"}}},
        {"infinity", "inf,Hans\r\n", {{0.0f, "Hans"}}},
        {"beyond the float range", "1e39,Hans\r\n", {{0.0f, "Hans"}}},
        {"negative time", "-3.5,Hans\r\n20,Anna\r\n", {{0.0f, "Hans"}, {20.0f, "Anna"}}},
        {"blank lines are no rows and push no row out", "\r\n1,a\r\n\r\n2,b\n \t\r\n3,c\r\n4,d\r\n\n\n5,e\r\n\r\n",
         {{1.0f, "a"}, {2.0f, "b"}, {3.0f, "c"}, {4.0f, "d"}, {5.0f, "e"}}},
        {"only blank lines", "\r\n\n  \r\n\t\n", {}},
        {"empty row written by the game is a row", "12.5,A\r\n0.000000,\r\n20,B\r\n",
         {{12.5f, "A"}, {0.0f, ""}, {20.0f, "B"}}},
        {"line without comma is all time", "12.5\r\nHans\r\n20,B\r\n", {{12.5f, ""}, {0.0f, ""}, {20.0f, "B"}}},
        {"control characters in a name become blanks", "12.5,a\tb" + std::string(1, '\0') + "c\rd\r\n",
         {{12.5f, "a b c d"}}},
        {"more decimals than the file keeps", "12.3450004,X\r\n", {{12.345f, "X"}}},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.label);
        WriteFile(file, c.content);
        HighscoreTable table(file);
        EXPECT_EQ(RowsOf(table), Table(c.rows));
    }
}

TEST_F(HighscoreFileTest, UnreadableTablePlacesGiveAnEmptyTable) {
    struct Case {
        const char* label;
        int (*make)(const char* path);
    };
    const Case cases[] = {
        {"a folder", [](const char* path) { return mkdir(path, 0700); }},
        {"a pipe nobody writes to", [](const char* path) { return mkfifo(path, 0600); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string path = (folder / c.label).string();
        ASSERT_EQ(c.make(path.c_str()), 0);
        HighscoreTable table(path);
        EXPECT_EQ(RowsOf(table), Table({}));
        EXPECT_FALSE(table.Save());
    }
}

TEST_F(HighscoreFileTest, SaveReplacesTheFileKeepingItsPermissionsAndLeavesNoTemporaryFile) {
    WriteFile(file, "99.000000,Alt\r\n");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    {
        HighscoreTable table(file);
        Fill(table, {{12.5f, "Neu"}});
        EXPECT_TRUE(table.Save());
    }
    EXPECT_EQ(ReadFile(file).substr(0, 15), "12.500000,Neu\r\n");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"high.dat"});
}

TEST_F(HighscoreFileTest, SaveWritesThroughASymbolicLink) {
    fs::create_directory(folder / "real");
    const std::string target = (folder / "real" / "high.dat").string();
    WriteFile(target, "99.000000,Alt\r\n");
    fs::create_symlink(target, file);
    {
        HighscoreTable table(file);
        EXPECT_EQ(RowsOf(table), Table({{99.0f, "Alt"}}));
        table.rows[0].time = 12.5f;
    }
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(ReadFile(target).substr(0, 15), "12.500000,Alt\r\n");
}

// The old file stays as it was, nothing crashes and no temporary file is left.
TEST_F(HighscoreFileTest, TableThatCannotBeWrittenLosesNothing) {
    const std::string old = "42.000000,Alt\r\n";
    struct Case {
        const char* label;
        void (*prepare)(const fs::path& folder, const std::string& file);
    };
    const Case cases[] = {
        {"read-only file", [](const fs::path&, const std::string& f) { ASSERT_EQ(chmod(f.c_str(), 0444), 0); }},
        {"read-only file in a read-only folder",
         [](const fs::path& d, const std::string& f) {
             ASSERT_EQ(chmod(f.c_str(), 0444), 0);
             ASSERT_EQ(chmod(d.c_str(), 0555), 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        chmod(folder.c_str(), 0700);
        chmod(file.c_str(), 0600);
        WriteFile(file, old);
        c.prepare(folder, file);
        {
            HighscoreTable table(file);
            EXPECT_EQ(RowsOf(table), Table({{42.0f, "Alt"}}));
            table.Insert(10000);
            EXPECT_FALSE(table.Save());
        }  // the teardown's save fails quietly as well
        EXPECT_EQ(ReadFile(file), old);
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"high.dat"});
    }
}

TEST_F(HighscoreFileTest, SaveFailingHalfwayKeepsTheOldTable) {
    const std::string old = "42.000000,Alt\r\n";
    // Through a temporary file, and written in place in a read-only folder.
    for (const mode_t folderMode : {0700, 0555}) {
        SCOPED_TRACE(folderMode == 0700 ? "writable folder" : "read-only folder");
        chmod(folder.c_str(), 0700);
        WriteFile(file, old);
        ASSERT_EQ(chmod(folder.c_str(), folderMode), 0);
        HighscoreTable table(file);
        Fill(table, {{12.5f, "Neu mit einem recht langen Namen"}, {20.0f, "Noch einer"}});

        // A file size limit makes the write fail after a few bytes, as a full disk would.
        rlimit previous {};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
        const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit small = previous;
        small.rlim_cur = 16;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool saved = table.Save();
        setrlimit(RLIMIT_FSIZE, &previous);
        signal(SIGXFSZ, previousHandler);

        EXPECT_FALSE(saved);
        EXPECT_EQ(ReadFile(file), old);
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"high.dat"});
    }
}

// Where no new file can be made beside the table, a table file the player may
// write is written in place: the same file (same inode, same permissions)
// holds the new table, and nothing else appears in the folder.
TEST_F(HighscoreFileTest, TableInAFolderThatTakesNoNewFileIsWrittenInPlace) {
    struct Case {
        const char* label;
        std::string name;  // of the table file
        mode_t folderMode;
    };
    // A name so long that the temporary name beside it exceeds the longest
    // name the file system takes: making that file fails for every user.
    const Case cases[] = {
        {"read-only folder", "high.dat", 0555},
        {"no room for a temporary name", std::string(250, 'h'), 0700},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        chmod(folder.c_str(), 0700);
        const std::string path = (folder / c.name).string();
        WriteFile(path, "42.000000,Alt mit einem langen Namen\r\n99.000000,Noch einer\r\n");
        ASSERT_EQ(chmod(path.c_str(), 0640), 0);
        struct stat before {};
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        ASSERT_EQ(chmod(folder.c_str(), c.folderMode), 0);
        testing::internal::CaptureStderr();
        {
            HighscoreTable table(path);
            table.Insert(10000);
        }  // the teardown saves
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(ReadFile(path), "10.000000,\r\n42.000000,Alt mit einem langen Namen\r\n99.000000,Noch einer\r\n"
                                  "0.000000,\r\n0.000000,\r\n");
        struct stat after {};
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode & 07777, 0640u);
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{c.name});
        chmod(folder.c_str(), 0700);
        fs::remove(path);
    }
}

// A folder marked immutable takes no new file even from root, whose rights
// pass over a read-only folder; the file in it may still be written. Setting
// the mark needs the right to do so and a file system that has it.
TEST_F(HighscoreFileTest, TableInAnImmutableFolderIsWrittenInPlace) {
    WriteFile(file, "42.000000,Alt\r\n");
    const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dirFd, 0);
    int flags = 0;
    if (ioctl(dirFd, FS_IOC_GETFLAGS, &flags) != 0) {
        close(dirFd);
        GTEST_SKIP() << "no attributes on this file system";
    }
    const int immutable = flags | FS_IMMUTABLE_FL;
    if (ioctl(dirFd, FS_IOC_SETFLAGS, &immutable) != 0) {
        close(dirFd);
        GTEST_SKIP() << "cannot mark a folder immutable here";
    }
    const bool creatingFails = open((folder / "probe").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600) < 0;
    bool saved = false;
    {
        HighscoreTable table(file);
        table.Insert(10000);
        saved = table.Save();
    }
    ioctl(dirFd, FS_IOC_SETFLAGS, &flags);
    close(dirFd);
    EXPECT_TRUE(creatingFails);
    EXPECT_TRUE(saved);
    EXPECT_EQ(ReadFile(file), "10.000000,\r\n42.000000,Alt\r\n0.000000,\r\n0.000000,\r\n0.000000,\r\n");
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"high.dat"});
}

TEST_F(HighscoreFileTest, TableInAMissingFolderIsNotSaved) {
    const std::string path = (folder / "fehlt" / "high.dat").string();
    {
        HighscoreTable table(path);
        table.Insert(10000);
        EXPECT_FALSE(table.Save());
    }
    EXPECT_FALSE(fs::exists(folder / "fehlt"));
}

}  // namespace
}  // namespace scores_test
