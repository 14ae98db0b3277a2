#include "platform/sdl/gamepad_sdl.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/core/lasting.h"
#include "platform/port/gamepad.h"

namespace {

// A stick counts in a direction past half way, a trigger past a quarter.
constexpr Sint16 kStickThreshold = 16384;
constexpr Sint16 kTriggerThreshold = 8192;

struct ButtonInput {
    SDL_GameControllerButton button;
    PadInput input;
};

constexpr ButtonInput kButtons[] = {
    {SDL_CONTROLLER_BUTTON_A, PAD_A},
    {SDL_CONTROLLER_BUTTON_B, PAD_B},
    {SDL_CONTROLLER_BUTTON_X, PAD_X},
    {SDL_CONTROLLER_BUTTON_Y, PAD_Y},
    {SDL_CONTROLLER_BUTTON_BACK, PAD_BACK},
    {SDL_CONTROLLER_BUTTON_START, PAD_START},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, PAD_LEFTSHOULDER},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, PAD_RIGHTSHOULDER},
    {SDL_CONTROLLER_BUTTON_LEFTSTICK, PAD_LEFTSTICK},
    {SDL_CONTROLLER_BUTTON_RIGHTSTICK, PAD_RIGHTSTICK},
    {SDL_CONTROLLER_BUTTON_DPAD_UP, PAD_DPAD_UP},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, PAD_DPAD_DOWN},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, PAD_DPAD_LEFT},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, PAD_DPAD_RIGHT},
};

class SdlGamepadBackend : public GamepadBackend {
public:
    DWORD ReadInputs() override {
        if (!Start()) return 0;
        // The pads' state moves only when SDL looks at them; the game's own
        // event loop does not, as their events are switched off.
        SDL_GameControllerUpdate();
        Refresh();
        DWORD down = 0;
        for (SDL_GameController* pad : pads_) {
            for (const ButtonInput& b : kButtons)
                if (SDL_GameControllerGetButton(pad, b.button)) down |= PadBit(b.input);
            if (SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERLEFT) > kTriggerThreshold)
                down |= PadBit(PAD_LEFTTRIGGER);
            if (SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT) > kTriggerThreshold)
                down |= PadBit(PAD_RIGHTTRIGGER);
            const Sint16 x = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
            const Sint16 y = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
            if (x < -kStickThreshold) down |= PadBit(PAD_LEFTSTICK_LEFT);
            if (x > kStickThreshold) down |= PadBit(PAD_LEFTSTICK_RIGHT);
            if (y < -kStickThreshold) down |= PadBit(PAD_LEFTSTICK_UP);
            if (y > kStickThreshold) down |= PadBit(PAD_LEFTSTICK_DOWN);
        }
        return down;
    }

    int Count() override {
        if (!Start()) return 0;
        SDL_GameControllerUpdate();
        Refresh();
        return static_cast<int>(pads_.size());
    }

private:
    bool Start() {
        if (started_) return true;
        if (failed_) return false;
        if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
            std::fprintf(stderr, "Tarvik 3D: Gamepads nicht verf\u00fcgbar: %s\n", SDL_GetError());
            failed_ = true;
            return false;
        }
        // Read directly, never as events: nothing would take them from the
        // queue under a window back-end that is not SDL's.
        SDL_JoystickEventState(SDL_IGNORE);
        SDL_GameControllerEventState(SDL_IGNORE);
        started_ = true;
        return true;
    }

    // Closes the pads pulled out and opens the ones plugged in.
    void Refresh() {
        pads_.erase(std::remove_if(pads_.begin(), pads_.end(),
                                   [](SDL_GameController* pad) {
                                       if (SDL_GameControllerGetAttached(pad)) return false;
                                       SDL_GameControllerClose(pad);
                                       return true;
                                   }),
                    pads_.end());
        const int count = SDL_NumJoysticks();
        for (int i = 0; i < count; ++i) {
            if (!SDL_IsGameController(i)) continue;
            const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
            const bool open = std::any_of(pads_.begin(), pads_.end(), [id](SDL_GameController* pad) {
                return SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == id;
            });
            if (open) continue;
            if (SDL_GameController* pad = SDL_GameControllerOpen(i)) pads_.push_back(pad);
        }
    }

    bool started_ = false;
    bool failed_ = false;
    std::vector<SDL_GameController*> pads_;
};

}  // namespace

GamepadBackend& SdlGamepads() {
    static Lasting<SdlGamepadBackend> pads;
    return *pads;
}
