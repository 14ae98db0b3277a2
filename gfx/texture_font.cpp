#include "gfx/texture_font.h"

#include <cstring>

#include "platform/gdi.h"

TextureFont::TextureFont(const char* name, DWORD heightInPoints, DWORD fontFlags)
    : height(heightInPoints), flags(fontFlags) {
    std::strncpy(faceName, name, sizeof faceName - 1);
    faceName[sizeof faceName - 1] = '\0';
}

TextureFont::~TextureFont() {
    ReleaseDrawObjects();
    ReleaseGlyphTexture();
}

HRESULT TextureFont::CreateGlyphTexture(IDirect3DDevice8* newDevice) {
    device = newDevice;
    textScale = 1.0f;
    if (!device) return E_FAIL;
    const float scaledHeight = float(height) * sizeScale;
    DWORD size = scaledHeight > 40.0f ? 1024 : scaledHeight > 20.0f ? 512 : 256;
    D3DCAPS8 caps{};
    device->GetDeviceCaps(&caps);
    if (caps.MaxTextureWidth > 0 && size > caps.MaxTextureWidth) {
        textScale = float(caps.MaxTextureWidth) / float(size);
        size = caps.MaxTextureWidth;
    }
    textureWidth = textureHeight = size;

    HRESULT hr = device->CreateTexture(size, size, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &texture);
    if (FAILED(hr)) return hr;

    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = LONG(size);
    info.bmiHeader.biHeight = -LONG(size);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    DWORD* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    SetMapMode(dc, MM_TEXT);

    int pixelHeight = -MulDiv(int(height), int(float(GetDeviceCaps(dc, LOGPIXELSY)) * textScale * sizeScale), 72);
    HFONT font = CreateFontA(pixelHeight, 0, 0, 0, (flags & kBold) ? FW_BOLD : FW_NORMAL,
                             (flags & kItalic) ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, faceName);
    if (!font || !bitmap || !bits) {
        // Nothing was drawn; the texture stays empty and the glyph table unfilled.
        if (font) DeleteObject(font);
        if (bitmap) DeleteObject(bitmap);
        DeleteDC(dc);
        return E_FAIL;
    }

    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, 0x00000000);
    SetTextAlign(dc, TA_TOP);

    DWORD x = 0, y = 0;
    for (int c = 32; c < 127; ++c) {
        char text[2] = {char(c), '\0'};
        SIZE extent{};
        GetTextExtentPoint32A(dc, text, 1, &extent);
        if (x + DWORD(extent.cx) + 1 > textureWidth) {
            x = 0;
            y += DWORD(extent.cy) + 1;
        }
        ExtTextOutA(dc, int(x), int(y), ETO_OPAQUE, nullptr, text, 1, nullptr);
        float* cell = glyphCoords[c - 32];
        cell[0] = float(x) / float(textureWidth);
        cell[1] = float(y) / float(textureHeight);
        cell[2] = float(x + DWORD(extent.cx)) / float(textureWidth);
        cell[3] = float(y + DWORD(extent.cy)) / float(textureHeight);
        x += DWORD(extent.cx) + 1;
    }

    D3DLOCKED_RECT locked{};
    if (SUCCEEDED(texture->LockRect(0, &locked, nullptr, 0))) {
        auto* row = static_cast<BYTE*>(locked.pBits);
        for (DWORD ty = 0; ty < textureHeight; ++ty) {
            auto* texel = reinterpret_cast<WORD*>(row);
            for (DWORD tx = 0; tx < textureWidth; ++tx) {
                BYTE alpha = BYTE((bits[ty * textureWidth + tx] & 0xFF) >> 4);
                texel[tx] = alpha > 0 ? WORD((alpha << 12) | 0x0FFF) : WORD(0);
            }
            row += locked.Pitch;
        }
        texture->UnlockRect(0);
    }

    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteObject(font);
    DeleteDC(dc);
    return S_OK;
}

HRESULT TextureFont::CreateDrawObjects() {
    if (!device) return E_FAIL;
    HRESULT hr = device->CreateVertexBuffer(kMaxVertices * sizeof(TextVertex), D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC,
                                            0, D3DPOOL_DEFAULT, &vertexBuffer);
    if (FAILED(hr)) return hr;
    for (DWORD* block : {&savedStateBlock, &drawStateBlock}) {
        device->BeginStateBlock();
        device->SetTexture(0, texture);
        device->SetRenderState(D3DRS_ZENABLE, (flags & kDepthTest) ? TRUE : FALSE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        device->SetRenderState(D3DRS_ALPHAREF, 0x08);
        device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
        device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
        device->SetRenderState(D3DRS_CLIPPING, TRUE);
        device->SetRenderState(D3DRS_EDGEANTIALIAS, FALSE);
        device->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
        device->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
        device->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE);
        device->SetRenderState(D3DRS_FOGENABLE, FALSE);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
        device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
        device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
        device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        device->EndStateBlock(block);
    }
    return S_OK;
}

HRESULT TextureFont::ReleaseDrawObjects() {
    SafeRelease(vertexBuffer);
    if (device) {
        if (savedStateBlock) device->DeleteStateBlock(savedStateBlock);
        if (drawStateBlock) device->DeleteStateBlock(drawStateBlock);
    }
    savedStateBlock = 0;
    drawStateBlock = 0;
    return S_OK;
}

HRESULT TextureFont::ReleaseGlyphTexture() {
    SafeRelease(texture);
    device = nullptr;
    return S_OK;
}

HRESULT TextureFont::DrawString(float x, float y, DWORD color, const char* text, DWORD drawFlags) {
    // Without its texture or drawing objects the font draws nothing.
    if (!device) return E_FAIL;
    if (!texture || !vertexBuffer || !text) return E_FAIL;

    device->CaptureStateBlock(savedStateBlock);
    device->ApplyStateBlock(drawStateBlock);
    device->SetVertexShader(kVertexFormat);
    device->SetPixelShader(0);
    device->SetStreamSource(0, vertexBuffer, sizeof(TextVertex));
    if (drawFlags & kFilterLinear) {
        device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    }

    const float startX = x;
    TextVertex* vertices = nullptr;
    if (FAILED(vertexBuffer->Lock(0, 0, reinterpret_cast<BYTE**>(&vertices), D3DLOCK_DISCARD))) {
        device->ApplyStateBlock(savedStateBlock);
        return E_FAIL;
    }
    DWORD triangles = 0;
    for (const char* p = text; *p; ++p) {
        signed char c = static_cast<signed char>(*p);
        if (c == '\n') {
            x = startX;
            y += (glyphCoords[0][3] - glyphCoords[0][1]) * float(textureHeight);
            continue;
        }
        if (c < 32) continue;  // control characters and every byte from 128 on
        const float* cell = glyphCoords[c - 32];
        float w = (cell[2] - cell[0]) * float(textureWidth) / textScale;
        float h = (cell[3] - cell[1]) * float(textureHeight) / textScale;
        if (c != ' ') {
            const float left = x - 0.5f, top = y - 0.5f, right = x + w - 0.5f, bottom = y + h - 0.5f;
            TextVertex* v = vertices + triangles * 3;
            v[0] = {left, bottom, 0.9f, 1.0f, color, cell[0], cell[3]};
            v[1] = {left, top, 0.9f, 1.0f, color, cell[0], cell[1]};
            v[2] = {right, bottom, 0.9f, 1.0f, color, cell[2], cell[3]};
            v[3] = {right, top, 0.9f, 1.0f, color, cell[2], cell[1]};
            v[4] = {right, bottom, 0.9f, 1.0f, color, cell[2], cell[3]};
            v[5] = {left, top, 0.9f, 1.0f, color, cell[0], cell[1]};
            triangles += 2;
            if (triangles * 3 > kMaxVertices - 6) {
                vertexBuffer->Unlock();
                device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles);
                vertices = nullptr;
                if (FAILED(vertexBuffer->Lock(0, 0, reinterpret_cast<BYTE**>(&vertices), D3DLOCK_DISCARD))) {
                    device->ApplyStateBlock(savedStateBlock);
                    return E_FAIL;
                }
                triangles = 0;
            }
        }
        x += w;
    }
    vertexBuffer->Unlock();
    if (triangles > 0) device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles);
    device->ApplyStateBlock(savedStateBlock);
    return S_OK;
}
