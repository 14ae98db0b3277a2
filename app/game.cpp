#include "app/game.h"

Game::Game(const GameFiles& files)
    : race(RaceParts{car, course, controls, sounds, graphics.presentParams, scene}),
      graphics(shell.mainWindow, shell.appTitle),
      course(files.course),
      car(course, race, sounds),
      highscores(files.highscores, files.installedHighscores),
      credits(graphics),
      scene(SceneParts{graphics, meshes, course, race, car, credits, drawStats}) {}
