// Game controllers, which the port adds: a pad is read together with the
// keyboard and what it does is said in keys, so the game reads it as it
// reads the keyboard. An input that is held holds a key in the keyboard state
// DirectInput reads; an input that is pressed may instead queue the press of
// a key (WM_KEYDOWN), for the keys the game takes as commands (Esc, F2, F4).
// Pads are read only while bindings are set, each time the keyboard is read,
// and only while the game's window has the keyboard focus, as the keyboard.
#pragma once

#include <span>

#include "platform/win.h"

// The inputs of a pad, laid out like the common controllers (A at the
// bottom of the four face buttons). Sticks count in one direction when
// pushed past half way; triggers when pulled past a quarter.
enum PadInput : int {
    PAD_A,
    PAD_B,
    PAD_X,
    PAD_Y,
    PAD_BACK,
    PAD_START,
    PAD_LEFTSHOULDER,
    PAD_RIGHTSHOULDER,
    PAD_LEFTSTICK,   // the left stick pressed in
    PAD_RIGHTSTICK,  // the right stick pressed in
    PAD_DPAD_UP,
    PAD_DPAD_DOWN,
    PAD_DPAD_LEFT,
    PAD_DPAD_RIGHT,
    PAD_LEFTTRIGGER,
    PAD_RIGHTTRIGGER,
    PAD_LEFTSTICK_LEFT,
    PAD_LEFTSTICK_RIGHT,
    PAD_LEFTSTICK_UP,
    PAD_LEFTSTICK_DOWN,
    PAD_INPUT_COUNT
};

constexpr DWORD PadBit(PadInput input) { return DWORD(1) << input; }

// What the pads do in the game's dialogs and in an open menu bar, whatever
// their bindings, so that a player with a pad alone reaches every one: the
// d-pad or the left stick moves the focus (and, held, goes on moving it), A
// activates the control that has it, B is Esc. In a dialog the control with
// the focus is framed once a pad has moved it. An edit field with the focus
// becomes a letter picker: up and down change the letter, right takes the
// next one, left goes back, B takes a letter away, A confirms (Enter).
enum class PadNav { Up, Down, Left, Right, Activate, Cancel };

struct PadNavInput {
    PadInput input;
    PadNav nav;
};
std::span<const PadNavInput> PadNavigation();

// A dialog procedure that reads the pads' buttons itself (the configuration
// dialog waiting for the button of an action) holds their navigation off
// while it does.
void HoldPadNavigation(HWND dialog, BOOL hold);

struct PadBinding {
    PadInput input;
    BYTE heldKey;     // DIK_ code held while the input is; 0 for none
    UINT pressedKey;  // virtual key whose WM_KEYDOWN is queued when the input goes down; 0 for none
};

// Replaces the bindings of every pad; none (count 0) switches the pads off.
void SetGamepadBindings(const PadBinding* bindings, int count);
// What is down on the pads now, one PadBit per input, whether or not
// bindings are set; 0 without pads.
DWORD GamepadInputsDown();
// How many pads are plugged in.
int GamepadCount();
