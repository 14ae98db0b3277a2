// A minimised window draws nothing: the game's frames go on (the race, the
// title flight), but the OpenGL device neither draws nor presents them until
// the window is back. The window system's events come through SDL's queue, as
// a desktop sends them.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/gl/gl_diagnostics.h"
#include "platform/sdl/native_window.h"
#include "tests/support/display.h"
#include "tests/support/game_session.h"

namespace {

void SendWindowEvent(HWND window, Uint8 event) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = event;
    e.window.windowID = SDL_GetWindowID(NativeWindowOf(window));
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    // The game's loop takes the window system's events before each message.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

GlDeviceStats StatsOf(Game& game) {
    GlDeviceStats stats;
    EXPECT_EQ(GlGetStats(game.graphics.device, &stats), S_OK);
    return stats;
}

TEST(MinimisedWindow, DrawsNothingUntilItIsBack) {
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) SKIP_OR_FAIL_WITHOUT_DISPLAY("no display");
    GameSession session(GameBackends::Desktop);
    ASSERT_TRUE(session.Start());
    Game& game = session.game();
    const HWND window = game.shell.mainWindow;

    for (int i = 0; i < 3; ++i) game.race.Frame();
    const GlDeviceStats shown = StatsOf(game);
    EXPECT_GT(shown.presents, 0u);
    EXPECT_GT(shown.glDraws, 0u);

    SendWindowEvent(window, SDL_WINDOWEVENT_MINIMIZED);
    ASSERT_TRUE(IsIconic(window));
    const float angle = game.race.titleAngle;
    for (int i = 0; i < 10; ++i) game.race.Frame();
    const GlDeviceStats hidden = StatsOf(game);
    EXPECT_EQ(hidden.presents, shown.presents);
    EXPECT_EQ(hidden.glDraws, shown.glDraws);
    EXPECT_NE(game.race.titleAngle, angle) << "the title flight goes on unseen";

    SendWindowEvent(window, SDL_WINDOWEVENT_RESTORED);
    ASSERT_FALSE(IsIconic(window));
    game.race.Frame();
    const GlDeviceStats back = StatsOf(game);
    EXPECT_GT(back.presents, hidden.presents);
    EXPECT_GT(back.glDraws, hidden.glDraws);
}

}  // namespace
