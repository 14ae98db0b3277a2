// Reads a RIFF WAVE file: its format, the size of its sample data, and the
// samples in pieces, from the beginning again as often as asked.
#pragma once

#include "platform/dsound.h"
#include "platform/riff.h"
#include "platform/wintypes.h"

constexpr DWORD WAVEFILE_READ = 1;

class WaveFile {
public:
    WaveFile();
    ~WaveFile();
    WaveFile(const WaveFile&) = delete;
    WaveFile& operator=(const WaveFile&) = delete;

    // Opens `fileName` for reading (`mode` WAVEFILE_READ; `format` is for
    // writing, which this game never does, and is ignored).
    HRESULT Open(const char* fileName, WAVEFORMATEX* format, DWORD mode);
    DWORD GetSize();
    HRESULT ResetFile();
    HRESULT Read(BYTE* buffer, DWORD bytesWanted, DWORD* bytesRead);
    HRESULT Close();

    WAVEFORMATEX* format;   // owned: the 16 bytes of the format chunk, the extra-byte count, the extra bytes
    RiffReader* handle;     // owned; null when closed
    MMCKINFO dataChunk;     // its size counts the bytes still to be read
    MMCKINFO riffChunk;
    DWORD size;             // bytes of sample data; 0 until an open succeeds
    DWORD mode;

private:
    HRESULT ReadHeaders();
    void FreeFormat();
};
