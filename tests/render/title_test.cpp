#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/support/game_fixture.h"
#include "render/scene.h"

class TitleTest : public RaceTest {
protected:
    void SetUp() override {
        RaceTest::SetUp();
        game.race.titleShowing = 1;
        game.race.ResetTitleCamera();
    }
    // The sounds loaded and the title sound playing, as start-up leaves them,
    // then the flight up to its last frame: nothing of its end has happened yet.
    void FlyToTheLastFrame() {
        ASSERT_EQ(game.sounds.Init(nullptr), S_OK);
        game.sounds.Play(SOUND_TITLE, 0);
        device().ClearLog();
        for (int i = 0; i < 213; ++i) game.race.Frame();
        ASSERT_EQ(game.race.titleShowing, 1);
        ASSERT_TRUE(sound->IsPlaying("race_boxenluder.wav"));
        ASSERT_EQ(sound->Count("Play", "race_hintergrund.wav"), 0u);
        ASSERT_EQ(device().Find("SetRenderState AMBIENT"), -1);
    }

    GameFolder folder;  // the four sounds
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
    ASSERT_NO_FATAL_FAILURE(FlyToTheLastFrame());
    const size_t mark = sound->Mark();
    device().ClearLog();
    game.race.Frame();  // the 214th
    EXPECT_EQ(game.race.titleShowing, 0);
    // The title sound stops; the background starts once and loops.
    EXPECT_FALSE(sound->IsPlaying("race_boxenluder.wav"));
    EXPECT_EQ(sound->Starts("race_hintergrund.wav", mark), 1u);
    EXPECT_TRUE(sound->IsLooping("race_hintergrund.wav"));
    EXPECT_EQ(game.sounds.soundOn, 1);
    // Both lights and lighting set again, then the grey ambient.
    const std::vector<std::string> lighting = {"SetLight 0",
                                               "LightEnable 0 1",
                                               "SetLight 1",
                                               "LightEnable 1 1",
                                               "SetRenderState LIGHTING 1",
                                               "SetRenderState SHADEMODE 2",
                                               "SetRenderState AMBIENT 0xFF969696"};
    const std::vector<std::string>& calls = device().calls;
    const long first = device().Find("SetLight 0");
    ASSERT_GE(first, 0);
    ASSERT_LE(size_t(first) + lighting.size(), calls.size());
    EXPECT_EQ(std::vector<std::string>(calls.begin() + first, calls.begin() + first + long(lighting.size())), lighting);
    DWORD ambient = 0;
    device().GetRenderState(D3DRS_AMBIENT, &ambient);
    EXPECT_EQ(ambient, 0xFF969696u);
}

TEST_F(TitleTest, SwitchedOffDuringTheFlightItsEndLeavesTheBackgroundSilentAndTheSwitchOn) {
    ASSERT_NO_FATAL_FAILURE(FlyToTheLastFrame());
    game.sounds.soundOn = 0;
    const size_t mark = sound->Mark();
    game.race.Frame();
    EXPECT_EQ(game.race.titleShowing, 0);
    EXPECT_FALSE(sound->IsPlaying("race_boxenluder.wav"));
    EXPECT_EQ(sound->Count("Play", "race_hintergrund.wav", mark), 0u);
    EXPECT_FALSE(sound->IsPlaying("race_hintergrund.wav"));
    EXPECT_EQ(game.sounds.soundOn, 1);
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
