#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/game_fixture.h"
#include "render/scene.h"

class TitleTest : public RaceTest {
protected:
    void SetUp() override {
        RaceTest::SetUp();
        game.race.titleShowing = 1;
        game.race.ResetTitleCamera();
    }
};

TEST_F(TitleTest, FlightCirclesThenApproachesAndEndsOnThe214thFrame) {
    RaceState& race = game.race;
    int frames = 0, circling = 0, approach = 0;
    while (race.titleShowing == 1 && frames < 1000) {
        bool wasCircling = race.titleFlightPhase == 1;
        race.Frame();
        ++frames;
        if (wasCircling && race.titleFlightPhase == 1) {
            ++circling;
            // The eye stays on the circle of radius 30 at height 4.
            EXPECT_NEAR(std::hypot(race.cameraEye.x, race.cameraEye.z), 30.0f, 1e-3f);
            EXPECT_FLOAT_EQ(race.cameraEye.y, 4.0f);
            EXPECT_FLOAT_EQ(race.cameraTarget.x, 0.0f);  // only the approach moves the target
        } else {
            ++approach;
        }
    }
    EXPECT_EQ(frames, 214);
    EXPECT_EQ(circling, 197);
    EXPECT_EQ(approach, 17);
    EXPECT_NEAR(race.cameraEye.x, 3.20f, 0.01f);
    EXPECT_NEAR(race.cameraEye.z, -122.96f, 0.01f);
    EXPECT_NEAR(race.cameraTarget.x, 3.98f, 0.01f);
    EXPECT_FLOAT_EQ(race.cameraTarget.y, 3.5f);
    EXPECT_NEAR(race.cameraTarget.z, -152.95f, 0.01f);
}

TEST_F(TitleTest, TheEndOfTheFlightStartsTheBackgroundAndGreysTheAmbient) {
    ASSERT_GE(game.sounds.Init(nullptr), -0x7FFFFFFF);  // may fail without sound files: the flight ends all the same
    for (int i = 0; i < 214; ++i) game.race.Frame();
    EXPECT_EQ(game.race.titleShowing, 0);
    EXPECT_EQ(game.sounds.soundOn, 1);
    DWORD ambient = 0;
    device().GetRenderState(D3DRS_AMBIENT, &ambient);
    EXPECT_EQ(ambient, 0xFF969696u);
    EXPECT_GE(device().Find("SetRenderState AMBIENT 0xFF969696"), 0);
}

TEST_F(TitleTest, ThreeDDropsFromTenTowardsItsPlace) {
    // A stand-in for the "3D" mesh so the drop runs.
    game.graphics.subtitleMesh = new TaggedMesh(game.graphics.device, 300);
    game.graphics.titleMesh = new TaggedMesh(game.graphics.device, 400);
    const float expected[] = {10.0f, 3.97f, 3.62f, 3.28f, 2.95f};
    for (float height : expected) {
        device().ClearLog();
        game.race.Frame();
        const DrawRecord* drop = nullptr;
        for (const DrawRecord& d : device().draws)
            if (d.start == 300) drop = &d;
        ASSERT_NE(drop, nullptr);
        // W(1, height, 1): the text's rows negate x and z, the last row is (1, h, 1, 0.1).
        EXPECT_NEAR(drop->world.m[3][1], height, 0.01f);
        EXPECT_FLOAT_EQ(drop->world.m[3][3], 0.1f);
        EXPECT_FLOAT_EQ(drop->world.m[0][0], -1.0f);
        EXPECT_FLOAT_EQ(drop->world.m[2][2], -1.0f);
        // Cyan text material.
        EXPECT_FLOAT_EQ(drop->material.Diffuse.r, 0.0f);
        EXPECT_FLOAT_EQ(drop->material.Diffuse.g, 1.0f);
        EXPECT_FLOAT_EQ(drop->material.Ambient.b, 1.0f);
    }
    for (int i = 0; i < 30; ++i) game.race.Frame();
    EXPECT_LT(game.race.dropBase, 0.0f);
    EXPECT_GT(game.race.dropBase, -1e-5f);  // stops at its first negative value
}

TEST(TextPlacement, DrawsTenTimesLargerTurnedHalfRound) {
    D3DXMATRIX w = TextPlacement(2.0f, 0.5f, 1.0f);
    D3DXVECTOR4 p = TransformPoint(D3DXVECTOR3(0.3f, 0.7f, 0.2f), w);
    EXPECT_NEAR(p.x / p.w, 10.0f * (2.0f - 0.3f), 1e-4f);
    EXPECT_NEAR(p.y / p.w, 10.0f * (0.7f + 0.5f), 1e-4f);
    EXPECT_NEAR(p.z / p.w, 10.0f * (1.0f - 0.2f), 1e-4f);
}

class EndingTest : public RaceTest {};

TEST_F(EndingTest, CreditPagesChangeAfter197FramesThenEvery198) {
    RaceState& race = game.race;
    race.endingShowing = 1;
    std::vector<int> changes;
    int page = race.creditsPage;
    for (int frame = 1; frame <= 1000; ++frame) {
        race.Frame();
        if (race.creditsPage != page) {
            changes.push_back(frame);
            page = race.creditsPage;
            EXPECT_NEAR(race.cameraEye.x, 85.0f, 1e-4f);  // back at the start of the circle
            EXPECT_NEAR(race.cameraEye.z, 0.0f, 1e-4f);
        }
    }
    ASSERT_GE(changes.size(), 3u);
    EXPECT_EQ(changes[0], 198);  // page 0 showed for 197 frames
    EXPECT_EQ(changes[1] - changes[0], 198);
    EXPECT_EQ(changes[2] - changes[1], 198);
}
