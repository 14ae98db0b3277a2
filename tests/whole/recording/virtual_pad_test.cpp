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
    void Axis(SDL_GameControllerAxis axis, Sint16 value) { SDL_JoystickSetVirtualAxis(joystick_, axis, value); }

private:
    int index_ = -1;
    SDL_Joystick* joystick_ = nullptr;
};

// How the autopilot's keys reach the pad.
enum class Controls { Buttons, TriggersAndStick };

struct PadLap {
    std::uint32_t lap = 0;  // ms, 0 when none was timed
    bool titleEndedByStart = false;
    int pads = 0;
};

PadLap DriveALap(Controls controls) {
    PadLap out;
    VirtualPad pad;
    EXPECT_TRUE(pad.Ready()) << SDL_GetError();
    if (!pad.Ready()) return out;
    GameSession session;
    session.UseGamepads(&SdlGamepads());
    EXPECT_TRUE(session.Start());
    if (!session.game().graphics.device) return out;
    Game& game = session.game();
    session.Device()->recording = false;
    out.pads = GamepadCount();
    Autopilot pilot(game.course);
    session.Play(2500, [&](std::uint64_t tick) {
        pad.Button(SDL_CONTROLLER_BUTTON_START, tick == 5);
        if (tick == 8) out.titleEndedByStart = game.race.titleShowing == 0;
        if (game.race.titleShowing) return;
        const AutopilotKeys k = pilot.Drive(game.car);
        if (controls == Controls::Buttons) {
            pad.Button(SDL_CONTROLLER_BUTTON_A, k.up);
            pad.Button(SDL_CONTROLLER_BUTTON_B, k.down);
            pad.Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, k.left);
            pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, k.right);
        } else {
            // A virtual trigger's raw axis runs from -32768 (released) to 32767.
            pad.Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, k.up ? 32767 : -32768);
            pad.Axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, k.down ? 32767 : -32768);
            pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, k.left ? -32768 : (k.right ? 32767 : 0));
        }
        if (!out.lap && game.race.lapCount >= 1 && game.race.lapMarks && game.race.lapMarks->next)
            out.lap = game.race.lapMarks->time - game.race.lapMarks->next->time;
    });
    return out;
}

TEST(VirtualPadTest, DrivesALapWithTheDefaultButtons) {
    const PadLap buttons = DriveALap(Controls::Buttons);
    EXPECT_EQ(buttons.pads, 1);
    EXPECT_TRUE(buttons.titleEndedByStart);
    EXPECT_GT(buttons.lap, 20000u) << "no lap driven with the pad";
}

// The triggers and the stick feed the same keys as A, B and the d-pad, so the
// same driver's lap takes the same time to the millisecond.
TEST(VirtualPadTest, TriggersAndStickDriveTheLapTheButtonsDrive) {
    const PadLap buttons = DriveALap(Controls::Buttons);
    const PadLap analog = DriveALap(Controls::TriggersAndStick);
    ASSERT_GT(buttons.lap, 20000u);
    EXPECT_EQ(analog.lap, buttons.lap);
}

}  // namespace
