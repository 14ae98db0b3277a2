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
      savedSettings(settings),
      graphics(shell.mainWindow, shell.appTitle),
      course(files.course),
      car(course, race, sounds),
      highscores(files.highscores, files.installedHighscores),
      credits(graphics),
      scene(SceneParts{graphics, meshes, course, race, car, credits, drawStats}) {
    // The table is saved at the teardown, when the window is gone: the box has no owner.
    highscores.OnSaveFailed([this](const std::string& path) { TellNotSaved(SavedFile::Highscores, path, nullptr); });
}

bool Game::SaveSettingsFile() {
    if (settingsFile.empty()) return true;
    if (!SaveSettings(settingsFile, settings, &savedSettings)) return false;
    savedSettings = settings;
    return true;
}

void Game::TellNotSaved(SavedFile file, const std::string& path, HWND owner) {
    bool& told = notSavedTold[int(file)];
    if (told) return;
    told = true;
    const std::string text = file == SavedFile::Highscores
                                 ? "Die Bestenliste konnte nicht gespeichert werden; sie bleibt, wie sie war:\r" + path
                                 : "Die Einstellungen gelten, konnten aber nicht gespeichert werden:\r" + path;
    MessageBoxA(owner, text.c_str(), shell.appTitle, MB_OK | MB_ICONEXCLAMATION);
}
