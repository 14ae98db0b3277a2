// A lap driven with a pad: SDL's virtual game controller, read by the SDL pad
// back-end, in a whole game on the recording platform. The pad feeds the key
// state the game reads; the keyboard is not touched.
#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/sdl/gamepad_sdl.h"
#include "tests/support/autopilot.h"
#include "tests/support/game_session.h"

namespace {

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

private:
    int index_ = -1;
    SDL_Joystick* joystick_ = nullptr;
};

TEST(VirtualPadTest, DrivesALapWithTheDefaultButtons) {
    VirtualPad pad;
    ASSERT_TRUE(pad.Ready()) << SDL_GetError();
    GameSession session;
    session.UseGamepads(&SdlGamepads());
    ASSERT_TRUE(session.Start());
    Game& game = session.game();
    session.Device()->recording = false;
    EXPECT_EQ(GamepadCount(), 1);
    Autopilot pilot(game.course);
    std::uint32_t lap = 0;
    bool titleEndedByStart = false;
    session.Play(2500, [&](std::uint64_t tick) {
        pad.Button(SDL_CONTROLLER_BUTTON_START, tick == 5);
        if (tick == 8) titleEndedByStart = game.race.titleShowing == 0;
        if (game.race.titleShowing) return;
        const AutopilotKeys k = pilot.Drive(game.car);
        pad.Button(SDL_CONTROLLER_BUTTON_A, k.up);
        pad.Button(SDL_CONTROLLER_BUTTON_B, k.down);
        pad.Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, k.left);
        pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, k.right);
        if (!lap && game.race.lapCount >= 1 && game.race.lapMarks && game.race.lapMarks->next)
            lap = game.race.lapMarks->time - game.race.lapMarks->next->time;
    });
    EXPECT_TRUE(titleEndedByStart);
    EXPECT_GT(lap, 20000u) << "no lap driven with the pad";
}

}  // namespace
