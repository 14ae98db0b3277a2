// A lap driven with a pad: SDL's virtual game controller, read by the SDL pad
// back-end, in a whole game on the recording platform. The pad feeds the key
// state the game reads; the keyboard is not touched.
#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/sdl/gamepad_sdl.h"
#include "resources/resource.h"
#include "tests/support/autopilot.h"
#include "tests/support/game_session.h"
#include "tests/support/virtual_pad.h"
#include "tests/support/working_folder.h"

namespace {

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

// The whole way out with the pad alone: a lap, Back, the highscore list (A),
// the name entry with the letter picker, and the list again (A); the name
// reaches high.dat. Nothing touches the keyboard or the mouse.
TEST(VirtualPadTest, TheWholeExitSequenceWithThePadAlone) {
    VirtualPad pad;
    ASSERT_TRUE(pad.Ready()) << SDL_GetError();
    GameFiles files;
    files.highscores = (TestFolder() / "pad-high.dat").string();
    std::filesystem::remove(files.highscores);
    GameSession session(DataFolder(), files);
    session.UseGamepads(&SdlGamepads());
    RecordingPlatform& platform = session.platform;
    auto press = [&](DialogDriver& d, SDL_GameControllerButton button) { pad.Press(d, button); };
    std::vector<int> listFocus;  // the control framed in each list as it opens
    std::string pickerAtOpen, picked;
    int entryFocus = 0;
    platform.OnDialog(IDD_HIGHSCORE_LIST, [&](DialogDriver& d) {
        if (d.Calls() > 0) return;
        listFocus.push_back(d.PadFocusId());
        press(d, SDL_CONTROLLER_BUTTON_A);
    });
    platform.OnDialog(IDD_NAME_ENTRY, [&](DialogDriver& d) {
        if (d.Calls() > 0) return;
        entryFocus = d.PadFocusId();
        pickerAtOpen = d.ItemText(IDC_NAME_ENTRY);
        // J is nine letters after A; right takes a blank slot; O is fifteen
        // after the blank; a third slot is taken and given back with B.
        for (int i = 0; i < 9; ++i) press(d, SDL_CONTROLLER_BUTTON_DPAD_UP);
        press(d, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
        for (int i = 0; i < 15; ++i) press(d, SDL_CONTROLLER_BUTTON_DPAD_UP);
        press(d, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
        press(d, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
        press(d, SDL_CONTROLLER_BUTTON_B);
        picked = d.ItemText(IDC_NAME_ENTRY);
        press(d, SDL_CONTROLLER_BUTTON_A);
    });
    ASSERT_TRUE(session.Start());
    Game& game = session.game();
    session.Device()->recording = false;
    pad.ReleaseTriggers();
    Autopilot pilot(game.course);
    bool backPressed = false;
    session.Play(4000, [&](std::uint64_t tick) {
        pad.Button(SDL_CONTROLLER_BUTTON_START, tick == 5);
        pad.Button(SDL_CONTROLLER_BUTTON_BACK, backPressed && tick % 4 < 2);
        if (game.race.titleShowing || backPressed) return;
        const AutopilotKeys k = pilot.Drive(game.car);
        pad.Button(SDL_CONTROLLER_BUTTON_A, k.up);
        pad.Button(SDL_CONTROLLER_BUTTON_B, k.down);
        pad.Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, k.left);
        pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, k.right);
        if (game.race.lapCount >= 2) {
            for (auto b : {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_DPAD_LEFT,
                           SDL_CONTROLLER_BUTTON_DPAD_RIGHT})
                pad.Button(b, false);
            backPressed = true;
        }
    });
    EXPECT_TRUE(backPressed) << "no lap driven with the pad";
    EXPECT_FALSE(IsWindow(game.shell.mainWindow)) << "the game did not close";
    EXPECT_EQ(listFocus, (std::vector<int>{IDOK, IDOK})) << "each list, reached by the pad, framed its OK";
    EXPECT_EQ(entryFocus, IDC_NAME_ENTRY);
    EXPECT_EQ(pickerAtOpen, "A");
    EXPECT_EQ(picked, "JO");
    session.End();
    std::ifstream in(files.highscores, std::ios::binary);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first.substr(first.find(',') + 1), "JO\r") << first;
}

// A dialog opened from the menu is worked with the pad: the first move shows
// the focus on the default button, the d-pad moves it to the nearest control
// that way, left and right move a trackbar, A activates, B is Esc. While the
// dialog waits for a pad button for an action, the pad's buttons are that,
// not moves: B is no Esc then.
TEST(VirtualPadTest, ThePadMovesThroughADialogAndActivatesWhatHasTheFocus) {
    VirtualPad pad;
    ASSERT_TRUE(pad.Ready()) << SDL_GetError();
    GameSession session;
    session.UseGamepads(&SdlGamepads());
    auto press = [&](DialogDriver& d, SDL_GameControllerButton button) { pad.Press(d, button); };
    struct Seen {
        int focus;
        int volume;
        bool pauseChecked;
    };
    std::vector<Seen> seen;
    std::string hornButton;
    bool openWhileWaiting = false, closedByB = false;
    INT_PTR result = 0;
    session.platform.OnDialog(IDD_CONFIGURATION, [&](DialogDriver& d) {
        if (d.Calls() > 0) {
            d.Click(IDCANCEL);  // the pad left it open: end it, the checks below tell
            return;
        }
        auto look = [&] {
            seen.push_back({d.PadFocusId(), d.TrackbarPosition(IDC_VOLUME), d.IsChecked(IDC_PAUSE_IN_BACKGROUND)});
        };
        look();                                         // opened from the menu: no pad focus
        press(d, SDL_CONTROLLER_BUTTON_DPAD_DOWN);       // shows it on OK
        look();
        press(d, SDL_CONTROLLER_BUTTON_DPAD_LEFT);       // Standard, in the same row
        look();
        press(d, SDL_CONTROLLER_BUTTON_DPAD_UP);         // the volume above it
        look();
        press(d, SDL_CONTROLLER_BUTTON_DPAD_LEFT);       // the volume a step down
        look();
        press(d, SDL_CONTROLLER_BUTTON_DPAD_UP);         // the pause switch
        press(d, SDL_CONTROLLER_BUTTON_A);               // switched off
        look();
        // Up the left column to the first key, right to the pad's switch,
        // down its column to the horn's button; A waits for a button: B.
        for (int i = 0; i < 12 && d.PadFocusId() != IDC_KEY_ACCELERATE; ++i)
            press(d, SDL_CONTROLLER_BUTTON_DPAD_UP);
        press(d, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
        EXPECT_EQ(d.PadFocusId(), IDC_PAD_ENABLED);
        for (int i = 0; i < 5; ++i) press(d, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
        look();
        press(d, SDL_CONTROLLER_BUTTON_A);
        // B brakes already, so the waiting dialog refuses it: it is no Esc
        // while the dialog waits. X it takes.
        press(d, SDL_CONTROLLER_BUTTON_B);
        openWhileWaiting = !d.Closed() && d.ItemText(IDC_PAD_HORN) == "...";
        press(d, SDL_CONTROLLER_BUTTON_X);
        hornButton = d.ItemText(IDC_PAD_HORN);
        press(d, SDL_CONTROLLER_BUTTON_B);               // now Esc: Abbrechen
        closedByB = d.Closed();
        result = d.Result();
    });
    ASSERT_TRUE(session.Start());
    Game& game = session.game();
    session.Device()->recording = false;
    pad.ReleaseTriggers();
    session.Play(40, [&](std::uint64_t tick) {
        if (tick == 5) PostMessageA(game.shell.mainWindow, WM_COMMAND, IDM_CONFIGURATION, 0);
    });
    ASSERT_EQ(seen.size(), 7u);
    const int ids[] = {0, IDOK, IDC_DEFAULTS, IDC_VOLUME, IDC_VOLUME, IDC_PAUSE_IN_BACKGROUND, IDC_PAD_HORN};
    for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i].focus, ids[i]) << "step " << i;
    EXPECT_EQ(seen[3].volume, 100);
    EXPECT_EQ(seen[4].volume, 99);
    EXPECT_TRUE(seen[4].pauseChecked);
    EXPECT_FALSE(seen[5].pauseChecked);
    EXPECT_TRUE(openWhileWaiting);
    EXPECT_EQ(hornButton, "X") << "the waiting dialog took X as the horn's button";
    EXPECT_TRUE(closedByB);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(game.settings.pauseInBackground) << "Abbrechen keeps the settings as they were";
}

// Start opens the menu bar, as Alt does, except in the title flight, which
// it ends.
TEST(VirtualPadTest, StartOpensTheMenuBarOutsideTheTitleFlight) {
    VirtualPad pad;
    ASSERT_TRUE(pad.Ready()) << SDL_GetError();
    GameSession session;
    session.UseGamepads(&SdlGamepads());
    ASSERT_TRUE(session.Start());
    Game& game = session.game();
    session.Device()->recording = false;
    pad.ReleaseTriggers();
    int inTitle = -1, inRace = -1;
    session.Play(40, [&](std::uint64_t tick) {
        pad.Button(SDL_CONTROLLER_BUTTON_START, tick == 5 || tick == 20);
        if (tick == 10) inTitle = session.platform.MenuBarOpenings();
        if (tick == 25) inRace = session.platform.MenuBarOpenings();
    });
    EXPECT_EQ(game.race.titleShowing, 0);
    EXPECT_EQ(inTitle, 0) << "Start ended the title flight only";
    EXPECT_EQ(inRace, 1);
}

}  // namespace
