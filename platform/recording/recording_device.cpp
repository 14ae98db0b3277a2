#include "platform/recording/recording_device.h"

#include "platform/core/lasting.h"
#include "platform/recording/call_names.h"

#include <cstring>
#include <string>

namespace {

// A logged call: its name and its arguments, numbers or names.
struct Arg {
    Arg(long long number) : text(std::to_string(number)) {}
    Arg(std::string name) : text(std::move(name)) {}
    std::string text;
};

std::string Join(const char* name, std::initializer_list<Arg> args) {
    std::string s = name;
    for (const Arg& a : args) {
        s += ' ';
        s += a.text;
    }
    return s;
}

class MemoryTexture : public RefCounted<IDirect3DTexture8> {
public:
    MemoryTexture(UINT width, UINT height, UINT levels, D3DFORMAT format, DWORD usage, D3DPOOL pool)
        : format_(format), usage_(usage), pool_(pool) {
        UINT w = width, h = height;
        UINT maxLevels = 1;
        for (UINT a = width, b = height; a > 1 || b > 1; a = a > 1 ? a / 2 : 1, b = b > 1 ? b / 2 : 1) ++maxLevels;
        if (levels == 0 || levels > maxLevels) levels = maxLevels;
        for (UINT i = 0; i < levels; ++i) {
            Level l{w, h, std::vector<BYTE>(size_t(w) * h * FormatBytesPerPixel(format))};
            levels_.push_back(std::move(l));
            w = w > 1 ? w / 2 : 1;
            h = h > 1 ? h / 2 : 1;
        }
    }
    UINT GetLevelCount() override { return UINT(levels_.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override {
        if (level >= levels_.size() || !desc) return D3DERR_INVALIDCALL;
        *desc = D3DSURFACE_DESC{format_, usage_, pool_, levels_[level].width, levels_[level].height};
        return S_OK;
    }
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT*, DWORD) override {
        if (level >= levels_.size() || !locked) return D3DERR_INVALIDCALL;
        locked->Pitch = INT(levels_[level].width * FormatBytesPerPixel(format_));
        locked->pBits = levels_[level].bytes.data();
        return S_OK;
    }
    HRESULT UnlockRect(UINT level) override { return level < levels_.size() ? S_OK : D3DERR_INVALIDCALL; }

private:
    struct Level {
        UINT width, height;
        std::vector<BYTE> bytes;
    };
    std::vector<Level> levels_;
    D3DFORMAT format_;
    DWORD usage_;
    D3DPOOL pool_;
};

template <class Interface>
class MemoryBuffer : public RefCounted<Interface> {
public:
    explicit MemoryBuffer(UINT length) : bytes_(length) {}
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD) override {
        if (!data || offset > bytes_.size()) return D3DERR_INVALIDCALL;
        if (size != 0 && size > bytes_.size() - offset) return D3DERR_INVALIDCALL;
        *data = bytes_.data() + offset;
        return S_OK;
    }
    HRESULT Unlock() override { return S_OK; }
    UINT GetLength() override { return UINT(bytes_.size()); }

protected:
    std::vector<BYTE> bytes_;
};

class MemoryIndexBuffer : public MemoryBuffer<IDirect3DIndexBuffer8> {
public:
    MemoryIndexBuffer(UINT length, D3DFORMAT format) : MemoryBuffer(length), format_(format) {}
    D3DFORMAT GetFormat() override { return format_; }

private:
    D3DFORMAT format_;
};

RecordingDirect3D* lastDirect3D = nullptr;

}  // namespace

RecordingDevice::RecordingDevice() : StateDevice(true) {}

long RecordingDevice::Find(const std::string& prefix, size_t from) const {
    for (size_t i = from; i < calls.size(); ++i)
        if (calls[i].compare(0, prefix.size(), prefix) == 0) return long(i);
    return -1;
}

size_t RecordingDevice::Count(const std::string& prefix) const {
    size_t n = 0;
    for (const std::string& c : calls)
        if (c.compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
}

HRESULT RecordingDevice::GetDeviceCaps(D3DCAPS8* caps) {
    if (!caps) return D3DERR_INVALIDCALL;
    *caps = D3DCAPS8{};
    caps->DeviceType = D3DDEVTYPE_HAL;
    caps->MaxTextureWidth = maxTextureWidth;
    caps->MaxTextureHeight = maxTextureWidth;
    caps->MaxActiveLights = kMaxLights;
    caps->MaxPrimitiveCount = 0xFFFFFF;
    caps->MaxVertexIndex = 0xFFFFFF;
    return S_OK;
}

HRESULT RecordingDevice::Reset(D3DPRESENT_PARAMETERS* params) {
    if (!params) return D3DERR_INVALIDCALL;
    lastReset = *params;
    ++resetCount;
    state_.SetDefaults(params->EnableAutoDepthStencil != 0);
    if (recording) Log(Join("Reset", {params->BackBufferWidth, params->BackBufferHeight}));
    return S_OK;
}

HRESULT RecordingDevice::Present(const RECT*, const RECT*, HWND, const void*) {
    ++presentCount;
    Log("Present");
    return S_OK;
}

HRESULT RecordingDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                       D3DPOOL pool, IDirect3DTexture8** texture) {
    if (!texture || width == 0 || height == 0 || FormatBytesPerPixel(format) == 0) return D3DERR_INVALIDCALL;
    if (recording) Log(Join("CreateTexture", {width, height, levels, FormatName(format), PoolName(pool)}));
    if (failTextureCreation || width > maxTextureWidth || height > maxTextureWidth) return D3DERR_OUTOFVIDEOMEMORY;
    *texture = new MemoryTexture(width, height, levels, format, usage, pool);
    return S_OK;
}

HRESULT RecordingDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                            IDirect3DVertexBuffer8** buffer) {
    if (!buffer || length == 0) return D3DERR_INVALIDCALL;
    if (recording) Log(Join("CreateVertexBuffer", {length, UsageNames(usage), FvfNames(fvf), PoolName(pool)}));
    if (failBufferCreation) return D3DERR_OUTOFVIDEOMEMORY;
    *buffer = new MemoryBuffer<IDirect3DVertexBuffer8>(length);
    return S_OK;
}

HRESULT RecordingDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                           IDirect3DIndexBuffer8** buffer) {
    if (!buffer || length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    if (recording) Log(Join("CreateIndexBuffer", {length, UsageNames(usage), FormatName(format), PoolName(pool)}));
    if (failBufferCreation) return D3DERR_OUTOFVIDEOMEMORY;
    *buffer = new MemoryIndexBuffer(length, format);
    return S_OK;
}

HRESULT RecordingDevice::Clear(DWORD count, const D3DRECT*, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
    if (recording)
        Log(Join("Clear", {count, ClearFlagNames(flags), ColourName(color), (long long)(z * 1000.0f), stencil}));
    return S_OK;
}

HRESULT RecordingDevice::BeginScene() {
    Log("BeginScene");
    return S_OK;
}

HRESULT RecordingDevice::EndScene() {
    Log("EndScene");
    return S_OK;
}

HRESULT RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (recording) Log(Join("SetTransform", {TransformName(state)}));
    return StateDevice::SetTransform(state, matrix);
}

HRESULT RecordingDevice::SetMaterial(const D3DMATERIAL8* material) {
    Log("SetMaterial");
    return StateDevice::SetMaterial(material);
}

HRESULT RecordingDevice::SetLight(DWORD index, const D3DLIGHT8* light) {
    if (recording) Log(Join("SetLight", {index}));
    return StateDevice::SetLight(index, light);
}

HRESULT RecordingDevice::LightEnable(DWORD index, BOOL enable) {
    if (recording) Log(Join("LightEnable", {index, enable}));
    return StateDevice::LightEnable(index, enable);
}

HRESULT RecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (recording) Log(Join("SetRenderState", {RenderStateName(state), RenderStateValue(state, value)}));
    return StateDevice::SetRenderState(state, value);
}

HRESULT RecordingDevice::SetTexture(DWORD stage, IDirect3DTexture8* texture) {
    if (recording) Log(Join("SetTexture", {stage, texture ? 1 : 0}));
    return StateDevice::SetTexture(stage, texture);
}

HRESULT RecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (recording) Log(Join("SetTextureStageState", {stage, TextureStageStateName(type), value}));
    return StateDevice::SetTextureStageState(stage, type, value);
}

HRESULT RecordingDevice::BeginStateBlock() {
    Log("BeginStateBlock");
    return StateDevice::BeginStateBlock();
}

HRESULT RecordingDevice::EndStateBlock(DWORD* token) {
    HRESULT hr = StateDevice::EndStateBlock(token);
    if (recording) Log(Join("EndStateBlock", {token ? *token : 0}));
    return hr;
}

HRESULT RecordingDevice::ApplyStateBlock(DWORD token) {
    if (recording) Log(Join("ApplyStateBlock", {token}));
    return StateDevice::ApplyStateBlock(token);
}

HRESULT RecordingDevice::CaptureStateBlock(DWORD token) {
    if (recording) Log(Join("CaptureStateBlock", {token}));
    return StateDevice::CaptureStateBlock(token);
}

HRESULT RecordingDevice::DeleteStateBlock(DWORD token) {
    if (recording) Log(Join("DeleteStateBlock", {token}));
    return StateDevice::DeleteStateBlock(token);
}

HRESULT RecordingDevice::SetVertexShader(DWORD fvf) {
    if (recording) Log(Join("SetVertexShader", {FvfNames(fvf)}));
    return StateDevice::SetVertexShader(fvf);
}

HRESULT RecordingDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) {
    if (recording) Log(Join("SetStreamSource", {stream, stride}));
    return StateDevice::SetStreamSource(stream, buffer, stride);
}

HRESULT RecordingDevice::SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertexIndex) {
    if (recording) Log(Join("SetIndices", {baseVertexIndex}));
    return StateDevice::SetIndices(buffer, baseVertexIndex);
}

DrawRecord RecordingDevice::Snapshot() const {
    DrawRecord d;
    d.fvf = state_.fvf;
    d.stream = state_.stream;
    d.indices = state_.indices;
    d.texture = state_.textures[0];
    d.world = state_.world;
    d.view = state_.view;
    d.projection = state_.projection;
    d.material = state_.material;
    d.zEnable = state_.renderStates[D3DRS_ZENABLE];
    d.zWrite = state_.renderStates[D3DRS_ZWRITEENABLE];
    d.lighting = state_.renderStates[D3DRS_LIGHTING];
    d.alphaBlend = state_.renderStates[D3DRS_ALPHABLENDENABLE];
    d.ambient = state_.renderStates[D3DRS_AMBIENT];
    d.callIndex = calls.size();
    return d;
}

HRESULT RecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    if (!recording) {
        ++drawCount;
        return state_.stream ? S_OK : D3DERR_INVALIDCALL;
    }
    DrawRecord d = Snapshot();
    d.type = type;
    d.start = startVertex;
    d.primitiveCount = primitiveCount;
    ++drawCount;
    draws.push_back(d);
    Log(Join("DrawPrimitive", {PrimitiveTypeName(type), startVertex, primitiveCount}));
    return state_.stream ? S_OK : D3DERR_INVALIDCALL;
}

HRESULT RecordingDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                              UINT startIndex, UINT primitiveCount) {
    if (!recording) {
        ++drawCount;
        return state_.stream && state_.indices ? S_OK : D3DERR_INVALIDCALL;
    }
    DrawRecord d = Snapshot();
    d.indexed = true;
    d.type = type;
    d.start = startIndex;
    d.primitiveCount = primitiveCount;
    d.minIndex = minIndex;
    d.numVertices = numVertices;
    ++drawCount;
    draws.push_back(d);
    Log(Join("DrawIndexedPrimitive", {PrimitiveTypeName(type), minIndex, numVertices, startIndex, primitiveCount}));
    return state_.stream && state_.indices ? S_OK : D3DERR_INVALIDCALL;
}

HRESULT RecordingDirect3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
    calls.push_back(Join("GetAdapterDisplayMode", {adapter}));
    if (failDisplayMode || !mode) return D3DERR_NOTAVAILABLE;
    *mode = D3DDISPLAYMODE{1280, 1024, 60, D3DFMT_X8R8G8B8};
    return S_OK;
}

HRESULT RecordingDirect3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) {
    calls.push_back(Join("GetDeviceCaps", {adapter, DeviceTypeName(type)}));
    if (!caps) return D3DERR_INVALIDCALL;
    if (type == D3DDEVTYPE_HAL && failHalCaps) return D3DERR_NOTAVAILABLE;
    *caps = D3DCAPS8{};
    caps->DeviceType = type;
    caps->MaxTextureWidth = caps->MaxTextureHeight = 2048;
    caps->MaxActiveLights = kMaxLights;
    return S_OK;
}

HRESULT RecordingDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND, DWORD behaviorFlags,
                                        D3DPRESENT_PARAMETERS* params, IDirect3DDevice8** device) {
    calls.push_back(Join("CreateDevice", {adapter, DeviceTypeName(type), BehaviorFlagNames(behaviorFlags)}));
    if (!params || !device) return D3DERR_INVALIDCALL;
    if ((behaviorFlags & D3DCREATE_HARDWARE_VERTEXPROCESSING) && failHardwareVertexProcessing)
        return D3DERR_NOTAVAILABLE;
    if ((behaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) && failSoftwareVertexProcessing)
        return D3DERR_NOTAVAILABLE;
    auto* d = new RecordingDevice();
    lastDevice = d;
    *device = d;
    return S_OK;
}

RecordingDirect3D& RecordingDirect3DTemplate() {
    static Lasting<RecordingDirect3D> settings;
    return *settings;
}

IDirect3D8* CreateRecordingDirect3D() {
    auto* d3d = new RecordingDirect3D();
    const RecordingDirect3D& t = RecordingDirect3DTemplate();
    d3d->failDisplayMode = t.failDisplayMode;
    d3d->failHalCaps = t.failHalCaps;
    d3d->failHardwareVertexProcessing = t.failHardwareVertexProcessing;
    d3d->failSoftwareVertexProcessing = t.failSoftwareVertexProcessing;
    lastDirect3D = d3d;
    return d3d;
}

RecordingDirect3D* LastRecordingDirect3D() { return lastDirect3D; }
