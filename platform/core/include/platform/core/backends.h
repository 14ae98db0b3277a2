// The back-ends the platform runs on, chosen in one place.
//
// Pairs with: platform/desktop (the game's SDL window system, OpenGL device
// and SDL audio, installed by main) and platform/recording (virtual clock,
// scripted input, recording device and sound, installed by the tests' one
// fixture). Included by those two and by core; never by game code.
//
// An empty slot is a normal answer, taken by each call's own failure path:
// no window back-end makes CreateWindowExA fail (the clocks still run),
// no Direct3D factory makes Direct3DCreate8 return null, no sound factory
// makes DirectSoundCreate8 return DSERR_NODRIVER, no gamepads means no pad.
#pragma once

#include "platform/d3d8.h"
#include "platform/dsound.h"

class WinBackend;

// The game controllers plugged in (platform/port/gamepad.h says what they do).
class GamepadBackend {
public:
    virtual ~GamepadBackend() = default;
    // What is down on any pad now, one PadBit per input; looks for pads
    // plugged in or pulled out since the last call.
    virtual DWORD ReadInputs() = 0;
    virtual int Count() = 0;
};

struct Backends {
    WinBackend* window = nullptr;                                // windows, messages, keyboard, clocks
    IDirect3D8* (*direct3d)() = nullptr;                         // what Direct3DCreate8 hands out
    HRESULT (*directSound)(IDirectSound8** device) = nullptr;    // what DirectSoundCreate8 opens
    GamepadBackend* gamepads = nullptr;                          // none: no pad is ever seen
};

// Installs `backends`. When the window back-end changes, the windows, timers
// and queue of the previous one are dropped without messages.
void InstallBackends(const Backends& backends);
const Backends& InstalledBackends();

// Installs back-ends for a scope and puts the previous ones back after it.
class ScopedBackends {
public:
    explicit ScopedBackends(const Backends& backends) : previous_(InstalledBackends()) { InstallBackends(backends); }
    ~ScopedBackends() { InstallBackends(previous_); }
    ScopedBackends(const ScopedBackends&) = delete;
    ScopedBackends& operator=(const ScopedBackends&) = delete;

private:
    Backends previous_;
};
