// Smooth frames draw between the 40 ms ticks and change nothing about the
// race: the car, the laps, the sounds and high.dat are the same with them on
// and off. A frame between two ticks blends the two ticks' pictures, and a
// game that shows nothing new draws nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "app/shell.h"
#include "platform/dinput.h"
#include "resources/resource.h"
#include "tests/support/autopilot.h"
#include "tests/support/game_session.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The car and the race after each tick, as bytes: equal only when equal to
// the last bit.
class StateAfterEachTick : public LoopWatch {
public:
    explicit StateAfterEachTick(const Game& game) : game_(game) {}
    // The race's ticks: the title flight is no race, and the repaint that
    // steps it without smooth frames may give it a step more.
    void Ticked() override {
        ++ticks;
        if (game_.race.titleShowing) return;
        std::string state;
        auto add = [&](const void* data, size_t size) { state.append(static_cast<const char*>(data), size); };
        const Car& car = game_.car;
        add(&car.position, sizeof car.position);
        add(&car.direction, sizeof car.direction);
        add(&car.heading, sizeof car.heading);
        add(&car.speed, sizeof car.speed);
        add(&car.steerAngle, sizeof car.steerAngle);
        add(&car.world, sizeof car.world);
        const RaceState& race = game_.race;
        add(&race.lapCount, sizeof race.lapCount);
        add(&race.gatePhase, sizeof race.gatePhase);
        add(&race.cameraEye, sizeof race.cameraEye);
        add(&race.cameraTarget, sizeof race.cameraTarget);
        states.push_back(std::move(state));
    }
    void FrameShown() override { ++frames; }

    std::vector<std::string> states;
    std::uint64_t ticks = 0, frames = 0;

private:
    const Game& game_;
};

struct Race {
    std::vector<std::string> states;
    std::vector<std::uint32_t> lapMarks;
    std::vector<std::string> sounds;
    std::string highscores;
    std::uint64_t ticks = 0, frames = 0;
};

// Space, then the autopilot for `ticks` ticks, then Esc and a name for the
// list. The autopilot's keys come from the car after each tick.
Race DriveScripted(bool smooth, std::uint64_t ticks) {
    const std::filesystem::path folder = TestFolder() / (smooth ? "smooth-on" : "smooth-off");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    GameFiles files;
    files.highscores = (folder / "high.dat").string();
    GameSession session(DataFolder(), files);
    session.smoothFrames = smooth;
    RecordingPlatform& platform = session.platform;
    platform.OnDialog(IDD_HIGHSCORE_LIST, [](DialogDriver& d) { d.Click(IDOK); });
    platform.OnDialog(IDD_NAME_ENTRY, [](DialogDriver& d) {
        d.TypeText(IDC_NAME_ENTRY, "Glatt");
        d.PressKey(VK_RETURN);
    });
    Race race;
    EXPECT_TRUE(session.Start());
    if (!session.game().graphics.device) return race;
    Game& game = session.game();
    EXPECT_EQ(game.scene.Smooth(), smooth);
    session.Device()->recording = false;
    StateAfterEachTick watch(game);
    game.loopWatch = &watch;
    Autopilot pilot(game.course);
    session.Play(ticks, [&](std::uint64_t tick) {
        platform.SetKeyDown(DIK_SPACE, tick < 3);
        if (game.race.titleShowing) return;
        const AutopilotKeys k = pilot.Drive(game.car);
        platform.SetKeyDown(DIK_UP, k.up);
        platform.SetKeyDown(DIK_DOWN, k.down);
        platform.SetKeyDown(DIK_LEFT, k.left);
        platform.SetKeyDown(DIK_RIGHT, k.right);
    });
    for (const LapMark* m = game.race.lapMarks; m; m = m->next) race.lapMarks.push_back(m->time);
    game.loopWatch = nullptr;
    race.states = std::move(watch.states);
    race.ticks = watch.ticks;
    race.frames = watch.frames;
    race.sounds = session.sound->Lines();
    session.End();
    race.highscores = ReadFile(files.highscores);
    return race;
}

}  // namespace

TEST(SmoothFrames, TheRaceIsTheSameBitForBitWithThemOnAndOff) {
    const Race off = DriveScripted(false, 2400);
    const Race on = DriveScripted(true, 2400);
    ASSERT_GE(off.lapMarks.size(), 2u) << "the script drives a whole lap";
    ASSERT_GT(off.states.size(), 2300u);
    ASSERT_EQ(on.states.size(), off.states.size());
    for (size_t i = 0; i < off.states.size(); ++i)
        if (on.states[i] != off.states[i]) {
            size_t at = 0;
            while (on.states[i][at] == off.states[i][at]) ++at;
            FAIL() << "the car differs after tick " << i + 1 << " at byte " << at;
        }
    EXPECT_EQ(on.lapMarks, off.lapMarks);
    EXPECT_EQ(on.sounds, off.sounds);
    EXPECT_NE(off.highscores.find("Glatt"), std::string::npos);
    EXPECT_EQ(on.highscores, off.highscores);
    // Without a display rate the frames come 60 times a second, so more
    // than one a tick; without smooth frames one a tick.
    EXPECT_EQ(off.frames, off.ticks);
    EXPECT_GT(on.frames, off.frames * 5 / 4);
}

namespace {

// Where the camera of a view matrix (as D3DXMatrixLookAtLH makes it) stands.
D3DXVECTOR3 EyeOf(const D3DMATRIX& view) {
    const auto& v = view.m;
    return D3DXVECTOR3(-(v[3][0] * v[0][0] + v[3][1] * v[0][1] + v[3][2] * v[0][2]),
                       -(v[3][0] * v[1][0] + v[3][1] * v[1][1] + v[3][2] * v[1][2]),
                       -(v[3][0] * v[2][0] + v[3][1] * v[2][1] + v[3][2] * v[2][2]));
}

D3DXVECTOR3 TranslationOf(const D3DMATRIX& m) { return D3DXVECTOR3(m.m[3][0], m.m[3][1], m.m[3][2]); }

void ExpectHalfway(const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& half, const char* what) {
    EXPECT_NEAR(half.x, (a.x + b.x) / 2, 1e-3f) << what;
    EXPECT_NEAR(half.y, (a.y + b.y) / 2, 1e-3f) << what;
    EXPECT_NEAR(half.z, (a.z + b.z) / 2, 1e-3f) << what;
}

float Apart(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

bool SameMatrix(const D3DMATRIX& a, const D3DMATRIX& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Space, Up from tick 5 and Left from tick 50 on: the car drives off and
// turns. `atTick` is called after tick 60 has run; `beforeTick` after 59.
void DriveOff(GameSession& session, const std::function<void(Game&, RecordingDevice&)>& beforeTick,
              const std::function<void(Game&, RecordingDevice&)>& atTick) {
    ASSERT_TRUE(session.Start());
    Game& game = session.game();
    RecordingDevice& device = *session.Device();
    device.recording = false;
    RecordingPlatform& platform = session.platform;
    session.Play(65, [&](std::uint64_t tick) {
        platform.SetKeyDown(DIK_SPACE, tick < 3);
        platform.SetKeyDown(DIK_UP, tick >= 5);
        platform.SetKeyDown(DIK_LEFT, tick >= 50);
        if (tick == 59 && beforeTick) beforeTick(game, device);
        if (tick == 60) atTick(game, device);
    });
}

}  // namespace

// The frame of a tick is the frame the game without smooth frames draws;
// the frame halfway to it has the camera and the car halfway, so the
// camera trails the car as it does in the ticks' frames.
TEST(SmoothFrames, AFrameHalfwayBetweenTicksShowsTheCarAndCameraHalfway) {
    std::vector<DrawRecord> tickFrame;
    {
        GameSession off;
        DriveOff(
            off,
            [](Game&, RecordingDevice& device) {
                device.recording = true;
                device.ClearLog();
            },
            [&](Game&, RecordingDevice& device) {
                tickFrame = device.draws;
                device.recording = false;
            });
    }
    std::vector<DrawRecord> at0, at1, half;
    D3DMATRIX carWorld{};
    GameSession on;
    on.smoothFrames = true;
    DriveOff(on, nullptr, [&](Game& game, RecordingDevice& device) {
        device.recording = true;
        auto frame = [&](float t) {
            device.ClearLog();
            EXPECT_TRUE(game.scene.DrawBetweenTicks(t, true));
            return device.draws;
        };
        at1 = frame(1.0f);
        at0 = frame(0.0f);
        half = frame(0.5f);
        device.recording = false;
        carWorld = game.car.world;
    });

    ASSERT_FALSE(tickFrame.empty());
    ASSERT_EQ(at1.size(), tickFrame.size());
    for (size_t i = 0; i < tickFrame.size(); ++i) {
        EXPECT_TRUE(SameMatrix(at1[i].view, tickFrame[i].view)) << "draw " << i;
        EXPECT_TRUE(SameMatrix(at1[i].world, tickFrame[i].world)) << "draw " << i;
    }
    ASSERT_EQ(at0.size(), at1.size());
    ASSERT_EQ(half.size(), at1.size());
    int carDraws = 0;
    for (size_t i = 0; i < at1.size(); ++i) {
        if (!SameMatrix(at1[i].world, carWorld)) continue;
        ++carDraws;
        const D3DXVECTOR3 eye0 = EyeOf(at0[i].view), eye1 = EyeOf(at1[i].view);
        EXPECT_GT(Apart(eye1, eye0), 0.05f) << "the camera moved in the tick " << eye0.x << " " << eye0.z << " " << eye1.x << " " << eye1.z << " y " << eye0.y << " car " << TranslationOf(at0[i].world).x << " " << TranslationOf(at0[i].world).z << " " << TranslationOf(at1[i].world).z;
        ExpectHalfway(eye0, eye1, EyeOf(half[i].view), "the camera");
        ExpectHalfway(TranslationOf(at0[i].world), TranslationOf(at1[i].world), TranslationOf(half[i].world),
                      "the car");
        EXPECT_GT(Apart(TranslationOf(at1[i].world), TranslationOf(at0[i].world)), 0.05f);
    }
    EXPECT_GT(carDraws, 0) << "the car is drawn with its world matrix";
}

// A paused race and a minimised window draw nothing over a second of ticks,
// though the minimised game drives on; each draws again once back.
TEST(SmoothFrames, PausedOrMinimisedNoNewFrames) {
    GameSession session;
    session.smoothFrames = true;
    ASSERT_TRUE(session.Start());
    Game& game = session.game();
    game.settings.pauseInBackground = false;
    RecordingDevice& device = *session.Device();
    device.recording = false;
    RecordingPlatform& platform = session.platform;
    UINT presents[8] = {};
    D3DXVECTOR3 minimisedAt{};
    session.Play(140, [&](std::uint64_t tick) {
        platform.SetKeyDown(DIK_SPACE, tick < 3);
        platform.SetKeyDown(DIK_UP, tick >= 5);
        if (tick == 30 || tick == 60) platform.QueueKey(VK_F4);
        if (tick == 35) presents[0] = device.presentCount;
        if (tick == 60) presents[1] = device.presentCount;
        if (tick == 70) presents[2] = device.presentCount;
        if (tick == 80) {
            platform.Minimize();
            minimisedAt = game.car.position;
        }
        if (tick == 85) presents[3] = device.presentCount;
        if (tick == 110) {
            presents[4] = device.presentCount;
            EXPECT_NE(game.car.position.z, minimisedAt.z) << "the race runs on while minimised";
            platform.Restore();
        }
        if (tick == 120) presents[5] = device.presentCount;
    });
    EXPECT_EQ(presents[1], presents[0]) << "paused";
    EXPECT_GT(presents[2], presents[1] + 10) << "going on again";
    EXPECT_EQ(presents[4], presents[3]) << "minimised";
    EXPECT_GT(presents[5], presents[4] + 10) << "restored";
}

// "Flüssige Bewegung" and the frame limit: the limit's choices are grey
// without smooth frames, and OK switches the game and its settings at once.
TEST(SmoothFrames, TheKonfigurationDialogSwitchesThemAtOnce) {
    GameSession session;
    session.smoothFrames = true;
    struct Seen {
        bool smoothChecked, displayChecked, limitEnabled;
    };
    std::vector<Seen> seen;
    session.platform.OnDialog(IDD_CONFIGURATION, [&](DialogDriver& d) {
        auto look = [&] {
            seen.push_back({d.IsChecked(IDC_SMOOTH_FRAMES), d.IsChecked(IDC_FRAME_LIMIT_FIRST),
                            IsWindowEnabled(GetDlgItem(d.Window(), IDC_FRAME_LIMIT_LAST)) != FALSE});
        };
        look();
        d.Click(IDC_SMOOTH_FRAMES);
        look();
        d.Click(IDC_SMOOTH_FRAMES);
        d.Click(IDC_FRAME_LIMIT_FIRST + 4);  // 144
        d.Click(IDC_SMOOTH_FRAMES);
        look();
        d.Click(IDOK);
    });
    ASSERT_TRUE(session.Start());
    Game& game = session.game();
    session.Device()->recording = false;
    bool smoothBefore = false;
    session.Play(20, [&](std::uint64_t tick) {
        if (tick == 5) {
            smoothBefore = game.scene.Smooth();
            PostMessageA(game.shell.mainWindow, WM_COMMAND, IDM_CONFIGURATION, 0);
        }
    });
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_TRUE(seen[0].smoothChecked && seen[0].displayChecked && seen[0].limitEnabled);
    EXPECT_FALSE(seen[1].smoothChecked || seen[1].limitEnabled);
    EXPECT_FALSE(seen[2].smoothChecked || seen[2].displayChecked);
    EXPECT_TRUE(smoothBefore);
    EXPECT_FALSE(game.scene.Smooth());
    EXPECT_FALSE(game.settings.smoothFrames);
    EXPECT_EQ(game.settings.frameLimit, 144);
}
