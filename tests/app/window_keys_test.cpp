// The keys the window procedure takes itself (F11 and Alt+Enter for full
// screen): which key messages count, and that they switch a whole game's
// window.
#include <gtest/gtest.h>

#include "app/game.h"
#include "app/window_keys.h"
#include "platform/port/window_mode.h"
#include "resources/resource.h"
#include "tests/support/game_session.h"

namespace {

constexpr LPARAM kFirstPress = 1;
constexpr LPARAM kAlt = LPARAM(1) << 29;
constexpr LPARAM kRepeat = LPARAM(1) << 30;

TEST(WindowKeys, F11WithOrWithoutAltAndEnterOnlyWithAltSwitchFullScreenOncePerPress) {
    struct Case {
        const char* what;
        UINT message;
        WPARAM key;
        LPARAM bits;
        UINT command;
    };
    const Case cases[] = {
        {"F11", WM_KEYDOWN, VK_F11, kFirstPress, IDM_FULLSCREEN},
        {"Alt+F11", WM_SYSKEYDOWN, VK_F11, kFirstPress | kAlt, IDM_FULLSCREEN},
        {"Alt+Enter", WM_SYSKEYDOWN, VK_RETURN, kFirstPress | kAlt, IDM_FULLSCREEN},
        {"Enter", WM_KEYDOWN, VK_RETURN, kFirstPress, 0},
        // A system key message without the Alt bit is no Alt+Enter.
        {"Enter as a system key without Alt", WM_SYSKEYDOWN, VK_RETURN, kFirstPress, 0},
        {"F11 held down", WM_KEYDOWN, VK_F11, kFirstPress | kRepeat, 0},
        {"Alt+Enter held down", WM_SYSKEYDOWN, VK_RETURN, kFirstPress | kAlt | kRepeat, 0},
        {"F11 let go", WM_KEYUP, VK_F11, kFirstPress, 0},
        {"F12", WM_KEYDOWN, VK_F12, kFirstPress, 0},
        {"a command", WM_COMMAND, VK_F11, 0, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(WindowKeyCommand(c.message, c.key, c.bits), c.command) << c.what;
}

TEST(WindowKeys, TheyToggleTheGamesWindowAndItsSetting) {
    GameSession session;
    ASSERT_TRUE(session.Start());
    Game& game = session.game();
    const HWND window = game.shell.mainWindow;
    struct Step {
        UINT key;
        bool alt;
        bool fullScreenAfter;
    };
    const Step steps[] = {{VK_F11, false, true}, {VK_RETURN, true, false}, {VK_RETURN, false, false},
                          {VK_RETURN, true, true},  {VK_F11, true, false}};
    std::size_t next = 0;
    std::vector<std::pair<bool, bool>> seen;  // window, setting, after each step
    session.Play(2 * std::size(steps) + 2, [&](std::uint64_t tick) {
        if (tick % 2 == 0 && next > seen.size()) seen.push_back({IsWindowFullScreen(window) != FALSE, game.settings.fullScreen});
        if (tick % 2 == 1 && next < std::size(steps)) {
            session.platform.QueueKey(steps[next].key, steps[next].alt);
            ++next;
        }
    });
    ASSERT_EQ(seen.size(), std::size(steps));
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].first, steps[i].fullScreenAfter) << "window after step " << i;
        EXPECT_EQ(seen[i].second, steps[i].fullScreenAfter) << "setting after step " << i;
    }
}

}  // namespace
