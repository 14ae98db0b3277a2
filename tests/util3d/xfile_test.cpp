#include <cmath>
#include <cstring>

#include "tests/util3d/util3d_fixture.h"
#include "util3d/xfile.h"

namespace {

using namespace util3d_test;

class XFileTest : public DeviceTest {};

void ExpectColor(const D3DCOLORVALUE& c, float r, float g, float b, float a) {
    EXPECT_FLOAT_EQ(c.r, r);
    EXPECT_FLOAT_EQ(c.g, g);
    EXPECT_FLOAT_EQ(c.b, b);
    EXPECT_FLOAT_EQ(c.a, a);
}

void ExpectPosition(const VertexView& v, float x, float y, float z) {
    EXPECT_NEAR(v.pos[0], x, 1e-5f);
    EXPECT_NEAR(v.pos[1], y, 1e-5f);
    EXPECT_NEAR(v.pos[2], z, 1e-5f);
}

TEST_F(XFileTest, SceneJoinsMeshesThroughFramesWithOneMaterialList) {
    Loaded r = LoadX(device, FixturePath("scene.x"));
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.fvf, DWORD(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1));

    // Materials: the pentagon's list (Red by reference), then the quad's list
    // (an inline blue one with a texture, Red again by reference).
    ASSERT_EQ(r.materials.size(), 3u);
    for (int i : {0, 2}) {
        const D3DMATERIAL8& red = r.materials[i].material;
        ExpectColor(red.Diffuse, 1, 0, 0, 1);
        ExpectColor(red.Ambient, 0, 0, 0, 0);
        ExpectColor(red.Specular, 0.5f, 0.5f, 0.5f, 0);
        ExpectColor(red.Emissive, 0, 0, 0, 0);
        EXPECT_FLOAT_EQ(red.Power, 8.0f);
        EXPECT_FALSE(r.materials[i].hasName) << "a material without TextureFilename has a null name";
    }
    ExpectColor(r.materials[1].material.Diffuse, 0, 0, 1, 0.5f);
    ExpectColor(r.materials[1].material.Emissive, 0.2f, 0.2f, 0.2f, 0);
    ASSERT_TRUE(r.materials[1].hasName);
    EXPECT_EQ(r.materials[1].name, "Tex/Blue Wall.PNG");

    // The pentagon's five corners make a fan of three triangles, the quad two;
    // faces come sorted by attribute: pentagon (0), quad face 2 (1), quad face 1 (2).
    ASSERT_EQ(r.data.attributes, (std::vector<DWORD>{0, 0, 0, 1, 2}));
    ASSERT_EQ(VertexCount(r.data), 9u);
    EXPECT_EQ(std::vector<DWORD>(r.data.indices.begin(), r.data.indices.begin() + 9),
              (std::vector<DWORD>{0, 4, 3, 0, 3, 2, 0, 2, 1}));
    EXPECT_EQ(std::vector<DWORD>(r.data.indices.begin() + 9, r.data.indices.end()),
              (std::vector<DWORD>{5, 7, 8, 5, 6, 7}));

    // Child frame first (twice the size, 5 up), then the root (quarter turn
    // about y, 10 along x): (x, y, z) -> (2z + 10, 2y + 5, -2x).
    ExpectPosition(VertexAt(r.data, 0), 10, 5, 0);
    ExpectPosition(VertexAt(r.data, 2), 10, 7, -2);
    ExpectPosition(VertexAt(r.data, 3), 10, 8, -1);
    VertexView corner = VertexAt(r.data, 2);
    EXPECT_NEAR(corner.normal[0], -1.0f, 1e-6f) << "normals turn with the frames";
    EXPECT_NEAR(corner.normal[2], 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(corner.uv[0], 1.0f);
    EXPECT_FLOAT_EQ(corner.uv[1], 1.0f);
    EXPECT_EQ(corner.color, 0xFFFFFFFFu) << "a mesh without colours is white";
    // The quad sits in the root frame only.
    ExpectPosition(VertexAt(r.data, 5), 11, 0, 0);
    ExpectPosition(VertexAt(r.data, 7), 10, 0, -1);
    EXPECT_EQ(VertexAt(r.data, 5).color, 0xFFFF0000u);
    EXPECT_EQ(VertexAt(r.data, 6).color, 0xFFFFFFFFu);
    EXPECT_EQ(VertexAt(r.data, 7).color, 0xFF0000FFu);
}

TEST_F(XFileTest, BinaryAndCompressedFormsLoadTheSameMesh) {
    Bytes text = ReadBytes(FixturePath("scene.x"));
    Loaded expected = LoadX(device, FixturePath("scene.x"));
    ASSERT_EQ(expected.hr, S_OK);
    Bytes binary = TextToBinary(text);
    struct Case {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"bin32.x", binary},
        {"bin64.x", TextToBinary(text, {true, false})},
        {"bin_word_terminator.x", TextToBinary(text, {false, true})},
        {"tzip_one_block.x", Compress(text, 32768)},
        {"tzip_small_blocks.x", Compress(text, 97)},
        {"bzip_small_blocks.x", Compress(binary, 61)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MaybeWriteCorpus("xfile", c.name, c.bytes);
        Loaded r = LoadX(device, WriteTemp(c.name, c.bytes));
        ASSERT_EQ(r.hr, S_OK);
        EXPECT_EQ(r.fvf, expected.fvf);
        EXPECT_EQ(r.data.vertices, expected.data.vertices);
        EXPECT_EQ(r.data.indices, expected.data.indices);
        EXPECT_EQ(r.data.attributes, expected.data.attributes);
        ASSERT_EQ(r.materials.size(), expected.materials.size());
        for (std::size_t i = 0; i < r.materials.size(); ++i) {
            EXPECT_EQ(std::memcmp(&r.materials[i].material, &expected.materials[i].material, sizeof(D3DMATERIAL8)), 0);
            EXPECT_EQ(r.materials[i].hasName, expected.materials[i].hasName);
            EXPECT_EQ(r.materials[i].name, expected.materials[i].name);
        }
    }
}

TEST_F(XFileTest, FileWithoutMaterialsGetsTheDefaultAndPolygonsBecomeFans) {
    Loaded r = LoadX(device, FixturePath("pentagon.x"));
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.fvf, DWORD(D3DFVF_XYZ));
    ASSERT_EQ(r.materials.size(), 1u);
    const D3DMATERIAL8& m = r.materials[0].material;
    ExpectColor(m.Diffuse, 0.5f, 0.5f, 0.5f, 0);
    ExpectColor(m.Specular, 0.5f, 0.5f, 0.5f, 0);
    ExpectColor(m.Ambient, 0, 0, 0, 0);
    ExpectColor(m.Emissive, 0, 0, 0, 0);
    EXPECT_EQ(m.Power, 0.0f);
    EXPECT_FALSE(r.materials[0].hasName);
    EXPECT_EQ(r.data.indices, (std::vector<DWORD>{0, 4, 3, 0, 3, 2, 0, 2, 1}));
    EXPECT_EQ(r.data.attributes, (std::vector<DWORD>{0, 0, 0}));
}

TEST_F(XFileTest, FrameDefinedOnceAndReferencedTwiceAppearsTwice) {
    Loaded r = LoadX(device, FixturePath("instances.x"));
    ASSERT_EQ(r.hr, S_OK);
    ASSERT_EQ(VertexCount(r.data), 6u) << "the referenced definition is not drawn a third time at the origin";
    ExpectPosition(VertexAt(r.data, 0), -5, 0, 0);
    ExpectPosition(VertexAt(r.data, 3), 5, 0, 0);
}

TEST_F(XFileTest, NormalsPerCornerSplitVerticesAndShortMaterialIndexListsRepeatTheLast) {
    std::string text =
        "xof 0303txt 0032\n"
        "Mesh { 4; 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;;\n"
        "  3; 3;0,1,2;, 3;2,1,3;, 3;0,1,3;;\n"
        "  MeshNormals { 2; 0.0;0.0;-1.0;, 0.0;1.0;0.0;; 3; 3;0,0,0;, 3;1,1,1;, 3;0,0,0;; }\n"
        "  MeshMaterialList { 2; 2; 0, 1;;\n"
        "    Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n"
        "    Material { 0.0;0.0;0.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; } }\n"
        "}\n";
    Loaded r = LoadX(device, WriteTemp("split.x", ToBytes(text)));
    ASSERT_EQ(r.hr, S_OK);
    // A vertex keeps the normal of its first use; uses with the other normal
    // get copies: 2 and 1 in the second face, 3 in the third.
    ASSERT_EQ(VertexCount(r.data), 7u);
    EXPECT_EQ(r.data.attributes, (std::vector<DWORD>{0, 1, 1}));
    EXPECT_EQ(r.data.indices, (std::vector<DWORD>{0, 1, 2, 4, 5, 3, 0, 1, 6}));
    ExpectPosition(VertexAt(r.data, 6), 1, 1, 0);
    EXPECT_FLOAT_EQ(VertexAt(r.data, 6).normal[2], -1.0f);
    EXPECT_FLOAT_EQ(VertexAt(r.data, 1).normal[2], -1.0f);
    EXPECT_FLOAT_EQ(VertexAt(r.data, 4).normal[1], 1.0f);
    ExpectPosition(VertexAt(r.data, 4), 1, 0, 0);
}

// The frames of the character fixture: Scene_Root (10 along z) holds the bones
// and Body (twice the size); 3DS_Neck (3 up) has a coloured triangle without
// materials; Kopf_Äußeres (5 up) has a triangle using Skin by reference. Every
// frame is named by an animation as well.
void ExpectCharacter(const Loaded& r) {
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.fvf, DWORD(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1));
    ASSERT_EQ(r.materials.size(), 3u) << "Skin, the default for the neck, Skin again for the head";
    for (int i : {0, 2}) {
        ExpectColor(r.materials[i].material.Diffuse, 1.0f, 0.8f, 0.6f, 1.0f);
        EXPECT_FLOAT_EQ(r.materials[i].material.Power, 12.0f);
        EXPECT_EQ(r.materials[i].name, "textures\\body.png") << "the name is handed on as written";
    }
    EXPECT_FALSE(r.materials[1].hasName);
    ExpectColor(r.materials[1].material.Diffuse, 0.5f, 0.5f, 0.5f, 0.0f);
    ASSERT_EQ(VertexCount(r.data), 10u);
    EXPECT_EQ(r.data.attributes, (std::vector<DWORD>{0, 0, 1, 2}));
    EXPECT_EQ(r.data.indices, (std::vector<DWORD>{0, 3, 2, 0, 2, 1, 4, 5, 6, 7, 8, 9}));
    // The rest pose of the frame matrices: no animation key and no
    // ObjectMatrixComment moves anything.
    ExpectPosition(VertexAt(r.data, 0), -1, 0, 10);
    ExpectPosition(VertexAt(r.data, 2), 1, 2, 10);
    EXPECT_FLOAT_EQ(VertexAt(r.data, 2).uv[0], 1.0f);
    EXPECT_FLOAT_EQ(VertexAt(r.data, 2).normal[2], -1.0f);
    EXPECT_EQ(VertexAt(r.data, 0).color, 0xFFFFFFFFu) << "the body has no colours: white";
    ExpectPosition(VertexAt(r.data, 4), 0, 3, 0);
    EXPECT_EQ(VertexAt(r.data, 4).color, 0xFFFF0000u);
    EXPECT_EQ(VertexAt(r.data, 5).color, 0xFFFFFFFFu);
    EXPECT_EQ(VertexAt(r.data, 6).color, 0xFF0000FFu);
    ExpectPosition(VertexAt(r.data, 7), 0, 5, 0);
    ExpectPosition(VertexAt(r.data, 9), -1, 5, 0);
}

TEST_F(XFileTest, AnimatedSkinnedCharacterLoadsAllItsMeshesInEveryForm) {
    Bytes text = ReadBytes(FixturePath("character.x"));
    {
        SCOPED_TRACE("text");
        ExpectCharacter(LoadX(device, FixturePath("character.x")));
    }
    Bytes binary = TextToBinary(text);
    struct Case {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"character_bin32.x", binary},
        {"character_bin64.x", TextToBinary(text, {true, false})},
        {"character_tzip.x", Compress(text, 1000)},
        {"character_bzip.x", Compress(binary, 700)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MaybeWriteCorpus("xfile", c.name, c.bytes);
        ExpectCharacter(LoadX(device, WriteTemp(c.name, c.bytes)));
    }
}

TEST_F(XFileTest, OnlyFramesAndTheTopLevelPlaceWhatTheyReference) {
    const std::string header = "xof 0303txt 0032\n";
    const std::string mesh = "Mesh { 3; 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;; 1; 3;0,1,2;; }";
    auto moved = [](const std::string& x) {
        return "FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, " + x +
               ",0.0,0.0,1.0;; }";
    };
    struct Case {
        const char* name;
        std::string text;
        std::vector<float> firstX;  // x of the first vertex of each copy, in order
    } cases[] = {
        {"frame named only by an animation",
         "Frame Body { " + moved("2.0") + mesh + " } AnimationSet { Animation { { Body } } }", {2}},
        {"frame placed by another frame and animated",
         "Frame Body { " + mesh + " } Frame Root { " + moved("4.0") + " { Body } } "
         "AnimationSet { Animation { { Body } } Animation { { Root } } }",
         {4}},
        {"mesh named by an animation",
         mesh.substr(0, 4) + " M" + mesh.substr(4) + " AnimationSet { Animation { { M } } }", {0}},
        {"top-level reference to a top-level frame",
         "Frame Body { " + moved("3.0") + mesh + " } { Body }", {3}},
        {"top-level reference to a frame inside another",
         "Frame Root { " + moved("1.0") + " Frame Body { " + moved("2.0") + mesh + " } } { Body }", {3, 2}},
        {"animation naming a frame the file lacks or defines later",
         "AnimationSet { Animation { { Gone } } Animation { { Late } } } Frame Late { " + moved("5.0") + mesh + " }",
         {5}},
        {"several top-level frames", "Frame A { " + mesh + " } Frame B { " + moved("7.0") + mesh + " }", {0, 7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded r = LoadX(device, WriteTemp("placing.x", ToBytes(header + c.text)));
        ASSERT_EQ(r.hr, S_OK);
        ASSERT_EQ(VertexCount(r.data), 3 * c.firstX.size());
        for (std::size_t i = 0; i < c.firstX.size(); ++i) ExpectPosition(VertexAt(r.data, 3 * i), c.firstX[i], 0, 0);
    }
}

TEST_F(XFileTest, NormalsThatDoNotFitTheMeshAreDroppedAndTheMeshKept) {
    const std::string front = "xof 0303txt 0032\nMesh { 3; 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;; 1; 3;0,1,2;; ";
    const char* normals[] = {
        "MeshNormals { 1; 0.0;0.0;1.0;; 1; 3;0,0,5;; }",      // index beyond the normals
        "MeshNormals { 1; 0.0;0.0;1.0;; 0;; }",               // no faces
        "MeshNormals { 1; 0.0;0.0;1.0;; 2; 3;0,0,0;, 3;0,0,0;; }",  // more faces than the mesh
        "MeshNormals { 1; 0.0;0.0;1.0;; 1; 4;0,0,0,0;; }",    // a face with another corner count
        "MeshNormals { 1000; 0.0;0.0;1.0;; 1; 3;0,0,0;; }",   // count beyond its data
        "MeshNormals { \"up\"; }",                            // no count at all
    };
    for (const char* n : normals) {
        SCOPED_TRACE(n);
        Loaded r = LoadX(device, WriteTemp("normals.x", ToBytes(front + n + " }")));
        ASSERT_EQ(r.hr, S_OK);
        EXPECT_EQ(r.fvf, DWORD(D3DFVF_XYZ)) << "the mesh comes without the normals";
        ASSERT_EQ(VertexCount(r.data), 3u);
        ExpectPosition(VertexAt(r.data, 1), 0, 1, 0);
        EXPECT_EQ(r.data.indices, (std::vector<DWORD>{0, 1, 2}));
    }
}

TEST_F(XFileTest, ErrorsNameWhatFailedAndWhere) {
    const std::string header = "xof 0303txt 0032\n";
    const std::string tri = "3; 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;;";
    Bytes scene = ReadBytes(FixturePath("scene.x"));
    Bytes cutList = ToBytes("xof 0303bin 0032");
    Put16(cutList, 1);  // name "Mesh" (bytes 16 to 25)
    Put32(cutList, 4);
    cutList.insert(cutList.end(), {'M', 'e', 's', 'h'});
    Put16(cutList, 6);  // an integer list of 100 entries at byte 26, 2 there
    Put32(cutList, 100);
    Put32(cutList, 3);
    Put32(cutList, 3);
    Bytes compressed = Compress(scene, 200);
    compressed[compressed.size() - 30] ^= 0x55;
    struct Case {
        const char* name;
        Bytes bytes;
        std::string message;
    } cases[] = {
        {"no mesh", ToBytes(header + "Frame F { }"), "the file holds no mesh"},
        {"mesh where nothing places it", ToBytes(header + "Wrapper { Mesh { " + tri + " 1; 3;0,1,2;; } }"),
         "the file's one mesh stands neither at the top level nor in a frame"},
        {"forward reference in a frame",
         ToBytes(header + "Frame A { { B } } Frame B { Mesh { " + tri + " 1; 3;0,1,2;; } }"),
         "Frame A: reference to B, which is defined only after the reference"},
        {"unknown reference in a frame", ToBytes(header + "Frame A { { Nowhere } }"),
         "Frame A: reference to Nowhere, which the file does not define"},
        {"forward reference at the top level",
         ToBytes(header + "\n\n{ B }\nFrame B { Mesh { " + tri + " 1; 3;0,1,2;; } }"),
         "line 4: reference to B, which is defined only after the reference"},
        {"unknown material",
         ToBytes(header + "Mesh Hull { " + tri + " 1; 3;0,1,2;; MeshMaterialList { 1; 1; 0;; { Red } } }"),
         "Mesh Hull: MeshMaterialList: reference to Red, which the file does not define"},
        {"vertex index", ToBytes(header + "Mesh Hull { " + tri + " 2; 3;0,1,2;, 3;0,1,7;; }"),
         "Mesh Hull: face 1: vertex index 7 is beyond the 3 there are"},
        {"unnamed mesh",
         ToBytes(header + "Mesh { " + tri + " 1; 3;0,1,2;; } Mesh { 2; 0.0;0.0;0.0;, 0.0;\"y\";0.0;; 0;; }"),
         "Mesh 2: vertex 1 is not three numbers"},
        {"material index", ToBytes(header + "Mesh Hull { " + tri + " 1; 3;0,1,2;; MeshMaterialList { 1; 1; 4;; "
                                            "Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; } } }"),
         "Mesh Hull: its MeshMaterialList gives face 0 material 4 of 1"},
        {"short material", ToBytes(header + "Mesh Hull { " + tri + " 1; 3;0,1,2;; MeshMaterialList { 1; 1; 0;; "
                                            "Material Red { 1.0;1.0;; } } }"),
         "Mesh Hull: Material Red: fewer than its 11 colour and power numbers"},
        {"text syntax", ToBytes(header + "Frame A {\n  Mesh {\n ) } }"), "line 4: unexpected ')' in Mesh"},
        {"unclosed object", ToBytes(header + "\nFrame Root {\n Frame Arm { }"),
         "line 3: Frame Root is not closed before the end of the file"},
        {"bad character", ToBytes(header + "Frame A { @ }"), "line 2: unexpected '@'"},
        {"binary list beyond the file", cutList, "byte 26: list longer than the file"},
        {"compressed corrupt", compressed, "compressed block "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ID3DXMesh* mesh = nullptr;
        std::string error;
        EXPECT_EQ(LoadMeshFromXMemory(c.bytes.data(), c.bytes.size(), D3DXMESH_SYSTEMMEM, device, nullptr, nullptr,
                                      nullptr, &mesh, &error),
                  E_FAIL);
        EXPECT_EQ(mesh, nullptr);
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST_F(XFileTest, BadInputFailsCleanly) {
    const std::string header = "xof 0303txt 0032\n";
    const std::string tri = "3; 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;;";
    Bytes scene = ReadBytes(FixturePath("scene.x"));
    Bytes binary = TextToBinary(scene);
    Bytes compressed = Compress(scene, 200);
    struct Case {
        const char* name;
        Bytes bytes;
    };
    std::vector<Case> cases = {
        {"empty", {}},
        {"not an X file", ToBytes("hello, this is not a mesh at all")},
        {"unknown format", ToBytes("xof 0303abc 0032 Mesh {}")},
        {"no mesh", ToBytes(header + "Material M { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }")},
        {"text truncated", Bytes(scene.begin(), scene.begin() + long(scene.size() / 2))},
        {"binary truncated", Bytes(binary.begin(), binary.begin() + long(binary.size() - 7))},
        {"compressed truncated", Bytes(compressed.begin(), compressed.begin() + long(compressed.size() - 40))},
        {"vertex count beyond data", ToBytes(header + "Mesh { 1000000; 0.0;0.0;0.0;; 0;; }")},
        {"absurd vertex count", ToBytes(header + "Mesh { 4294967295; 0.0;0.0;0.0;; 1; 3;0,0,0;; }")},
        {"absurd face count", ToBytes(header + "Mesh { " + tri + " 4000000000; 3;0,1,2;; }")},
        {"absurd corner count", ToBytes(header + "Mesh { " + tri + " 1; 4000000000;0,1,2;; }")},
        {"vertex index out of range", ToBytes(header + "Mesh { " + tri + " 1; 3;0,1,7;; }")},
        {"too few texture coordinates",
         ToBytes(header + "Mesh { " + tri + " 1; 3;0,1,2;; MeshTextureCoords { 1; 0.0;0.0;; } }")},
        {"vertex colour index out of range",
         ToBytes(header + "Mesh { " + tri + " 1; 3;0,1,2;; MeshVertexColors { 1; 9;1.0;1.0;1.0;1.0;;; } }")},
        {"material index out of range",
         ToBytes(header + "Mesh { " + tri + " 1; 3;0,1,2;; MeshMaterialList { 1; 1; 3;; "
                          "Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; } } }")},
        {"fewer materials than counted",
         ToBytes(header + "Mesh { " + tri + " 1; 3;0,1,2;; MeshMaterialList { 2; 1; 0;; } }")},
        {"unknown reference", ToBytes(header + "Frame F { { Nowhere } Mesh { " + tri + " 1; 3;0,1,2;; } }")},
        {"reference cycle", ToBytes(header + "Frame A { Mesh { " + tri + " 1; 3;0,1,2;; } { A } }")},
        {"forward reference",
         ToBytes(header + "Frame A { { B } } Frame B { Mesh { " + tri + " 1; 3;0,1,2;; } }")},
        {"forward reference at the top level", ToBytes(header + "{ B } Frame B { Mesh { " + tri + " 1; 3;0,1,2;; } }")},
        {"unknown material reference",
         ToBytes(header + "Mesh { " + tri + " 1; 3;0,1,2;; MeshMaterialList { 1; 1; 0;; { Nowhere } } }")},
        {"mesh only inside an unknown object", ToBytes(header + "Wrapper { Mesh { " + tri + " 1; 3;0,1,2;; } }")},
        {"unbalanced braces", ToBytes(header + "Mesh { " + tri + " 1; 3;0,1,2;; ")},
        {"stray closing brace", ToBytes(header + "} Mesh { " + tri + " 1; 3;0,1,2;; }")},
        {"unterminated string", ToBytes(header + "Mesh { \"abc ")},
        {"bad frame matrix",
         ToBytes(header + "Frame { FrameTransformMatrix { 1.0, 2.0; } Mesh { " + tri + " 1; 3;0,1,2;; } }")},
    };
    // Nesting deeper than the parser allows.
    std::string deep = header;
    for (int i = 0; i < 200; ++i) deep += "Frame {";
    deep += "Mesh { " + tri + " 1; 3;0,1,2;; }";
    for (int i = 0; i < 200; ++i) deep += "}";
    cases.push_back({"nesting too deep", ToBytes(deep)});
    // Binary lists and names that claim more than the file holds.
    Bytes list(binary.begin(), binary.begin() + 16);
    Put16(list, 1);
    Put32(list, 4);
    list.insert(list.end(), {'M', 'e', 's', 'h'});
    Put16(list, 10);
    Put16(list, 6);
    Put32(list, 0xFFFFFFFFu);
    Put32(list, 3);
    cases.push_back({"binary list beyond data", list});
    Bytes longName(binary.begin(), binary.begin() + 16);
    Put16(longName, 1);
    Put32(longName, 0x7FFFFFFFu);
    cases.push_back({"binary name beyond data", longName});
    // A compressed block whose deflate data is garbage.
    Bytes garbage(compressed.begin(), compressed.begin() + 20);
    Put16(garbage, 100);
    Put16(garbage, 12);
    garbage.insert(garbage.end(), {'C', 'K', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    cases.push_back({"corrupt compressed block", garbage});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded r = LoadX(device, WriteTemp("bad.x", c.bytes));
        EXPECT_EQ(r.hr, E_FAIL);
        EXPECT_TRUE(r.meshNull);
        EXPECT_TRUE(r.listNull);
        EXPECT_TRUE(r.materials.empty()) << "the material count is zero on failure";
    }
}

TEST_F(XFileTest, MissingArgumentsAreInvalidCallsAndMissingFilesFail) {
    ID3DXMesh* mesh = reinterpret_cast<ID3DXMesh*>(0x1);
    ID3DXBuffer* list = nullptr;
    DWORD count = 0;
    EXPECT_EQ(D3DXLoadMeshFromX(nullptr, D3DXMESH_SYSTEMMEM, device, nullptr, &list, &count, &mesh),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh, nullptr);
    std::string path = FixturePath("scene.x");
    EXPECT_EQ(D3DXLoadMeshFromX(path.c_str(), D3DXMESH_SYSTEMMEM, device, nullptr, &list, &count, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadMeshFromX(path.c_str(), D3DXMESH_SYSTEMMEM, nullptr, nullptr, &list, &count, &mesh),
              D3DERR_INVALIDCALL);
    std::string missing = FixturePath("no_such_file.x");
    EXPECT_EQ(D3DXLoadMeshFromX(missing.c_str(), D3DXMESH_SYSTEMMEM, device, nullptr, &list, &count, &mesh), E_FAIL);
    EXPECT_EQ(mesh, nullptr);
    EXPECT_EQ(list, nullptr);
}

TEST_F(XFileTest, AdjacencyNamesTheFaceAcrossEachEdge) {
    std::string path = FixturePath("scene.x");
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    ASSERT_EQ(D3DXLoadMeshFromX(path.c_str(), D3DXMESH_SYSTEMMEM, device, &adjacency, nullptr, nullptr, &mesh), S_OK);
    ASSERT_NE(adjacency, nullptr);
    ASSERT_EQ(adjacency->GetBufferSize(), mesh->GetNumFaces() * 3 * sizeof(DWORD));
    const DWORD* adj = static_cast<const DWORD*>(adjacency->GetBufferPointer());
    // Pentagon fan (0,4,3), (0,3,2), (0,2,1): the middle one touches both others.
    EXPECT_EQ(adj[0 * 3 + 2], 1u);  // edge 3-0 of face 0
    EXPECT_EQ(adj[1 * 3 + 0], 0u);  // edge 0-3 of face 1
    EXPECT_EQ(adj[1 * 3 + 2], 2u);  // edge 2-0 of face 1
    EXPECT_EQ(adj[0 * 3 + 0], 0xFFFFFFFFu);  // edge 0-4 is on the outline
    adjacency->Release();
    mesh->Release();
}

TEST(XFileParser, KeepsTemplatesNamesAndSkipsUnknownObjectsByStructure) {
    Bytes scene = ReadBytes(FixturePath("scene.x"));
    for (const Bytes& bytes : {scene, TextToBinary(scene)}) {
        XFile file;
        std::string error;
        ASSERT_TRUE(ParseXFile(bytes.data(), bytes.size(), &file, &error)) << error;
        EXPECT_EQ(file.templates, (std::vector<std::string>{"Vector", "MeshFace", "Mesh"}));
        ASSERT_EQ(file.topLevel.size(), 4u);
        const XObject& gizmo = file.objects[file.topLevel[2]];
        EXPECT_EQ(gizmo.type, "Gizmo");
        EXPECT_EQ(gizmo.name, "Unused");
        EXPECT_EQ(gizmo.guid, "01234567-89AB-CDEF-0123-456789ABCDEF");
        ASSERT_EQ(gizmo.strings, (std::vector<std::string>{"not a mesh"}));
        ASSERT_EQ(gizmo.children.size(), 1u);
        EXPECT_EQ(file.objects[gizmo.children[0]].values.size(), 2u);
        EXPECT_TRUE(file.objects[file.topLevel[1]].referenced) << "Red is used by reference";
    }
}

TEST(XFileParser, NamesMayStartWithADigitOrHoldBytesAbove127) {
    // Latin-1 and UTF-8 umlauts, a digit first, a number run into a letter.
    std::string text =
        "xof 0303txt 0032\n"
        "Frame 3DS_Box { 1e2; 7; } Frame Kopf_\xC4 { } Frame \xC3\x84u\xC3\x9F""eres { } Frame 2nd.Part-1 { }\n"
        "AnimationSet { Animation { { 3DS_Box } } }\n";
    Bytes bytes = ToBytes(text);
    for (const Bytes& form : {bytes, TextToBinary(bytes)}) {
        XFile file;
        std::string error;
        ASSERT_TRUE(ParseXFile(form.data(), form.size(), &file, &error)) << error;
        ASSERT_EQ(file.topLevel.size(), 5u);
        std::vector<std::string> names;
        for (std::size_t i = 0; i < 4; ++i) names.push_back(file.objects[file.topLevel[i]].name);
        EXPECT_EQ(names, (std::vector<std::string>{"3DS_Box", "Kopf_\xC4", "\xC3\x84u\xC3\x9F""eres", "2nd.Part-1"}));
        const XObject& box = file.objects[file.topLevel[0]];
        ASSERT_EQ(box.values.size(), 2u) << "numbers stay numbers";
        EXPECT_EQ(box.values[0].number, 100.0);
        EXPECT_EQ(box.values[1].number, 7.0);
        EXPECT_TRUE(box.referenced);
        EXPECT_FALSE(box.placed) << "an animation names the frame it moves without placing it";
    }
}

}  // namespace
