// The read-out font: the 95 printable characters rendered once into a small
// alpha texture, text drawn as screen-space quads with alpha blending.
#pragma once

#include "platform/d3d8.h"

class TextureFont {
public:
    TextureFont(const char* faceName, DWORD height, DWORD flags);
    ~TextureFont();
    TextureFont(const TextureFont&) = delete;
    TextureFont& operator=(const TextureFont&) = delete;

    HRESULT CreateGlyphTexture(IDirect3DDevice8* device);
    HRESULT CreateDrawObjects();
    HRESULT ReleaseDrawObjects();
    HRESULT ReleaseGlyphTexture();
    HRESULT DrawString(float x, float y, DWORD color, const char* text, DWORD drawFlags);

    static constexpr DWORD kBold = 1, kItalic = 2, kDepthTest = 4;
    static constexpr DWORD kFilterLinear = 4;  // draw flag: linear filtering
    static constexpr UINT kMaxVertices = 300;  // 50 characters
    static constexpr DWORD kVertexFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

    struct TextVertex {
        float x, y, z, rhw;
        D3DCOLOR color;
        float u, v;
    };

    char faceName[80];
    DWORD height;
    DWORD flags;
    IDirect3DDevice8* device = nullptr;
    IDirect3DTexture8* texture = nullptr;
    IDirect3DVertexBuffer8* vertexBuffer = nullptr;
    DWORD textureWidth = 0;
    DWORD textureHeight = 0;
    float textScale = 1.0f;
    // The glyphs are rendered this much larger than `height` says (the
    // read-outs of a larger screen); 1 renders them at their own size.
    float sizeScale = 1.0f;
    float glyphCoords[96][4] = {};
    DWORD savedStateBlock = 0;
    DWORD drawStateBlock = 0;
};
