// The program's command line and what main does before it builds the game:
//
//   tarvik3d [--data ORDNER]    play, with the data from ORDNER
//   tarvik3d --help             usage, and the data folder and high.dat it would use
//   tarvik3d --version
//
// Texts on the terminal are German, like the game's other terminal lines. A
// command line the game cannot use prints the usage and ends with exit code 2.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/game.h"
#include "app/game_places.h"

struct CommandLine {
    enum class Action { Play, Help, Version, Wrong };
    Action action = Action::Play;
    std::string dataFolder;  // --data
    std::string problem;     // for Wrong: what is wrong with it, in German
};

// The arguments after the program's name. --data takes its folder as the next
// argument or after "=". Every other argument is wrong; --help and --version
// win over the rest of a line without mistakes.
CommandLine ReadCommandLine(const std::vector<std::string>& arguments);

constexpr int kExitUsage = 2;

std::string UsageText();
std::string VersionText();
// The places --help shows.
std::string PlacesText(const GamePlaces& places);

// Everything before the game is built: reads the arguments, answers --help
// and --version, finds the places (searched by searchOf) and enters the data
// folder. Returns the exit code when the program ends here; otherwise the
// game's files are in *files and the working folder is the data folder.
// What is to be printed is appended to *out (standard output) and *err
// (standard error).
std::optional<int> PrepareStart(const std::vector<std::string>& arguments, GameFiles* files, std::string* out,
                                std::string* err,
                                PlaceSearch (*searchOf)(const std::string& dataOption) = PlaceSearchOfThisProcess);
