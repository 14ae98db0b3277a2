// The X error trap around the making of OpenGL windows and contexts, on a
// real X display (skipped without one, failed where one is expected): an
// error in a trap's scope is noted and goes no further (Xlib's own handler
// would end the program); outside every trap, errors reach the handler there
// was before, as they did.
#include <gtest/gtest.h>

#include <string>

#include "platform/sdl/native_window.h"
#include "tests/support/display.h"

// Xlib's macros (None, Bool, Status) would clash with the test framework's names.
#include <SDL.h>
#include <SDL_syswm.h>

namespace {

int errorsBeforeTraps = 0;
int CountErrorBeforeTraps(Display*, XErrorEvent*) {
    ++errorsBeforeTraps;
    return 0;
}

TEST(XErrorTrap, AnErrorInATrapIsCaughtAndOtherErrorsGoWhereTheyWent) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) SKIP_OR_FAIL_WITHOUT_DISPLAY(std::string("no display: ") + SDL_GetError());
    SDL_Window* window = SDL_CreateWindow("trap", 0, 0, 64, 64, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
        SDL_DestroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        GTEST_SKIP() << "not X11";
    }
    Display* display = info.info.x11.display;
    // An id of this connection's own that no window was made with: BadWindow.
    const Window noWindow = XAllocID(display);
    errorsBeforeTraps = 0;
    XErrorHandler before = XSetErrorHandler(&CountErrorBeforeTraps);
    {
        XErrorTrap outer;
        EXPECT_FALSE(outer.Caught(window));
        XMapWindow(display, noWindow);
        EXPECT_TRUE(outer.Caught(window));
        {
            XErrorTrap inner;
            EXPECT_FALSE(inner.Caught(window));
            XUnmapWindow(display, noWindow);
            EXPECT_TRUE(inner.Caught(window));
        }
        XMapWindow(display, noWindow);  // the outer trap still holds
        XSync(display, False);
        EXPECT_EQ(errorsBeforeTraps, 0);
    }
    XMapWindow(display, noWindow);
    XSync(display, False);
    EXPECT_EQ(errorsBeforeTraps, 1);
    EXPECT_EQ(XSetErrorHandler(before), &CountErrorBeforeTraps) << "the trap did not put the handler back";
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
