// The whole game while its window is squeezed to nothing, minimised and
// restored (WM_SIZE through the window procedure to the device), while its
// sound device goes away and comes back, and while the keyboard cannot be read.
#include <chrono>
#include <cmath>

#include "hardening_fixture.h"
#include "sound/wave_file.h"

namespace hardening {
namespace {

GameFiles RealDataFiles(const std::string& name) {
    GameFiles files;
    files.course = "course.txt";
    files.highscores = (TestFolder() / (name + "_high.dat")).string();
    fs::remove(files.highscores);
    return files;
}

// The aspect ratio the device's projection was last built with.
float ProjectionAspect(RecordingDevice& device) {
    D3DMATRIX p{};
    device.GetTransform(D3DTS_PROJECTION, &p);
    const float ys = 1.0f / std::tan(0.7853982f / 2.0f);
    return ys / p.m[0][0];
}

TEST(WindowSize, ZeroSizesMinimiseAndRestoreKeepTheGameRunning) {
    struct Step {
        const char* label;
        void (*act)(RecordingPlatform&);
        bool resets;              // the device is reset with a new projection
        unsigned width, height;   // the client size the device holds afterwards
        float aspect;
    };
    const unsigned menu = RecordingPlatform::kMenuBarHeight;
    const Step steps[] = {
        {"zero height", [](RecordingPlatform& p) { p.Resize(800, int(RecordingPlatform::kMenuBarHeight)); }, true,
         800, 0, 1.0f},
        {"a height again", [](RecordingPlatform& p) { p.Resize(800, 600 + RecordingPlatform::kMenuBarHeight); }, true,
         800, 600, 800.0f / 600.0f},
        {"zero width", [](RecordingPlatform& p) { p.Resize(0, 600 + RecordingPlatform::kMenuBarHeight); }, true, 0,
         600, 1.0f},
        {"nothing left at all", [](RecordingPlatform& p) { p.Resize(0, 0); }, true, 0, 0, 1.0f},
        {"full size", [](RecordingPlatform& p) { p.Resize(1024, 768); }, true, 1024, 768 - menu,
         1024.0f / float(768 - menu)},
        {"minimised", [](RecordingPlatform& p) { p.Minimize(); }, false, 1024, 768 - menu,
         1024.0f / float(768 - menu)},
        {"restored", [](RecordingPlatform& p) { p.Restore(); }, true, 1024, 768 - menu, 1024.0f / float(768 - menu)},
    };
    constexpr std::uint64_t kFirst = 10, kEvery = 8;
    GameSession session(DataFolder(), RealDataFiles("window"));
    ASSERT_TRUE(session.Start());
    Game& game = session.game();
    // The race drives on while minimised, as the original's did, only without
    // the pause that going to the background brings by default.
    game.settings.pauseInBackground = false;
    RecordingDevice& device = *session.Device();
    std::uint32_t framesAtStep = 0;
    UINT presentsAtStep = 0;
    D3DXVECTOR3 positionAtStep{};
    session.Play(kFirst + kEvery * std::size(steps), [&](std::uint64_t tick) {
        session.platform.SetKeyDown(DIK_SPACE, tick < 3);
        session.platform.SetKeyDown(DIK_UP, tick >= 3);
        if (tick < kFirst) return;
        const std::size_t index = (tick - kFirst) / kEvery;
        if ((tick - kFirst) % kEvery != 0) return;
        if (index > 0) {
            // Between two steps the game ticked, drew, presented and drove on.
            const Step& previous = steps[index - 1];
            SCOPED_TRACE(previous.label);
            EXPECT_GE(game.drawStats.frameCount - framesAtStep, kEvery);
            EXPECT_GE(device.presentCount - presentsAtStep, kEvery);
            EXPECT_GT(std::fabs(game.car.position.x - positionAtStep.x), 1.0f);
            const auto lines = game.race.ReadoutLines(session.platform.Now());
            ASSERT_GE(lines.size(), 2u);
            EXPECT_EQ(lines[lines.size() - 2].x, float(previous.width) - 180.0f);  // the lap time line
        }
        if (index >= std::size(steps)) return;
        const Step& step = steps[index];
        SCOPED_TRACE(step.label);
        const UINT resets = device.resetCount;
        step.act(session.platform);
        EXPECT_EQ(device.resetCount - resets, step.resets ? 1u : 0u);
        EXPECT_EQ(game.graphics.presentParams.BackBufferWidth, step.width);
        EXPECT_EQ(game.graphics.presentParams.BackBufferHeight, step.height);
        EXPECT_NEAR(ProjectionAspect(device), step.aspect, 1e-4f);
        framesAtStep = game.drawStats.frameCount;
        presentsAtStep = device.presentCount;
        positionAtStep = game.car.position;
    });
    EXPECT_EQ(session.listsShown, 1);
    EXPECT_FALSE(IsWindow(game.shell.mainWindow));
}

// Every sample of a wave file, read with the game's reader.
std::vector<BYTE> Samples(const char* file) {
    WaveFile wave;
    EXPECT_EQ(wave.Open(file, nullptr, WAVEFILE_READ), S_OK);
    std::vector<BYTE> data(wave.GetSize());
    DWORD read = 0;
    EXPECT_EQ(wave.Read(data.data(), DWORD(data.size()), &read), S_OK);
    EXPECT_EQ(read, data.size());
    return data;
}

// The sound device takes all buffers away and keeps them away for a while
// (as when the audio device is unplugged), then gives them back.
TEST(SoundDevice, GoneWhileDrivingThenBackAgain) {
    GameSession session(DataFolder(), RealDataFiles("sound_device"));
    ASSERT_TRUE(session.Start());
    SoundRecorder& sound = *session.sound;
    using Clock = std::chrono::steady_clock;
    Clock::time_point hornAsked;
    Clock::duration hornTook{};
    std::uint64_t ticksWhileGone = 0;
    session.Play(60, [&](std::uint64_t tick) {
        session.platform.SetKeyDown(DIK_SPACE, tick < 3);
        session.platform.SetKeyDown(DIK_UP, tick >= 3 && tick < 20);
        switch (tick) {
            case 5:
                EXPECT_TRUE(sound.IsLooping("race_hintergrund.wav"));
                break;
            case 10:
                // The device goes: every buffer is lost, and restoring fails until it is back.
                sound.restoreResults.assign(100000, DSERR_BUFFERLOST);
                sound.LoseBuffers();
                break;
            case 11:
                EXPECT_FALSE(sound.IsPlaying("race_hintergrund.wav"));
                hornAsked = Clock::now();
                session.platform.QueueKey(VK_F2);
                break;
            case 12:
                hornTook = Clock::now() - hornAsked;
                EXPECT_FALSE(sound.IsPlaying("race_hupe.wav"));
                EXPECT_TRUE(sound.Find("race_hupe.wav")->lost);
                break;
            case 30:
                ticksWhileGone = tick - 10;
                sound.restoreResults.clear();  // the device is back
                session.platform.QueueKey(VK_F2);
                break;
            case 31:
                EXPECT_TRUE(sound.IsPlaying("race_hupe.wav"));
                EXPECT_EQ(*sound.Find("race_hupe.wav")->data, Samples("media/race_hupe.wav"));
                // Nothing asks for the background again by itself.
                EXPECT_FALSE(sound.IsPlaying("race_hintergrund.wav"));
                session.platform.QueueKey(VK_F3);  // sound off
                break;
            case 32:
                session.platform.QueueKey(VK_F3);  // and on again
                break;
            case 33:
                EXPECT_TRUE(sound.IsLooping("race_hintergrund.wav"));
                EXPECT_EQ(*sound.Find("race_hintergrund.wav")->data, Samples("media/race_hintergrund.wav"));
                break;
            default: break;
        }
    });
    EXPECT_EQ(ticksWhileGone, 20u);
    // While the device is gone a sound request gives up after a bounded wait.
    EXPECT_LT(hornTook, std::chrono::seconds(3));
    EXPECT_TRUE(session.platform.MessageBoxes().empty());
    EXPECT_EQ(session.listsShown, 1);
    EXPECT_FALSE(IsWindow(session.game().shell.mainWindow));
}

// Reading the keyboard fails for a while during the race, in each way the
// platform can fail it; the player lets go of the accelerator meanwhile. Once
// the keyboard can be read again, the game reads it again.
TEST(KeyboardReads, FailingForAWhileShowOneMessageAndKeepTheLastKeys) {
    struct Case {
        const char* label;
        RecordingPlatform::ReadFailure failure;
        std::vector<std::string> messages;  // shown during the whole run of failures
        bool lastKeysAct;                    // the accelerator still acts after it was let go
    };
    const Case cases[] = {
        {"lost once, acquired again", RecordingPlatform::ReadFailure::InputLostOnce, {}, false},
        {"lost for a while", RecordingPlatform::ReadFailure::InputLostAlways, {"DInput Fehler Kb: GetState() "}, true},
        {"failing otherwise", RecordingPlatform::ReadFailure::OtherError, {"DI Fehler : InvalidParam() "}, true},
    };
    constexpr std::uint64_t kFirst = 10, kEvery = 20, kFailing = 12;
    GameSession session(DataFolder(), RealDataFiles("keyboard"));
    ASSERT_TRUE(session.Start());
    Game& game = session.game();
    RecordingPlatform& platform = session.platform;
    std::size_t boxesBefore = 0;
    session.Play(kFirst + kEvery * std::size(cases), [&](std::uint64_t tick) {
        if (tick < 3) platform.SetKeyDown(DIK_SPACE, true);
        if (tick == 3) {
            platform.SetKeyDown(DIK_SPACE, false);
            platform.SetKeyDown(DIK_UP, true);
        }
        if (tick < kFirst) return;
        const Case& c = cases[std::min<std::size_t>((tick - kFirst) / kEvery, std::size(cases) - 1)];
        SCOPED_TRACE(c.label);
        const std::uint64_t at = (tick - kFirst) % kEvery;
        if (at == 0) {
            boxesBefore = platform.MessageBoxes().size();
            platform.failures.read = c.failure;
            platform.SetKeyDown(DIK_UP, false);
        } else if (at == 2) {
            EXPECT_EQ(game.controls.accelerateKey, c.lastKeysAct ? 1 : 0);
        } else if (at == kFailing) {
            std::vector<std::string> shown;
            for (std::size_t i = boxesBefore; i < platform.MessageBoxes().size(); ++i)
                shown.push_back(platform.MessageBoxes()[i].text);
            EXPECT_EQ(shown, c.messages);
            platform.failures.read = RecordingPlatform::ReadFailure::None;
        } else if (at == kFailing + 2) {
            // Read again: the released key is seen.
            EXPECT_EQ(game.controls.accelerateKey, 0);
            platform.SetKeyDown(DIK_UP, true);
        }
    });
    EXPECT_EQ(platform.MessageBoxes().size(), 2u);
    EXPECT_EQ(session.listsShown, 1);
    EXPECT_FALSE(IsWindow(game.shell.mainWindow));
}

}  // namespace
}  // namespace hardening
