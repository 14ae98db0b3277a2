// Every long-lived object of the game in one place. The members are the
// game's global objects, built in the order their construction needs (the
// zeroed plain globals first) and torn down in reverse: the sounds, then the
// highscore table (which saves high.dat), the meshes and the device.
// The program has one Game, built by main once it knows where the data
// folder is; tests build their own.
#pragma once

#include <string>

#include "app/draw_stats.h"
#include "app/frame_pacer.h"
#include "app/settings.h"
#include "gfx/credits.h"
#include "gfx/graphics_device.h"
#include "race/car.h"
#include "race/course.h"
#include "race/keyboard.h"
#include "race/race_state.h"
#include "render/mesh_model.h"
#include "render/scene_view.h"
#include "scores/highscore_table.h"
#include "sound/game_sounds.h"

// The shell's handles and title.
struct Shell {
    HINSTANCE appInstance = nullptr;
    HWND mainWindow = nullptr;
    const char* appTitle = "Tarvik 3D";
    HMENU mainMenu = nullptr;
};

// The files the game reads at its start and the table it saves at its end.
// installedHighscores is set for an installed game only: the installed table
// that a player's own table starts from (see HighscoreTable).
// settings is the player's settings file; empty keeps the settings in
// memory only (the tests' default), starting from the defaults.
struct GameFiles {
    std::string course = "course.txt";
    std::string highscores = "high.dat";
    std::string installedHighscores;
    std::string settings;
};

// The files whose failed save the player is told of.
enum class SavedFile { Highscores, Settings, Count };

class Game {
public:
    explicit Game(const GameFiles& files = GameFiles());
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // Plain globals, zero at start.
    Shell shell;
    RaceState race;
    Keyboard keyboard;
    ControlState controls;
    int lightingGroup = 0;  // the lighting dialog's reflection group

    // The player's settings, read from their file when the game is built;
    // start-up and the configuration dialog apply them.
    std::string settingsFile;
    GameSettings settings;
    // The settings as this game last read or saved them: a save writes what
    // changed since, and leaves the rest to what the file holds (another game
    // may have saved meanwhile).
    GameSettings savedSettings;

    // Saves the settings to their file (see SaveSettings); false when they
    // could not be saved. Without a file there is nothing to save.
    bool SaveSettingsFile();

    // Tells the player in a message box that a file could not be saved, the
    // first time for each kind of file in this run; the terminal has its line
    // from the caller. `owner` is the window it belongs to, or none.
    void TellNotSaved(SavedFile file, const std::string& path, HWND owner);
    // Whether the player was told, by TellNotSaved or by a dialog's own words.
    bool notSavedTold[int(SavedFile::Count)] = {};

    // The global objects, in their order of construction.
    DrawStats drawStats;
    GraphicsDevice graphics;
    SceneMeshes meshes;
    Course course;
    Car car;
    HighscoreTable highscores;
    GameSounds sounds;

    // The credit lines hold text meshes of the device, so they go before it.
    CreditLines credits;

    // What the race state draws its frames through: with smooth frames, the
    // pictures of the last two ticks.
    SceneView scene;
    // When smooth frames are drawn.
    FramePacer pacer;
    LoopWatch* loopWatch = nullptr;
};
