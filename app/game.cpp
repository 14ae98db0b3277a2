#include "app/game.h"

Game::Game(const GameFiles& files)
    : race(*this), graphics(*this), course(files.course), car(*this), highscores(files.highscores) {}
