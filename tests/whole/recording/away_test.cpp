// The race pauses when the window goes to the background: another program
// takes the focus, or the window is minimised. It pauses as F4 does and stays
// paused until the player goes on; the title flight and the ending go on as
// shows do; the setting switches it off.
#include <gtest/gtest.h>

#include "platform/dinput.h"
#include "resources/resource.h"
#include "tests/support/game_session.h"

namespace {

enum class Away { FocusLost, Minimised };

struct Outcome {
    bool pausedAway = false;      // paused while away
    bool pausedBack = false;      // still paused once back, before F4
    bool carStoodAway = true;     // the car did not move while away
    bool clockStoodAway = true;   // the lap clock did not run while away
    bool runningAfterF4 = false;  // F4 went on
    bool titleWentOn = false;     // the title flight, still showing, went on while away
};

// Drives off, goes away at tick 40 for 30 ticks, comes back, and presses F4
// at tick 90. With `inTitle` it goes away during the title flight instead.
Outcome GoAway(Away away, bool pauseSetting, bool inTitle = false) {
    GameSession session;
    Outcome out;
    EXPECT_TRUE(session.Start());
    if (!session.game().graphics.device) return out;
    Game& game = session.game();
    game.settings.pauseInBackground = pauseSetting;
    session.Device()->recording = false;
    RecordingPlatform& platform = session.platform;
    D3DXVECTOR3 where{};
    std::uint32_t clock = 0;
    float angle = 0.0f;
    session.Play(110, [&](std::uint64_t tick) {
        platform.SetKeyDown(DIK_SPACE, !inTitle && tick < 3);
        platform.SetKeyDown(DIK_UP, tick >= 5);
        if (tick == 40) {
            if (away == Away::FocusLost)
                platform.SetActive(false);
            else
                platform.Minimize();
            angle = game.race.titleAngle;
        }
        if (tick == 45) {
            where = game.car.position;
            clock = game.race.LapClock(platform.Now());
            out.pausedAway = game.race.paused != 0 &&
                             (GetMenuState(game.shell.mainMenu, IDM_PAUSE, MF_BYCOMMAND) & MF_CHECKED) != 0;
        }
        if (tick > 45 && tick < 70) {
            out.carStoodAway &= game.car.position.x == where.x && game.car.position.z == where.z;
            out.clockStoodAway &= game.race.LapClock(platform.Now()) == clock;
        }
        if (tick == 70) {
            out.titleWentOn = game.race.titleShowing == 1 && game.race.titleAngle != angle;
            if (away == Away::FocusLost)
                platform.SetActive(true);
            else
                platform.Restore();
        }
        if (tick == 85) out.pausedBack = game.race.paused != 0;
        if (tick == 90) platform.QueueKey(VK_F4);
        if (tick == 95) out.runningAfterF4 = game.race.paused == 0;
    });
    return out;
}

TEST(AwayMeansPaused, TheRacePausesUntilThePlayerGoesOn) {
    for (Away away : {Away::FocusLost, Away::Minimised}) {
        SCOPED_TRACE(away == Away::FocusLost ? "focus lost" : "minimised");
        const Outcome out = GoAway(away, true);
        EXPECT_TRUE(out.pausedAway);
        EXPECT_TRUE(out.carStoodAway);
        EXPECT_TRUE(out.clockStoodAway);
        EXPECT_TRUE(out.pausedBack) << "coming back does not end the pause";
        EXPECT_TRUE(out.runningAfterF4);
    }
}

TEST(AwayMeansPaused, TheSettingOffLetsTheRaceRunOn) {
    for (Away away : {Away::FocusLost, Away::Minimised}) {
        SCOPED_TRACE(away == Away::FocusLost ? "focus lost" : "minimised");
        const Outcome out = GoAway(away, false);
        EXPECT_FALSE(out.pausedAway);
        EXPECT_FALSE(out.carStoodAway) << "the car drives on with its keys";
        EXPECT_FALSE(out.clockStoodAway);
    }
}

// The title flight is a show, which F4 does not pause either.
TEST(AwayMeansPaused, TheTitleFlightGoesOn) {
    const Outcome out = GoAway(Away::FocusLost, true, true);
    EXPECT_FALSE(out.pausedAway);
    EXPECT_TRUE(out.titleWentOn);
}

}  // namespace
