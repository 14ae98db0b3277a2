// The read-outs on a larger screen: the font grows with the back buffer's
// height against the size the window opened with, in whole pixels, and the
// outline shows everywhere but at that size unless the player chose
// otherwise.
#include <gtest/gtest.h>

#include "tests/support/game_fixture.h"

namespace {

class ReadoutSizeTest : public RaceTest {
protected:
    void SetUp() override {
        RaceTest::SetUp();
        ASSERT_EQ(game.graphics.font->CreateGlyphTexture(game.graphics.device), S_OK);
    }
    float CellHeight() const {
        const TextureFont& font = *game.graphics.font;
        return (font.glyphCoords['A' - 32][3] - font.glyphCoords['A' - 32][1]) * float(font.textureHeight);
    }
};

TEST_F(ReadoutSizeTest, TheFontGrowsWithTheHeightInWholePixelsAndNeverShrinks) {
    GraphicsDevice& graphics = game.graphics;
    graphics.Resize(1024, 749);  // the size the window opens with
    EXPECT_EQ(graphics.ReadoutScale(), 1.0f);
    EXPECT_GE(CellHeight(), 16.0f);
    const IDirect3DTexture8* startTexture = graphics.font->texture;
    graphics.Resize(1024, 749);
    EXPECT_EQ(graphics.font->texture, startTexture) << "the same size renders nothing anew";

    struct Case {
        unsigned width, height;
        float scale;  // the font's 16 pixels grown to whole pixels
    };
    const Case cases[] = {
        {1920, 1080, 23.0f / 16.0f},  // 16 * 1080 / 749 = 23.07
        {1280, 1024, 22.0f / 16.0f},  // 21.87
        {3840, 2160, 46.0f / 16.0f},  // 46.14
        {800, 749, 1.0f},             // narrower, as high
        {640, 461, 1.0f},             // smaller: never below the first size
        {1024, 749, 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        graphics.Resize(c.width, c.height);
        EXPECT_EQ(graphics.ReadoutScale(), c.scale);
        // The glyphs are rendered at that size, not stretched: a cell is the
        // font's pixels and a little room for ascent and descent.
        EXPECT_GE(CellHeight(), 16.0f * c.scale);
        EXPECT_LE(CellHeight(), 16.0f * c.scale * 1.25f);
    }
}

TEST_F(ReadoutSizeTest, TheOutlineShowsEverywhereButAtTheFirstSizeUnlessChosen) {
    GraphicsDevice& graphics = game.graphics;
    struct Case {
        ReadoutOutline choice;
        bool atFirstSize, elsewhere;
    };
    const Case cases[] = {
        {ReadoutOutline::Automatic, false, true},
        {ReadoutOutline::Always, true, true},
        {ReadoutOutline::Never, false, false},
    };
    graphics.Resize(1024, 749);
    for (const Case& c : cases) {
        graphics.readoutOutline = c.choice;
        graphics.Resize(1024, 749);
        EXPECT_EQ(graphics.ReadoutOutlined(), c.atFirstSize);
        graphics.Resize(1920, 1080);
        EXPECT_EQ(graphics.ReadoutOutlined(), c.elsewhere);
        graphics.Resize(1024, 700);  // smaller, same font, still not the first size
        EXPECT_EQ(graphics.ReadoutOutlined(), c.elsewhere);
    }
}

}  // namespace
