#include "app/game_places.h"

#include "app/settings.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifndef TARVIK_DATA_FROM_EXECUTABLE
#define TARVIK_DATA_FROM_EXECUTABLE "../share/games/tarvik3d"
#endif

const char* const kInstalledDataFromExecutable = TARVIK_DATA_FROM_EXECUTABLE;

namespace fs = std::filesystem;

namespace {

bool IsFolder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

// A folder the game can run from holds its meshes, textures and sounds in
// media/; course.txt may be missing (the game then drives on wood).
bool IsDataFolder(const fs::path& path) { return IsFolder(path / "media"); }

// The path with dots and the links of its existing part resolved.
std::string Normal(const fs::path& path) {
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(path, error);
    return (error ? path.lexically_normal() : resolved).string();
}

bool LiesWithin(const std::string& path, const std::string& folder) {
    if (path == folder) return true;
    const std::string prefix = !folder.empty() && folder.back() == '/' ? folder : folder + "/";
    return path.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::string UserDataHome(const std::string& xdgDataHome, const std::string& home) {
    // The XDG rules take only absolute paths; a relative one is ignored.
    if (!xdgDataHome.empty() && xdgDataHome.front() == '/') return fs::path(xdgDataHome).lexically_normal().string();
    if (!home.empty() && home.front() == '/') return (fs::path(home) / ".local/share").lexically_normal().string();
    return "";
}

PlaceSearch PlaceSearchOfThisProcess(const std::string& dataOption) {
    PlaceSearch search;
    search.dataOption = dataOption;
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (!error) search.executable = executable.string();
    const fs::path working = fs::current_path(error);
    if (!error) search.workingFolder = working.string();
    if (const char* xdg = std::getenv("XDG_DATA_HOME")) search.xdgDataHome = xdg;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME")) search.xdgConfigHome = xdg;
    if (const char* home = std::getenv("HOME"); home && *home) {
        search.home = home;
    } else if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_dir) {
        search.home = account->pw_dir;
    }
    return search;
}

std::optional<GamePlaces> FindGamePlaces(const PlaceSearch& search, std::string* error) {
    GamePlaces places;
    const fs::path working = search.workingFolder.empty() ? fs::path("/") : fs::path(search.workingFolder);
    // Where the program file lies; /proc gives it with links resolved, so a
    // link to the game in another folder still leads to its installation.
    const fs::path executableFolder = fs::path(search.executable).parent_path();
    if (!search.dataOption.empty()) {
        const fs::path folder = working / search.dataOption;  // an absolute option replaces the working folder
        if (!IsFolder(folder)) {
            if (error) *error = "Der Datenordner \"" + search.dataOption + "\" ist kein Ordner.";
            return std::nullopt;
        }
        places.origin = DataOrigin::Option;
        places.dataFolder = Normal(folder);
    } else if (!search.executable.empty() && IsDataFolder(executableFolder / kInstalledDataFromExecutable)) {
        places.origin = DataOrigin::Installed;
        places.dataFolder = Normal(executableFolder / kInstalledDataFromExecutable);
    } else if (!search.executable.empty() && IsDataFolder(executableFolder.parent_path() / "data")) {
        places.origin = DataOrigin::SourceTree;
        places.dataFolder = Normal(executableFolder.parent_path() / "data");
    } else {
        places.origin = DataOrigin::WorkingFolder;
        places.dataFolder = Normal(working);
    }

    places.settings = UserSettingsFile(search.xdgConfigHome, search.home);
    if (places.origin != DataOrigin::Installed) {
        places.highscores = Normal(fs::path(places.dataFolder) / "high.dat");
        return places;
    }
    places.installedHighscores = Normal(fs::path(places.dataFolder) / "high.dat");
    const std::string home = UserDataHome(search.xdgDataHome, search.home);
    if (!home.empty()) {
        // A data home pointed into the installation gets no table: an
        // installed game never writes there.
        const std::string table = Normal(fs::path(home) / "tarvik3d" / "high.dat");
        if (!LiesWithin(table, places.dataFolder)) places.highscores = table;
    }
    return places;
}

GameFiles FilesOf(const GamePlaces& places) {
    GameFiles files;
    files.highscores = places.highscores;
    files.installedHighscores = places.installedHighscores;
    files.settings = places.settings;
    return files;
}
