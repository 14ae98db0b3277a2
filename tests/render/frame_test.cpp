#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/game_fixture.h"
#include "render/scene.h"

namespace {

// Counts the draws whose mesh tag (start index) is `tag`.
size_t DrawsOf(const RecordingDevice& device, UINT tag) {
    size_t n = 0;
    for (const DrawRecord& d : device.draws) n += d.indexed && d.start == tag;
    return n;
}

}  // namespace

class FrameTest : public RaceTest {
protected:
    void SetUp() override {
        RaceTest::SetUp();
        InstallFakeMeshes();
        game.race.lapCount = -1;
        device().ClearLog();
    }
};

TEST_F(FrameTest, BeforeItsFirstStepTheCarHasNoDirectionAndNoFieldIsDrawn) {
    game.race.Frame();
    EXPECT_EQ(DrawsOf(device(), kFieldTag + Wood), 0u);
    EXPECT_EQ(device().draws.size(), 2u);  // sky and car
}

TEST_F(FrameTest, DrivingFrameOrder) {
    game.race.Frame();
    device().ClearLog();
    D3DXMATRIX viewBefore;
    D3DXVECTOR3 up(0, 1, 0);
    D3DXMatrixLookAtLH(&viewBefore, &game.race.cameraEye, &game.race.cameraTarget, &up);
    game.car.Accelerate();
    game.race.Frame();
    RecordingDevice& d = device();

    long clear = d.Find("Clear 0 TARGET|ZBUFFER 0xFF000000 1000 0");
    long begin = d.Find("BeginScene");
    long view = d.Find("SetTransform VIEW", begin);
    long headlight = d.Find("SetLight 1", view);
    long zOff = d.Find("SetRenderState ZENABLE 0", headlight);
    long lightOff = d.Find("SetRenderState LIGHTING 0", zOff);
    long lightOn = d.Find("SetRenderState LIGHTING 1", lightOff);
    long zOn = d.Find("SetRenderState ZENABLE 1", lightOn);
    long end = d.Find("EndScene");
    long present = d.Find("Present");
    for (long i : {clear, begin, view, headlight, zOff, lightOff, lightOn, zOn, end, present}) EXPECT_GE(i, 0);
    EXPECT_LT(clear, begin);
    EXPECT_LT(begin, view);
    EXPECT_LT(view, headlight);
    EXPECT_LT(headlight, zOff);
    EXPECT_LT(zOn, end);
    EXPECT_LT(end, present);

    // The sky is the first draw, without depth and unlit, seen from the sky view.
    ASSERT_FALSE(d.draws.empty());
    const DrawRecord& sky = d.draws.front();
    EXPECT_EQ(sky.start, kSkyTag);
    EXPECT_EQ(sky.zEnable, 0u);
    EXPECT_EQ(sky.zWrite, 0u);
    EXPECT_EQ(sky.lighting, 0u);
    EXPECT_FLOAT_EQ(sky.view.m[3][1], -0.3f);
    EXPECT_FLOAT_EQ(sky.view.m[3][0], 0.0f);

    // Every field cell that passes the window test, and no other, then the car last.
    const DrawRecord& car = d.draws.back();
    EXPECT_EQ(car.start, kCarTag);
    EXPECT_EQ(DrawsOf(d, kCarTag), 1u);
    EXPECT_EQ(car.zEnable, 1u);
    EXPECT_EQ(car.lighting, 1u);
    // The car is drawn at its new place, seen from the camera of the previous step.
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            EXPECT_FLOAT_EQ(car.world.m[i][j], game.car.world.m[i][j]);
            EXPECT_FLOAT_EQ(car.view.m[i][j], viewBefore.m[i][j]);
        }
    EXPECT_FLOAT_EQ(game.car.speed, 0.1f);

    size_t expected = 0;
    // The car's cell before the step: column 37, row 3, heading towards -x.
    for (int i = 0; i < 70; ++i)
        for (int j = 0; j < 70; ++j) expected += IsCellInWindow(i, j, 37, 3, std::cos(3.1417f), std::sin(3.1417f));
    EXPECT_GT(expected, 1000u);
    EXPECT_EQ(DrawsOf(d, kFieldTag + Wood), expected);
    EXPECT_EQ(d.draws.size(), expected + 2);
}

TEST_F(FrameTest, WindowTestCases) {
    struct Case {
        int i, j, cx, cz;
        float dx, dz;
        bool drawn;
    } cases[] = {
        {3, 60, 37, 3, -1.0f, 0.0f, false},  // ahead along +x? no: behind a car heading -x
        {3, 0, 37, 3, -1.0f, 0.0f, true},    // the car's own row, far along it, ahead
        {3, 38, 37, 3, -1.0f, 0.0f, true},   // j - 2 < cx
        {3, 39, 37, 3, -1.0f, 0.0f, false},
        {23, 57, 37, 3, 1.0f, 1.0f, false},  // 20 columns and 20 rows away
        {22, 56, 37, 3, 1.0f, 1.0f, true},
        {1, 35, 37, 3, 1.0f, 1.0f, false},   // behind along both axes
        {1, 36, 37, 3, 1.0f, 1.0f, true},
        {10, 35, 37, 3, 1.0f, 0.0f, false},  // exactly along +x: columns below cx - 1 dropped
        {10, 36, 37, 3, 1.0f, 0.0f, true},
        {10, 36, 37, 3, 0.0f, 0.0f, false},  // no direction takes part in no test
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsCellInWindow(c.i, c.j, c.cx, c.cz, c.dx, c.dz), c.drawn) << c.i << "," << c.j;
}

TEST_F(FrameTest, UnknownFieldKindsAreNotDrawn) {
    for (int r = 0; r < 70; ++r) game.course.fields[r * 100 + 30] = 9;
    game.race.Frame();
    device().ClearLog();
    game.race.Frame();
    for (const DrawRecord& d : device().draws) EXPECT_LT(d.start, kFieldTag + 6u);
    size_t fields = 0;
    for (const DrawRecord& d : device().draws) fields += d.start >= kFieldTag;
    size_t expected = 0;
    for (int i = 0; i < 70; ++i)
        for (int j = 0; j < 70; ++j)
            expected += j != 30 && IsCellInWindow(i, j, 37, 3, std::cos(3.1417f), std::sin(3.1417f));
    EXPECT_EQ(fields, expected);
}

TEST_F(FrameTest, ARepaintAdvancesTheCarAndTheTitleAndEndingDrawNoCar) {
    game.race.titleShowing = 1;
    game.car.Accelerate();
    game.race.Frame();
    EXPECT_EQ(game.car.speed, 0.0f);  // the title does not step the car
    EXPECT_EQ(DrawsOf(device(), kCarTag), 0u);
    EXPECT_EQ(DrawsOf(device(), kFieldTag + Wood), 4900u);  // the title draws every cell
    game.race.titleShowing = 0;
    game.race.Frame();  // the request made during the title is consumed by the first step
    EXPECT_FLOAT_EQ(game.car.speed, 0.1f);
    game.race.endingShowing = 1;
    device().ClearLog();
    game.race.Frame();
    EXPECT_EQ(DrawsOf(device(), kCarTag), 0u);
    EXPECT_FLOAT_EQ(game.car.speed, 0.1f);
}
