// The sound device the game runs on: one SDL audio stream at 22050 Hz, 2
// channels, 16 bits, into which every playing buffer is mixed on SDL's audio
// thread. Each buffer's samples are converted to that format once, when the
// buffer is unlocked after being filled; the mixer only adds and clamps.
#pragma once

#include <cstdint>

#include "platform/dsound.h"

// Opens SDL's default audio output. DSERR_NODRIVER when there is no sound
// device: no audio driver of SDL starts, or the one that starts lists no
// output device and its default does not open. DSERR_GENERIC when a device is
// listed but fails to open.
HRESULT CreateSdlDirectSound(IDirectSound8** device);

// Behaves as if SDL had reported the output device removed: every buffer of
// every open SDL sound device reports itself lost until it is restored, and
// the first Restore opens the output again. Goes through SDL's own event, so
// it takes the same path as a device that is really unplugged.
void SimulateAudioDeviceRemoval();

// Sees every mixed block on the audio thread, right after it was mixed:
// `frames` frames of interleaved left/right samples, and how long the mixing
// took. For measurements; it must be quick and must not call back into sound.
using MixObserver = void (*)(const std::int16_t* samples, int frames, double mixMicroseconds, void* user);
void SetMixObserver(MixObserver observer, void* user);
