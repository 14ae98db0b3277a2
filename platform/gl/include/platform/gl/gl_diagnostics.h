// What the OpenGL device tells and lets do beyond Direct3D 8, for tests,
// benchmarks and diagnostics: the driver probe, counters, the back buffer read
// back, switches of its batching, and observers of its draws and presents.
// Game code never includes this; it draws only through IDirect3DDevice8.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/core/device_state.h"
#include "platform/gl/gl_device.h"

// Lets a test stand in for a weaker OpenGL driver on a machine that has a full
// one. Every flag that is false makes the device behave as if the driver
// lacked that feature.
struct GlDriverLimits {
    bool core33 = true;       // an OpenGL 3.3 core context can be made
    bool instancing = true;   // instanced drawing with per-instance attributes
    bool clipControl = true;  // glClipControl, for the [0, 1] depth range
};
IDirect3D8* CreateOpenGLDirect3DWithLimits(const GlDriverLimits& limits);

// True for the names (GL_RENDERER) of rasterizers that run on the processor.
bool IsSoftwareRendererName(const char* renderer);

// What the probe behind GetDeviceCaps found: empty renderer when no OpenGL
// context could be made at all.
struct GlDriverInfo {
    std::string renderer;
    std::string version;
    bool software = false;
    bool core33 = false;
    int maxTextureSize = 0;
    double probeMilliseconds = 0.0;
};
// Probes once per process (a hidden window and a throw-away context) and
// then answers from memory.
const GlDriverInfo& ProbeGlDriver();

// Counters of one OpenGL device since it was made.
struct GlDeviceStats {
    unsigned long long glDraws = 0;        // draw calls issued to OpenGL
    unsigned long long instancedDraws = 0; // of which instanced
    unsigned long long mergedDraws = 0;    // of which copies of a small mesh merged into one draw
    unsigned long long instances = 0;      // draws collected into the instanced and merged ones
    unsigned long long mergedBuilds = 0;   // merged draws whose copies were made anew (not kept from before)
    unsigned long long runsKeptApart = 0;  // runs of draws not joined to their object's collection, as they
                                           // might tie in depth with other objects' draws in between
    unsigned long long apiDraws = 0;       // DrawPrimitive and DrawIndexedPrimitive calls accepted
    unsigned long long streamedBytes = 0;  // written into the streaming rings
    unsigned long long presents = 0;
};

// The operations below accept only devices made by the OpenGL backend and
// return D3DERR_INVALIDCALL for any other.

// The back buffer as top-down RGBA bytes, after drawing everything that is
// still collected; call it before Present (the buffer is undefined after it).
HRESULT GlReadBackBuffer(IDirect3DDevice8* device, std::vector<BYTE>* rgba, UINT* width, UINT* height);
// Switches the collecting of consecutive draws into instanced ones on or off.
HRESULT GlSetBatching(IDirect3DDevice8* device, bool enabled);
// Waits until OpenGL has finished all the work handed to it.
HRESULT GlFinish(IDirect3DDevice8* device);
HRESULT GlGetStats(IDirect3DDevice8* device, GlDeviceStats* stats);
// One accepted draw call as the device is about to draw it: the state it draws
// with and the whole buffers it reads from. The pointers live only during the
// call. Benchmarks use it to rebuild a frame's triangles in fewer draws.
struct GlObservedDraw {
    const DeviceState* state = nullptr;
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    bool indexed = false;
    UINT start = 0;  // start vertex, or start index when indexed
    UINT primitiveCount = 0;
    const BYTE* vertices = nullptr;
    UINT vertexBytes = 0;
    UINT stride = 0;
    const BYTE* indices = nullptr;  // null unless indexed
    UINT indexBytes = 0;
    UINT indexSize = 0;
    UINT baseVertex = 0;
};
// Calls `observer` for every draw call the device accepts; an empty one stops it.
HRESULT GlSetDrawObserver(IDirect3DDevice8* device, std::function<void(const GlObservedDraw&)> observer);
// Calls `observer` in every Present, after the frame is drawn and before the
// window's menu and dialogs are drawn over it and the buffers are swapped (the
// back buffer can be read there); an empty one stops it. The device trusts
// none of its GL state after it, as after the menu and dialogs.
HRESULT GlSetPresentObserver(IDirect3DDevice8* device, std::function<void()> observer);
// What the device runs on: "3.3 core" or "3.0 legacy", and its optional features.
struct GlDeviceFeatures {
    bool core33 = false;
    bool instancing = false;
    bool clipControl = false;
    int depthBits = 0;
};
HRESULT GlGetFeatures(IDirect3DDevice8* device, GlDeviceFeatures* features);
