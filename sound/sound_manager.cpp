#include "sound/sound_manager.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

SoundManager::SoundManager() : device(nullptr) {}

SoundManager::~SoundManager() { SafeRelease(device); }

HRESULT SoundManager::Initialize(HWND window, DWORD cooperativeLevel, DWORD primaryChannels, DWORD primaryFrequency,
                                 DWORD primaryBitsPerSample) {
    SafeRelease(device);
    HRESULT hr = DirectSoundCreate8(nullptr, &device, nullptr);
    if (FAILED(hr)) return hr;
    hr = device->SetCooperativeLevel(window, cooperativeLevel);
    if (FAILED(hr)) return hr;
    SetPrimaryBufferFormat(primaryChannels, primaryFrequency, primaryBitsPerSample);
    return S_OK;
}

HRESULT SoundManager::SetPrimaryBufferFormat(DWORD channels, DWORD frequency, DWORD bitsPerSample) {
    if (!device) return CO_E_NOTINITIALIZED;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof(DSBUFFERDESC);
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    desc.dwBufferBytes = 0;
    desc.lpwfxFormat = nullptr;
    IDirectSoundBuffer* primary = nullptr;
    HRESULT hr = device->CreateSoundBuffer(&desc, &primary, nullptr);
    if (FAILED(hr)) return hr;

    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = WORD(channels);
    format.nSamplesPerSec = frequency;
    format.wBitsPerSample = WORD(bitsPerSample);
    format.nBlockAlign = WORD(format.wBitsPerSample / 8 * format.nChannels);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    format.cbSize = 0;
    hr = primary->SetFormat(&format);
    if (FAILED(hr)) {
        SafeRelease(primary);
        return hr;
    }
    SafeRelease(primary);
    return S_OK;
}

HRESULT SoundManager::SetPrimaryVolume(LONG volume) {
    if (!device) return CO_E_NOTINITIALIZED;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof(DSBUFFERDESC);
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME;
    IDirectSoundBuffer* primary = nullptr;
    HRESULT hr = device->CreateSoundBuffer(&desc, &primary, nullptr);
    if (FAILED(hr)) return hr;
    hr = primary->SetVolume(volume);
    SafeRelease(primary);
    return hr;
}

namespace {

// Gives back what a failed Create had made so far.
void Abandon(IDirectSoundBuffer** buffers, DWORD count, WaveFile* waveFile) {
    for (DWORD i = 0; i < count; ++i) SafeRelease(buffers[i]);
    delete[] buffers;
    delete waveFile;
}

}  // namespace

HRESULT SoundManager::Create(SoundBuffer** result, const char* fileName, DWORD creationFlags, GUID algorithm3D,
                             DWORD bufferCount) {
    if (!device) return CO_E_NOTINITIALIZED;
    if (!fileName || !result || bufferCount == 0) return E_INVALIDARG;

    auto** buffers = new (std::nothrow) IDirectSoundBuffer*[bufferCount];
    if (!buffers) return E_OUTOFMEMORY;
    std::memset(buffers, 0, sizeof(IDirectSoundBuffer*) * bufferCount);

    auto* waveFile = new (std::nothrow) WaveFile;
    if (!waveFile) {
        delete[] buffers;
        return E_OUTOFMEMORY;
    }
    // What counts is whether sample data came out of it, not how the open went.
    waveFile->Open(fileName, nullptr, WAVEFILE_READ);
    if (waveFile->GetSize() == 0) {
        Abandon(buffers, bufferCount, waveFile);
        return E_FAIL;
    }

    DSBUFFERDESC desc{};
    desc.dwSize = sizeof(DSBUFFERDESC);
    desc.dwFlags = creationFlags;
    desc.dwBufferBytes = waveFile->GetSize();
    desc.guid3DAlgorithm = algorithm3D;
    desc.lpwfxFormat = waveFile->format;
    desc.sourceName = fileName;

    HRESULT finalResult = S_OK;
    HRESULT hr = device->CreateSoundBuffer(&desc, &buffers[0], nullptr);
    if (hr == DS_NO_VIRTUALIZATION) {
        finalResult = DS_NO_VIRTUALIZATION;
    } else if (FAILED(hr)) {
        Abandon(buffers, bufferCount, waveFile);
        return hr;
    }
    for (DWORD i = 1; i < bufferCount; ++i) {
        hr = device->DuplicateSoundBuffer(buffers[0], &buffers[i]);
        if (FAILED(hr)) {
            Abandon(buffers, bufferCount, waveFile);
            return hr;
        }
    }

    SoundBuffer* sound = new (std::nothrow) SoundBuffer(buffers, waveFile->GetSize(), bufferCount, waveFile);
    if (!sound) {
        // Nothing was made, so success would be a lie; give back what the sound would have owned.
        Abandon(buffers, bufferCount, waveFile);
        return E_OUTOFMEMORY;
    }
    *result = sound;
    delete[] buffers;
    return finalResult;
}

SoundBuffer::SoundBuffer(IDirectSoundBuffer** sourceBuffers, DWORD size, DWORD count, WaveFile* wave)
    : buffers(nullptr), bufferSize(size), bufferCount(count), waveFile(wave) {
    buffers = new (std::nothrow) IDirectSoundBuffer*[count];
    if (!buffers) {
        // Without the array the sound cannot hold its buffers; it reports "not initialised" from then on.
        for (DWORD i = 0; i < count; ++i)
            if (sourceBuffers[i]) sourceBuffers[i]->Release();
        bufferCount = 0;
        return;
    }
    for (DWORD i = 0; i < count; ++i) buffers[i] = sourceBuffers[i];
    if (count == 0) return;
    FillBufferWithSound(buffers[0]);
    for (DWORD i = 0; i < count; ++i)
        if (buffers[i]) buffers[i]->SetCurrentPosition(0);
}

SoundBuffer::~SoundBuffer() {
    if (buffers) {
        for (DWORD i = 0; i < bufferCount; ++i) SafeRelease(buffers[i]);
    }
    delete[] buffers;
    buffers = nullptr;
    delete waveFile;
    waveFile = nullptr;
}

HRESULT SoundBuffer::FillBufferWithSound(IDirectSoundBuffer* buffer) {
    if (!buffer) return CO_E_NOTINITIALIZED;
    HRESULT hr = RestoreBuffer(buffer, nullptr);
    if (FAILED(hr)) return hr;

    void* locked = nullptr;
    DWORD lockedSize = 0;
    hr = buffer->Lock(0, bufferSize, &locked, &lockedSize, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;

    waveFile->ResetFile();
    DWORD read = 0;
    hr = waveFile->Read(static_cast<BYTE*>(locked), lockedSize, &read);
    if (FAILED(hr)) {
        // A lock is never left behind, whatever the file did.
        buffer->Unlock(locked, lockedSize, nullptr, 0);
        return hr;
    }
    const BYTE silence = waveFile->format && waveFile->format->wBitsPerSample == 8 ? 128 : 0;
    if (read < lockedSize) std::memset(static_cast<BYTE*>(locked) + read, silence, lockedSize - read);
    buffer->Unlock(locked, lockedSize, nullptr, 0);
    return S_OK;
}

HRESULT SoundBuffer::RestoreBuffer(IDirectSoundBuffer* buffer, BOOL* wasRestored) {
    if (!buffer) return CO_E_NOTINITIALIZED;
    if (wasRestored) *wasRestored = FALSE;

    DWORD status = 0;
    HRESULT hr = buffer->GetStatus(&status);
    if (FAILED(hr)) return hr;
    if (!(status & DSBSTATUS_BUFFERLOST)) return S_FALSE;

    int lostRounds = 0, failedRounds = 0;
    for (;;) {
        hr = buffer->Restore();
        if (hr == DSERR_BUFFERLOST) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        hr = buffer->Restore();
        if (hr == S_OK) break;
        if (hr == DSERR_BUFFERLOST) {
            if (++lostRounds >= RESTORE_LOST_ROUNDS) return hr;
        } else if (++failedRounds >= RESTORE_FAILED_ROUNDS) {
            return hr;
        }
    }
    if (wasRestored) *wasRestored = TRUE;
    return S_OK;
}

IDirectSoundBuffer* SoundBuffer::GetFreeBuffer() {
    if (!buffers) return nullptr;
    for (DWORD i = 0; i < bufferCount; ++i) {
        if (!buffers[i]) continue;
        DWORD status = 0;
        buffers[i]->GetStatus(&status);
        if (!(status & DSBSTATUS_PLAYING)) return buffers[i];
    }
    if (bufferCount == 0) return nullptr;
    return buffers[std::rand() % bufferCount];
}

HRESULT SoundBuffer::Play(DWORD priority, DWORD flags) {
    if (!buffers) return CO_E_NOTINITIALIZED;
    IDirectSoundBuffer* buffer = GetFreeBuffer();
    if (!buffer) return E_FAIL;

    BOOL restored = FALSE;
    HRESULT hr = RestoreBuffer(buffer, &restored);
    if (FAILED(hr)) return hr;
    if (restored) {
        hr = FillBufferWithSound(buffer);
        if (FAILED(hr)) return hr;
        Reset();
    }
    return buffer->Play(0, priority, flags);
}

HRESULT SoundBuffer::Stop() {
    if (!buffers) return CO_E_NOTINITIALIZED;
    HRESULT hr = S_OK;
    for (DWORD i = 0; i < bufferCount; ++i)
        if (buffers[i]) hr |= buffers[i]->Stop();
    return hr;
}

HRESULT SoundBuffer::Reset() {
    if (!buffers) return CO_E_NOTINITIALIZED;
    HRESULT hr = S_OK;
    for (DWORD i = 0; i < bufferCount; ++i)
        if (buffers[i]) hr |= buffers[i]->SetCurrentPosition(0);
    return hr;
}
