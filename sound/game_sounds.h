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

// The volume of a buffer for a share of the sound's amplitude in per cent.
LONG VolumeOfPercent(int percent);

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

    // The pause holds the background loop where it stands. While it is held
    // the sound switch only decides whether it goes on when it is released;
    // it goes on where it stood if it was playing and the switch is on.
    void HoldBackground();
    void ReleaseBackground();
    // The sound switch flipped while the background is held.
    void SwitchWhileHeld() { backgroundResumes = soundOn != 0; }
    bool backgroundHeld = false;
    bool backgroundResumes = false;

    // The loudness of the whole mix, 0 to 100 per cent of the sounds as
    // they are; the files are not touched. Kept for a device made later.
    HRESULT SetVolume(int percent);
    int volume = 100;

    SoundManager manager;
    SoundBuffer* sounds[GAME_SOUND_COUNT];
    int soundOn;
};
