// The 3D utility layer's mesh, texture and text operations, with the names and
// result codes of the Direct3D 8 extensions the game was written against.
#pragma once

#include "platform/d3d8.h"
#include "platform/gdi.h"
#include "util3d/d3dx_math.h"

// Mesh creation options.
enum : DWORD {
    D3DXMESH_32BIT = 0x001,
    D3DXMESH_VB_SYSTEMMEM = 0x010,
    D3DXMESH_IB_SYSTEMMEM = 0x100,
    D3DXMESH_SYSTEMMEM = 0x110,
    D3DXMESH_MANAGED = 0x220,
};

// A block of bytes handed out by the layer (material lists, adjacency).
class ID3DXBuffer : public IUnknownLike {
public:
    virtual void* GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};

// One entry of a material list: the material and its texture file name, or
// null when the material names no texture. The names point into the same buffer.
struct D3DXMATERIAL {
    D3DMATERIAL8 MatD3D;
    char* pTextureFilename;
};

// An indexed triangle mesh split into attribute subsets.
class ID3DXMesh : public IUnknownLike {
public:
    virtual DWORD GetFVF() = 0;
    virtual DWORD GetOptions() = 0;
    virtual DWORD GetNumFaces() = 0;
    virtual DWORD GetNumVertices() = 0;
    virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
    // Same options and device, another vertex format; vertex data that both
    // formats have is copied, the rest starts zero.
    virtual HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice8* device, ID3DXMesh** clone) = 0;
    // Draws the triangles whose attribute id is attribId.
    virtual HRESULT DrawSubset(DWORD attribId) = 0;
    // Read access for tools and tests: vertices in the mesh's vertex format,
    // indices as 32-bit values, one attribute id per face.
    virtual HRESULT LockVertexBuffer(DWORD flags, BYTE** data) = 0;
    virtual HRESULT UnlockVertexBuffer() = 0;
    virtual HRESULT LockIndexBuffer(DWORD flags, BYTE** data) = 0;
    virtual HRESULT UnlockIndexBuffer() = 0;
    virtual HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) = 0;
    virtual HRESULT UnlockAttributeBuffer() = 0;
};

HRESULT D3DXLoadMeshFromX(const char* fileName, DWORD options, IDirect3DDevice8* device,
                          ID3DXBuffer** adjacency, ID3DXBuffer** materials, DWORD* materialCount,
                          ID3DXMesh** mesh);
HRESULT D3DXComputeNormals(ID3DXMesh* mesh, const DWORD* adjacency);
HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice8* device, const char* fileName, IDirect3DTexture8** texture);
HRESULT D3DXCreateTextMeshA(IDirect3DDevice8* device, HDC dc, const char* text, float deviation, float extrusion,
                            ID3DXMesh** mesh, ID3DXBuffer** adjacency, void* glyphMetrics);
