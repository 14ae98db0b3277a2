// The program: reads its command line, enters the data folder, then builds
// its one Game in the order of its members and runs it on the OpenGL device
// and the SDL window system. The Game lives until main returns, so its
// teardown (which saves high.dat) comes after WinMain, as it always did.
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/game.h"
#include "app/shell.h"
#include "platform/desktop/desktop.h"
#include "resources/resources.h"
#include "scores/highscore_dialog_procs.h"

int main(int argc, char** argv) {
    GameFiles files;
    std::string out, err;
    const std::optional<int> exitCode =
        PrepareStart(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), &files, &out, &err);
    std::fputs(out.c_str(), stdout);
    std::fputs(err.c_str(), stderr);
    if (exitCode) return *exitCode;
    WarmUpDesktop();

    Game game(files);
    GameHighscoreDialogs highscoreDialogs(game.shell.appInstance, game.shell.mainWindow);
    SetCurrentGame(&game);
    InstallBackends(DesktopBackends());
    RegisterGameResources();
    game.highscores.SetDialogs(&highscoreDialogs);
    return WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
}
