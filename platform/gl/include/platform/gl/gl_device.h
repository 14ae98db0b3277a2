// The Direct3D 8 device on OpenGL 3.3, drawing into the SDL windows of the
// window back-end. Pairs with platform/sdl; installed by platform/desktop as
// the Direct3D factory. What tests, benchmarks and diagnostics may ask of it
// beyond Direct3D is in platform/gl/gl_diagnostics.h.
#pragma once

#include "platform/d3d8.h"

IDirect3D8* CreateOpenGLDirect3D();

// Begins loading the system's OpenGL driver on a thread of its own, to have
// it ready when the first window asks for it. At most once; nothing where
// the driver is not Mesa's or cannot be found.
void StartLoadingGlDriver();
