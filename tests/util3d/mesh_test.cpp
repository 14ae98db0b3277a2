#include <cmath>
#include <cstring>

#include "platform/recording/call_names.h"
#include "tests/util3d/util3d_fixture.h"

namespace {

using namespace util3d_test;

class MeshTest : public DeviceTest {
protected:
    // Two triangles of different size meeting at vertex 0: a big one in the
    // x-y plane (facing -z) and a small one in the y-z plane (facing -x).
    ID3DXMesh* MakeCorner(DWORD fvf, DWORD options = D3DXMESH_SYSTEMMEM) {
        MeshData data;
        data.fvf = fvf;
        FvfLayout l = FvfLayout::Of(fvf);
        const float positions[][3] = {{0, 0, 0}, {0, 2, 0}, {2, 0, 0}, {0, 0, 1}, {0, 1, 0}};
        data.vertices.assign(5 * l.stride, 0);
        for (int v = 0; v < 5; ++v) std::memcpy(&data.vertices[v * l.stride], positions[v], 12);
        data.indices = {0, 1, 2, 0, 3, 4};
        data.attributes = {1, 0};
        ID3DXMesh* mesh = nullptr;
        EXPECT_EQ(CreateMeshObject(device, options, data, &mesh), S_OK);
        return mesh;
    }
};

TEST_F(MeshTest, DrawSubsetDrawsItsSortedRangeWithOneIndexedDraw) {
    ID3DXMesh* mesh = MakeCorner(D3DFVF_XYZ | D3DFVF_NORMAL);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetNumFaces(), 2u);
    EXPECT_EQ(mesh->GetNumVertices(), 5u);
    EXPECT_EQ(mesh->GetOptions(), DWORD(D3DXMESH_SYSTEMMEM));
    device->ClearLog();
    ASSERT_EQ(mesh->DrawSubset(1), S_OK);
    // Subset 1 was the first face given; sorting puts it second.
    EXPECT_EQ(device->calls, (std::vector<std::string>{"SetVertexShader XYZ|NORMAL", "SetStreamSource 0 24",
                                                       "SetIndices 0", "DrawIndexedPrimitive TRIANGLELIST 0 3 3 1"}));
    device->ClearLog();
    ASSERT_EQ(mesh->DrawSubset(0), S_OK);
    EXPECT_EQ(device->calls.back(), "DrawIndexedPrimitive TRIANGLELIST 0 5 0 1");
    device->ClearLog();
    EXPECT_EQ(mesh->DrawSubset(7), S_OK);
    EXPECT_TRUE(device->calls.empty()) << "a subset without faces draws nothing";
    mesh->Release();
}

TEST_F(MeshTest, BuffersComeFromTheDeviceInThePoolsTheOptionsAsk) {
    struct Case {
        DWORD options;
        D3DPOOL vertexPool, indexPool;
    } cases[] = {
        {D3DXMESH_SYSTEMMEM, D3DPOOL_SYSTEMMEM, D3DPOOL_SYSTEMMEM},
        {D3DXMESH_MANAGED, D3DPOOL_MANAGED, D3DPOOL_MANAGED},
        {0, D3DPOOL_DEFAULT, D3DPOOL_DEFAULT},
    };
    for (const Case& c : cases) {
        device->ClearLog();
        ID3DXMesh* mesh = MakeCorner(D3DFVF_XYZ, c.options);
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(device->calls[0], "CreateVertexBuffer 60 0 XYZ " + PoolName(c.vertexPool));
        EXPECT_EQ(device->calls[1], "CreateIndexBuffer 24 0 INDEX32 " + PoolName(c.indexPool));
        mesh->Release();
    }
    device->failBufferCreation = true;
    MeshData data;
    data.vertices.assign(36, 0);
    data.indices = {0, 1, 2};
    data.attributes = {0};
    ID3DXMesh* mesh = reinterpret_cast<ID3DXMesh*>(0x1);
    EXPECT_TRUE(FAILED(CreateMeshObject(device, D3DXMESH_SYSTEMMEM, data, &mesh)));
    EXPECT_EQ(mesh, nullptr);
}

TEST_F(MeshTest, CloneAddsNormalsAndComputeNormalsWeighsFacesByArea) {
    ID3DXMesh* mesh = MakeCorner(D3DFVF_XYZ);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(D3DXComputeNormals(mesh, nullptr), D3DERR_INVALIDCALL) << "no normals in the format";
    ID3DXMesh* clone = nullptr;
    ASSERT_EQ(mesh->CloneMeshFVF(mesh->GetOptions(), mesh->GetFVF() | D3DFVF_NORMAL, device, &clone), S_OK);
    EXPECT_EQ(clone->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL));
    EXPECT_EQ(clone->GetOptions(), mesh->GetOptions());
    MeshData before, after;
    ReadMeshData(mesh, &before);
    ReadMeshData(clone, &after);
    EXPECT_EQ(after.indices, before.indices);
    EXPECT_EQ(after.attributes, before.attributes);
    for (std::size_t v = 0; v < 5; ++v)
        EXPECT_EQ(std::memcmp(VertexAt(after, v).pos, VertexAt(before, v).pos, 12), 0);
    EXPECT_EQ(VertexAt(after, 0).normal[2], 0.0f) << "the new normals start zero";

    ASSERT_EQ(D3DXComputeNormals(clone, nullptr), S_OK);
    ReadMeshData(clone, &after);
    // Vertex 0: the big triangle (area 2, facing -z) weighs four times the
    // small one (area 0.5, facing -x).
    VertexView shared = VertexAt(after, 0);
    float len = std::sqrt(16.0f + 1.0f);
    EXPECT_NEAR(shared.normal[0], -1.0f / len, 1e-6f);
    EXPECT_NEAR(shared.normal[1], 0.0f, 1e-6f);
    EXPECT_NEAR(shared.normal[2], -4.0f / len, 1e-6f);
    EXPECT_NEAR(VertexAt(after, 2).normal[2], -1.0f, 1e-6f);
    EXPECT_NEAR(VertexAt(after, 3).normal[0], -1.0f, 1e-6f);
    clone->Release();
    mesh->Release();
}

TEST_F(MeshTest, RewrittenAttributesRegroupTheSubsets) {
    ID3DXMesh* mesh = MakeCorner(D3DFVF_XYZ);
    ASSERT_NE(mesh, nullptr);
    DWORD* attributes = nullptr;
    ASSERT_EQ(mesh->LockAttributeBuffer(0, &attributes), S_OK);
    attributes[0] = 5;  // face (0, 3, 4) moves behind face (0, 1, 2)
    mesh->UnlockAttributeBuffer();
    MeshData data;
    ReadMeshData(mesh, &data);
    EXPECT_EQ(data.attributes, (std::vector<DWORD>{1, 5}));
    EXPECT_EQ(data.indices, (std::vector<DWORD>{0, 1, 2, 0, 3, 4}));
    device->ClearLog();
    mesh->DrawSubset(5);
    EXPECT_EQ(device->calls.back(), "DrawIndexedPrimitive TRIANGLELIST 0 5 3 1");
    mesh->Release();
}

TEST_F(MeshTest, MeshesWithoutFacesOrWithBadIndicesAreRefused) {
    ID3DXMesh* mesh = nullptr;
    MeshData empty;
    EXPECT_EQ(CreateMeshObject(device, 0, empty, &mesh), E_FAIL);
    MeshData bad;
    bad.vertices.assign(36, 0);
    bad.indices = {0, 1, 3};
    bad.attributes = {0};
    EXPECT_EQ(CreateMeshObject(device, 0, bad, &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh, nullptr);
}

}  // namespace
