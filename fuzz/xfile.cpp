// Fuzz target: X files of every form (text, binary, compressed) through the
// whole loader, from the bytes to the joined mesh and its material list.
#include <cstddef>
#include <cstdint>

#include "platform/recording/recording_device.h"
#include "util3d/xfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static RecordingDevice* device = new RecordingDevice();
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* materials = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    DWORD count = 0;
    if (SUCCEEDED(LoadMeshFromXMemory(data, size, D3DXMESH_SYSTEMMEM, device, &adjacency, &materials, &count,
                                      &mesh))) {
        mesh->DrawSubset(0);
        ID3DXMesh* clone = nullptr;
        if (SUCCEEDED(mesh->CloneMeshFVF(mesh->GetOptions(), mesh->GetFVF() | D3DFVF_NORMAL, device, &clone))) {
            D3DXComputeNormals(clone, nullptr);
            clone->Release();
        }
        mesh->Release();
        materials->Release();
        adjacency->Release();
    }
    device->ClearLog();
    return 0;
}
