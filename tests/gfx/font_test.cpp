#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "gfx/texture_font.h"
#include "platform/recording/recording_device.h"

// The read-out font on the recording device: glyph packing, batching and the
// pen's movement.
class FontTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(font.CreateGlyphTexture(device), S_OK);
        ASSERT_EQ(font.CreateDrawObjects(), S_OK);
        device->ClearLog();
    }
    void TearDown() override {
        font.ReleaseDrawObjects();
        font.ReleaseGlyphTexture();
        device->Release();
    }
    // Triangle counts of the font's draws.
    std::vector<UINT> Batches() const {
        std::vector<UINT> counts;
        for (const DrawRecord& d : device->draws) counts.push_back(d.primitiveCount);
        return counts;
    }
    // The screen x of the first vertex of each quad drawn, in drawing order.
    std::vector<float> QuadLefts() {
        std::vector<float> lefts;
        BYTE* bytes = nullptr;
        font.vertexBuffer->Lock(0, 0, &bytes, D3DLOCK_READONLY);
        auto* v = reinterpret_cast<TextureFont::TextVertex*>(bytes);
        UINT quads = device->draws.empty() ? 0 : device->draws.back().primitiveCount / 2;
        for (UINT q = 0; q < quads; ++q) lefts.push_back(v[q * 6].x);
        font.vertexBuffer->Unlock();
        return lefts;
    }

    RecordingDevice* device = new RecordingDevice();
    TextureFont font{"Arial", 12, TextureFont::kBold};
};

TEST_F(FontTest, TwelvePointArialBoldPacksIntoA256Texture) {
    EXPECT_EQ(font.textureWidth, 256u);
    EXPECT_EQ(font.textureHeight, 256u);
    EXPECT_FLOAT_EQ(font.textScale, 1.0f);
    D3DSURFACE_DESC desc{};
    font.texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_A4R4G4B4);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(font.texture->GetLevelCount(), 1u);
    // 16 pixels high cells (rounded up from the face's ascent and descent), in a few rows.
    float cellHeight = (font.glyphCoords[0][3] - font.glyphCoords[0][1]) * 256.0f;
    EXPECT_GE(cellHeight, 16.0f);
    EXPECT_LE(cellHeight, 20.0f);
    float lastTop = font.glyphCoords[126 - 32][1] * 256.0f;
    EXPECT_GT(lastTop, 0.0f);
    EXPECT_LT(lastTop, 5.0f * (cellHeight + 1.0f));
    // Every cell has a width, cells do not overlap in their row, and texels are
    // transparent or white with alpha.
    for (int c = 33; c < 127; ++c) {
        const float* cell = font.glyphCoords[c - 32];
        EXPECT_GT(cell[2], cell[0]) << c;
        const float* previous = font.glyphCoords[c - 33];
        if (cell[1] == previous[1]) {
            EXPECT_GE(cell[0] * 256.0f, previous[2] * 256.0f + 1.0f - 1e-3f) << c;
        }
    }
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(font.texture->LockRect(0, &locked, nullptr, 0), S_OK);
    int visible = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            WORD t = reinterpret_cast<const WORD*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch)[x];
            EXPECT_TRUE(t == 0 || (t & 0x0FFF) == 0x0FFF) << x << "," << y;
            visible += t != 0;
        }
    font.texture->UnlockRect(0);
    EXPECT_GT(visible, 500);
}

TEST_F(FontTest, OneHundredTwentyCharactersDrawInBatchesOfFifty) {
    std::string text(120, 'W');
    EXPECT_EQ(font.DrawString(10.0f, 10.0f, 0xFFFFFF00, text.c_str(), 0), S_OK);
    EXPECT_EQ(Batches(), (std::vector<UINT>{100, 100, 40}));
    for (const DrawRecord& d : device->draws) {
        EXPECT_EQ(d.fvf, TextureFont::kVertexFormat);
        EXPECT_EQ(d.alphaBlend, 1u);
        EXPECT_EQ(d.zEnable, 0u);
    }
    // The caller's states come back.
    DWORD blend = 1, z = 0;
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    device->GetRenderState(D3DRS_ZENABLE, &z);
    EXPECT_EQ(blend, 0u);
    EXPECT_EQ(z, 1u);
}

TEST_F(FontTest, SpacesAdvanceUmlautsAreSkippedAndNewlinesReturn) {
    const float space = (font.glyphCoords[0][2] - font.glyphCoords[0][0]) * 256.0f;
    const float a = (font.glyphCoords['A' - 32][2] - font.glyphCoords['A' - 32][0]) * 256.0f;
    font.DrawString(100.0f, 20.0f, 0xFFFFFFFF, "A B", 0);
    std::vector<float> lefts = QuadLefts();
    ASSERT_EQ(lefts.size(), 2u);
    EXPECT_FLOAT_EQ(lefts[0], 99.5f);  // shifted half a pixel so texels meet pixels
    EXPECT_FLOAT_EQ(lefts[1], 99.5f + a + space);

    device->ClearLog();
    font.DrawString(100.0f, 20.0f, 0xFFFFFFFF, "A\xE4" "B", 0);  // the umlaut neither draws nor advances
    lefts = QuadLefts();
    ASSERT_EQ(lefts.size(), 2u);
    EXPECT_FLOAT_EQ(lefts[1], 99.5f + a);

    device->ClearLog();
    font.DrawString(100.0f, 20.0f, 0xFFFFFFFF, "A\nA", 0);
    lefts = QuadLefts();
    ASSERT_EQ(lefts.size(), 2u);
    EXPECT_FLOAT_EQ(lefts[1], lefts[0]);
}

TEST(FontWithoutDevice, DrawsNothing) {
    TextureFont font("Arial", 12, 1);
    EXPECT_EQ(font.DrawString(0, 0, 0xFFFFFFFF, "x", 0), E_FAIL);
}

TEST(FontOnASmallDevice, HalfResolutionGlyphsDrawAtFullSize) {
    auto* device = new RecordingDevice();
    device->maxTextureWidth = 128;
    TextureFont font("Arial", 12, 1);
    ASSERT_EQ(font.CreateGlyphTexture(device), S_OK);
    EXPECT_EQ(font.textureWidth, 128u);
    EXPECT_FLOAT_EQ(font.textScale, 0.5f);
    float height = (font.glyphCoords[0][3] - font.glyphCoords[0][1]) * 128.0f / font.textScale;
    EXPECT_GE(height, 14.0f);
    EXPECT_LE(height, 22.0f);
    font.ReleaseGlyphTexture();
    device->Release();
}
