// Textures read ahead: what the loader takes from the read-ahead is what it
// would have made itself, and a file that changed or fails is loaded (or
// refused) as without it.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/util3d/util3d_fixture.h"
#include "util3d/image.h"
#include "util3d/load_ahead.h"

namespace {

using namespace util3d_test;

// A 4 x 2 top-down BGRA picture whose pixels depend on `seed`.
Bytes Picture(std::uint8_t seed) {
    Bytes pixels;
    for (std::uint8_t i = 0; i < 8; ++i)
        for (std::uint8_t c : {std::uint8_t(seed + 30 * i), std::uint8_t(200 - i), std::uint8_t(seed ^ i), std::uint8_t(255)})
            pixels.push_back(c);
    return MakeTga(2, 32, 0x28, 4, 2, pixels);
}

// An X file of one triangle whose material names `texture`.
std::string MeshNaming(const std::string& name, const std::string& texture) {
    const std::string x = "xof 0303txt 0032\n"
                          "Mesh { 3; 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;; 1; 3;0,1,2;;\n"
                          " MeshMaterialList { 1; 1; 0;;\n"
                          "  Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;;\n"
                          "   TextureFilename { \"" + texture + "\"; } }\n"
                          " }\n"
                          "}\n";
    return WriteTemp(name, ToBytes(x));
}

// Every level of a texture, top-down pixel words.
std::vector<std::vector<std::uint32_t>> Levels(IDirect3DTexture8* texture) {
    std::vector<std::vector<std::uint32_t>> out;
    for (UINT i = 0; i < texture->GetLevelCount(); ++i) {
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(i, &desc);
        D3DLOCKED_RECT locked{};
        texture->LockRect(i, &locked, nullptr, 0);
        std::vector<std::uint32_t> pixels;
        for (UINT y = 0; y < desc.Height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
            pixels.insert(pixels.end(), row, row + desc.Width);
        }
        texture->UnlockRect(i);
        out.push_back(pixels);
    }
    return out;
}

// What a loaded mesh is made of, to hold two loads side by side.
struct MeshShape {
    DWORD vertices = 0, faces = 0, materials = 0;
    std::string texture;
    bool operator==(const MeshShape&) const = default;
};

class LoadAheadTest : public DeviceTest {
protected:
    MeshShape LoadMesh(const std::string& path) {
        ID3DXBuffer* materials = nullptr;
        ID3DXMesh* mesh = nullptr;
        MeshShape shape;
        EXPECT_EQ(D3DXLoadMeshFromX(path.c_str(), D3DXMESH_SYSTEMMEM, device, nullptr, &materials, &shape.materials,
                                    &mesh),
                  S_OK);
        if (mesh) {
            shape.vertices = mesh->GetNumVertices();
            shape.faces = mesh->GetNumFaces();
            mesh->Release();
        }
        if (materials) {
            const auto* list = static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer());
            if (shape.materials > 0 && list[0].pTextureFilename) shape.texture = list[0].pTextureFilename;
            materials->Release();
        }
        return shape;
    }

    std::vector<std::vector<std::uint32_t>> Load(const std::string& path, HRESULT expected = S_OK) {
        IDirect3DTexture8* texture = nullptr;
        EXPECT_EQ(D3DXCreateTextureFromFileA(device, path.c_str(), &texture), expected);
        if (!texture) return {};
        auto levels = Levels(texture);
        texture->Release();
        return levels;
    }
};

TEST_F(LoadAheadTest, TheLoadersTakeWhatTheyWouldHaveMade) {
    const std::string image = WriteTemp("ahead_a.tga", Picture(10));
    const std::string mesh = MeshNaming("ahead_a.x", image);
    const auto without = Load(image);
    ASSERT_EQ(without.size(), 3u);  // 4 x 2, 2 x 1, 1 x 1
    const MeshShape meshWithout = LoadMesh(mesh);
    ASSERT_EQ(meshWithout.faces, 1u);
    {
        LoadAhead ahead({mesh});
        ahead.Finish();
        std::vector<Image> levels;
        ASSERT_TRUE(TakeImageMadeAhead(image, ReadBytes(image), &levels)) << "nothing was read ahead";
        EXPECT_EQ(levels.size(), 3u);
        EXPECT_FALSE(TakeImageMadeAhead(image, ReadBytes(image), &levels)) << "taken twice";
        XFile file;
        ASSERT_TRUE(TakeXFileMadeAhead(mesh, ReadBytes(mesh), &file)) << "the X file was not parsed ahead";
        EXPECT_FALSE(file.objects.empty());
    }
    {
        LoadAhead ahead({mesh});
        ahead.Finish();
        EXPECT_EQ(Load(image), without);
        EXPECT_EQ(LoadMesh(mesh), meshWithout);
        std::vector<Image> levels;
        EXPECT_FALSE(TakeImageMadeAhead(image, ReadBytes(image), &levels)) << "the texture load did not take it";
        XFile file;
        EXPECT_FALSE(TakeXFileMadeAhead(mesh, ReadBytes(mesh), &file)) << "the mesh load did not take it";
    }
    std::vector<Image> levels;
    EXPECT_FALSE(TakeImageMadeAhead(image, ReadBytes(image), &levels)) << "kept after the read-ahead ended";
}

TEST_F(LoadAheadTest, AFileThatChangedOrFailsIsLoadedAsWithout) {
    const std::string image = WriteTemp("ahead_b.tga", Picture(20));
    const std::string broken = WriteTemp("ahead_c.tga", Bytes{0, 0, 2, 0, 0, 0, 0, 0});
    LoadAhead ahead({MeshNaming("ahead_b.x", image), MeshNaming("ahead_c.x", broken)});
    ahead.Finish();
    WriteTemp("ahead_b.tga", Picture(99));  // changed after it was read ahead
    const auto changed = Load(image);
    ASSERT_FALSE(changed.empty());
    Image expected;
    std::string error;
    const Bytes now = Picture(99);
    ASSERT_TRUE(DecodeImage(now.data(), now.size(), &expected, &error));
    EXPECT_EQ(changed[0], expected.pixels);
    EXPECT_TRUE(Load(broken, E_FAIL).empty());
}

}  // namespace
