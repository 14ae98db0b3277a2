// The graphics device: the Direct3D object and device, the presentation
// parameters, the two lights, the read-out font and the two title meshes.
#pragma once

#include "gfx/texture_font.h"
#include "platform/d3d8.h"
#include "util3d/d3dx.h"

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

    IDirect3D8* direct3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    D3DPRESENT_PARAMETERS presentParams{};
    D3DLIGHT8 directionalLight{};
    D3DLIGHT8 headlight{};
    TextureFont* font = nullptr;
    ID3DXMesh* titleMesh = nullptr;
    ID3DXMesh* subtitleMesh = nullptr;

private:
    const HWND& window_;
    const char* const& title_;
};
