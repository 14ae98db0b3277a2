#include "sound/game_sounds.h"

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
