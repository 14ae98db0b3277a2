// Textures from image files: the image's own size, a full chain of box-filtered
// mip levels, in the managed pool.
#include <cstring>

#include "util3d/d3dx.h"
#include "util3d/file_name.h"
#include "util3d/image.h"
#include "util3d/load_ahead.h"

namespace {

// Material lists name textures as they were on the modeller's Windows disk:
// "textures\Body.PNG" for textures/body.png.
bool ReadFile(const char* name, std::vector<std::uint8_t>* bytes, std::string* found) {
    *found = FindFileByWindowsName(name);
    return !found->empty() && ReadWholeFile(*found, bytes) && !bytes->empty();
}

HRESULT WriteLevel(IDirect3DTexture8* texture, UINT level, const Image& image) {
    D3DSURFACE_DESC desc{};
    HRESULT hr = texture->GetLevelDesc(level, &desc);
    if (FAILED(hr)) return hr;
    if (desc.Width != image.width || desc.Height != image.height) return E_FAIL;
    D3DLOCKED_RECT locked{};
    if (FAILED(hr = texture->LockRect(level, &locked, nullptr, 0))) return hr;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(locked.pBits) + std::size_t(y) * locked.Pitch);
        const std::uint32_t* src = image.pixels.data() + std::size_t(y) * image.width;
        if (image.hasAlpha) {
            std::memcpy(row, src, std::size_t(image.width) * 4);
        } else {
            for (std::uint32_t x = 0; x < image.width; ++x) row[x] = src[x] | 0xFF000000u;
        }
    }
    return texture->UnlockRect(level);
}

// The texture with the levels given (made ahead), halving on where they end.
HRESULT CreateTextureFromLevels(IDirect3DDevice8* device, const Image& image, const std::vector<Image>& given,
                                IDirect3DTexture8** texture) {
    if (!device || !texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    IDirect3DTexture8* made = nullptr;
    HRESULT hr = device->CreateTexture(image.width, image.height, 0, 0,
                                       image.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &made);
    if (FAILED(hr)) return hr;
    UINT levels = made->GetLevelCount();
    Image halved;
    const Image* level = &image;
    for (UINT i = 0; i < levels; ++i) {
        if (i > 0 && i < given.size()) {
            level = &given[i];
        } else if (i > 0) {
            halved = HalveImage(*level);
            level = &halved;
        }
        if (FAILED(hr = WriteLevel(made, i, *level))) {
            made->Release();
            return hr;
        }
    }
    *texture = made;
    return S_OK;
}

}  // namespace

HRESULT CreateTextureFromImage(IDirect3DDevice8* device, const Image& image, IDirect3DTexture8** texture) {
    return CreateTextureFromLevels(device, image, {}, texture);
}

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice8* device, const char* fileName, IDirect3DTexture8** texture) {
    if (texture) *texture = nullptr;
    if (!device || !fileName || !texture) return D3DERR_INVALIDCALL;
    std::vector<std::uint8_t> bytes;
    std::string path;
    if (!ReadFile(fileName, &bytes, &path)) return E_FAIL;
    std::vector<Image> levels;
    if (TakeImageMadeAhead(path, bytes, &levels) && !levels.empty())
        return CreateTextureFromLevels(device, levels[0], levels, texture);
    Image image;
    std::string error;
    if (!DecodeImage(bytes.data(), bytes.size(), &image, &error)) return E_FAIL;
    return CreateTextureFromImage(device, image, texture);
}
