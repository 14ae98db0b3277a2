// SDL's keys in the codes of the Windows interfaces: DirectInput's DIK_ codes
// for the keyboard state, virtual-key codes for WM_KEYDOWN. Used by the SDL
// window back-end (and its tests).
#pragma once

#include "platform/wintypes.h"

// The DIK_ code of an SDL scancode (SDL_Scancode as an int), 0 for keys
// DirectInput has no code for. Exposed for tests.
BYTE DikFromSdlScancode(int scancode);
// The SDL scancode of a DIK_ code, 0 (SDL_SCANCODE_UNKNOWN) for none.
int SdlScancodeFromDik(BYTE dik);
// The virtual-key code WM_KEYDOWN carries for an SDL scancode, 0 if none.
UINT VirtualKeyFromSdlScancode(int scancode);
