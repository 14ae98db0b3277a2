// The command line, and where the game finds its data and keeps high.dat:
// the four origins of the data folder in their order, the player's own table
// of an installed game under the XDG rules, and what main does before it
// builds the game (help, version, usage errors, entering the data folder).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <cctype>
#include <fstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/game_places.h"

namespace {

namespace fs = std::filesystem;

// A folder tree of the test's own with an installed game, a source tree with
// its build folder, and a plain folder to start from:
//   prefix/games/tarvik3d, prefix/share/games/tarvik3d/media/
//   src/build/tarvik3d,    src/data/media/
//   elsewhere/
class Layout : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tarvik-places-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = fs::canonical(pattern);
        fs::create_directories(root / "prefix/games");
        fs::create_directories(InstalledData() / "media");
        fs::create_directories(root / "src/build");
        fs::create_directories(root / "src/data/media");
        fs::create_directories(root / "elsewhere");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    fs::path InstalledData() const { return root / "prefix/games" / kInstalledDataFromExecutable; }
    std::string Installed() const { return fs::weakly_canonical(InstalledData()).string(); }

    PlaceSearch Search(const std::string& executable) const {
        PlaceSearch search;
        search.executable = executable.empty() ? "" : (root / executable).string();
        search.workingFolder = (root / "elsewhere").string();
        search.home = (root / "home").string();
        return search;
    }

    GamePlaces Find(const PlaceSearch& search) const {
        std::string error;
        std::optional<GamePlaces> places = FindGamePlaces(search, &error);
        EXPECT_TRUE(places.has_value()) << error;
        return places.value_or(GamePlaces{});
    }

    fs::path root;
};

TEST_F(Layout, TheDataFolderIsTheOptionElseTheInstallationElseTheSourceTreeElseTheWorkingFolder) {
    struct Case {
        const char* name;
        const char* executable;  // relative to the root; "" for unknown
        const char* option;      // --data, relative to the working folder or absolute
        DataOrigin origin;
        std::string folder;      // relative to the root
    };
    const Case cases[] = {
        {"installed", "prefix/games/tarvik3d", "", DataOrigin::Installed, ""},
        {"source tree", "src/build/tarvik3d", "", DataOrigin::SourceTree, "src/data"},
        {"neither", "elsewhere/tarvik3d", "", DataOrigin::WorkingFolder, "elsewhere"},
        {"executable unknown", "", "", DataOrigin::WorkingFolder, "elsewhere"},
        {"option, relative", "prefix/games/tarvik3d", "../src/data", DataOrigin::Option, "src/data"},
        {"option, absolute", "src/build/tarvik3d", "ABS", DataOrigin::Option, "elsewhere"},
        {"option with dots and a slash", "prefix/games/tarvik3d", "./../elsewhere/", DataOrigin::Option, "elsewhere"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlaceSearch search = Search(c.executable);
        search.dataOption = std::string(c.option) == "ABS" ? (root / "elsewhere").string() : c.option;
        const GamePlaces places = Find(search);
        const std::string folder = c.folder.empty() ? Installed() : (root / c.folder).string();
        EXPECT_EQ(places.origin, c.origin);
        EXPECT_EQ(places.dataFolder, folder);
        if (c.origin != DataOrigin::Installed) {
            // As today: high.dat in the data folder, no installed table.
            EXPECT_EQ(places.highscores, folder + "/high.dat");
            EXPECT_EQ(places.installedHighscores, "");
        }
    }
}

TEST_F(Layout, AFolderWithoutMediaIsNoInstallationNorSourceTree) {
    fs::remove_all(InstalledData() / "media");
    std::ofstream(InstalledData() / "media") << "a file, not the folder";
    fs::remove_all(root / "src/data/media");
    for (const char* executable : {"prefix/games/tarvik3d", "src/build/tarvik3d"}) {
        SCOPED_TRACE(executable);
        EXPECT_EQ(Find(Search(executable)).origin, DataOrigin::WorkingFolder);
    }
}

TEST_F(Layout, AMovedInstallationStillFindsItsData) {
    fs::rename(root / "prefix", root / "moved");
    const GamePlaces places = Find(Search("moved/games/tarvik3d"));
    EXPECT_EQ(places.origin, DataOrigin::Installed);
    EXPECT_EQ(places.dataFolder, fs::weakly_canonical(root / "moved/games" / kInstalledDataFromExecutable).string());
}

TEST_F(Layout, DataOptionThatIsNoFolderIsRefused) {
    std::ofstream(root / "elsewhere/file") << "x";
    for (const char* option : {"missing", "file", "/no/such/folder"}) {
        SCOPED_TRACE(option);
        PlaceSearch search = Search("prefix/games/tarvik3d");
        search.dataOption = option;
        std::string error;
        EXPECT_FALSE(FindGamePlaces(search, &error).has_value());
        EXPECT_EQ(error, "Der Datenordner \"" + std::string(option) + "\" ist kein Ordner.");
    }
}

TEST_F(Layout, AnInstalledGameKeepsEachPlayersTableInTheirDataHome) {
    struct Case {
        const char* name;
        std::string xdgDataHome, home;
        std::string table;  // "" for none
    };
    const std::string home = (root / "home").string();
    const Case cases[] = {
        {"XDG_DATA_HOME set", (root / "xdg").string(), home, (root / "xdg/tarvik3d/high.dat").string()},
        {"XDG_DATA_HOME unset", "", home, home + "/.local/share/tarvik3d/high.dat"},
        {"XDG_DATA_HOME relative: ignored", "relative/share", home, home + "/.local/share/tarvik3d/high.dat"},
        {"XDG_DATA_HOME with a trailing slash", (root / "xdg").string() + "/", home,
         (root / "xdg/tarvik3d/high.dat").string()},
        {"no home at all", "", "", ""},
        {"a relative home", "", "home", ""},
        // Pointed into the installation, the data home takes no table: an
        // installed game never writes there, whoever runs it.
        {"XDG_DATA_HOME inside the installation", Installed(), home, ""},
        {"XDG_DATA_HOME the installation's share folder", (root / "prefix/share/games").string(), home, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlaceSearch search = Search("prefix/games/tarvik3d");
        search.xdgDataHome = c.xdgDataHome;
        search.home = c.home;
        const GamePlaces places = Find(search);
        EXPECT_EQ(places.origin, DataOrigin::Installed);
        EXPECT_EQ(places.highscores, c.table);
        EXPECT_EQ(places.installedHighscores, Installed() + "/high.dat");
        const GameFiles files = FilesOf(places);
        EXPECT_EQ(files.course, "course.txt");  // read in the data folder, the working folder then
        EXPECT_EQ(files.highscores, c.table);
        EXPECT_EQ(files.installedHighscores, Installed() + "/high.dat");
    }
}

TEST(UserDataHomeTest, FollowsTheXdgRules) {
    EXPECT_EQ(UserDataHome("/x/share", "/home/p"), "/x/share");
    EXPECT_EQ(UserDataHome("", "/home/p"), "/home/p/.local/share");
    EXPECT_EQ(UserDataHome("share", "/home/p"), "/home/p/.local/share");
    EXPECT_EQ(UserDataHome("", "/"), "/.local/share");
    EXPECT_EQ(UserDataHome("", ""), "");
    EXPECT_EQ(UserDataHome("rel", "rel"), "");
}

TEST(CommandLineTest, ReadsDataHelpAndVersionAndRefusesTheRest) {
    using Action = CommandLine::Action;
    struct Case {
        std::vector<std::string> arguments;
        Action action;
        std::string dataFolder;
        std::string problem;
    };
    const Case cases[] = {
        {{}, Action::Play, "", ""},
        {{"--data", "d"}, Action::Play, "d", ""},
        {{"--data=/a b"}, Action::Play, "/a b", ""},
        {{"--data", "a", "--data", "b"}, Action::Play, "b", ""},
        {{"--help"}, Action::Help, "", ""},
        {{"-h"}, Action::Help, "", ""},
        {{"--data", "d", "--help"}, Action::Help, "d", ""},
        {{"--version"}, Action::Version, "", ""},
        {{"--version", "--help"}, Action::Help, "", ""},
        {{"--data"}, Action::Wrong, "", "--data braucht einen Ordner."},
        {{"--data="}, Action::Wrong, "", "--data braucht einen Ordner."},
        {{"--data", ""}, Action::Wrong, "", "--data braucht einen Ordner."},
        {{"--fullscreen"}, Action::Wrong, "", "Unbekannte Option \"--fullscreen\"."},
        {{"-x", "--help"}, Action::Wrong, "", "Unbekannte Option \"-x\"."},
        {{"--help", "-"}, Action::Wrong, "", "Unbekannte Option \"-\"."},
        {{"data"}, Action::Wrong, "", "Unerwartetes Argument \"data\"."},
        {{"--datafolder"}, Action::Wrong, "", "Unbekannte Option \"--datafolder\"."},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.arguments) shown += "[" + a + "]";
        SCOPED_TRACE(shown);
        const CommandLine line = ReadCommandLine(c.arguments);
        EXPECT_EQ(line.action, c.action);
        if (c.action != Action::Wrong) {
            EXPECT_EQ(line.dataFolder, c.dataFolder);
        }
        EXPECT_EQ(line.problem, c.problem);
    }
}

// "Tarvik 3D " and a version of three numbers, on a line of its own.
bool IsVersionLine(const std::string& text) {
    const std::string head = "Tarvik 3D ";
    if (text.rfind(head, 0) != 0 || text.empty() || text.back() != '\n') return false;
    const std::string version = text.substr(head.size(), text.size() - head.size() - 1);
    int numbers = 0;
    bool inNumber = false;
    for (char c : version) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            numbers += inNumber ? 0 : 1;
            inNumber = true;
        } else if (c == '.' && inNumber) {
            inNumber = false;
        } else {
            return false;
        }
    }
    return inNumber && numbers == 3;
}

// The searches PrepareStart is given: the real one of this process would
// find the test program's own source tree.
PlaceSearch searchFromTest;
PlaceSearch FakeSearch(const std::string& option) {
    PlaceSearch search = searchFromTest;
    search.dataOption = option;
    return search;
}

class PrepareStartTest : public Layout {
protected:
    void SetUp() override {
        Layout::SetUp();
        previous = fs::current_path();
        searchFromTest = Search("prefix/games/tarvik3d");
        searchFromTest.xdgDataHome = (root / "xdg").string();
    }
    void TearDown() override {
        fs::current_path(previous);
        Layout::TearDown();
    }
    std::optional<int> Prepare(const std::vector<std::string>& arguments) {
        out.clear();
        err.clear();
        files = GameFiles{};
        return PrepareStart(arguments, &files, &out, &err, &FakeSearch);
    }

    fs::path previous;
    GameFiles files;
    std::string out, err;
};

TEST_F(PrepareStartTest, HelpShowsTheUsageAndThePlacesItWouldUse) {
    EXPECT_EQ(Prepare({"--help"}), 0);
    EXPECT_EQ(out.rfind(UsageText(), 0), 0u) << out;
    EXPECT_NE(out.find("Spieldaten:  " + Installed() + " (Installation)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Bestenliste: " + (root / "xdg/tarvik3d/high.dat").string() + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("zuerst leer (die Installation hat keine Liste)"), std::string::npos) << out;
    EXPECT_EQ(err, "");
    EXPECT_EQ(fs::current_path(), previous) << "help enters no folder";

    std::ofstream(InstalledData() / "high.dat") << "12.000000,Ina\r\n";
    EXPECT_EQ(Prepare({"--help"}), 0);
    EXPECT_NE(out.find("zuerst mit der Liste der Installation: " + Installed() + "/high.dat"), std::string::npos)
        << out;

    EXPECT_EQ(Prepare({"--help", "--data", (root / "src/data").string()}), 0);
    EXPECT_NE(out.find("Spieldaten:  " + (root / "src/data").string() + " (--data)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Bestenliste: " + (root / "src/data/high.dat").string() + "\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("zuerst"), std::string::npos) << out;
}

TEST_F(PrepareStartTest, VersionAndUsageErrors) {
    EXPECT_EQ(Prepare({"--version"}), 0);
    EXPECT_TRUE(IsVersionLine(out)) << out;
    EXPECT_EQ(err, "");

    EXPECT_EQ(Prepare({"--fullscreen"}), 2);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "Tarvik 3D: Unbekannte Option \"--fullscreen\".\n\n" + UsageText());

    EXPECT_EQ(Prepare({"--data", "no-such-folder"}), 2);
    EXPECT_EQ(err, "Tarvik 3D: Der Datenordner \"no-such-folder\" ist kein Ordner.\n");
    EXPECT_EQ(fs::current_path(), previous);
}

TEST_F(PrepareStartTest, PlayingEntersTheDataFolderWithTheGamesFiles) {
    EXPECT_EQ(Prepare({}), std::nullopt);
    EXPECT_EQ(fs::current_path(), Installed());
    EXPECT_EQ(files.course, "course.txt");
    EXPECT_EQ(files.highscores, (root / "xdg/tarvik3d/high.dat").string());
    EXPECT_EQ(files.installedHighscores, Installed() + "/high.dat");
    EXPECT_EQ(out + err, "");

    fs::current_path(previous);
    EXPECT_EQ(Prepare({"--data", (root / "src/data").string()}), std::nullopt);
    EXPECT_EQ(fs::current_path(), root / "src/data");
    EXPECT_EQ(files.highscores, (root / "src/data/high.dat").string());
    EXPECT_EQ(files.installedHighscores, "");

    // Without any home the game still starts; the terminal says the table
    // is not kept.
    fs::current_path(previous);
    searchFromTest.xdgDataHome.clear();
    searchFromTest.home.clear();
    EXPECT_EQ(Prepare({}), std::nullopt);
    EXPECT_EQ(files.highscores, "");
    EXPECT_EQ(err,
              "Tarvik 3D: Kein Ordner f\u00fcr die Bestenliste gefunden (weder XDG_DATA_HOME noch HOME); sie wird "
              "nicht gespeichert.\n");
}

TEST_F(PrepareStartTest, ADataFolderThatCannotBeEnteredEndsWithCode1) {
    if (::geteuid() == 0) GTEST_SKIP() << "root enters any folder";
    fs::permissions(root / "src/data", fs::perms::owner_read);
    EXPECT_EQ(Prepare({"--data", (root / "src/data").string()}), 1);
    EXPECT_EQ(err, "Tarvik 3D: Der Datenordner \"" + (root / "src/data").string() + "\" l\u00e4sst sich nicht betreten.\n");
    fs::permissions(root / "src/data", fs::perms::owner_all);
}

}  // namespace
