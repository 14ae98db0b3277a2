#include "gfx/graphics_device.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "gfx/credits.h"
#include "platform/win.h"
#include "platform/port/step_trace.h"

namespace {
constexpr UINT kMessageStyle = MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND;
}

GraphicsDevice::GraphicsDevice(const HWND& window, const char* const& title) : window_(window), title_(title) {
    font = new TextureFont("Arial", 12, 1);

    directionalLight.Type = D3DLIGHT_DIRECTIONAL;
    directionalLight.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
    directionalLight.Direction = D3DVECTOR{1.0f, -0.5f, 1.0f};

    headlight.Type = D3DLIGHT_SPOT;
    headlight.Range = 30.0f;
    headlight.Falloff = 1.0f;
    headlight.Attenuation0 = 1.0f;
    headlight.Theta = 0.5235988f;
    headlight.Phi = 0.5235988f;
}

GraphicsDevice::~GraphicsDevice() {
    delete font;
    font = nullptr;
    // Given back although nothing depends on it, so that a leak report at exit
    // means a real leak.
    SafeRelease(titleMesh);
    SafeRelease(subtitleMesh);
    SafeRelease(device);
    SafeRelease(direct3d);
}

bool GraphicsDevice::Create() {
    HWND window = window_;
    direct3d = Direct3DCreate8(D3D_SDK_VERSION);
    if (!direct3d) return false;

    D3DDISPLAYMODE mode{};
    if (FAILED(direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode))) return false;

    presentParams = D3DPRESENT_PARAMETERS{};
    presentParams.BackBufferFormat = mode.Format;
    presentParams.Windowed = TRUE;
    presentParams.SwapEffect = D3DSWAPEFFECT_DISCARD;
    presentParams.EnableAutoDepthStencil = TRUE;
    presentParams.AutoDepthStencilFormat = D3DFMT_D16;

    D3DDEVTYPE type = D3DDEVTYPE_HAL;
    D3DCAPS8 caps{};
    if (FAILED(direct3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps))) {
        MessageBoxA(window, "Kein HAL-Device - das wird langsam!", title_, kMessageStyle);
        type = D3DDEVTYPE_REF;
    }

    if (FAILED(direct3d->CreateDevice(D3DADAPTER_DEFAULT, type, window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                      &presentParams, &device))) {
        MessageBoxA(window, "Kein HARDWARE-VERTEX-PROCESSING - das wird superlangsam!", title_,
                    kMessageStyle);
        if (FAILED(direct3d->CreateDevice(D3DADAPTER_DEFAULT, type, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                          &presentParams, &device))) {
            MessageBoxA(window, "Kein SOFTWARE-VERTEX-PROCESSING - da stimmt was nicht!", title_,
                        kMessageStyle);
            device = nullptr;
            return false;
        }
    }

    TraceStep("device");
    font->CreateGlyphTexture(device);
    TraceStep("font texture");
    ApplyLights();

    HDC dc = CreateCompatibleDC(nullptr);
    HFONT textFont = CreateTextMeshFont();
    HGDIOBJ previous = SelectObject(dc, textFont);
    bool ok = SUCCEEDED(D3DXCreateTextMeshA(device, dc, "Tarvik", 0.001f, 0.4f, &titleMesh, nullptr, nullptr)) &&
              SUCCEEDED(D3DXCreateTextMeshA(device, dc, "3D", 0.001f, 0.4f, &subtitleMesh, nullptr, nullptr));
    SelectObject(dc, previous);
    DeleteObject(textFont);
    DeleteDC(dc);
    TraceStep("text meshes");
    return ok;
}

void GraphicsDevice::Resize(unsigned width, unsigned height) {
    font->ReleaseDrawObjects();
    presentParams.BackBufferWidth = width;
    presentParams.BackBufferHeight = height;
    if (startHeight_ == 0 && height > 0) {
        startWidth_ = width;
        startHeight_ = height;
    }
    if (!device) return;
    ScaleReadouts(height);
    device->Reset(&presentParams);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0x00FFFFFF);
    // A client area of zero height has no aspect ratio; the projection then
    // keeps a square aspect until the window has a height again.
    float aspect = height > 0 ? float(width) / float(height) : 1.0f;
    if (!(aspect > 0.0f)) aspect = 1.0f;
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, 0.7853982f, aspect, 1.0f, 500.0f);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    font->CreateDrawObjects();
    ApplyLights();
}

void GraphicsDevice::ScaleReadouts(unsigned height) {
    if (startHeight_ == 0 || height == 0) return;
    // The font's height in pixels at its own size (the points at 96 dots per
    // inch), grown in whole pixels.
    const int pixels = MulDiv(int(font->height), 96, 72);
    if (pixels <= 0) return;
    const long grown = std::lround(double(pixels) * double(height) / double(startHeight_));
    const float scale = grown > pixels ? float(grown) / float(pixels) : 1.0f;
    if (scale == font->sizeScale) return;
    font->ReleaseGlyphTexture();
    font->sizeScale = scale;
    font->CreateGlyphTexture(device);
}

bool GraphicsDevice::ReadoutOutlined() const {
    switch (readoutOutline) {
        case ReadoutOutline::Always: return true;
        case ReadoutOutline::Never: return false;
        default:
            return presentParams.BackBufferWidth != startWidth_ || presentParams.BackBufferHeight != startHeight_;
    }
}

void GraphicsDevice::ApplyLights() {
    if (!device) return;
    device->SetLight(0, &directionalLight);
    device->LightEnable(0, TRUE);
    device->SetLight(1, &headlight);
    device->LightEnable(1, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
}

void GraphicsDevice::SetAmbientLevel(unsigned level) {
    if (!device) return;
    level &= 0xFF;
    device->SetRenderState(D3DRS_AMBIENT, 0xFF000000u | (level << 16) | (level << 8) | level);
}

void GraphicsDevice::PlaceHeadlight(float x, float y, float z, float hx, float hy, float hz) {
    headlight.Position = D3DVECTOR{x, y + 8.0f, z};
    headlight.Direction = D3DVECTOR{hx, hy - 0.4f, hz};
    if (!device) return;
    device->SetLight(1, &headlight);
    device->LightEnable(1, TRUE);
}

namespace {
void SetLevel(D3DLIGHT8& light, unsigned level) {
    float v = float(level) * 0.01f;
    light.Diffuse.r = light.Diffuse.g = light.Diffuse.b = v;
}
int ReadLevel(const D3DLIGHT8& light) { return int(double(light.Diffuse.r) * 100.0); }
}  // namespace

void GraphicsDevice::SetDirectionalLevel(unsigned level) {
    SetLevel(directionalLight, level);
    if (device) device->SetLight(0, &directionalLight);
}

int GraphicsDevice::GetDirectionalLevel() const { return ReadLevel(directionalLight); }

void GraphicsDevice::SetHeadlightLevel(unsigned level) {
    SetLevel(headlight, level);
    if (device) device->SetLight(1, &headlight);
}

int GraphicsDevice::GetHeadlightLevel() const { return ReadLevel(headlight); }

HRESULT GraphicsDevice::DrawTextFormatted(float x, float y, int red, int green, int blue, const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    D3DCOLOR color = 0xFF000000u | ((DWORD(red) & 0xFF) << 16) | ((DWORD(green) & 0xFF) << 8) | (DWORD(blue) & 0xFF);
    return font->DrawString(x, y, color, buffer, 0);
}
