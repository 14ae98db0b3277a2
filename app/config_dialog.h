// The player's settings at work: the configuration dialog (menu
// "Konfiguration"), putting the settings into effect, and full screen.
#pragma once

#include "platform/win.h"

class Game;

// Dialog 153. The six driving keys are set by clicking their button and
// pressing the key; the pad's buttons likewise, pressed on the pad. OK puts
// everything into effect and saves it; Cancel (Esc, the close box) leaves
// everything as it was. The volume is heard while the slider moves.
INT_PTR ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Puts game.settings into effect: the keyboard's keys, what the pads do, the
// volume and full screen.
void ApplySettings(Game& game);

// Saves game.settings to the player's file (nothing without one); a failure
// is said on the terminal. False when it could not be saved.
bool SaveGameSettings(Game& game);

// Full screen on or off (F11, Alt+Enter), kept in the settings file.
void ToggleFullScreen(Game& game);
