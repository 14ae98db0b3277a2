// The meshes of the scene: the car, the sky box and the six field kinds, each
// with its materials and the textures they name.
#pragma once

#include "util3d/d3dx.h"

class MeshModel {
public:
    MeshModel() = default;
    ~MeshModel();
    MeshModel(const MeshModel&) = delete;
    MeshModel& operator=(const MeshModel&) = delete;

    // Fills the empty model from an X file. A file that cannot be loaded leaves
    // the model empty: it then draws nothing.
    void Load(IDirect3DDevice8* device, const char* fileName);
    void Draw(IDirect3DDevice8* device);

    ID3DXMesh* mesh = nullptr;
    D3DMATERIAL8* materials = nullptr;
    DWORD materialCount = 0;
    IDirect3DTexture8** textures = nullptr;
};

// Which meshes a reflection setting addresses.
enum ReflectionGroup : int { Fields = 0, CarGroup = 1, Sky = 2 };

class SceneMeshes {
public:
    void LoadAll(IDirect3DDevice8* device);

    void SetAmbientReflection(int group, unsigned value);
    void SetDiffuseReflection(int group, unsigned value);
    void SetEmission(int group, unsigned value);
    int GetAmbientReflection(int group) const;
    int GetDiffuseReflection(int group) const;
    int GetEmission(int group) const;

    MeshModel car;
    MeshModel sky;
    MeshModel fields[6];
};

// The file each model is loaded from, in load order.
struct MeshFile {
    const char* fileName;
    int fieldIndex;  // -1 for the car, -2 for the sky
};
extern const MeshFile kMeshLoadOrder[8];
