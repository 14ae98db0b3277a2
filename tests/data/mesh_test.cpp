// The committed meshes and textures: well-formed text X files within their
// triangle budgets, faces wound to be seen from the right side, sizes that
// fit the game's world, textures that exist and load, and the game's own
// loader reading every file.
#include <filesystem>
#include <set>

#include "platform/recording/recording_device.h"
#include "tests/data/data_fixture.h"
#include "util3d/d3dx.h"

namespace {

using namespace data_test;

enum class Shape { Tile, Block, Car, Sky };

struct MeshCase {
    const char* file;
    Shape shape;
    size_t maxTriangles;
    double height;  // tiles: their height; block: its top
};

const MeshCase kMeshes[] = {
    {"Holz.x", Shape::Tile, 8, 0.0},    {"Gras.x", Shape::Tile, 8, 0.0},    {"Stein.x", Shape::Block, 12, 1.5},
    {"Wasser.x", Shape::Tile, 8, -0.15}, {"Metall.x", Shape::Tile, 8, 0.0}, {"Start.x", Shape::Tile, 8, 0.0},
    {"f1.x", Shape::Car, 1500, 0.0},    {"skybox2.x", Shape::Sky, 12, 0.0},
};

XMesh Load(const MeshCase& c) {
    XMesh mesh;
    std::string why;
    EXPECT_TRUE(ReadXMesh(DataPath(std::string("media/") + c.file), mesh, why)) << c.file << ": " << why;
    return mesh;
}

double Length(Vec3 v) { return std::sqrt(Dot(v, v)); }

TEST(MeshFiles, AreWellFormedAndWithinTheirTriangleBudgets) {
    for (const MeshCase& c : kMeshes) {
        SCOPED_TRACE(c.file);
        const XMesh mesh = Load(c);
        EXPECT_GT(mesh.faces.size(), 0u);
        EXPECT_LE(mesh.faces.size(), c.maxTriangles);
        EXPECT_EQ(mesh.textureCoordCount, mesh.vertices.size());
        EXPECT_EQ(mesh.normalCount, mesh.vertices.size());
        for (size_t f = 0; f < mesh.faces.size(); ++f) {
            EXPECT_GT(Length(mesh.FaceNormal(f)), 1e-9) << "face " << f << " has no area";
        }
    }
}

TEST(MeshFiles, FieldTilesCoverTheirFieldAndAreSeenFromAbove) {
    for (const MeshCase& c : kMeshes) {
        if (c.shape != Shape::Tile && c.shape != Shape::Block) {
            continue;
        }
        SCOPED_TRACE(c.file);
        const XMesh mesh = Load(c);
        const Vec3 lo = mesh.Min(), hi = mesh.Max();
        EXPECT_DOUBLE_EQ(lo.x, -2.0);
        EXPECT_DOUBLE_EQ(hi.x, 2.0);
        EXPECT_DOUBLE_EQ(lo.z, -2.0);
        EXPECT_DOUBLE_EQ(hi.z, 2.0);
        double upArea = 0;
        for (size_t f = 0; f < mesh.faces.size(); ++f) {
            const Vec3 n = mesh.FaceNormal(f);
            if (c.shape == Shape::Tile) {
                EXPECT_GT(n.y, 0.0) << "face " << f << " is seen from below";
            } else {
                // The wall block's faces look away from its middle.
                EXPECT_GT(Dot(n, Sub(mesh.FaceCentre(f), {0, c.height / 2, 0})), 0.0) << "face " << f;
            }
            if (n.y > 0) {
                upArea += n.y / 2;
            }
        }
        EXPECT_NEAR(upArea, 16.0, 1e-6) << "the top does not cover the 4 x 4 field once";
        if (c.shape == Shape::Tile) {
            EXPECT_DOUBLE_EQ(lo.y, c.height);
            EXPECT_DOUBLE_EQ(hi.y, c.height);
        } else {
            EXPECT_DOUBLE_EQ(lo.y, 0.0);
            EXPECT_DOUBLE_EQ(hi.y, c.height);
        }
    }
}

TEST(MeshFiles, TheCarIsAFormulaCarStandingOnItsWheelsNoseForward) {
    const XMesh car = Load(kMeshes[6]);
    const Vec3 lo = car.Min(), hi = car.Max();
    EXPECT_NEAR(lo.y, -1.0, 1e-6) << "the wheels must touch the ground, 1.0 below the mesh origin";
    EXPECT_GE(hi.z - lo.z, 2.5);
    EXPECT_LE(hi.z - lo.z, 3.5);
    EXPECT_LT(hi.x - lo.x, 0.6 * (hi.z - lo.z)) << "longer than wide";
    EXPECT_LT(hi.y - lo.y, 1.0) << "low";
    // Closed parts with their faces outwards.
    EXPECT_GT(car.SignedVolume(), 0.1);
    // Four wheels touch the ground, one in each corner.
    int corners[2][2] = {};
    for (const Vec3& v : car.vertices) {
        if (v.y < -0.999) {
            corners[v.x > 0][v.z > 0] = 1;
        }
    }
    EXPECT_EQ(corners[0][0] + corners[0][1] + corners[1][0] + corners[1][1], 4);
    // The rear wing is the highest part and sits behind the middle: the nose
    // points along +z.
    double topZ = 0;
    for (const Vec3& v : car.vertices) {
        if (v.y >= hi.y - 1e-9) {
            topZ = v.z;
        }
    }
    EXPECT_LT(topZ, -0.5);
    // Several materials (paint, tyres, wings, helmet, ...), each with its
    // picture: the game makes every material's ambient white, so under a
    // white ambient light an untextured part would show plain white.
    EXPECT_GE(car.materials.size(), 4u);
    std::set<int> used(car.faceMaterials.begin(), car.faceMaterials.end());
    EXPECT_EQ(used.size(), car.materials.size()) << "every material has faces";
    for (const XMaterial& m : car.materials) {
        EXPECT_FALSE(m.texture.empty());
    }
}

TEST(MeshFiles, TheSkyBoxIsSeenFromInsideAndFitsInsideTheFarPlane) {
    const XMesh sky = Load(kMeshes[7]);
    const Vec3 lo = sky.Min(), hi = sky.Max();
    EXPECT_DOUBLE_EQ(lo.x, -hi.x);
    EXPECT_DOUBLE_EQ(lo.y, -hi.y);
    EXPECT_DOUBLE_EQ(lo.z, -hi.z);
    EXPECT_LE(hi.x, 250.0);
    double farthest = 0;
    for (const Vec3& v : sky.vertices) {
        farthest = std::max(farthest, Length(v));
    }
    EXPECT_LT(farthest, 500.0) << "corners beyond the far plane would be cut off";
    EXPECT_GT(farthest, 50.0);
    for (size_t f = 0; f < sky.faces.size(); ++f) {
        EXPECT_LT(Dot(sky.FaceNormal(f), sky.FaceCentre(f)), 0.0) << "face " << f << " is seen from outside";
    }
    for (const XMaterial& m : sky.materials) {
        EXPECT_FALSE(m.texture.empty()) << "the sky is drawn unlit, so every face needs its picture";
    }
}

// --- Textures -------------------------------------------------------------

struct ImageInfo {
    std::string format;
    unsigned width = 0, height = 0;
};

unsigned Big16(const std::vector<unsigned char>& b, size_t at) { return (b[at] << 8) | b[at + 1]; }
unsigned Big32(const std::vector<unsigned char>& b, size_t at) { return (Big16(b, at) << 16) | Big16(b, at + 2); }

// Size from the PNG header or the JPEG start-of-frame segment.
ImageInfo ReadImageInfo(const std::string& path) {
    const auto b = ReadBytes(path);
    ImageInfo info;
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (b.size() > 24 && std::equal(kPng, kPng + 8, b.begin()) && std::string(b.begin() + 12, b.begin() + 16) == "IHDR") {
        return {"png", Big32(b, 16), Big32(b, 20)};
    }
    if (b.size() > 4 && b[0] == 0xFF && b[1] == 0xD8) {
        for (size_t at = 2; at + 9 < b.size() && b[at] == 0xFF;) {
            const unsigned marker = b[at + 1];
            if (marker >= 0xC0 && marker <= 0xC2) {
                return {"jpeg", Big16(b, at + 7), Big16(b, at + 5)};
            }
            at += 2 + Big16(b, at + 2);
        }
    }
    return info;
}

bool PowerOfTwo(unsigned v) { return v != 0 && (v & (v - 1)) == 0; }

std::set<std::string> TextureNames() {
    std::set<std::string> names;
    for (const MeshCase& c : kMeshes) {
        for (const XMaterial& m : Load(c).materials) {
            if (!m.texture.empty()) {
                names.insert(m.texture);
            }
        }
    }
    return names;
}

TEST(MeshTextures, AreNamedFromTheGameFolderAndShowUntinted) {
    for (const MeshCase& c : kMeshes) {
        SCOPED_TRACE(c.file);
        for (const XMaterial& m : Load(c).materials) {
            if (m.texture.empty()) {
                continue;
            }
            // Names are resolved against the game's working folder, data/.
            EXPECT_EQ(m.texture.rfind("media/", 0), 0u) << m.texture;
            EXPECT_TRUE(std::filesystem::is_regular_file(DataPath(m.texture))) << m.texture << " is missing";
            EXPECT_GE(std::min({m.r, m.g, m.b}), 0.8) << m.texture << " would be tinted by its material";
        }
    }
}

TEST(MeshTextures, ArePowerOfTwoPngAndJpegImagesOfModestSize) {
    std::set<std::string> formats;
    for (const std::string& name : TextureNames()) {
        SCOPED_TRACE(name);
        const ImageInfo info = ReadImageInfo(DataPath(name));
        ASSERT_FALSE(info.format.empty()) << "neither PNG nor JPEG";
        formats.insert(info.format);
        EXPECT_TRUE(PowerOfTwo(info.width) && PowerOfTwo(info.height)) << info.width << " x " << info.height;
        const unsigned limit = name.find("himmel") != std::string::npos ? 512 : 256;
        EXPECT_LE(std::max(info.width, info.height), limit);
        EXPECT_GE(std::min(info.width, info.height), 64u);
        EXPECT_LT(std::filesystem::file_size(DataPath(name)), 64u * 1024u);
    }
    EXPECT_EQ(formats, (std::set<std::string>{"jpeg", "png"}));
}

TEST(MeshTextures, EveryImageInTheMediaFolderIsUsed) {
    const std::set<std::string> used = TextureNames();
    for (const auto& entry : std::filesystem::directory_iterator(DataPath("media"))) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".png" || ext == ".jpg") {
            EXPECT_TRUE(used.count("media/" + entry.path().filename().string())) << entry.path() << " is never used";
        }
    }
}

// --- Through the game's own loaders ---------------------------------------

TEST(MeshFiles, LoadThroughTheGamesMeshAndTextureLoaders) {
    RecordingDevice* device = new RecordingDevice();
    for (const MeshCase& c : kMeshes) {
        SCOPED_TRACE(c.file);
        const XMesh expected = Load(c);
        ID3DXBuffer* list = nullptr;
        DWORD count = 0;
        ID3DXMesh* mesh = nullptr;
        const std::string path = DataPath(std::string("media/") + c.file);
        ASSERT_EQ(D3DXLoadMeshFromX(path.c_str(), D3DXMESH_SYSTEMMEM, device, nullptr, &list, &count, &mesh), S_OK);
        ASSERT_NE(mesh, nullptr);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(mesh->GetNumFaces(), expected.faces.size());
        ASSERT_EQ(count, expected.materials.size());
        const auto* materials = static_cast<const D3DXMATERIAL*>(list->GetBufferPointer());
        for (DWORD i = 0; i < count; ++i) {
            const std::string name = materials[i].pTextureFilename ? materials[i].pTextureFilename : "";
            EXPECT_EQ(name, expected.materials[i].texture);
            EXPECT_FLOAT_EQ(materials[i].MatD3D.Diffuse.r, static_cast<float>(expected.materials[i].r));
            if (!name.empty()) {
                IDirect3DTexture8* texture = nullptr;
                const ImageInfo info = ReadImageInfo(DataPath(name));
                ASSERT_EQ(D3DXCreateTextureFromFileA(device, DataPath(name).c_str(), &texture), S_OK) << name;
                D3DSURFACE_DESC desc{};
                ASSERT_EQ(texture->GetLevelDesc(0, &desc), S_OK);
                EXPECT_EQ(desc.Width, info.width);
                EXPECT_EQ(desc.Height, info.height);
                texture->Release();
            }
        }
        list->Release();
        mesh->Release();
    }
    device->Release();
}

}  // namespace
