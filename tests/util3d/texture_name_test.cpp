#include <sys/stat.h>

#include <filesystem>

#include "render/mesh_model.h"
#include "tests/support/working_folder.h"
#include "tests/util3d/util3d_fixture.h"
#include "util3d/file_name.h"

namespace {

using namespace util3d_test;
namespace fs = std::filesystem;

// A 1 x 1 uncompressed true-colour TGA.
Bytes TinyImage() {
    Bytes b(18, 0);
    b[2] = 2;
    b[12] = 1;
    b[14] = 1;
    b[16] = 24;
    b.insert(b.end(), {0x10, 0x20, 0x30});
    return b;
}

// A folder of textures as a Windows modeller left them, under the build folder.
class TextureNames : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        root = fs::path(TARVIK_BINARY_DIR) / "texture_names";
        fs::remove_all(root);
        for (const char* file : {"Textures/Body.PNG", "textures/body.png", "Mixed/Only.Tga", "Mixed/a\\b.tga",
                                 "a/b.tga", "plain.tga"}) {
            fs::create_directories((root / file).parent_path());
            WriteFile(root / file);
        }
        fs::create_directories(root / "Mixed" / "folder.tga");
        ASSERT_EQ(mkfifo((root / "Mixed" / "pipe.tga").c_str(), 0600), 0);
    }
    static void WriteFile(const fs::path& path) {
        Bytes bytes = TinyImage();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    }
    std::string At(const std::string& name) const { return root.string() + "/" + name; }
    fs::path root;
};

TEST_F(TextureNames, AsWrittenThenWithSlashesThenIgnoringCase) {
    struct Case {
        std::string name, found;
    } cases[] = {
        {"plain.tga", "plain.tga"},
        {"Textures/Body.PNG", "Textures/Body.PNG"},
        {"textures/body.png", "textures/body.png"},  // an exact match wins over the other case
        {"Textures\\Body.PNG", "Textures/Body.PNG"},
        {"Mixed/a\\b.tga", "Mixed/a\\b.tga"},        // a name with '\' on disk is taken as written
        {"a\\b.tga", "a/b.tga"},
        {"MIXED\\only.TGA", "Mixed/Only.Tga"},
        {"mixed/ONLY.tga", "Mixed/Only.Tga"},
        {"TEXTURES\\BODY.png", "Textures/Body.PNG"},  // of two matches the first in byte order
        {"PLAIN.TGA", "plain.tga"},
        {"Mixed/folder.tga", ""},                    // folders are no files
        {"Mixed/FOLDER.TGA", ""},
        {"Mixed/pipe.tga", ""},                      // nor are pipes: nothing waits for a writer
        {"Mixed/none.tga", ""},
        {"None\\plain.tga", ""},
        {"Mixed\\", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindFileByWindowsName(At(c.name)), c.found.empty() ? "" : At(c.found));
    }
    EXPECT_EQ(FindFileByWindowsName(""), "");
}

TEST_F(TextureNames, ModelFindsTheTexturesItsMaterialsNameFromTheWorkingDirectory) {
    // The names stay relative to the working directory, as the game gives them.
    std::string x =
        "xof 0303txt 0032\n"
        "Mesh { 3; 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;; 1; 3;0,1,2;;\n"
        " MeshMaterialList { 3; 1; 0;;\n"
        "  Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;;\n"
        "   TextureFilename { \"TEXTURES\\body.PNG\"; } }\n"
        "  Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; TextureFilename { \"mixed\\only.tga\"; } }\n"
        "  Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; TextureFilename { \"Mixed\\gone.tga\"; } }\n"
        " }\n"
        "}\n";
    std::ofstream(root / "model.x", std::ios::binary) << x;
    MeshModel model;
    {
        WorkingFolder in(root);
        model.Load(device, "model.x");
    }
    ASSERT_EQ(model.materialCount, 3u);
    EXPECT_NE(model.textures[0], nullptr);
    EXPECT_NE(model.textures[1], nullptr);
    EXPECT_EQ(model.textures[2], nullptr) << "a texture that is nowhere stays missing";

    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileA(device, At("MIXED\\Only.tga").c_str(), &texture), S_OK);
    SafeRelease(texture);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device, At("Mixed\\FOLDER.tga").c_str(), &texture), E_FAIL);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device, At("Mixed/pipe.tga").c_str(), &texture), E_FAIL);
}

}  // namespace
