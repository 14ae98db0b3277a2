// Tests that need a display (a window, an OpenGL context) skip without one on
// a developer's machine. Where a display is expected, their skipping would
// hide a broken set-up behind a green run, so there they fail: in CI (the
// environment variable CI set, as CI services and .ci/run set it) and
// wherever DISPLAY or WAYLAND_DISPLAY names one.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

inline bool DisplayExpected() {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value && std::string(value) != "0" && std::string(value) != "false";
    };
    return set("CI") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

// Ends the test for want of a display or OpenGL: a failure where one is
// expected, a skip elsewhere. Use it where GTEST_SKIP could stand.
#define SKIP_OR_FAIL_WITHOUT_DISPLAY(why)                                                 \
    do {                                                                                  \
        if (DisplayExpected()) {                                                          \
            FAIL() << "no display or OpenGL, though one is expected here: " << (why);     \
        } else {                                                                          \
            GTEST_SKIP() << (why);                                                        \
        }                                                                                 \
    } while (0)
