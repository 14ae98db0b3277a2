// The modal lighting dialog: two light sliders, three reflection sliders and
// the choice between the course's fields and the car. Every change applies at
// once, while the game runs behind the dialog. What the sliders set is kept in
// the player's settings when the dialog closes.
#pragma once

#include "platform/win.h"

class Game;

INT_PTR LightingDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Puts the kept lighting back over the values the game starts with, once the
// meshes are loaded; parts the player never moved stay as they start.
void RestoreLighting(Game& game);
