#include "platform/core/device_state.h"

namespace {

D3DMATRIX Identity() {
    D3DMATRIX m{};
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
    return m;
}

}  // namespace

UINT FvfVertexSize(DWORD fvf) {
    UINT size = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
        case D3DFVF_XYZ: size += 12; break;
        case D3DFVF_XYZRHW: size += 16; break;
        default: break;
    }
    if (fvf & D3DFVF_NORMAL) size += 12;
    if (fvf & D3DFVF_DIFFUSE) size += 4;
    if (fvf & D3DFVF_SPECULAR) size += 4;
    size += 8 * ((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    return size;
}

UINT FormatBytesPerPixel(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_R8G8B8: return 3;
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8: return 4;
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
        case D3DFMT_A4R4G4B4: return 2;
        case D3DFMT_A8:
        case D3DFMT_L8: return 1;
        default: return 0;
    }
}

void DeviceState::SetDefaults(bool depthBuffer) {
    world = view = projection = Identity();
    for (DWORD& v : renderStates) v = 0;
    renderStates[D3DRS_ZENABLE] = depthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
    renderStates[D3DRS_FILLMODE] = D3DFILL_SOLID;
    renderStates[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    renderStates[D3DRS_ZWRITEENABLE] = TRUE;
    renderStates[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    renderStates[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    renderStates[D3DRS_CULLMODE] = D3DCULL_CCW;
    renderStates[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    renderStates[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    renderStates[D3DRS_CLIPPING] = TRUE;
    renderStates[D3DRS_LIGHTING] = TRUE;
    renderStates[D3DRS_COLORVERTEX] = TRUE;
    renderStates[D3DRS_LOCALVIEWER] = TRUE;
    renderStates[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    renderStates[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    renderStates[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
    renderStates[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
    for (DWORD s = 0; s < kTextureStageCount; ++s) {
        DWORD* t = stageStates[s];
        for (DWORD i = 0; i < kTextureStageStateCount; ++i) t[i] = 0;
        t[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        t[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        t[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        t[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        t[D3DTSS_TEXCOORDINDEX] = s;
        t[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
        t[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        t[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
        t[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        t[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        textures[s] = nullptr;
    }
    material = D3DMATERIAL8{};
    for (DWORD i = 0; i < kMaxLights; ++i) {
        lights[i] = D3DLIGHT8{};
        lightEnabled[i] = FALSE;
    }
    fvf = 0;
    pixelShader = 0;
    stream = nullptr;
    streamStride = 0;
    indices = nullptr;
    baseVertexIndex = 0;
}

bool StateDevice::Record(const StateItem& item) {
    if (!recording_) return false;
    recording_->push_back(item);
    return true;
}

void StateDevice::ApplyItem(const StateItem& item) {
    switch (item.kind) {
        case StateItem::Transform:
            if (item.key == D3DTS_WORLD) state_.world = item.matrix;
            else if (item.key == D3DTS_VIEW) state_.view = item.matrix;
            else if (item.key == D3DTS_PROJECTION) state_.projection = item.matrix;
            break;
        case StateItem::Render: state_.renderStates[item.key] = item.value; break;
        case StateItem::Stage: state_.stageStates[item.key][item.key2] = item.value; break;
        case StateItem::Texture: state_.textures[item.key] = item.texture; break;
        case StateItem::Material: state_.material = item.material; break;
        case StateItem::Light: state_.lights[item.key] = item.light; break;
        case StateItem::LightOn: state_.lightEnabled[item.key] = item.value ? TRUE : FALSE; break;
        case StateItem::Shader: state_.fvf = item.value; break;
        case StateItem::PixelShader: state_.pixelShader = item.value; break;
    }
    OnStateChanged(item.kind);
}

void StateDevice::CaptureItem(StateItem& item) const {
    switch (item.kind) {
        case StateItem::Transform:
            if (item.key == D3DTS_WORLD) item.matrix = state_.world;
            else if (item.key == D3DTS_VIEW) item.matrix = state_.view;
            else if (item.key == D3DTS_PROJECTION) item.matrix = state_.projection;
            break;
        case StateItem::Render: item.value = state_.renderStates[item.key]; break;
        case StateItem::Stage: item.value = state_.stageStates[item.key][item.key2]; break;
        case StateItem::Texture: item.texture = state_.textures[item.key]; break;
        case StateItem::Material: item.material = state_.material; break;
        case StateItem::Light: item.light = state_.lights[item.key]; break;
        case StateItem::LightOn: item.value = state_.lightEnabled[item.key]; break;
        case StateItem::Shader: item.value = state_.fvf; break;
        case StateItem::PixelShader: item.value = state_.pixelShader; break;
    }
}

HRESULT StateDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (!matrix || (state != D3DTS_WORLD && state != D3DTS_VIEW && state != D3DTS_PROJECTION))
        return D3DERR_INVALIDCALL;
    if (!recording_) {  // the common case, thousands of times a frame: no item to build
        (state == D3DTS_WORLD ? state_.world : state == D3DTS_VIEW ? state_.view : state_.projection) = *matrix;
        OnStateChanged(StateItem::Transform);
        return S_OK;
    }
    StateItem item{StateItem::Transform};
    item.key = state;
    item.matrix = *matrix;
    if (!Record(item)) ApplyItem(item);
    return S_OK;
}

HRESULT StateDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    switch (state) {
        case D3DTS_WORLD: *matrix = state_.world; return S_OK;
        case D3DTS_VIEW: *matrix = state_.view; return S_OK;
        case D3DTS_PROJECTION: *matrix = state_.projection; return S_OK;
    }
    return D3DERR_INVALIDCALL;
}

HRESULT StateDevice::SetMaterial(const D3DMATERIAL8* material) {
    if (!material) return D3DERR_INVALIDCALL;
    if (!recording_) {
        state_.material = *material;
        OnStateChanged(StateItem::Material);
        return S_OK;
    }
    StateItem item{StateItem::Material};
    item.material = *material;
    if (!Record(item)) ApplyItem(item);
    return S_OK;
}

HRESULT StateDevice::GetMaterial(D3DMATERIAL8* material) {
    if (!material) return D3DERR_INVALIDCALL;
    *material = state_.material;
    return S_OK;
}

HRESULT StateDevice::SetLight(DWORD index, const D3DLIGHT8* light) {
    if (!light || index >= kMaxLights) return D3DERR_INVALIDCALL;
    StateItem item{StateItem::Light};
    item.key = index;
    item.light = *light;
    if (!Record(item)) ApplyItem(item);
    return S_OK;
}

HRESULT StateDevice::GetLight(DWORD index, D3DLIGHT8* light) {
    if (!light || index >= kMaxLights) return D3DERR_INVALIDCALL;
    *light = state_.lights[index];
    return S_OK;
}

HRESULT StateDevice::LightEnable(DWORD index, BOOL enable) {
    if (index >= kMaxLights) return D3DERR_INVALIDCALL;
    StateItem item{StateItem::LightOn};
    item.key = index;
    item.value = enable ? TRUE : FALSE;
    if (!Record(item)) ApplyItem(item);
    return S_OK;
}

HRESULT StateDevice::GetLightEnable(DWORD index, BOOL* enable) {
    if (!enable || index >= kMaxLights) return D3DERR_INVALIDCALL;
    *enable = state_.lightEnabled[index];
    return S_OK;
}

HRESULT StateDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (state >= kRenderStateCount) return D3DERR_INVALIDCALL;
    if (!recording_) {
        state_.renderStates[state] = value;
        OnStateChanged(StateItem::Render);
        return S_OK;
    }
    StateItem item{StateItem::Render};
    item.key = state;
    item.value = value;
    if (!Record(item)) ApplyItem(item);
    return S_OK;
}

HRESULT StateDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (!value || state >= kRenderStateCount) return D3DERR_INVALIDCALL;
    *value = state_.renderStates[state];
    return S_OK;
}

HRESULT StateDevice::SetTexture(DWORD stage, IDirect3DTexture8* texture) {
    if (stage >= kTextureStageCount) return D3DERR_INVALIDCALL;
    if (!recording_) {
        state_.textures[stage] = texture;
        OnStateChanged(StateItem::Texture);
        return S_OK;
    }
    StateItem item{StateItem::Texture};
    item.key = stage;
    item.texture = texture;
    if (!Record(item)) ApplyItem(item);
    return S_OK;
}

HRESULT StateDevice::GetTexture(DWORD stage, IDirect3DTexture8** texture) {
    if (!texture || stage >= kTextureStageCount) return D3DERR_INVALIDCALL;
    *texture = state_.textures[stage];
    if (*texture) (*texture)->AddRef();
    return S_OK;
}

HRESULT StateDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage >= kTextureStageCount || type >= kTextureStageStateCount) return D3DERR_INVALIDCALL;
    if (!recording_) {
        state_.stageStates[stage][type] = value;
        OnStateChanged(StateItem::Stage);
        return S_OK;
    }
    StateItem item{StateItem::Stage};
    item.key = stage;
    item.key2 = type;
    item.value = value;
    if (!Record(item)) ApplyItem(item);
    return S_OK;
}

HRESULT StateDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    if (!value || stage >= kTextureStageCount || type >= kTextureStageStateCount) return D3DERR_INVALIDCALL;
    *value = state_.stageStates[stage][type];
    return S_OK;
}

HRESULT StateDevice::BeginStateBlock() {
    if (recording_) return D3DERR_INVALIDCALL;
    recording_ = std::make_unique<std::vector<StateItem>>();
    return S_OK;
}

HRESULT StateDevice::EndStateBlock(DWORD* token) {
    if (!recording_ || !token) return D3DERR_INVALIDCALL;
    DWORD t = nextToken_++;
    blocks_[t] = std::move(*recording_);
    recording_.reset();
    *token = t;
    return S_OK;
}

HRESULT StateDevice::ApplyStateBlock(DWORD token) {
    auto it = blocks_.find(token);
    if (it == blocks_.end() || recording_) return D3DERR_INVALIDCALL;
    for (const StateItem& item : it->second) ApplyItem(item);
    return S_OK;
}

HRESULT StateDevice::CaptureStateBlock(DWORD token) {
    auto it = blocks_.find(token);
    if (it == blocks_.end() || recording_) return D3DERR_INVALIDCALL;
    for (StateItem& item : it->second) CaptureItem(item);
    return S_OK;
}

HRESULT StateDevice::DeleteStateBlock(DWORD token) {
    return blocks_.erase(token) ? S_OK : D3DERR_INVALIDCALL;
}

HRESULT StateDevice::SetVertexShader(DWORD fvf) {
    if (!recording_) {
        state_.fvf = fvf;
        OnStateChanged(StateItem::Shader);
        return S_OK;
    }
    StateItem item{StateItem::Shader};
    item.value = fvf;
    if (!Record(item)) ApplyItem(item);
    return S_OK;
}

HRESULT StateDevice::SetPixelShader(DWORD handle) {
    StateItem item{StateItem::PixelShader};
    item.value = handle;
    if (!Record(item)) ApplyItem(item);
    return S_OK;
}

HRESULT StateDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) {
    if (stream != 0) return D3DERR_INVALIDCALL;
    state_.stream = buffer;
    state_.streamStride = stride;
    return S_OK;
}

HRESULT StateDevice::SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertexIndex) {
    state_.indices = buffer;
    state_.baseVertexIndex = baseVertexIndex;
    return S_OK;
}
