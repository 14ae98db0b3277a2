// Fuzz target: image files of the four formats (PNG, JPEG, BMP, TGA) through
// decoding and the texture with its mip chain.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/recording/recording_device.h"
#include "util3d/image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static RecordingDevice* device = [] {
        auto* d = new RecordingDevice();
        d->maxTextureWidth = 8192;
        return d;
    }();
    Image image;
    std::string error;
    if (DecodeImage(data, size, &image, &error)) {
        IDirect3DTexture8* texture = nullptr;
        if (SUCCEEDED(CreateTextureFromImage(device, image, &texture))) texture->Release();
    }
    device->ClearLog();
    return 0;
}
