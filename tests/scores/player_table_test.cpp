// A player's own table of an installed game: it starts from the installed
// table, its first save makes its folders for the player alone, and nothing
// is ever written into the installation, whatever links or privileges would
// allow it.
#include <sys/stat.h>
#include <unistd.h>

#include "scores_fixture.h"

namespace scores_test {
namespace {

class PlayerTableTest : public TempFolder {
protected:
    void SetUp() override {
        TempFolder::SetUp();
        installed = folder / "prefix/share/games/tarvik3d";
        fs::create_directories(installed / "media");
        installedTable = (installed / "high.dat").string();
        own = (folder / "home/.local/share/tarvik3d/high.dat").string();
    }

    // Every file of the installation with its bytes, to show it unchanged.
    std::vector<std::pair<std::string, std::string>> Installation() const {
        std::vector<std::pair<std::string, std::string>> files;
        for (const auto& entry : fs::recursive_directory_iterator(installed))
            files.emplace_back(entry.path().string(), entry.is_regular_file() ? ReadFile(entry.path()) : "<folder>");
        std::sort(files.begin(), files.end());
        return files;
    }

    static mode_t Mode(const fs::path& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
    }

    fs::path installed;
    std::string installedTable, own;
};

const std::string kInstalledRows = "40.500000,Ines\r\n55.000000,Ole\r\n";

TEST_F(PlayerTableTest, TheFirstStartReadsTheInstalledTableAndItsSaveMakesThePlayersOwn) {
    WriteFile(installedTable, kInstalledRows);
    const auto before = Installation();
    {
        HighscoreTable table(own, installedTable);
        EXPECT_EQ(RowsOf(table), Table({{40.5f, "Ines"}, {55.0f, "Ole"}}));
        table.Insert(45000);  // no dialogs: the time goes in with an empty name
    }
    EXPECT_EQ(ReadFile(own), "40.500000,Ines\r\n" + FormatFixed(Lap(45000), 6) + ",\r\n55.000000,Ole\r\n0.000000,\r\n0.000000,\r\n");
    EXPECT_EQ(Installation(), before);
    // The folders it made are the player's alone; the one that was there keeps its mode.
    EXPECT_EQ(Mode(folder / "home/.local"), 0700u);
    EXPECT_EQ(Mode(folder / "home/.local/share/tarvik3d"), 0700u);
    EXPECT_EQ(fs::directory_iterator(folder / "home/.local/share/tarvik3d")->path().filename(), "high.dat")
        << "no temporary file left";

    // From now on the player's own table is read; the installed one no longer.
    WriteFile(installedTable, "1.000000,Neu installiert\r\n");
    HighscoreTable again(own, installedTable);
    EXPECT_EQ(RowsOf(again), Table({{40.5f, "Ines"}, {Lap(45000), ""}, {55.0f, "Ole"}}));
}

TEST_F(PlayerTableTest, WithoutAnInstalledTableThePlayersOwnStartsEmpty) {
    fs::create_directories(folder / "home");
    chmod((folder / "home").c_str(), 0755);
    {
        HighscoreTable table(own, installedTable);
        EXPECT_EQ(RowsOf(table), Table({}));
    }
    EXPECT_EQ(ReadFile(own), "0.000000,\r\n0.000000,\r\n0.000000,\r\n0.000000,\r\n0.000000,\r\n");
    EXPECT_EQ(Mode(folder / "home"), 0755u);
    EXPECT_FALSE(fs::exists(installedTable));
}

// A player's table that is there but cannot be read is the player's: the
// installed table does not stand in for it.
TEST_F(PlayerTableTest, AnUnreadableOwnTableIsNotReplacedByTheInstalledOne) {
    WriteFile(installedTable, kInstalledRows);
    fs::create_directories(own);  // a folder in its place
    HighscoreTable table(own, installedTable);
    EXPECT_EQ(RowsOf(table), Table({}));
    EXPECT_FALSE(table.Save());
}

TEST_F(PlayerTableTest, NothingIsEverWrittenIntoTheInstallation) {
    WriteFile(installedTable, kInstalledRows);
    struct Case {
        const char* name;
        void (*arrange)(const std::string& own, const fs::path& installed);
        std::string file;  // the table's file; "" for `own`
    };
    const Case cases[] = {
        // A link from the player's table to the installed one: as root, the
        // installed file would take the write.
        {"own table a link to the installed one",
         [](const std::string& own, const fs::path& installed) {
             fs::create_directories(fs::path(own).parent_path());
             fs::create_symlink(installed / "high.dat", own);
         },
         ""},
        {"own folder a link into the installation",
         [](const std::string& own, const fs::path& installed) {
             fs::create_directories(fs::path(own).parent_path().parent_path());
             fs::create_symlink(installed / "media", fs::path(own).parent_path());
         },
         ""},
        {"own table inside the installation", [](const std::string&, const fs::path&) {}, "INSTALLED/player/high.dat"},
        {"own table the installed one", [](const std::string&, const fs::path&) {}, "INSTALLED/high.dat"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder / "home");
        std::string file = c.file.empty() ? own : c.file;
        if (file.rfind("INSTALLED", 0) == 0) file = installed.string() + file.substr(9);
        c.arrange(own, installed);
        const auto before = Installation();
        {
            HighscoreTable table(file, installedTable);
            table.Insert(30000);
            EXPECT_FALSE(table.Save());
        }
        EXPECT_EQ(Installation(), before);
    }
}

TEST_F(PlayerTableTest, AFolderThatCannotBeMadeLosesNothing) {
    WriteFile(installedTable, kInstalledRows);
    fs::create_directories(folder / "home/.local");
    WriteFile((folder / "home/.local/share").string(), "a file where the folder should be");
    const auto before = Installation();
    {
        HighscoreTable table(own, installedTable);
        EXPECT_FALSE(table.Save());
    }
    EXPECT_EQ(ReadFile((folder / "home/.local/share").string()), "a file where the folder should be");
    EXPECT_EQ(Installation(), before);
}

// No place for the player's table (no home): the table is read from the
// installation, kept in memory and never saved, without a word at the end.
TEST_F(PlayerTableTest, ATableWithoutAFileIsNeverSaved) {
    WriteFile(installedTable, kInstalledRows);
    const auto before = Installation();
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    testing::internal::CaptureStderr();
    {
        HighscoreTable table("", installedTable);
        EXPECT_EQ(RowsOf(table), Table({{40.5f, "Ines"}, {55.0f, "Ole"}}));
        EXPECT_FALSE(table.Save());
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    fs::current_path(previous);
    EXPECT_EQ(Installation(), before);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"prefix"});
}

}  // namespace
}  // namespace scores_test
