// Pixel conversion from the Direct3D colour formats the game's textures use to
// the 8-bit RGBA that every texture is uploaded as. Kept apart from the device
// so it can be checked without a display.
#pragma once

#include <cstddef>

#include "platform/d3d8.h"

// True for the formats ConvertToRgba8 understands.
bool IsTextureFormatSupported(D3DFORMAT format);

// Converts `count` pixels in `format` (Direct3D's little-endian layout) to
// R, G, B, A bytes. Channels the format lacks read as Direct3D samples them:
// alpha 1 without an alpha channel, colour 0 for an alpha-only texture,
// luminance in all three colour channels.
void ConvertToRgba8(D3DFORMAT format, const BYTE* source, std::size_t count, BYTE* rgba);
