#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/game_fixture.h"

class LightsTest : public RaceTest {};

TEST_F(LightsTest, StartValues) {
    const GraphicsDevice& g = game.graphics;
    EXPECT_EQ(g.directionalLight.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_FLOAT_EQ(g.directionalLight.Direction.y, -0.5f);
    EXPECT_EQ(g.GetDirectionalLevel(), 100);
    EXPECT_EQ(g.GetHeadlightLevel(), 0);
    EXPECT_EQ(g.headlight.Type, D3DLIGHT_SPOT);
    EXPECT_FLOAT_EQ(g.headlight.Range, 30.0f);
    EXPECT_FLOAT_EQ(g.headlight.Theta, g.headlight.Phi);
}

TEST_F(LightsTest, LevelsReadBackAsTheirSinglePrecisionValues) {
    struct Case {
        unsigned set;
        int read;
    } cases[] = {{0, 0}, {29, 28}, {100, 100}, {150, 150}, {255, 254}};
    GraphicsDevice& g = game.graphics;
    for (const Case& c : cases) {
        g.SetDirectionalLevel(c.set);
        g.SetHeadlightLevel(c.set);
        EXPECT_EQ(g.GetDirectionalLevel(), c.read) << c.set;
        EXPECT_EQ(g.GetHeadlightLevel(), c.read) << c.set;
    }
    D3DLIGHT8 light{};
    device().GetLight(1, &light);
    EXPECT_FLOAT_EQ(light.Diffuse.r, 2.55f);  // above 100 the light over-brightens
}

TEST_F(LightsTest, HeadlightFollowsTheCar) {
    game.graphics.PlaceHeadlight(1.0f, 0.0f, 2.0f, 0.6f, 0.0f, 0.8f);
    D3DLIGHT8 light{};
    device().GetLight(1, &light);
    EXPECT_FLOAT_EQ(light.Position.y, 8.0f);
    EXPECT_FLOAT_EQ(light.Direction.y, -0.4f);
    EXPECT_FLOAT_EQ(light.Direction.z, 0.8f);
    BOOL on = FALSE;
    device().GetLightEnable(1, &on);
    EXPECT_TRUE(on);
    game.graphics.SetAmbientLevel(150);
    DWORD ambient = 0;
    device().GetRenderState(D3DRS_AMBIENT, &ambient);
    EXPECT_EQ(ambient, 0xFF969696u);
}

TEST_F(LightsTest, ResizeResetsTheDeviceWithTheProjectionAndWhiteAmbient) {
    struct Case {
        unsigned width, height;
        float aspect;
    } cases[] = {{1024, 749, 1024.0f / 749.0f}, {800, 400, 2.0f}, {640, 0, 1.0f}};
    for (const Case& c : cases) {
        game.graphics.SetAmbientLevel(150);
        game.graphics.Resize(c.width, c.height);
        EXPECT_EQ(device().lastReset.BackBufferWidth, c.width);
        EXPECT_EQ(device().lastReset.BackBufferHeight, c.height);
        D3DMATRIX p{};
        device().GetTransform(D3DTS_PROJECTION, &p);
        float ys = 1.0f / std::tan(0.7853982f / 2.0f);
        EXPECT_NEAR(p.m[0][0], ys / c.aspect, 1e-5f) << c.width << "x" << c.height;
        EXPECT_NEAR(p.m[2][2], 500.0f / 499.0f, 1e-5f);
        EXPECT_FLOAT_EQ(p.m[2][3], 1.0f);
        DWORD ambient = 0, z = 0, lighting = 0;
        device().GetRenderState(D3DRS_AMBIENT, &ambient);
        device().GetRenderState(D3DRS_ZENABLE, &z);
        device().GetRenderState(D3DRS_LIGHTING, &lighting);
        EXPECT_EQ(ambient, 0x00FFFFFFu);
        EXPECT_EQ(z, 1u);
        EXPECT_EQ(lighting, 1u);
    }
}
