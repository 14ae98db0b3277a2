#include <algorithm>
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

namespace {

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// The plain tag of a format's samples (PCM or float), or 0 when they are
// neither. An extensible format names its encoding in its extra bytes. Its
// samples may use fewer bits than their containers, but they sit in the upper
// bits with zeros below, so the containers play as they are.
WORD SampleTag(const WAVEFORMATEX& format) {
    if (format.wFormatTag == WAVE_FORMAT_PCM || format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) return format.wFormatTag;
    if (format.wFormatTag != WAVE_FORMAT_EXTENSIBLE) return 0;
    if (format.cbSize < sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX)) return 0;
    WAVEFORMATEXTENSIBLE extensible;
    std::memcpy(&extensible, &format, sizeof extensible);
    if (extensible.wValidBitsPerSample > format.wBitsPerSample) return 0;
    if (SameGuid(extensible.SubFormat, KSDATAFORMAT_SUBTYPE_PCM)) return WAVE_FORMAT_PCM;
    if (SameGuid(extensible.SubFormat, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT)) return WAVE_FORMAT_IEEE_FLOAT;
    return 0;
}

}  // namespace

HRESULT CheckBufferFormat(const WAVEFORMATEX* format) {
    if (!format) return DSERR_INVALIDPARAM;
    const WORD tag = SampleTag(*format);
    const WORD bits = format->wBitsPerSample;
    if (tag == WAVE_FORMAT_PCM) {
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return DSERR_BADFORMAT;
    } else if (tag == WAVE_FORMAT_IEEE_FLOAT) {
        if (bits != 32) return DSERR_BADFORMAT;
    } else {
        return DSERR_BADFORMAT;
    }
    if (format->nChannels != 1 && format->nChannels != 2) return DSERR_BADFORMAT;
    if (format->nBlockAlign != format->nChannels * bits / 8) return DSERR_BADFORMAT;
    if (format->nSamplesPerSec < DSBFREQUENCY_MIN || format->nSamplesPerSec > DSBFREQUENCY_MAX)
        return DSERR_BADFORMAT;
    return DS_OK;
}

WAVEFORMATEX PlainFormat(const WAVEFORMATEX& format) {
    WAVEFORMATEX plain = format;
    plain.wFormatTag = SampleTag(format);
    plain.cbSize = 0;
    return plain;
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
    const bool isFloat = SampleTag(format) == WAVE_FORMAT_IEEE_FLOAT;
    const unsigned sampleBytes = format.wBitsPerSample / 8u;
    const std::uint64_t frames = bytes / format.nBlockAlign;
    if (frames == 0) return out;

    auto sample = [&](std::uint64_t frame, unsigned channel) -> std::int32_t {
        if (channel >= channels) channel = 0;
        const BYTE* s = data + frame * format.nBlockAlign + sampleBytes * channel;
        switch (sampleBytes) {
            case 1: return (std::int32_t(s[0]) - 128) * 256;
            case 2: return std::int16_t(std::uint16_t(s[0] | (s[1] << 8)));
            case 3:
                return std::int32_t(std::uint32_t(s[0]) << 8 | std::uint32_t(s[1]) << 16 |
                                    std::uint32_t(s[2]) << 24) >> 16;
            default: break;
        }
        const std::uint32_t word = std::uint32_t(s[0]) | std::uint32_t(s[1]) << 8 | std::uint32_t(s[2]) << 16 |
                                   std::uint32_t(s[3]) << 24;
        if (!isFloat) return std::int32_t(word) >> 16;
        float value;
        std::memcpy(&value, &word, sizeof value);
        if (!(value == value)) return 0;  // NaN
        return std::int32_t(std::clamp(value * 32768.0f, -32768.0f, 32767.0f));
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
