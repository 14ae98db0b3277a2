// The program: its one Game, built before main in the order of its members,
// and the entry point on the OpenGL device and the SDL window system.
#include "app/game.h"
#include "app/shell.h"
#include "platform/desktop/desktop.h"
#include "resources/resources.h"
#include "scores/highscore_dialog_procs.h"

namespace {
Game game;
GameHighscoreDialogs highscoreDialogs(game.shell.appInstance, game.shell.mainWindow);
}  // namespace

int main() {
    SetCurrentGame(&game);
    InstallBackends(DesktopBackends());
    RegisterGameResources();
    game.highscores.SetDialogs(&highscoreDialogs);
    return WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
}
