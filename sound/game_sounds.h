// The game's whole use of sound: the device, its four sounds and the sound switch.
#pragma once

#include "platform/wintypes.h"
#include "sound/sound_manager.h"

// Indices into GameSounds::sounds.
constexpr int SOUND_BACKGROUND = 0;  // looped while driving
constexpr int SOUND_TITLE = 1;       // once at start-up
constexpr int SOUND_HORN = 2;
constexpr int SOUND_CRASH = 3;
constexpr int GAME_SOUND_COUNT = 4;

// The files of the four sounds, relative to the working directory, by index.
extern const char* const gameSoundFiles[GAME_SOUND_COUNT];

class GameSounds {
public:
    GameSounds();  // no device, no sounds, soundOn = 1
    ~GameSounds();
    GameSounds(const GameSounds&) = delete;
    GameSounds& operator=(const GameSounds&) = delete;

    HRESULT Init(HWND window);
    // Plays sound `index` (looping when `loop` is 1), or stops it while the switch is off.
    HRESULT Play(int index, int loop);

    SoundManager manager;
    SoundBuffer* sounds[GAME_SOUND_COUNT];
    int soundOn;
};
