// What the sound back-ends share: the checks of buffer formats and
// descriptions, and the conversion of PCM data to the mixing format.
// Included by the SDL and the recording sound back-ends.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/dsound.h"

// Checks shared by the back-ends. A buffer takes 1 or 2 channels of integer
// PCM of 8, 16, 24 or 32 bits, or of 32-bit float, given by their own tags or
// as WAVE_FORMAT_EXTENSIBLE (whose extra bytes `format` must carry).
HRESULT CheckBufferFormat(const WAVEFORMATEX* format);
HRESULT CheckBufferDesc(const DSBUFFERDESC* desc);

// The format a buffer keeps of a format CheckBufferFormat accepted: an
// extensible format becomes the plain PCM or float format of its encoding;
// extra bytes are dropped (cbSize 0).
WAVEFORMATEX PlainFormat(const WAVEFORMATEX& format);

// The mixing format: 22050 frames per second, 2 channels of signed 16 bits.
constexpr int OUTPUT_RATE = 22050;
constexpr int OUTPUT_CHANNELS = 2;

// Converts samples of `format` to the mixing format: 8-bit samples are
// centred and scaled, 24- and 32-bit samples keep their upper 16 bits, float
// samples are scaled from -1..1 and clamped (NaN is silence), mono is
// doubled, other rates are resampled by linear interpolation. Output frame j
// takes source position j * rate / 22050; ceil(frames * 22050 / rate) frames
// come out. A trailing partial frame is dropped. Returns interleaved
// left/right samples; nothing for a format CheckBufferFormat refuses.
std::vector<std::int16_t> ConvertToOutput(const WAVEFORMATEX& format, const BYTE* data, DWORD bytes);
