// Decoding texture images (PNG, JPEG, BMP, TGA) into 32-bit pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d8.h"

// Pixels as 0xAARRGGBB values (the byte order of D3DFMT_A8R8G8B8 in memory),
// top row first. Images without alpha have alpha 0xFF everywhere.
struct Image {
    std::uint32_t width = 0, height = 0;
    bool hasAlpha = false;
    std::vector<std::uint32_t> pixels;
};

// Larger images are refused before anything is allocated for them.
constexpr std::uint32_t kMaxImageSide = 8192;

// Detects the format from the first bytes. False, with a reason, for data that
// is no image of a known format, is broken, or claims more than it holds.
bool DecodeImage(const std::uint8_t* data, std::size_t size, Image* image, std::string* error);

bool DecodePng(const std::uint8_t* data, std::size_t size, Image* image, std::string* error);
bool DecodeJpeg(const std::uint8_t* data, std::size_t size, Image* image, std::string* error);
bool DecodeBmp(const std::uint8_t* data, std::size_t size, Image* image, std::string* error);
bool DecodeTga(const std::uint8_t* data, std::size_t size, Image* image, std::string* error);

// The next mip level: half the size in each direction (at least 1), each pixel
// the average of the source pixels it covers.
Image HalveImage(const Image& source);

// A texture of the image's size and pixel format with all its mip levels.
HRESULT CreateTextureFromImage(IDirect3DDevice8* device, const Image& image, IDirect3DTexture8** texture);
