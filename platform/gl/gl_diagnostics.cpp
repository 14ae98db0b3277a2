// What the OpenGL device tells and lets do beyond Direct3D 8, for tests,
// benchmarks and diagnostics (platform/gl/gl_diagnostics.h).
#include "platform/gl/gl_diagnostics.h"

#include <cstring>

#include "gl_internal.h"

HRESULT GlDevice::ReadBackBuffer(std::vector<BYTE>* rgba, UINT* width, UINT* height) {
    if (!rgba) return D3DERR_INVALIDCALL;
    Flush();
    if (!MakeCurrent()) return D3DERR_NOTAVAILABLE;
    if (!glValid_) RevalidateGl();
    const UINT w = backWidth_, h = backHeight_;
    std::vector<BYTE> bottomUp(size_t(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, GLsizei(w), GLsizei(h), GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    rgba->resize(bottomUp.size());
    const size_t row = size_t(w) * 4;
    for (UINT y = 0; y < h; ++y)
        std::memcpy(rgba->data() + size_t(y) * row, bottomUp.data() + size_t(h - 1 - y) * row, row);
    if (width) *width = w;
    if (height) *height = h;
    return S_OK;
}

void GlDevice::Observe(D3DPRIMITIVETYPE type, bool indexed, UINT start, UINT primitiveCount) {
    GlObservedDraw d;
    d.state = &state_;
    d.type = type;
    d.indexed = indexed;
    d.start = start;
    d.primitiveCount = primitiveCount;
    d.vertices = applied_.object.stream->core.Bytes();
    d.vertexBytes = applied_.object.stream->core.Length();
    d.stride = applied_.object.stride;
    if (indexed) {
        d.indices = applied_.object.indices->core.Bytes();
        d.indexBytes = applied_.object.indices->core.Length();
        d.indexSize = applied_.object.indices->IndexSize();
        d.baseVertex = applied_.object.baseVertex;
    }
    observer_(d);
}

void GlDevice::SetBatching(bool enabled) {
    Flush();
    batching_ = enabled;
}

void GlDevice::Finish() {
    Flush();
    if (MakeCurrent()) glFinish();
}

GlDeviceFeatures GlDevice::Features() const {
    GlDeviceFeatures f;
    f.core33 = setup_.core;
    f.instancing = setup_.instancing;
    f.clipControl = setup_.clipControl;
    f.depthBits = setup_.depthBits;
    return f;
}

HRESULT GlReadBackBuffer(IDirect3DDevice8* device, std::vector<BYTE>* rgba, UINT* width, UINT* height) {
    GlDevice* d = GlDevice::From(device);
    return d ? d->ReadBackBuffer(rgba, width, height) : D3DERR_INVALIDCALL;
}

HRESULT GlSetBatching(IDirect3DDevice8* device, bool enabled) {
    GlDevice* d = GlDevice::From(device);
    if (!d) return D3DERR_INVALIDCALL;
    d->SetBatching(enabled);
    return S_OK;
}

HRESULT GlSetDrawObserver(IDirect3DDevice8* device, std::function<void(const GlObservedDraw&)> observer) {
    GlDevice* d = GlDevice::From(device);
    if (!d) return D3DERR_INVALIDCALL;
    d->SetDrawObserver(std::move(observer));
    return S_OK;
}

HRESULT GlSetPresentObserver(IDirect3DDevice8* device, std::function<void()> observer) {
    GlDevice* d = GlDevice::From(device);
    if (!d) return D3DERR_INVALIDCALL;
    d->SetPresentObserver(std::move(observer));
    return S_OK;
}

HRESULT GlFinish(IDirect3DDevice8* device) {
    GlDevice* d = GlDevice::From(device);
    if (!d) return D3DERR_INVALIDCALL;
    d->Finish();
    return S_OK;
}

HRESULT GlGetStats(IDirect3DDevice8* device, GlDeviceStats* stats) {
    GlDevice* d = GlDevice::From(device);
    if (!d || !stats) return D3DERR_INVALIDCALL;
    *stats = d->Stats();
    return S_OK;
}

HRESULT GlGetFeatures(IDirect3DDevice8* device, GlDeviceFeatures* features) {
    GlDevice* d = GlDevice::From(device);
    if (!d || !features) return D3DERR_INVALIDCALL;
    *features = d->Features();
    return S_OK;
}
