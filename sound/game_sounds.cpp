#include "sound/game_sounds.h"

#include <algorithm>
#include <cmath>

const char* const gameSoundFiles[GAME_SOUND_COUNT] = {
    "media/race_hintergrund.wav",
    "media/race_boxenluder.wav",
    "media/race_hupe.wav",
    "media/race_crash.wav",
};

GameSounds::GameSounds() : sounds{nullptr, nullptr, nullptr, nullptr}, soundOn(1) {}

GameSounds::~GameSounds() {
    for (SoundBuffer*& sound : sounds) {
        delete sound;
        sound = nullptr;
    }
    // `manager` goes after the sounds and releases the device.
}

HRESULT GameSounds::Init(HWND window) {
    // A second Init must not leak the sounds of the first.
    for (SoundBuffer*& sound : sounds) {
        delete sound;
        sound = nullptr;
    }
    HRESULT hr = manager.Initialize(window, DSSCL_PRIORITY, 2, 22050, 16);
    if (FAILED(hr)) return hr;
    if (volume != 100) manager.SetPrimaryVolume(VolumeOfPercent(volume));
    for (int i = 0; i < GAME_SOUND_COUNT; ++i) {
        hr = manager.Create(&sounds[i], gameSoundFiles[i], 0, GUID_NULL, 1);
        if (FAILED(hr)) return hr;
    }
    return 0;
}

HRESULT GameSounds::Play(int index, int loop) {
    if (index < 0 || index >= GAME_SOUND_COUNT) return E_INVALIDARG;
    SoundBuffer* sound = sounds[index];
    if (!sound) return CO_E_NOTINITIALIZED;
    if (soundOn == 0) return sound->Stop();
    if (loop == 1) return sound->Play(0, DSBPLAY_LOOPING);
    return sound->Play(0, 0);
}

namespace {
bool IsPlaying(const SoundBuffer* sound) {
    if (!sound) return false;
    for (DWORD i = 0; i < sound->bufferCount; ++i) {
        DWORD status = 0;
        if (sound->buffers[i] && SUCCEEDED(sound->buffers[i]->GetStatus(&status)) && (status & DSBSTATUS_PLAYING))
            return true;
    }
    return false;
}
}  // namespace

void GameSounds::HoldBackground() {
    if (backgroundHeld) return;
    backgroundHeld = true;
    SoundBuffer* background = sounds[SOUND_BACKGROUND];
    backgroundResumes = IsPlaying(background);
    if (background) background->Stop();
}

void GameSounds::ReleaseBackground() {
    if (!backgroundHeld) return;
    backgroundHeld = false;
    if (backgroundResumes && soundOn) Play(SOUND_BACKGROUND, 1);
    backgroundResumes = false;
}

LONG VolumeOfPercent(int percent) {
    if (percent <= 0) return DSBVOLUME_MIN;
    if (percent >= 100) return DSBVOLUME_MAX;
    // Hundredths of a decibel of the amplitude's share.
    const double millibels = 2000.0 * std::log10(percent / 100.0);
    return std::max<LONG>(DSBVOLUME_MIN, LONG(std::lround(millibels)));
}

HRESULT GameSounds::SetVolume(int percent) {
    volume = std::clamp(percent, 0, 100);
    return manager.SetPrimaryVolume(VolumeOfPercent(volume));
}
