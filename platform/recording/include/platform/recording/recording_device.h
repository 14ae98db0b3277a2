// A Direct3D 8 device without any drawing: it keeps the state like a real
// device, holds its resources in memory and writes every call into a log, so
// tests can check the order and the content of frames.
#pragma once

#include <string>
#include <vector>

#include "platform/core/device_state.h"

// Everything a draw call saw, for assertions on what was drawn and how.
struct DrawRecord {
    bool indexed = false;
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    UINT start = 0;           // start vertex or start index
    UINT primitiveCount = 0;
    UINT minIndex = 0, numVertices = 0;
    DWORD fvf = 0;
    IDirect3DVertexBuffer8* stream = nullptr;
    IDirect3DIndexBuffer8* indices = nullptr;
    IDirect3DTexture8* texture = nullptr;  // stage 0
    D3DMATRIX world{}, view{}, projection{};
    D3DMATERIAL8 material{};
    DWORD zEnable = 0, zWrite = 0, lighting = 0, alphaBlend = 0, ambient = 0;
    size_t callIndex = 0;  // position of the draw in the call log
};

class RecordingDevice : public StateDevice {
public:
    RecordingDevice();

    // What the device saw, in order. Each entry is the call's name followed by
    // its main arguments, constants by name (platform/recording/call_names.h),
    // e.g. "SetRenderState ZENABLE 0" or "DrawIndexedPrimitive TRIANGLELIST 0 12 0 2".
    std::vector<std::string> calls;
    std::vector<DrawRecord> draws;
    D3DPRESENT_PARAMETERS lastReset{};
    UINT resetCount = 0;
    UINT presentCount = 0;
    DWORD maxTextureWidth = 2048;  // reported by GetDeviceCaps
    bool failTextureCreation = false;
    bool failBufferCreation = false;
    // Off: nothing is logged or recorded (long whole-game runs), only counted.
    bool recording = true;
    size_t drawCount = 0;

    void ClearLog() {
        calls.clear();
        draws.clear();
    }
    // Index of the first call from `from` on that starts with `prefix`, or -1.
    long Find(const std::string& prefix, size_t from = 0) const;
    size_t Count(const std::string& prefix) const;

    HRESULT GetDeviceCaps(D3DCAPS8* caps) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
    HRESULT Present(const RECT*, const RECT*, HWND, const void*) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture8** texture) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer8** buffer) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer8** buffer) override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT SetMaterial(const D3DMATERIAL8* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT8* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT SetTexture(DWORD stage, IDirect3DTexture8* texture) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT BeginStateBlock() override;
    HRESULT EndStateBlock(DWORD* token) override;
    HRESULT ApplyStateBlock(DWORD token) override;
    HRESULT CaptureStateBlock(DWORD token) override;
    HRESULT DeleteStateBlock(DWORD token) override;
    HRESULT SetVertexShader(DWORD fvf) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertexIndex) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                 UINT primitiveCount) override;

private:
    void Log(std::string entry) {
        if (recording) calls.push_back(std::move(entry));
    }
    DrawRecord Snapshot() const;
};

// The Direct3D object of the recording backend. Each query can be told to fail
// so that every branch of device creation can be driven.
class RecordingDirect3D : public RefCounted<IDirect3D8> {
public:
    bool failDisplayMode = false;
    bool failHalCaps = false;
    bool failHardwareVertexProcessing = false;
    bool failSoftwareVertexProcessing = false;
    std::vector<std::string> calls;
    RecordingDevice* lastDevice = nullptr;  // not owned

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice8** device) override;
};

// The settings the next RecordingDirect3D made by the recording factory starts
// with; tests set them before start-up. The factory itself goes into the
// Direct3D slot of platform/core/backends.h.
RecordingDirect3D& RecordingDirect3DTemplate();
IDirect3D8* CreateRecordingDirect3D();
// The most recent recording Direct3D object made by the factory (not owned).
RecordingDirect3D* LastRecordingDirect3D();
