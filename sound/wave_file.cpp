#include "sound/wave_file.h"

#include <cstring>
#include <new>

namespace {

constexpr DWORD FOURCC_WAVE = MakeFourCC('W', 'A', 'V', 'E');
constexpr DWORD FOURCC_FMT = MakeFourCC('f', 'm', 't', ' ');
constexpr DWORD FOURCC_DATA = MakeFourCC('d', 'a', 't', 'a');

constexpr DWORD FORMAT_HEAD_BYTES = 16;  // tag, channels, rate, byte rate, block alignment, bits
constexpr DWORD FORMAT_BYTES = sizeof(WAVEFORMATEX);

// A format with room for `extra` bytes behind it.
WAVEFORMATEX* AllocateFormat(DWORD extra) {
    BYTE* bytes = new (std::nothrow) BYTE[FORMAT_BYTES + extra];
    if (!bytes) return nullptr;
    std::memset(bytes, 0, FORMAT_BYTES + extra);
    return new (bytes) WAVEFORMATEX{};
}

}  // namespace

WaveFile::WaveFile() : format(nullptr), handle(nullptr), dataChunk{}, riffChunk{}, size(0), mode(WAVEFILE_READ) {}

WaveFile::~WaveFile() {
    Close();
    FreeFormat();
}

void WaveFile::FreeFormat() {
    delete[] reinterpret_cast<BYTE*>(format);
    format = nullptr;
}

HRESULT WaveFile::Open(const char* fileName, WAVEFORMATEX*, DWORD openMode) {
    mode = openMode;
    if (!fileName) return E_INVALIDARG;
    FreeFormat();
    Close();
    size = 0;
    if (mode != WAVEFILE_READ) return E_INVALIDARG;

    handle = new (std::nothrow) RiffReader;
    if (!handle) return E_OUTOFMEMORY;
    // The game carries no sounds among its resources, so a file that cannot be opened ends here.
    if (!handle->Open(fileName)) {
        Close();
        return E_FAIL;
    }
    HRESULT hr = ReadHeaders();
    if (SUCCEEDED(hr)) hr = ResetFile();
    if (FAILED(hr)) {
        Close();
        FreeFormat();
        return hr;
    }
    size = dataChunk.cksize;
    return hr;
}

HRESULT WaveFile::ReadHeaders() {
    if (!handle->Descend(&riffChunk, nullptr, 0)) return E_FAIL;
    if (riffChunk.ckid != FOURCC_RIFF || riffChunk.fccType != FOURCC_WAVE) return E_FAIL;

    MMCKINFO fmtChunk{};
    fmtChunk.ckid = FOURCC_FMT;
    if (!handle->Descend(&fmtChunk, &riffChunk, MMIO_FINDCHUNK)) return E_FAIL;
    if (fmtChunk.cksize < FORMAT_HEAD_BYTES) return E_FAIL;

    BYTE head[FORMAT_HEAD_BYTES];
    if (handle->Read(head, FORMAT_HEAD_BYTES) != FORMAT_HEAD_BYTES) return E_FAIL;
    const WORD tag = WORD(head[0] | (head[1] << 8));

    if (tag == WAVE_FORMAT_PCM) {
        format = AllocateFormat(0);
        if (!format) return E_OUTOFMEMORY;
        std::memcpy(format, head, FORMAT_HEAD_BYTES);
        format->cbSize = 0;
    } else {
        // The extra bytes are bounded by the chunk, so a corrupt count cannot ask for more.
        if (fmtChunk.cksize < FORMAT_BYTES) return E_FAIL;
        BYTE count[2];
        if (handle->Read(count, 2) != 2) return E_FAIL;
        const DWORD extra = DWORD(count[0] | (count[1] << 8));
        if (extra > fmtChunk.cksize - FORMAT_BYTES) return E_FAIL;
        format = AllocateFormat(extra);
        if (!format) return E_OUTOFMEMORY;
        std::memcpy(format, head, FORMAT_HEAD_BYTES);
        format->cbSize = WORD(extra);
        if (handle->Read(reinterpret_cast<BYTE*>(format) + FORMAT_BYTES, extra) != extra) {
            FreeFormat();
            return E_FAIL;
        }
    }

    if (!handle->Ascend(fmtChunk)) {
        FreeFormat();
        return E_FAIL;
    }
    return S_OK;
}

DWORD WaveFile::GetSize() { return size; }

HRESULT WaveFile::ResetFile() {
    if (!handle) return CO_E_NOTINITIALIZED;
    if (!handle->Seek(riffChunk.dwDataOffset + 4)) return E_FAIL;
    dataChunk = MMCKINFO{};
    dataChunk.ckid = FOURCC_DATA;
    if (!handle->Descend(&dataChunk, &riffChunk, MMIO_FINDCHUNK)) return E_FAIL;
    return S_OK;
}

HRESULT WaveFile::Read(BYTE* buffer, DWORD bytesWanted, DWORD* bytesRead) {
    if (!handle) return CO_E_NOTINITIALIZED;
    if (!buffer || !bytesRead) return E_INVALIDARG;
    *bytesRead = 0;
    DWORD count = bytesWanted < dataChunk.cksize ? bytesWanted : dataChunk.cksize;
    dataChunk.cksize -= count;
    // The data chunk's size counts only what the file holds, so a short read
    // means the file changed under us.
    if (count && handle->Read(buffer, count) != count) return E_FAIL;
    *bytesRead = count;
    return S_OK;
}

HRESULT WaveFile::Close() {
    delete handle;
    handle = nullptr;
    return S_OK;
}
