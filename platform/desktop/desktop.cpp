#include "platform/desktop/desktop.h"

#include "platform/gl/gl_device.h"
#include "platform/sdl/dsound_sdl.h"
#include "platform/sdl/gamepad_sdl.h"
#include "platform/sdl/win_sdl.h"

void WarmUpDesktop() {
    StartLoadingGlDriver();
    WarmUpSdlBackend();
}

Backends DesktopBackends() {
    Backends backends;
    backends.window = &SdlBackend();
    backends.direct3d = &CreateOpenGLDirect3D;
    backends.directSound = &CreateSdlDirectSound;
    backends.gamepads = &SdlGamepads();
    return backends;
}
