// Where the game finds its data folder and where it keeps high.dat.
//
// The data folder is, in this order: the folder named by --data; the data
// folder of the installation, found from the executable's own place (so a
// prefix moved elsewhere still works); data/ of the source tree beside the
// build folder the executable was built in; the working folder. The game
// then runs with the data folder as its working folder, so that its relative
// file names (course.txt, media/..., info/...) are found there.
//
// Every game keeps the player's settings in their home
// ($XDG_CONFIG_HOME/tarvik3d/settings.ini, ~/.config/tarvik3d/settings.ini
// when that is not set), whatever data folder it plays with.
//
// An installed game keeps each player's high.dat in their home
// ($XDG_DATA_HOME/tarvik3d/high.dat, ~/.local/share/tarvik3d/high.dat when
// that is not set), starting from the installed table; it never writes into
// its installation. Any other game keeps high.dat in its data folder.
#pragma once

#include <optional>
#include <string>

#include "app/game.h"

enum class DataOrigin { Option, Installed, SourceTree, WorkingFolder };

struct GamePlaces {
    std::string dataFolder;           // absolute
    DataOrigin origin = DataOrigin::WorkingFolder;
    std::string highscores;           // absolute; empty when there is no place to keep it
    std::string installedHighscores;  // the installed table a player's own starts from; empty unless installed
    std::string settings;             // the player's settings file, wherever the data is; empty without a home
};

// What the search looks at. The program takes it from its process
// (PlaceSearchOfThisProcess); tests make their own.
struct PlaceSearch {
    std::string dataOption;     // the folder given with --data; empty when none was
    std::string executable;     // the running program's own file, links resolved; empty when unknown
    std::string workingFolder;  // absolute
    std::string xdgDataHome;    // $XDG_DATA_HOME as set; empty when unset
    std::string xdgConfigHome;  // $XDG_CONFIG_HOME as set; empty when unset
    std::string home;           // $HOME, or the home of the user's account when it is unset
};

// The data folder of an installation relative to the folder of its
// executable, as the build installs them (e.g. "../share/games/tarvik3d").
extern const char* const kInstalledDataFromExecutable;

PlaceSearch PlaceSearchOfThisProcess(const std::string& dataOption);

// The places for a search; nothing, with the reason in German in *error,
// when the folder given with --data is no folder.
std::optional<GamePlaces> FindGamePlaces(const PlaceSearch& search, std::string* error);

// The files the Game reads and writes, with the data folder as the working
// folder.
GameFiles FilesOf(const GamePlaces& places);

// A player's data folder under the XDG rules: $XDG_DATA_HOME when it is an
// absolute path, else ~/.local/share; empty when neither can be found.
std::string UserDataHome(const std::string& xdgDataHome, const std::string& home);
