// The program's frame: start-up, the message loop, the window procedure with
// its commands, and the help and info dialogs.
#pragma once

#include <string>

#include "platform/win.h"

class Game;

// The timers of the main window: the game's 40 ms tick (id 0, as it always
// was) and, with smooth frames, the frames between the ticks.
constexpr UINT_PTR kTickTimer = 0;
constexpr UINT_PTR kSmoothFrameTimer = 2;

// The game the window procedure and the dialog procedures work on: the
// program's one Game, or a test's.
void SetCurrentGame(Game* game);
Game& CurrentGame();

// Start-up up to the message loop; false when a step failed (its message box
// has been shown). The loop then runs until the quit message.
bool StartUp(HINSTANCE instance, int showCommand);
int RunMessageLoop();
int WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);

LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR HelpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR InfoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The exit command: credits, the ending, the highscore list and the fastest
// lap offered to the table, then the window closes.
void RunExitSequence(Game& game);

// The page about the game that the info dialog opens, as an absolute file
// address, found beside the working directory's data.
std::string InfoPageAddress();
