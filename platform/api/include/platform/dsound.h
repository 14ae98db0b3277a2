// The DirectSound 8 interface the game plays its sounds through: types,
// constants and the abstract device and buffers. Two implementations exist:
// the SDL device that mixes every playing buffer into one audio stream
// (platform/dsound_sdl.h) and a recording device for tests
// (platform/dsound_recording.h). Constant values are DirectSound's own.
#pragma once

#include <cstdint>

#include "platform/wintypes.h"

#pragma pack(push, 1)
// Laid out byte for byte like the format chunk of a wave file (18 bytes).
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;  // extra format bytes that follow
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

constexpr WORD WAVE_FORMAT_PCM = 1;
constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 3;
constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

// What follows the format of a WAVE_FORMAT_EXTENSIBLE sound in its 22 extra
// bytes: the bits of each sample that carry sound (the rest of its container
// is zero), which speaker each channel feeds, and the sample encoding.
#pragma pack(push, 1)
struct WAVEFORMATEXTENSIBLE {
    WAVEFORMATEX Format;
    WORD wValidBitsPerSample;
    DWORD dwChannelMask;
    GUID SubFormat;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40);

// The sample encodings of an extensible format that can be played: integer
// PCM and 32-bit float. The other encodings share their last 12 bytes.
constexpr GUID KSDATAFORMAT_SUBTYPE_PCM = {
    0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr GUID KSDATAFORMAT_SUBTYPE_IEEE_FLOAT = {
    0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

inline bool IsNullGuid(const GUID& g) {
    if (g.Data1 || g.Data2 || g.Data3) return false;
    for (BYTE b : g.Data4)
        if (b) return false;
    return true;
}

struct DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    WAVEFORMATEX* lpwfxFormat;
    GUID guid3DAlgorithm;
    // Ours, not DirectSound's: the file the samples come from, so logs and
    // tests can name the buffer. Optional; duplicates inherit it.
    const char* sourceName;
};

// Cooperative levels.
constexpr DWORD DSSCL_NORMAL = 0x1;
constexpr DWORD DSSCL_PRIORITY = 0x2;
constexpr DWORD DSSCL_EXCLUSIVE = 0x3;
constexpr DWORD DSSCL_WRITEPRIMARY = 0x4;

// Buffer creation flags.
constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x00000001;
constexpr DWORD DSBCAPS_STATIC = 0x00000002;
constexpr DWORD DSBCAPS_LOCSOFTWARE = 0x00000008;
constexpr DWORD DSBCAPS_CTRL3D = 0x00000010;
constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x00000020;
constexpr DWORD DSBCAPS_CTRLPAN = 0x00000040;
constexpr DWORD DSBCAPS_CTRLVOLUME = 0x00000080;
constexpr DWORD DSBCAPS_GLOBALFOCUS = 0x00008000;

// Buffer status.
constexpr DWORD DSBSTATUS_PLAYING = 0x00000001;
constexpr DWORD DSBSTATUS_BUFFERLOST = 0x00000002;
constexpr DWORD DSBSTATUS_LOOPING = 0x00000004;

// Play and lock flags.
constexpr DWORD DSBPLAY_LOOPING = 0x00000001;
constexpr DWORD DSBLOCK_FROMWRITECURSOR = 0x00000001;
constexpr DWORD DSBLOCK_ENTIREBUFFER = 0x00000002;

// Volume, in hundredths of a decibel of attenuation.
constexpr LONG DSBVOLUME_MIN = -10000;
constexpr LONG DSBVOLUME_MAX = 0;

// Limits of a secondary buffer.
constexpr DWORD DSBSIZE_MIN = 4;
constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;
constexpr DWORD DSBFREQUENCY_MIN = 100;
constexpr DWORD DSBFREQUENCY_MAX = 200000;

// Result codes beyond those in platform/wintypes.h.
constexpr HRESULT DS_OK = S_OK;
constexpr HRESULT DSERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DSERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DSERR_INVALIDCALL = MakeResult(0x88780032u);
constexpr HRESULT DSERR_PRIOLEVELNEEDED = MakeResult(0x88780046u);
constexpr HRESULT DSERR_BADFORMAT = MakeResult(0x88780064u);
constexpr HRESULT DSERR_CONTROLUNAVAIL = MakeResult(0x8878001Eu);
constexpr HRESULT DSERR_UNINITIALIZED = MakeResult(0x887800AAu);

class IDirectSoundBuffer : public IUnknownLike {
public:
    virtual HRESULT GetStatus(DWORD* status) = 0;
    // Play and write cursors in bytes of the buffer's own format.
    virtual HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) = 0;
    virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;  // primary buffer only
    virtual HRESULT Restore() = 0;
    // The locked range may wrap around the end of the buffer; the second part
    // then starts at offset 0 (pointer and size may be null when not wanted).
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                         DWORD flags) = 0;
    virtual HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) = 0;
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    // Halts and keeps the play position.
    virtual HRESULT Stop() = 0;
    virtual HRESULT SetCurrentPosition(DWORD position) = 0;
    // Only for a buffer made with DSBCAPS_CTRLVOLUME (else
    // DSERR_CONTROLUNAVAIL). The primary buffer's volume is that of the
    // whole mix; a secondary buffer's that of its own sound.
    virtual HRESULT SetVolume(LONG volume) = 0;
    virtual HRESULT GetVolume(LONG* volume) = 0;
};

class IDirectSound8 : public IUnknownLike {
public:
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
    virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, void* outer) = 0;
    // A second buffer over the same sample data, with its own position and status.
    virtual HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) = 0;
};

// Creates the sound device of the installed back-end on the default playback
// device (`deviceGuid` null or GUID_NULL; no aggregation).
HRESULT DirectSoundCreate8(const GUID* deviceGuid, IDirectSound8** device, void* outer);
