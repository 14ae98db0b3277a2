// The Direct3D 8 interface the game draws through: types, constants and the
// abstract device. Two implementations exist: the OpenGL device that the game
// runs on and a recording device for tests (platform/recording_device.h).
// Constant values are Direct3D 8's own so that code reads like the original API.
#pragma once

#include <cstdint>

#include "platform/wintypes.h"

using D3DCOLOR = DWORD;

constexpr D3DCOLOR D3DCOLOR_ARGB(unsigned a, unsigned r, unsigned g, unsigned b) {
    return ((a & 0xFFu) << 24) | ((r & 0xFFu) << 16) | ((g & 0xFFu) << 8) | (b & 0xFFu);
}
constexpr D3DCOLOR D3DCOLOR_XRGB(unsigned r, unsigned g, unsigned b) { return D3DCOLOR_ARGB(0xFF, r, g, b); }

struct D3DCOLORVALUE {
    float r, g, b, a;
};

struct D3DVECTOR {
    float x, y, z;
};

// Row-major 4 x 4 matrix used with row vectors (p' = p * M), translation in row 4.
struct D3DMATRIX {
    float m[4][4];
};

struct D3DMATERIAL8 {
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Ambient;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Emissive;
    float Power;
};

enum D3DLIGHTTYPE : DWORD {
    D3DLIGHT_POINT = 1,
    D3DLIGHT_SPOT = 2,
    D3DLIGHT_DIRECTIONAL = 3,
};

struct D3DLIGHT8 {
    D3DLIGHTTYPE Type;
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Ambient;
    D3DVECTOR Position;
    D3DVECTOR Direction;
    float Range;
    float Falloff;
    float Attenuation0;
    float Attenuation1;
    float Attenuation2;
    float Theta;
    float Phi;
};

struct D3DRECT {
    LONG x1, y1, x2, y2;
};

struct RECT {
    LONG left, top, right, bottom;
};

enum D3DTRANSFORMSTATETYPE : DWORD {
    D3DTS_VIEW = 2,
    D3DTS_PROJECTION = 3,
    D3DTS_WORLD = 256,
};

enum D3DRENDERSTATETYPE : DWORD {
    D3DRS_ZENABLE = 7,
    D3DRS_FILLMODE = 8,
    D3DRS_SHADEMODE = 9,
    D3DRS_ZWRITEENABLE = 14,
    D3DRS_ALPHATESTENABLE = 15,
    D3DRS_SRCBLEND = 19,
    D3DRS_DESTBLEND = 20,
    D3DRS_CULLMODE = 22,
    D3DRS_ZFUNC = 23,
    D3DRS_ALPHAREF = 24,
    D3DRS_ALPHAFUNC = 25,
    D3DRS_DITHERENABLE = 26,
    D3DRS_ALPHABLENDENABLE = 27,
    D3DRS_FOGENABLE = 28,
    D3DRS_SPECULARENABLE = 29,
    D3DRS_EDGEANTIALIAS = 40,
    D3DRS_STENCILENABLE = 52,
    D3DRS_CLIPPING = 136,
    D3DRS_LIGHTING = 137,
    D3DRS_AMBIENT = 139,
    D3DRS_COLORVERTEX = 141,
    D3DRS_LOCALVIEWER = 142,
    D3DRS_NORMALIZENORMALS = 143,
    D3DRS_DIFFUSEMATERIALSOURCE = 145,
    D3DRS_SPECULARMATERIALSOURCE = 146,
    D3DRS_AMBIENTMATERIALSOURCE = 147,
    D3DRS_EMISSIVEMATERIALSOURCE = 148,
    D3DRS_VERTEXBLEND = 151,
    D3DRS_CLIPPLANEENABLE = 152,
    D3DRS_INDEXEDVERTEXBLENDENABLE = 167,
};
constexpr DWORD kRenderStateCount = 256;  // every D3DRS_ value is below this

enum D3DTEXTURESTAGESTATETYPE : DWORD {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_ALPHAOP = 4,
    D3DTSS_ALPHAARG1 = 5,
    D3DTSS_ALPHAARG2 = 6,
    D3DTSS_TEXCOORDINDEX = 11,
    D3DTSS_ADDRESSU = 13,
    D3DTSS_ADDRESSV = 14,
    D3DTSS_MAGFILTER = 16,
    D3DTSS_MINFILTER = 17,
    D3DTSS_MIPFILTER = 18,
    D3DTSS_TEXTURETRANSFORMFLAGS = 24,
};
constexpr DWORD kTextureStageStateCount = 32;
constexpr DWORD kTextureStageCount = 8;
constexpr DWORD kMaxLights = 8;

// Render state values.
enum : DWORD { D3DZB_FALSE = 0, D3DZB_TRUE = 1 };
enum : DWORD { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum : DWORD { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2 };
enum : DWORD { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum : DWORD {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
};
enum : DWORD {
    D3DCMP_NEVER = 1,
    D3DCMP_LESS = 2,
    D3DCMP_EQUAL = 3,
    D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6,
    D3DCMP_GREATEREQUAL = 7,
    D3DCMP_ALWAYS = 8,
};
enum : DWORD { D3DVBF_DISABLE = 0 };
enum : DWORD { D3DMCS_MATERIAL = 0, D3DMCS_COLOR1 = 1, D3DMCS_COLOR2 = 2 };

// Texture stage values.
enum : DWORD { D3DTOP_DISABLE = 1, D3DTOP_SELECTARG1 = 2, D3DTOP_SELECTARG2 = 3, D3DTOP_MODULATE = 4 };
enum : DWORD { D3DTA_DIFFUSE = 0, D3DTA_CURRENT = 1, D3DTA_TEXTURE = 2 };
enum : DWORD { D3DTEXF_NONE = 0, D3DTEXF_POINT = 1, D3DTEXF_LINEAR = 2 };
enum : DWORD { D3DTADDRESS_WRAP = 1, D3DTADDRESS_CLAMP = 3 };
enum : DWORD { D3DTTFF_DISABLE = 0 };

// Flexible vertex format bits.
enum : DWORD {
    D3DFVF_XYZ = 0x002,
    D3DFVF_XYZRHW = 0x004,
    D3DFVF_POSITION_MASK = 0x00E,
    D3DFVF_NORMAL = 0x010,
    D3DFVF_DIFFUSE = 0x040,
    D3DFVF_SPECULAR = 0x080,
    D3DFVF_TEX0 = 0x000,
    D3DFVF_TEX1 = 0x100,
    D3DFVF_TEXCOUNT_MASK = 0xF00,
    D3DFVF_TEXCOUNT_SHIFT = 8,
};
// Size in bytes of one vertex of the format (positions, normal, colours, 2D coordinates).
UINT FvfVertexSize(DWORD fvf);

enum : DWORD { D3DCLEAR_TARGET = 1, D3DCLEAR_ZBUFFER = 2, D3DCLEAR_STENCIL = 4 };

enum D3DPRIMITIVETYPE : DWORD {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

enum D3DFORMAT : DWORD {
    D3DFMT_UNKNOWN = 0,
    D3DFMT_R8G8B8 = 20,
    D3DFMT_A8R8G8B8 = 21,
    D3DFMT_X8R8G8B8 = 22,
    D3DFMT_R5G6B5 = 23,
    D3DFMT_X1R5G5B5 = 24,
    D3DFMT_A1R5G5B5 = 25,
    D3DFMT_A4R4G4B4 = 26,
    D3DFMT_A8 = 28,
    D3DFMT_L8 = 50,
    D3DFMT_D16 = 80,
    D3DFMT_INDEX16 = 101,
    D3DFMT_INDEX32 = 102,
};
// Bytes per pixel of a colour format, 0 for formats the device does not store.
UINT FormatBytesPerPixel(D3DFORMAT format);

enum D3DPOOL : DWORD {
    D3DPOOL_DEFAULT = 0,
    D3DPOOL_MANAGED = 1,
    D3DPOOL_SYSTEMMEM = 2,
};

enum : DWORD {
    D3DUSAGE_WRITEONLY = 0x8,
    D3DUSAGE_DYNAMIC = 0x200,
};

enum : DWORD {
    D3DLOCK_READONLY = 0x10,
    D3DLOCK_NOOVERWRITE = 0x1000,
    D3DLOCK_DISCARD = 0x2000,
};

enum D3DDEVTYPE : DWORD { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2 };
enum : DWORD {
    D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20,
    D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40,
};
enum D3DSWAPEFFECT : DWORD { D3DSWAPEFFECT_DISCARD = 1 };
constexpr UINT D3DADAPTER_DEFAULT = 0;
constexpr UINT D3D_SDK_VERSION = 220;

struct D3DDISPLAYMODE {
    UINT Width;
    UINT Height;
    UINT RefreshRate;
    D3DFORMAT Format;
};

struct D3DPRESENT_PARAMETERS {
    UINT BackBufferWidth;
    UINT BackBufferHeight;
    D3DFORMAT BackBufferFormat;
    UINT BackBufferCount;
    DWORD MultiSampleType;
    D3DSWAPEFFECT SwapEffect;
    HWND hDeviceWindow;
    BOOL Windowed;
    BOOL EnableAutoDepthStencil;
    D3DFORMAT AutoDepthStencilFormat;
    DWORD Flags;
    UINT FullScreen_RefreshRateInHz;
    UINT FullScreen_PresentationInterval;
};

struct D3DCAPS8 {
    D3DDEVTYPE DeviceType;
    UINT AdapterOrdinal;
    DWORD MaxTextureWidth;
    DWORD MaxTextureHeight;
    DWORD MaxActiveLights;
    DWORD MaxPrimitiveCount;
    DWORD MaxVertexIndex;
};

struct D3DLOCKED_RECT {
    INT Pitch;
    void* pBits;
};

struct D3DSURFACE_DESC {
    D3DFORMAT Format;
    DWORD Usage;
    D3DPOOL Pool;
    UINT Width;
    UINT Height;
};

class IDirect3DTexture8 : public IUnknownLike {
public:
    virtual UINT GetLevelCount() = 0;
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    // Rows follow the returned pitch; the whole level is locked (no sub-rectangles).
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
};

class IDirect3DVertexBuffer8 : public IUnknownLike {
public:
    virtual HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual UINT GetLength() = 0;
};

class IDirect3DIndexBuffer8 : public IUnknownLike {
public:
    virtual HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual UINT GetLength() = 0;
    virtual D3DFORMAT GetFormat() = 0;
};

class IDirect3DDevice8 : public IUnknownLike {
public:
    virtual HRESULT GetDeviceCaps(D3DCAPS8* caps) = 0;
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* params) = 0;
    virtual HRESULT Present(const RECT* source, const RECT* dest, HWND window, const void* dirty) = 0;

    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DTexture8** texture) = 0;
    virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer8** buffer) = 0;
    virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DIndexBuffer8** buffer) = 0;

    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;

    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT SetMaterial(const D3DMATERIAL8* material) = 0;
    virtual HRESULT GetMaterial(D3DMATERIAL8* material) = 0;
    virtual HRESULT SetLight(DWORD index, const D3DLIGHT8* light) = 0;
    virtual HRESULT GetLight(DWORD index, D3DLIGHT8* light) = 0;
    virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
    virtual HRESULT GetLightEnable(DWORD index, BOOL* enable) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirect3DTexture8* texture) = 0;
    virtual HRESULT GetTexture(DWORD stage, IDirect3DTexture8** texture) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) = 0;

    virtual HRESULT BeginStateBlock() = 0;
    virtual HRESULT EndStateBlock(DWORD* token) = 0;
    virtual HRESULT ApplyStateBlock(DWORD token) = 0;
    virtual HRESULT CaptureStateBlock(DWORD token) = 0;
    virtual HRESULT DeleteStateBlock(DWORD token) = 0;

    virtual HRESULT SetVertexShader(DWORD fvf) = 0;
    virtual HRESULT SetPixelShader(DWORD handle) = 0;
    virtual HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) = 0;
    virtual HRESULT SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertexIndex) = 0;
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) = 0;
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                         UINT startIndex, UINT primitiveCount) = 0;
};

class IDirect3D8 : public IUnknownLike {
public:
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) = 0;
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                                 D3DPRESENT_PARAMETERS* params, IDirect3DDevice8** device) = 0;
};

// Creates the Direct3D object of the installed back-end (OpenGL in the game,
// the recording device in tests). Null when none can be made.
IDirect3D8* Direct3DCreate8(UINT sdkVersion);
