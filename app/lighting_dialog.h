// The modal lighting dialog: two light sliders, three reflection sliders and
// the choice between the course's fields and the car. Every change applies at
// once, while the game runs behind the dialog.
#pragma once

#include "platform/win.h"

INT_PTR LightingDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
