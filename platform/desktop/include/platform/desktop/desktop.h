// The game's back-ends on a desktop: the SDL window system with the ImGui
// menu and dialogs (platform/sdl), the Direct3D 8 device on OpenGL
// (platform/gl), SDL audio and SDL's game controllers. The one place that
// names every real back-end; linked by the game executable and by the tests
// and benchmarks that run the real game, never by game code.
#pragma once

#include "platform/core/backends.h"

Backends DesktopBackends();

// Starts, in the background, what the desktop back-ends need first and what
// takes long to get ready (the OpenGL driver), so that it overlaps the rest
// of the start. Call it once, as early as the program knows it will run.
void WarmUpDesktop();
