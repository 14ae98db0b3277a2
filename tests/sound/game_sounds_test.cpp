#include <gtest/gtest.h>

#include "platform/recording/dsound_recording.h"
#include "tests/support/test_backends.h"
#include "sound/game_sounds.h"
#include "tests/support/wav_fixture.h"

namespace {

class GameSoundsTest : public ::testing::Test {
protected:
    void SetUp() override {
        recorder = std::make_shared<SoundRecorder>();
        backends = std::make_unique<TestBackends>(nullptr, recorder);
    }
    void TearDown() override { backends.reset(); }
    std::unique_ptr<TestBackends> backends;
    std::shared_ptr<SoundRecorder> recorder;
};

TEST_F(GameSoundsTest, StartsWithoutDeviceOrSounds) {
    GameSounds game;
    EXPECT_EQ(game.manager.device, nullptr);
    for (SoundBuffer* s : game.sounds) EXPECT_EQ(s, nullptr);
    EXPECT_EQ(game.soundOn, 1);
    EXPECT_EQ(game.Play(SOUND_HORN, 0), CO_E_NOTINITIALIZED);  // nothing loaded: no crash either
    EXPECT_EQ(recorder->calls.size(), 0u);
}

TEST_F(GameSoundsTest, InitLoadsTheFourSoundsInOrder) {
    GameFolder folder;
    {
        GameSounds game;
        ASSERT_EQ(game.Init(nullptr), 0);
        EXPECT_EQ(recorder->Count("SetCooperativeLevel"), 1u);
        EXPECT_EQ(recorder->calls.at(1).arg1, DSSCL_PRIORITY);
        EXPECT_EQ(recorder->Count("SetFormat", "primary"), 1u);
        std::vector<std::string> created;
        for (const SoundCall& c : recorder->calls)
            if (c.op == "CreateSoundBuffer" && c.buffer != "primary") created.push_back(c.buffer);
        EXPECT_EQ(created, (std::vector<std::string>{"media/race_hintergrund.wav", "media/race_boxenluder.wav",
                                                     "media/race_hupe.wav", "media/race_crash.wav"}));
        EXPECT_EQ(recorder->Count("DuplicateSoundBuffer"), 0u);
        for (SoundBuffer* s : game.sounds) {
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(s->bufferCount, 1u);
        }
        EXPECT_EQ(game.sounds[SOUND_CRASH]->bufferSize, 1300u);
        EXPECT_EQ(game.Play(-1, 0), E_INVALIDARG);
        EXPECT_EQ(game.Play(GAME_SOUND_COUNT, 0), E_INVALIDARG);
    }
    // Torn down: the four buffers first, then the device.
    std::vector<std::string> tail = recorder->Lines(recorder->calls.size() - 5);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(tail[size_t(i)].rfind("Release media/", 0), 0u) << tail[size_t(i)];
    EXPECT_EQ(tail[4], "Release -> DS_OK");
}

TEST_F(GameSoundsTest, InitStopsAtTheFirstFailure) {
    for (int missing = 0; missing < GAME_SOUND_COUNT; ++missing) {
        SCOPED_TRACE(gameSoundFiles[missing]);
        GameFolder folder(missing);
        GameSounds game;
        EXPECT_EQ(game.Init(nullptr), E_FAIL);
        for (int i = 0; i < GAME_SOUND_COUNT; ++i) EXPECT_EQ(game.sounds[i] != nullptr, i < missing) << i;
    }
    GameFolder folder;
    recorder->createResult = DSERR_NODRIVER;
    GameSounds game;
    EXPECT_EQ(game.Init(nullptr), DSERR_NODRIVER);
    for (SoundBuffer* s : game.sounds) EXPECT_EQ(s, nullptr);
}

TEST_F(GameSoundsTest, PlayLoopsOnlyForOne) {
    GameFolder folder;
    GameSounds game;
    ASSERT_EQ(game.Init(nullptr), 0);
    EXPECT_EQ(game.Play(SOUND_BACKGROUND, 1), S_OK);
    EXPECT_EQ(game.Play(SOUND_TITLE, 0), S_OK);
    EXPECT_EQ(game.Play(SOUND_HORN, 2), S_OK);
    EXPECT_TRUE(recorder->IsLooping("race_hintergrund.wav"));
    EXPECT_TRUE(recorder->IsPlaying("race_boxenluder.wav"));
    EXPECT_FALSE(recorder->IsLooping("race_boxenluder.wav"));
    EXPECT_FALSE(recorder->IsLooping("race_hupe.wav"));
}

TEST_F(GameSoundsTest, TheSwitchTurnsPlayIntoStop) {
    GameFolder folder;
    GameSounds game;
    ASSERT_EQ(game.Init(nullptr), 0);
    game.Play(SOUND_BACKGROUND, 1);
    game.Play(SOUND_HORN, 0);
    recorder->Advance(40);

    // F3 off: only the background stops; the horn sounds to its end.
    game.soundOn = 0;
    game.sounds[SOUND_BACKGROUND]->Stop();
    EXPECT_FALSE(recorder->IsPlaying("race_hintergrund.wav"));
    EXPECT_TRUE(recorder->IsPlaying("race_hupe.wav"));
    const DWORD stoppedAt = recorder->Position("race_hintergrund.wav");
    EXPECT_GT(stoppedAt, 0u);

    // With the switch off neither F2 nor a crash makes a sound.
    size_t mark = recorder->Mark();
    EXPECT_EQ(game.Play(SOUND_CRASH, 0), S_OK);
    EXPECT_EQ(game.Play(SOUND_HORN, 0), S_OK);
    EXPECT_EQ(recorder->Count("Play", "", mark), 0u);
    EXPECT_EQ(recorder->Count("Stop", "race_crash.wav", mark), 1u);
    EXPECT_FALSE(recorder->IsPlaying("race_crash.wav"));
    EXPECT_FALSE(recorder->IsPlaying("race_hupe.wav"));  // a request while off stops that sound

    // F3 on: the background goes on from where it stopped.
    game.soundOn = 1;
    game.Play(SOUND_BACKGROUND, 1);
    EXPECT_TRUE(recorder->IsLooping("race_hintergrund.wav"));
    EXPECT_EQ(recorder->Position("race_hintergrund.wav"), stoppedAt);
}

TEST_F(GameSoundsTest, RepeatedRequestsDoNotRestartASound) {
    GameFolder folder;
    GameSounds game;
    ASSERT_EQ(game.Init(nullptr), 0);
    size_t mark = recorder->Mark();
    game.Play(SOUND_HORN, 0);
    recorder->AdvanceBytes(300);
    game.Play(SOUND_HORN, 0);  // F2 again while the horn sounds
    EXPECT_EQ(recorder->Starts("race_hupe.wav", mark), 1u);
    EXPECT_EQ(recorder->Position("race_hupe.wav"), 300u);

    recorder->AdvanceBytes(5000);  // past its end
    EXPECT_FALSE(recorder->IsPlaying("race_hupe.wav"));
    game.Play(SOUND_HORN, 0);
    EXPECT_EQ(recorder->Starts("race_hupe.wav", mark), 2u);
    EXPECT_EQ(recorder->Position("race_hupe.wav"), 0u);  // from its beginning
}

TEST_F(GameSoundsTest, SwitchingOffDuringTheTitleLeavesASilentBackground) {
    GameFolder folder;
    GameSounds game;
    ASSERT_EQ(game.Init(nullptr), 0);
    game.Play(SOUND_TITLE, 0);
    game.soundOn = 0;  // F3 during the title
    game.sounds[SOUND_BACKGROUND]->Stop();
    // The end of the title, in its order.
    game.sounds[SOUND_TITLE]->Stop();
    game.Play(SOUND_BACKGROUND, 1);
    game.soundOn = 1;
    EXPECT_FALSE(recorder->IsPlaying("race_boxenluder.wav"));
    EXPECT_FALSE(recorder->IsPlaying("race_hintergrund.wav"));
    EXPECT_EQ(game.soundOn, 1);
}

}  // namespace
