// SDL's virtual game controller, which the SDL pad back-end reads as a real
// one: for the tests and benchmarks that drive the game with a pad.
#pragma once

#include <SDL.h>

#include "platform/recording/win_recording.h"
#include "tests/support/autopilot.h"

class VirtualPad {
public:
    VirtualPad() {
        if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return;
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.name = "Testpad";
        index_ = SDL_JoystickAttachVirtualEx(&desc);
        if (index_ >= 0) joystick_ = SDL_JoystickOpen(index_);
    }
    ~VirtualPad() {
        if (joystick_) SDL_JoystickClose(joystick_);
        if (index_ >= 0) SDL_JoystickDetachVirtual(index_);
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
    bool Ready() const { return joystick_ != nullptr; }
    void Button(SDL_GameControllerButton button, bool down) {
        SDL_JoystickSetVirtualButton(joystick_, button, down ? 1 : 0);
    }
    void Axis(SDL_GameControllerAxis axis, Sint16 value) { SDL_JoystickSetVirtualAxis(joystick_, axis, value); }
    // A virtual trigger's raw axis runs from -32768 (released) to 32767.
    void ReleaseTriggers() {
        Axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, -32768);
        Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
    }
    // A press in an open dialog that the game's keyboard reads see: up, down
    // and up again, each for a few ticks (a dialog that closes on the press
    // leaves the last wait to the next one).
    void Press(DialogDriver& d, SDL_GameControllerButton button) {
        Button(button, false);
        d.RunFor(80);
        Button(button, true);
        d.RunFor(120);
        Button(button, false);
        d.RunFor(120);
    }

    // The autopilot's keys on the buttons.
    void Drive(const AutopilotKeys& k) {
        Button(SDL_CONTROLLER_BUTTON_A, k.up);
        Button(SDL_CONTROLLER_BUTTON_B, k.down);
        Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, k.left);
        Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, k.right);
    }

private:
    int index_ = -1;
    SDL_Joystick* joystick_ = nullptr;
};
