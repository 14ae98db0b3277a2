// The state part of a Direct3D 8 device, shared by the OpenGL device and the
// recording device: transforms, render states, lights, material, textures,
// texture stage states, stream and indices, and state blocks. A derived device
// only adds resources, clearing, presenting and drawing.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/d3d8.h"

struct DeviceState {
    D3DMATRIX world{}, view{}, projection{};
    DWORD renderStates[kRenderStateCount]{};
    DWORD stageStates[kTextureStageCount][kTextureStageStateCount]{};
    IDirect3DTexture8* textures[kTextureStageCount]{};
    D3DMATERIAL8 material{};
    D3DLIGHT8 lights[kMaxLights]{};
    BOOL lightEnabled[kMaxLights]{};
    DWORD fvf = 0;
    DWORD pixelShader = 0;
    IDirect3DVertexBuffer8* stream = nullptr;
    UINT streamStride = 0;
    IDirect3DIndexBuffer8* indices = nullptr;
    UINT baseVertexIndex = 0;

    // Direct3D 8's defaults for a device with an automatic depth buffer.
    void SetDefaults(bool depthBuffer);
};

// One recorded or captured state item; a block is a list of these.
struct StateItem {
    enum Kind { Transform, Render, Stage, Texture, Material, Light, LightOn, Shader, PixelShader };
    Kind kind;
    DWORD key = 0;    // transform type, render state, light index or stage
    DWORD key2 = 0;   // stage state type
    DWORD value = 0;  // render/stage state value, enable flag, fvf
    D3DMATRIX matrix{};
    D3DMATERIAL8 material{};
    D3DLIGHT8 light{};
    IDirect3DTexture8* texture = nullptr;
};

class StateDevice : public RefCounted<IDirect3DDevice8> {
public:
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetMaterial(const D3DMATERIAL8* material) override;
    HRESULT GetMaterial(D3DMATERIAL8* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT8* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT8* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetTexture(DWORD stage, IDirect3DTexture8* texture) override;
    HRESULT GetTexture(DWORD stage, IDirect3DTexture8** texture) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT BeginStateBlock() override;
    HRESULT EndStateBlock(DWORD* token) override;
    HRESULT ApplyStateBlock(DWORD token) override;
    HRESULT CaptureStateBlock(DWORD token) override;
    HRESULT DeleteStateBlock(DWORD token) override;
    HRESULT SetVertexShader(DWORD fvf) override;
    HRESULT SetPixelShader(DWORD handle) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertexIndex) override;

    const DeviceState& State() const { return state_; }

protected:
    explicit StateDevice(bool depthBuffer) { state_.SetDefaults(depthBuffer); }
    // Called after a state value changed (not while a block is being recorded),
    // so a device can mark what it must send again before the next draw.
    virtual void OnStateChanged(StateItem::Kind) {}

    DeviceState state_;

private:
    bool Record(const StateItem& item);  // true when a block is being recorded
    void ApplyItem(const StateItem& item);
    void CaptureItem(StateItem& item) const;

    std::unique_ptr<std::vector<StateItem>> recording_;
    std::map<DWORD, std::vector<StateItem>> blocks_;
    DWORD nextToken_ = 1;
};
