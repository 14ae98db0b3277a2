#include "render/mesh_model.h"
#include "platform/port/step_trace.h"

const MeshFile kMeshLoadOrder[8] = {
    {"media/Holz.x", 0},   {"media/Stein.x", 2}, {"media/Gras.x", 1}, {"media/Wasser.x", 3},
    {"media/Metall.x", 4}, {"media/Start.x", 5}, {"media/f1.x", -1},  {"media/skybox2.x", -2},
};

MeshModel::~MeshModel() {
    delete[] materials;
    if (textures) {
        for (DWORD i = 0; i < materialCount; ++i)
            if (textures[i]) textures[i]->Release();
        delete[] textures;
    }
    if (mesh) mesh->Release();
}

void MeshModel::Load(IDirect3DDevice8* device, const char* fileName) {
    ID3DXBuffer* materialBuffer = nullptr;
    DWORD count = 0;
    ID3DXMesh* loaded = nullptr;
    if (FAILED(D3DXLoadMeshFromX(fileName, D3DXMESH_SYSTEMMEM, device, nullptr, &materialBuffer, &count, &loaded)) ||
        !loaded) {
        // Missing or unreadable: the model stays empty and draws nothing.
        SafeRelease(materialBuffer);
        SafeRelease(loaded);
        TraceStep("meshes");
        return;
    }
    TraceStep("meshes");
    mesh = loaded;
    materialCount = materialBuffer ? count : 0;
    materials = new D3DMATERIAL8[materialCount];
    textures = new IDirect3DTexture8*[materialCount];
    const auto* list = materialBuffer ? static_cast<const D3DXMATERIAL*>(materialBuffer->GetBufferPointer()) : nullptr;
    for (DWORD i = 0; i < materialCount; ++i) {
        materials[i] = list[i].MatD3D;
        materials[i].Ambient.r = 1.0f;
        materials[i].Ambient.g = 1.0f;
        materials[i].Ambient.b = 1.0f;
        textures[i] = nullptr;
        if (list[i].pTextureFilename &&
            FAILED(D3DXCreateTextureFromFileA(device, list[i].pTextureFilename, &textures[i])))
            textures[i] = nullptr;
        TraceStep("textures");
    }
    SafeRelease(materialBuffer);

    if (!(mesh->GetFVF() & D3DFVF_NORMAL)) {
        ID3DXMesh* clone = nullptr;
        if (SUCCEEDED(mesh->CloneMeshFVF(mesh->GetOptions(), mesh->GetFVF() | D3DFVF_NORMAL, device, &clone))) {
            mesh->Release();
            mesh = clone;
        }
    }
    D3DXComputeNormals(mesh, nullptr);
    TraceStep("meshes");
}

void MeshModel::Draw(IDirect3DDevice8* device) {
    if (!mesh || !device) return;
    for (DWORD i = 0; i < materialCount; ++i) {
        device->SetMaterial(&materials[i]);
        device->SetTexture(0, textures[i]);
        mesh->DrawSubset(i);
    }
}

void SceneMeshes::LoadAll(IDirect3DDevice8* device) {
    for (const MeshFile& file : kMeshLoadOrder) {
        MeshModel& model = file.fieldIndex >= 0 ? fields[file.fieldIndex] : file.fieldIndex == -1 ? car : sky;
        model.Load(device, file.fileName);
    }
}

namespace {

enum class Colour { Ambient, Diffuse, Emissive };

D3DCOLORVALUE& Pick(D3DMATERIAL8& m, Colour c) {
    return c == Colour::Ambient ? m.Ambient : c == Colour::Diffuse ? m.Diffuse : m.Emissive;
}

void SetModel(MeshModel& model, Colour colour, unsigned value) {
    float v = float(value) * 0.003921569f;
    for (DWORD i = 0; i < model.materialCount; ++i) {
        D3DCOLORVALUE& c = Pick(model.materials[i], colour);
        c.r = c.g = c.b = v;
    }
}

void SetGroup(SceneMeshes& meshes, int group, Colour colour, unsigned value) {
    switch (group) {
        case Fields:
            for (MeshModel& m : meshes.fields) SetModel(m, colour, value);
            break;
        case CarGroup: SetModel(meshes.car, colour, value); break;
        case Sky: SetModel(meshes.sky, colour, value); break;
        default: break;
    }
}

int GetGroup(const SceneMeshes& meshes, int group, Colour colour) {
    const MeshModel* model = group == Fields ? &meshes.fields[1] : group == CarGroup ? &meshes.car : nullptr;
    if (!model || model->materialCount == 0) return 0;
    return int(double(Pick(model->materials[0], colour).r) * 255.0);
}

}  // namespace

void SceneMeshes::SetAmbientReflection(int group, unsigned value) { SetGroup(*this, group, Colour::Ambient, value); }
void SceneMeshes::SetDiffuseReflection(int group, unsigned value) { SetGroup(*this, group, Colour::Diffuse, value); }
void SceneMeshes::SetEmission(int group, unsigned value) { SetGroup(*this, group, Colour::Emissive, value); }
int SceneMeshes::GetAmbientReflection(int group) const { return GetGroup(*this, group, Colour::Ambient); }
int SceneMeshes::GetDiffuseReflection(int group) const { return GetGroup(*this, group, Colour::Diffuse); }
int SceneMeshes::GetEmission(int group) const { return GetGroup(*this, group, Colour::Emissive); }
