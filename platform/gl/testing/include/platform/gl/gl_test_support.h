// A real OpenGL device for tests and benchmarks: an SDL window of a given size
// registered under a made-up window handle, the Direct3D object and the
// device, and the back buffer read back as pixels. Needs a display (Xvfb will
// do); without one MakeGlTestDevice says why and the caller skips.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/d3d8.h"
#include "platform/gl/gl_diagnostics.h"

struct SDL_Window;

struct GlTestOptions {
    bool shown = false;           // map the window (hidden windows draw all the same)
    bool openGlWindow = true;     // false: a window without SDL_WINDOW_OPENGL
    bool depthBuffer = true;      // EnableAutoDepthStencil
    DWORD behavior = D3DCREATE_HARDWARE_VERTEXPROCESSING;
    GlDriverLimits limits;
};

struct GlPixel {
    BYTE r, g, b, a;
};

class GlTestDevice {
public:
    ~GlTestDevice();
    GlTestDevice(const GlTestDevice&) = delete;
    GlTestDevice& operator=(const GlTestDevice&) = delete;

    // The back buffer, top row first. Call before Present.
    std::vector<BYTE> ReadPixels(UINT* width = nullptr, UINT* height = nullptr);
    GlPixel PixelAt(int x, int y);  // reads the whole back buffer: use ReadPixels for many
    // Unregisters and destroys the window while the device lives on, as at
    // the end of the program.
    void DestroyWindow();

    SDL_Window* window = nullptr;
    HWND hwnd = nullptr;
    IDirect3D8* direct3d = nullptr;
    IDirect3DDevice8* device = nullptr;  // null when creation failed (see createResult)
    HRESULT createResult = E_FAIL;
    D3DPRESENT_PARAMETERS params{};

private:
    friend std::unique_ptr<GlTestDevice> MakeGlTestDevice(UINT, UINT, std::string*, const GlTestOptions&);
    GlTestDevice() = default;
    bool videoStarted_ = false;
};

// Makes the window and, with a display, the device. Returns null with the
// reason in *whyNot when there is no display or no OpenGL at all. A device
// that OpenGL refuses is not "no display": then device is null and
// createResult holds the failure.
std::unique_ptr<GlTestDevice> MakeGlTestDevice(UINT width, UINT height, std::string* whyNot,
                                               const GlTestOptions& options = GlTestOptions{});

GlPixel PixelOf(const std::vector<BYTE>& rgba, UINT width, int x, int y);

// Leaves OpenGL in a state unlike the device's (program, buffers, blending,
// depth, culling, viewport, scissor, texture bindings, pixel storage), as an
// overlay drawing with OpenGL might: for checking that the device recovers.
void ScrambleGlStateForTest();
