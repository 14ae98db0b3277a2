// The sound device and the game's loaded sounds: SoundManager owns the
// DirectSound device and makes sounds from wave files; a SoundBuffer is one
// sound in one or more buffers over the same samples, played, stopped, rewound
// and restored (and refilled from its wave file) when the device lost it.
#pragma once

#include "platform/dsound.h"
#include "platform/wintypes.h"
#include "sound/wave_file.h"

class SoundBuffer;

class SoundManager {
public:
    SoundManager();
    ~SoundManager();
    SoundManager(const SoundManager&) = delete;
    SoundManager& operator=(const SoundManager&) = delete;

    HRESULT Initialize(HWND window, DWORD cooperativeLevel, DWORD primaryChannels, DWORD primaryFrequency,
                       DWORD primaryBitsPerSample);
    HRESULT SetPrimaryBufferFormat(DWORD channels, DWORD frequency, DWORD bitsPerSample);
    // The volume of the primary buffer, which is the volume of the whole mix
    // (hundredths of a decibel, DSBVOLUME_MIN to DSBVOLUME_MAX).
    HRESULT SetPrimaryVolume(LONG volume);
    HRESULT Create(SoundBuffer** result, const char* fileName, DWORD creationFlags, GUID algorithm3D,
                   DWORD bufferCount);

    IDirectSound8* device;  // owned; null until Initialize
};

class SoundBuffer {
public:
    // Takes over the buffers (one reference each; the array is copied) and the wave file.
    SoundBuffer(IDirectSoundBuffer** buffers, DWORD bufferSize, DWORD bufferCount, WaveFile* waveFile);
    virtual ~SoundBuffer();
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    HRESULT Play(DWORD priority, DWORD flags);
    HRESULT Stop();
    HRESULT Reset();
    HRESULT FillBufferWithSound(IDirectSoundBuffer* buffer);
    HRESULT RestoreBuffer(IDirectSoundBuffer* buffer, BOOL* wasRestored);
    IDirectSoundBuffer* GetFreeBuffer();

    IDirectSoundBuffer** buffers;  // owned: the array and one reference per buffer
    DWORD bufferSize;              // bytes of each buffer: the wave file's sample data
    DWORD bufferCount;
    WaveFile* waveFile;            // owned, open for as long as the sound lives
};

// How long RestoreBuffer keeps trying before it gives the failure back: a
// device that stays away must not freeze the game, and a Restore that fails
// some other way must not keep a core busy.
constexpr int RESTORE_LOST_ROUNDS = 100;   // rounds of 10 ms while the buffer stays lost
constexpr int RESTORE_FAILED_ROUNDS = 3;   // rounds while Restore fails with another code
