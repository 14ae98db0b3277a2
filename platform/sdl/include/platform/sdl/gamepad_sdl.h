// The game controllers on SDL's game controller interface: every pad SDL
// knows a mapping for, plugged in before or during the game. Installed by
// platform/desktop; tests install it with SDL's virtual joysticks.
#pragma once

#include "platform/core/backends.h"

// The one SDL pad back-end, made on first use; it lasts the whole process.
// SDL's game controller part starts with its first read.
GamepadBackend& SdlGamepads();
