// The one place the tests choose the platform's back-ends (the program's main
// is the other). A TestBackends installs its choice for its lifetime and puts
// the previous back-ends back after it; declare it after the RecordingPlatform
// and SoundRecorder it names, so that it goes before them.
#pragma once

#include <memory>
#include <utility>

#include "platform/core/backends.h"
#include "platform/recording/dsound_recording.h"
#include "platform/recording/recording_device.h"
#include "platform/recording/win_recording.h"

class TestBackends {
public:
    // The recording back-ends: the window system of `platform` (none when
    // null), the recording Direct3D with fresh settings, and recording sound
    // devices that report to `sound` (none when null); with `pads`, those
    // game controllers (e.g. SDL's, with virtual ones plugged in).
    TestBackends(RecordingPlatform* platform, std::shared_ptr<SoundRecorder> sound, GamepadBackend* pads = nullptr)
        : scope_(Recording(platform, sound != nullptr, pads)) {
        UseRecordingSound(std::move(sound));
        RecordingDirect3DTemplate() = RecordingDirect3D();
    }
    // Any other choice, such as the desktop's with a window back-end wrapped.
    explicit TestBackends(const Backends& backends) : scope_(backends) {}

    ~TestBackends() {
        UseRecordingSound(nullptr);
        RecordingDirect3DTemplate() = RecordingDirect3D();
    }
    TestBackends(const TestBackends&) = delete;
    TestBackends& operator=(const TestBackends&) = delete;

private:
    static Backends Recording(RecordingPlatform* platform, bool sound, GamepadBackend* pads) {
        Backends b;
        b.window = platform ? &platform->WindowBackend() : nullptr;
        b.direct3d = &CreateRecordingDirect3D;
        b.directSound = sound ? &CreateRecordingDirectSound : nullptr;
        b.gamepads = pads;
        return b;
    }
    ScopedBackends scope_;
};
