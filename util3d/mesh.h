// The mesh and buffer objects behind ID3DXMesh and ID3DXBuffer, and the pieces
// of mesh building that the X file loader, the text meshes and the tools share.
#pragma once

#include <vector>

#include "util3d/d3dx.h"

// Where each vertex component sits in a vertex of a flexible vertex format, in
// Direct3D's order: position, normal, diffuse, specular, texture coordinates.
struct FvfLayout {
    DWORD fvf = 0;
    UINT stride = 0;
    int normal = -1;  // byte offsets, -1 when the format lacks the component
    int diffuse = -1;
    int specular = -1;
    int tex = -1;  // first 2D coordinate set
    UINT texCount = 0;

    static FvfLayout Of(DWORD fvf);
};

// A mesh in plain memory before it becomes a mesh object.
struct MeshData {
    DWORD fvf = D3DFVF_XYZ;
    std::vector<BYTE> vertices;     // FvfLayout::Of(fvf).stride bytes each
    std::vector<DWORD> indices;     // three per face
    std::vector<DWORD> attributes;  // one per face
};

// Sorts the faces by attribute id (keeping their order within a subset) and
// puts the data into device buffers. Fails with E_FAIL for an empty mesh and
// D3DERR_INVALIDCALL for an index outside the vertices.
HRESULT CreateMeshObject(IDirect3DDevice8* device, DWORD options, MeshData data, ID3DXMesh** mesh);

// A buffer object holding a copy of the bytes.
HRESULT CreateBufferObject(const std::vector<BYTE>& bytes, ID3DXBuffer** buffer);

// Three entries per face: the face sharing that edge (corner i to corner i + 1)
// by vertex index, or 0xFFFFFFFF when none does.
std::vector<DWORD> ComputeAdjacency(const std::vector<DWORD>& indices);

// Reads a mesh object back into plain memory (tools and tests).
HRESULT ReadMeshData(ID3DXMesh* mesh, MeshData* data);
