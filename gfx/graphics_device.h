// The graphics device: the Direct3D object and device, the presentation
// parameters, the two lights, the read-out font and the two title meshes.
#pragma once

#include "gfx/texture_font.h"
#include "platform/d3d8.h"
#include "util3d/d3dx.h"

// When the read-outs get a dark outline, which lets them be read over light
// clouds: by default everywhere but at the size the window opens with, where
// the picture is the first version's.
enum class ReadoutOutline { Automatic, Always, Never };

class GraphicsDevice {
public:
    // The device is made for the shell's main window, and its warnings carry
    // the shell's title; both are read when the device is created.
    GraphicsDevice(const HWND& window, const char* const& title);
    ~GraphicsDevice();
    GraphicsDevice(const GraphicsDevice&) = delete;
    GraphicsDevice& operator=(const GraphicsDevice&) = delete;

    bool Create();
    void Resize(unsigned width, unsigned height);

    // Lights and ambient level.
    void ApplyLights();
    void SetAmbientLevel(unsigned level);
    void PlaceHeadlight(float x, float y, float z, float hx, float hy, float hz);
    void SetDirectionalLevel(unsigned level);
    int GetDirectionalLevel() const;
    void SetHeadlightLevel(unsigned level);
    int GetHeadlightLevel() const;

    HRESULT DrawTextFormatted(float x, float y, int red, int green, int blue, const char* format, ...)
        __attribute__((format(printf, 7, 8)));

    // The read-outs grow with the back buffer's height against the size the
    // window opened with (the first size Resize is given), in whole pixels
    // of the font's height so its letters stay sharp; never smaller than at
    // that size, where they are exactly as they always were.
    float ReadoutScale() const { return font ? font->sizeScale : 1.0f; }
    bool ReadoutOutlined() const;
    ReadoutOutline readoutOutline = ReadoutOutline::Automatic;

    IDirect3D8* direct3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    D3DPRESENT_PARAMETERS presentParams{};
    D3DLIGHT8 directionalLight{};
    D3DLIGHT8 headlight{};
    TextureFont* font = nullptr;
    ID3DXMesh* titleMesh = nullptr;
    ID3DXMesh* subtitleMesh = nullptr;

private:
    void ScaleReadouts(unsigned height);

    const HWND& window_;
    const char* const& title_;
    unsigned startWidth_ = 0, startHeight_ = 0;  // the first size with a height
};
