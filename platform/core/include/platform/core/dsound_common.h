// What the sound back-ends share: the checks of buffer formats and
// descriptions, and the conversion of PCM data to the mixing format.
// Included by the SDL and the recording sound back-ends.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/dsound.h"

// Checks shared by the backends.
HRESULT CheckBufferFormat(const WAVEFORMATEX* format);  // PCM, 1 or 2 channels, 8 or 16 bits
HRESULT CheckBufferDesc(const DSBUFFERDESC* desc);

// The mixing format: 22050 frames per second, 2 channels of signed 16 bits.
constexpr int OUTPUT_RATE = 22050;
constexpr int OUTPUT_CHANNELS = 2;

// Converts PCM data of `format` to the mixing format: 8-bit samples are
// centred and scaled, mono is doubled, other rates are resampled by linear
// interpolation. Output frame j takes source position j * rate / 22050;
// ceil(frames * 22050 / rate) frames come out. A trailing partial frame is
// dropped. Returns interleaved left/right samples.
std::vector<std::int16_t> ConvertToOutput(const WAVEFORMATEX& format, const BYTE* data, DWORD bytes);
