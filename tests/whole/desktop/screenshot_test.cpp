// The game's three scenes drawn by the OpenGL device in a real window (under
// Xvfb on a machine without a display of its own), each frame read back at
// Present and checked for what a player must see: the sky above, the course
// below, the cyan letters of the title and the credits, the yellow read-outs
// at the right. The pictures are kept in the build folder as scene_*.png.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/credits.h"
#include "platform/gl/gl_diagnostics.h"
#include "tests/support/autopilot.h"
#include "tests/support/display.h"
#include "tests/support/game_session.h"
#include "tools/make_common.h"

namespace {

struct Shot {
    std::vector<BYTE> rgba;
    UINT width = 0, height = 0;
};

Shot* capture = nullptr;

// Runs inside Present, after the game's frame is drawn and before the menu bar.
void CaptureFrame() {
    if (capture) {
        GlReadBackBuffer(CurrentGame().graphics.device, &capture->rgba, &capture->width, &capture->height);
        capture = nullptr;
    }
}

struct Colour {
    int r, g, b;
};

// The share of the pixels in the rectangle (fractions of the frame, left, top,
// right, bottom) that lie within `distance` of the colour (RGB, 0..255).
double Share(const Shot& s, double left, double top, double right, double bottom, Colour c, double distance) {
    const int x0 = int(left * s.width), x1 = int(right * s.width);
    const int y0 = int(top * s.height), y1 = int(bottom * s.height);
    long hits = 0, all = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const BYTE* p = &s.rgba[(size_t(y) * s.width + size_t(x)) * 4];
            const double dr = p[0] - c.r, dg = p[1] - c.g, db = p[2] - c.b;
            hits += std::sqrt(dr * dr + dg * dg + db * db) <= distance;
            ++all;
        }
    return all ? double(hits) / double(all) : 0.0;
}

// How many pixels of the rectangle are bluer than they are red or green by
// a clear margin: the sky.
double SkyShare(const Shot& s, double top, double bottom) {
    long hits = 0, all = 0;
    for (int y = int(top * s.height); y < int(bottom * s.height); ++y)
        for (UINT x = 0; x < s.width; ++x) {
            const BYTE* p = &s.rgba[(size_t(y) * s.width + x) * 4];
            hits += p[2] > 90 && p[2] > p[0] + 20;
            ++all;
        }
    return all ? double(hits) / double(all) : 0.0;
}

class SceneScreenshots : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) SKIP_OR_FAIL_WITHOUT_DISPLAY("no display");
        real_ = std::make_unique<GameSession>(GameBackends::Desktop);
        ASSERT_TRUE(real_->Start());
        GlSetPresentObserver(game().graphics.device, &CaptureFrame);
    }
    void TearDown() override { real_.reset(); }

    // Draws `frames` frames and keeps the last one, also as a picture file.
    Shot Frames(int frames, const std::string& name) {
        Shot shot;
        for (int i = 0; i < frames; ++i) {
            if (i + 1 == frames) capture = &shot;
            game().race.Frame();
        }
        capture = nullptr;
        EXPECT_EQ(shot.rgba.size(), size_t(shot.width) * shot.height * 4) << name << ": no frame was read";
        const std::string path = std::string(TARVIK_BINARY_DIR) + "/scene_" + name + ".png";
        EXPECT_TRUE(tools::WritePngBytes(path, int(shot.width), int(shot.height), 4, shot.rgba)) << path;
        return shot;
    }

    Game& game() { return real_->game(); }
    std::unique_ptr<GameSession> real_;
};

constexpr Colour kCyan{0, 255, 255}, kYellow{255, 255, 0};

TEST_F(SceneScreenshots, TitleFlightShowsSkyCourseAndTheCyanTitle) {
    Shot shot = Frames(60, "title");
    ASSERT_FALSE(shot.rgba.empty());
    EXPECT_GT(SkyShare(shot, 0.0, 0.15), 0.9) << "sky at the top";
    EXPECT_LT(SkyShare(shot, 0.85, 1.0), 0.2) << "the course below";
    EXPECT_GT(Share(shot, 0, 0, 1, 1, kCyan, 110), 0.01) << "the extruded letters";
    EXPECT_EQ(Share(shot, 0.75, 0, 1, 0.3, kYellow, 90), 0.0) << "no read-outs on the title";
}

TEST_F(SceneScreenshots, DrivingShowsTheCourseAndTheYellowReadouts) {
    game().race.titleShowing = 0;
    Autopilot pilot(game().course);
    Shot shot;
    for (int i = 0; i < 120; ++i) {
        ApplyAutopilot(game(), pilot);
        if (i + 1 == 120) capture = &shot;
        game().race.Frame();
    }
    ASSERT_EQ(shot.rgba.size(), size_t(shot.width) * shot.height * 4);
    ASSERT_TRUE(tools::WritePngBytes(std::string(TARVIK_BINARY_DIR) + "/scene_driving.png", int(shot.width),
                                     int(shot.height), 4, shot.rgba));
    EXPECT_GT(game().car.speed, 0.1f) << "the car is under way";
    EXPECT_GT(SkyShare(shot, 0.0, 0.1), 0.5) << "sky at the top";
    EXPECT_LT(SkyShare(shot, 0.7, 1.0), 0.1) << "the course below";
    EXPECT_GT(Share(shot, 0.75, 0.0, 1.0, 0.2, kYellow, 90), 0.01) << "read-outs at the right edge";
    EXPECT_LT(Share(shot, 0.0, 0.0, 0.5, 0.2, kYellow, 90), 0.001) << "nothing yellow at the left";
    EXPECT_EQ(Share(shot, 0, 0, 1, 1, kCyan, 60), 0.0) << "no title letters while driving";
}

TEST_F(SceneScreenshots, EndingCirclesWithTheCyanCredits) {
    game().car.position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    game().car.UpdatePose();
    BuildCreditsPage(game().credits, 0);
    game().race.endingShowing = 1;
    Shot shot = Frames(40, "ending");
    ASSERT_FALSE(shot.rgba.empty());
    EXPECT_GT(SkyShare(shot, 0.0, 0.15), 0.9) << "sky at the top";
    EXPECT_LT(SkyShare(shot, 0.85, 1.0), 0.2) << "the course below";
    EXPECT_GT(Share(shot, 0, 0, 1, 1, kCyan, 110), 0.003) << "the credits";
}

}  // namespace
