#include "app/game.h"

#include <cstdio>

namespace {

// The settings of the file, each problem with it told on the terminal.
GameSettings ReadSettings(const std::string& path) {
    std::vector<std::string> problems;
    GameSettings settings = LoadSettings(path, &problems);
    for (const std::string& line : problems) std::fprintf(stderr, "%s\n", line.c_str());
    return settings;
}

}  // namespace

Game::Game(const GameFiles& files)
    : race(RaceParts{car, course, controls, sounds, graphics.presentParams, scene}),
      settingsFile(files.settings),
      settings(ReadSettings(files.settings)),
      graphics(shell.mainWindow, shell.appTitle),
      course(files.course),
      car(course, race, sounds),
      highscores(files.highscores, files.installedHighscores),
      credits(graphics),
      scene(SceneParts{graphics, meshes, course, race, car, credits, drawStats}) {}
