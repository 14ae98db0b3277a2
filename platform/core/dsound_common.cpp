#include <cstring>

#include "platform/core/dsound_common.h"

#include "platform/core/backends.h"

HRESULT DirectSoundCreate8(const GUID* deviceGuid, IDirectSound8** device, void* outer) {
    if (!device) return DSERR_INVALIDPARAM;
    *device = nullptr;
    if (outer) return DSERR_INVALIDPARAM;  // no aggregation
    if (deviceGuid && !IsNullGuid(*deviceGuid)) return DSERR_NODRIVER;
    HRESULT (*factory)(IDirectSound8**) = InstalledBackends().directSound;
    return factory ? factory(device) : DSERR_NODRIVER;
}

HRESULT CheckBufferFormat(const WAVEFORMATEX* format) {
    if (!format) return DSERR_INVALIDPARAM;
    if (format->wFormatTag != WAVE_FORMAT_PCM) return DSERR_BADFORMAT;
    if (format->nChannels != 1 && format->nChannels != 2) return DSERR_BADFORMAT;
    if (format->wBitsPerSample != 8 && format->wBitsPerSample != 16) return DSERR_BADFORMAT;
    if (format->nBlockAlign != format->nChannels * format->wBitsPerSample / 8) return DSERR_BADFORMAT;
    if (format->nSamplesPerSec < DSBFREQUENCY_MIN || format->nSamplesPerSec > DSBFREQUENCY_MAX)
        return DSERR_BADFORMAT;
    return DS_OK;
}

HRESULT CheckBufferDesc(const DSBUFFERDESC* desc) {
    if (!desc || desc->dwSize != sizeof(DSBUFFERDESC)) return DSERR_INVALIDPARAM;
    if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
        return desc->dwBufferBytes == 0 && !desc->lpwfxFormat ? DS_OK : DSERR_INVALIDPARAM;
    }
    if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
    return CheckBufferFormat(desc->lpwfxFormat);
}

std::vector<std::int16_t> ConvertToOutput(const WAVEFORMATEX& format, const BYTE* data, DWORD bytes) {
    std::vector<std::int16_t> out;
    if (FAILED(CheckBufferFormat(&format)) || !data) return out;
    const unsigned channels = format.nChannels;
    const bool eightBit = format.wBitsPerSample == 8;
    const std::uint64_t frames = bytes / format.nBlockAlign;
    if (frames == 0) return out;

    auto sample = [&](std::uint64_t frame, unsigned channel) -> std::int32_t {
        if (channel >= channels) channel = 0;
        const BYTE* p = data + frame * format.nBlockAlign;
        if (eightBit) return (std::int32_t(p[channel]) - 128) * 256;
        const BYTE* s = p + 2 * channel;
        return std::int16_t(std::uint16_t(s[0] | (s[1] << 8)));
    };

    const std::uint64_t rate = format.nSamplesPerSec;
    const std::uint64_t outFrames = (frames * OUTPUT_RATE + rate - 1) / rate;
    out.resize(outFrames * OUTPUT_CHANNELS);
    for (std::uint64_t j = 0; j < outFrames; ++j) {
        const std::uint64_t at = j * rate;
        const std::uint64_t i0 = at / OUTPUT_RATE;
        const std::int64_t rest = std::int64_t(at % OUTPUT_RATE);
        const std::uint64_t i1 = i0 + 1 < frames ? i0 + 1 : frames - 1;
        for (unsigned c = 0; c < OUTPUT_CHANNELS; ++c) {
            std::int64_t a = sample(i0, c);
            std::int64_t b = sample(i1, c);
            out[j * OUTPUT_CHANNELS + c] = std::int16_t(a + (b - a) * rest / OUTPUT_RATE);
        }
    }
    return out;
}
