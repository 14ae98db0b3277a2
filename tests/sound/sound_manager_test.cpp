#include <gtest/gtest.h>

#include <chrono>

#include "platform/recording/dsound_recording.h"
#include "tests/support/test_backends.h"
#include "sound/sound_manager.h"
#include "tests/support/wav_fixture.h"

namespace {

class SoundManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        recorder = std::make_shared<SoundRecorder>();
        backends = std::make_unique<TestBackends>(nullptr, recorder);
    }
    void TearDown() override { backends.reset(); }
    std::unique_ptr<TestBackends> backends;

    // A sound made from an 8-bit mono file of `samples`.
    SoundBuffer* Load(const Bytes& samples, DWORD count = 1, const char* name = "sound.wav") {
        std::string path = dir.Write(name, Wav(1, 22050, 8, samples));
        SoundBuffer* sound = nullptr;
        EXPECT_EQ(manager.Create(&sound, path.c_str(), 0, GUID_NULL, count), S_OK);
        return sound;
    }

    std::shared_ptr<SoundRecorder> recorder;
    TempDir dir;
    SoundManager manager;
};

TEST_F(SoundManagerTest, InitializeMakesTheDeviceAndSetsThePrimaryFormat) {
    ASSERT_EQ(manager.Initialize(nullptr, DSSCL_PRIORITY, 2, 22050, 16), S_OK);
    ASSERT_NE(manager.device, nullptr);
    EXPECT_EQ(recorder->Lines(), (std::vector<std::string>{
                                     "DirectSoundCreate8 -> DS_OK",
                                     "SetCooperativeLevel PRIORITY -> DS_OK",
                                     "CreateSoundBuffer primary PRIMARYBUFFER 0 -> DS_OK",
                                     "SetFormat primary 2 22050 16 -> DS_OK",
                                     "Release primary -> DS_OK",
                                 }));
    // Copied: the packed format cannot be bound by reference.
    const WAVEFORMATEX f = recorder->buffers.at(0)->format;
    EXPECT_EQ(Value(f.wFormatTag), WAVE_FORMAT_PCM);
    EXPECT_EQ(Value(f.nBlockAlign), 4);
    EXPECT_EQ(Value(f.nAvgBytesPerSec), 88200u);

    // A second Initialize gives the first device back before it makes another.
    size_t mark = recorder->Mark();
    ASSERT_EQ(manager.Initialize(nullptr, DSSCL_PRIORITY, 2, 22050, 16), S_OK);
    EXPECT_EQ(recorder->calls.at(mark).op, "Release");
    EXPECT_EQ(recorder->calls.at(mark + 1).op, "DirectSoundCreate8");
}

TEST_F(SoundManagerTest, InitializeFailures) {
    recorder->createResult = DSERR_NODRIVER;
    EXPECT_EQ(manager.Initialize(nullptr, DSSCL_PRIORITY, 2, 22050, 16), DSERR_NODRIVER);
    EXPECT_EQ(manager.device, nullptr);
    EXPECT_EQ(manager.SetPrimaryBufferFormat(2, 22050, 16), CO_E_NOTINITIALIZED);

    recorder->createResult = S_OK;
    recorder->cooperativeLevelResult = E_FAIL;
    EXPECT_EQ(manager.Initialize(nullptr, DSSCL_PRIORITY, 2, 22050, 16), E_FAIL);
    EXPECT_NE(manager.device, nullptr);  // kept, as the device was made

    // The primary format needs the priority level; Initialize does not mind when it is refused.
    recorder->cooperativeLevelResult = S_OK;
    EXPECT_EQ(manager.Initialize(nullptr, DSSCL_NORMAL, 2, 22050, 16), S_OK);
    EXPECT_EQ(manager.SetPrimaryBufferFormat(2, 22050, 16), DSERR_PRIOLEVELNEEDED);
    EXPECT_EQ(recorder->Count("Release", "primary"), recorder->Count("CreateSoundBuffer", "primary"));
}

TEST_F(SoundManagerTest, CreateFailuresLeaveNothingBehind) {
    const std::string good = dir.Write("good.wav", Wav(1, 22050, 8, Pattern(100)));
    const std::string emptyData = dir.Write("empty.wav", Wav(1, 22050, 8, {}));
    const std::string broken = dir.Write("broken.wav", Riff(Fmt(1, 22050, 8)));
    Bytes adpcmFormat = FormatHead(2, 1, 22050, 4);
    Put16(adpcmFormat, 0);
    const std::string adpcm =
        dir.Write("adpcm.wav", Riff(Cat({Chunk("fmt ", adpcmFormat), Chunk("data", Pattern(99))})));
    const std::string missing = (dir.path / "missing.wav").string();

    struct Case {
        const char* name;
        bool device;
        const char* file;
        bool result;
        DWORD count;
        HRESULT bufferResult, duplicateResult, expected;
    } cases[] = {
        {"no device", false, good.c_str(), true, 1, S_OK, S_OK, CO_E_NOTINITIALIZED},
        {"no file name", true, nullptr, true, 1, S_OK, S_OK, E_INVALIDARG},
        {"no result", true, good.c_str(), false, 1, S_OK, S_OK, E_INVALIDARG},
        {"no buffers", true, good.c_str(), true, 0, S_OK, S_OK, E_INVALIDARG},
        {"missing file", true, missing.c_str(), true, 1, S_OK, S_OK, E_FAIL},
        {"no sample data", true, emptyData.c_str(), true, 1, S_OK, S_OK, E_FAIL},
        {"malformed file", true, broken.c_str(), true, 1, S_OK, S_OK, E_FAIL},
        {"compressed format the device cannot play", true, adpcm.c_str(), true, 1, S_OK, S_OK, DSERR_BADFORMAT},
        {"device refuses the buffer", true, good.c_str(), true, 1, DSERR_OUTOFMEMORY, S_OK, DSERR_OUTOFMEMORY},
        {"duplicate refused", true, good.c_str(), true, 3, S_OK, DSERR_INVALIDCALL, DSERR_INVALIDCALL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SoundManager local;
        if (c.device) {
            ASSERT_EQ(local.Initialize(nullptr, DSSCL_PRIORITY, 2, 22050, 16), S_OK);
        }
        recorder->createBufferResult = c.bufferResult;
        recorder->duplicateResult = c.duplicateResult;
        SoundBuffer sentinel(nullptr, 0, 0, nullptr);
        SoundBuffer* result = &sentinel;
        EXPECT_EQ(local.Create(c.result ? &result : nullptr, c.file, 0, GUID_NULL, c.count), c.expected);
        EXPECT_EQ(result, &sentinel);
        for (auto& b : recorder->buffers) EXPECT_TRUE(b->released) << b->name;
    }
}

TEST_F(SoundManagerTest, CreatePassesTheVirtualizationRemarkOn) {
    ASSERT_EQ(manager.Initialize(nullptr, DSSCL_PRIORITY, 2, 22050, 16), S_OK);
    recorder->createBufferResult = DS_NO_VIRTUALIZATION;
    std::string path = dir.Write("a.wav", Wav(1, 22050, 8, Pattern(100)));
    SoundBuffer* sound = nullptr;
    EXPECT_EQ(manager.Create(&sound, path.c_str(), 0, GUID_NULL, 1), DS_NO_VIRTUALIZATION);
    ASSERT_NE(sound, nullptr);
    delete sound;
}

TEST_F(SoundManagerTest, CreateFillsOneBufferAndDuplicatesIt) {
    ASSERT_EQ(manager.Initialize(nullptr, DSSCL_PRIORITY, 2, 22050, 16), S_OK);
    const Bytes samples = Pattern(2501, 9);
    size_t mark = recorder->Mark();
    SoundBuffer* sound = Load(samples, 3);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->bufferSize, 2501u);
    EXPECT_EQ(sound->bufferCount, 3u);
    const std::string p = (dir.path / "sound.wav").string();
    EXPECT_EQ(recorder->Lines(mark), (std::vector<std::string>{
                                         "CreateSoundBuffer " + p + " 0 2501 -> DS_OK",
                                         "DuplicateSoundBuffer " + p + " -> DS_OK",
                                         "DuplicateSoundBuffer " + p + " -> DS_OK",
                                         "GetStatus " + p + " 0 -> DS_OK",
                                         "Lock " + p + " 0 2501 0 -> DS_OK",
                                         "Unlock " + p + " 2501 0 -> DS_OK",
                                         "SetCurrentPosition " + p + " 0 -> DS_OK",
                                         "SetCurrentPosition " + p + " 0 -> DS_OK",
                                         "SetCurrentPosition " + p + " 0 -> DS_OK",
                                     }));
    RecordedBuffer* buffer = recorder->Find("sound.wav");
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(*buffer->data, samples);  // exactly the samples, no silence needed

    delete sound;
    EXPECT_EQ(recorder->Count("Release", "sound.wav"), 3u);
    EXPECT_EQ(recorder->Find("sound.wav"), nullptr);
}

// Sounds as today's tools write them are loaded byte for byte; the buffer
// keeps the plain format of an extensible one.
TEST_F(SoundManagerTest, TodaysEncodingsAreLoadedAsTheyAre) {
    ASSERT_EQ(manager.Initialize(nullptr, DSSCL_PRIORITY, 2, 22050, 16), S_OK);
    const std::vector<int> values = {0, 32767, -32768, 1234, -4321, 7};
    for (const EncodingInfo& e : kEncodings) {
        SCOPED_TRACE(e.name);
        const std::string path = dir.Write("today.wav", WavIn(e.encoding, 2, 44100, values));
        SoundBuffer* sound = nullptr;
        ASSERT_EQ(manager.Create(&sound, path.c_str(), 0, GUID_NULL, 1), S_OK);
        ASSERT_NE(sound, nullptr);
        const Bytes samples = Encode(e.encoding, values);
        EXPECT_EQ(sound->bufferSize, samples.size());
        RecordedBuffer* buffer = recorder->Find("today.wav");
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(*buffer->data, samples);
        const bool isFloat = e.encoding == Encoding::Float32 || e.encoding == Encoding::ExtensibleFloat32;
        EXPECT_EQ(Value(buffer->format.wFormatTag), isFloat ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM);
        EXPECT_EQ(Value(buffer->format.wBitsPerSample), e.containerBits);
        EXPECT_EQ(Value(buffer->format.nBlockAlign), 2 * e.containerBits / 8);
        EXPECT_EQ(Value(buffer->format.cbSize), 0);
        delete sound;
    }
}

TEST_F(SoundManagerTest, FillPadsAShortReadWithSilence) {
    ASSERT_EQ(manager.Initialize(nullptr, DSSCL_PRIORITY, 2, 22050, 16), S_OK);
    struct Case {
        WORD bits;
        BYTE silence;
    } cases[] = {{8, 128}, {16, 0}, {24, 0}, {32, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        const Bytes samples = Pattern(600, 1);
        auto* wave = new WaveFile;
        std::string path = dir.Write("short.wav", Wav(1, 22050, c.bits, samples));
        ASSERT_EQ(wave->Open(path.c_str(), nullptr, WAVEFILE_READ), S_OK);
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), 0, 1000, 0, wave->format, GUID_NULL, "short.wav"};
        IDirectSoundBuffer* buffers[1] = {nullptr};
        ASSERT_EQ(manager.device->CreateSoundBuffer(&desc, &buffers[0], nullptr), S_OK);
        SoundBuffer sound(buffers, 1000, 1, wave);
        const Bytes& data = *recorder->Find("short.wav")->data;
        EXPECT_EQ(Bytes(data.begin(), data.begin() + 600), samples);
        EXPECT_EQ(Bytes(data.begin() + 600, data.end()), Bytes(400, c.silence));
    }
}

TEST_F(SoundManagerTest, PlayingAPlayingSoundKeepsItGoing) {
    ASSERT_EQ(manager.Initialize(nullptr, DSSCL_PRIORITY, 2, 22050, 16), S_OK);
    SoundBuffer* sound = Load(Pattern(5000));
    ASSERT_NE(sound, nullptr);
    ASSERT_EQ(sound->Play(0, 0), S_OK);
    recorder->AdvanceBytes(1200);
    EXPECT_EQ(sound->GetFreeBuffer(), sound->buffers[0]);
    ASSERT_EQ(sound->Play(0, 0), S_OK);
    EXPECT_EQ(recorder->Count("Play", "sound.wav"), 2u);
    EXPECT_EQ(recorder->Starts("sound.wav"), 1u);
    EXPECT_EQ(recorder->Position("sound.wav"), 1200u);
    delete sound;
}

TEST_F(SoundManagerTest, StopKeepsThePositionAndResetRewinds) {
    ASSERT_EQ(manager.Initialize(nullptr, DSSCL_PRIORITY, 2, 22050, 16), S_OK);
    SoundBuffer* sound = Load(Pattern(5000));
    ASSERT_NE(sound, nullptr);

    ASSERT_EQ(sound->Play(0, DSBPLAY_LOOPING), S_OK);
    EXPECT_TRUE(recorder->IsLooping("sound.wav"));
    recorder->AdvanceBytes(7000);  // once round and on
    EXPECT_EQ(sound->Stop(), S_OK);
    EXPECT_FALSE(recorder->IsPlaying("sound.wav"));
    EXPECT_EQ(recorder->Position("sound.wav"), 2000u);
    ASSERT_EQ(sound->Play(0, 0), S_OK);
    EXPECT_EQ(recorder->Position("sound.wav"), 2000u);  // goes on from where it stopped
    EXPECT_FALSE(recorder->IsLooping("sound.wav"));

    EXPECT_EQ(sound->Stop(), S_OK);
    EXPECT_EQ(sound->Reset(), S_OK);
    ASSERT_EQ(sound->Play(0, 0), S_OK);
    EXPECT_TRUE(recorder->IsPlaying("sound.wav"));
    EXPECT_EQ(recorder->Position("sound.wav"), 0u);

    // Played once to its end, a sound rewinds, so the next Play starts it from the beginning.
    recorder->AdvanceBytes(5000);
    EXPECT_FALSE(recorder->IsPlaying("sound.wav"));
    EXPECT_EQ(recorder->Position("sound.wav"), 0u);
    delete sound;
}

TEST_F(SoundManagerTest, SeveralBuffersPlayTogether) {
    ASSERT_EQ(manager.Initialize(nullptr, DSSCL_PRIORITY, 2, 22050, 16), S_OK);
    SoundBuffer* sound = Load(Pattern(5000), 3);
    ASSERT_NE(sound, nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sound->GetFreeBuffer(), sound->buffers[i]);
        ASSERT_EQ(sound->Play(0, 0), S_OK);
        recorder->AdvanceBytes(100);
    }
    EXPECT_EQ(recorder->Starts("sound.wav"), 3u);
    // All busy: one of them is taken at random and keeps playing.
    ASSERT_EQ(sound->Play(0, 0), S_OK);
    EXPECT_EQ(recorder->Starts("sound.wav"), 3u);

    EXPECT_EQ(sound->Stop(), S_OK);
    EXPECT_EQ(sound->Reset(), S_OK);
    for (auto& b : recorder->buffers) {
        if (b->primary) continue;
        EXPECT_FALSE(b->playing);
        EXPECT_EQ(b->position, 0u);
        EXPECT_EQ(b->data, recorder->buffers.back()->data);  // duplicates share the samples
    }
    delete sound;
}

TEST_F(SoundManagerTest, RestoreBufferOutcomes) {
    ASSERT_EQ(manager.Initialize(nullptr, DSSCL_PRIORITY, 2, 22050, 16), S_OK);
    SoundBuffer* sound = Load(Pattern(500));
    ASSERT_NE(sound, nullptr);
    BOOL restored = 7;
    EXPECT_EQ(sound->RestoreBuffer(nullptr, &restored), CO_E_NOTINITIALIZED);
    EXPECT_EQ(sound->FillBufferWithSound(nullptr), CO_E_NOTINITIALIZED);

    struct Case {
        const char* name;
        bool lost;
        std::vector<HRESULT> answers;  // what Restore says, in turn
        HRESULT expected;
        BOOL restored;
        size_t restoreCalls;
    } cases[] = {
        {"not lost", false, {}, S_FALSE, FALSE, 0},
        {"lost, back at once", true, {}, S_OK, TRUE, 2},
        {"lost for a while", true, {DSERR_BUFFERLOST, DSERR_BUFFERLOST, DSERR_BUFFERLOST}, S_OK, TRUE, 4},
        {"Restore fails otherwise", true, std::vector<HRESULT>(1000, E_FAIL), E_FAIL, FALSE,
         2 * RESTORE_FAILED_ROUNDS},
        {"device never comes back", true, std::vector<HRESULT>(1000, DSERR_BUFFERLOST), DSERR_BUFFERLOST, FALSE,
         2 * RESTORE_LOST_ROUNDS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder->restoreResults.assign(c.answers.begin(), c.answers.end());
        if (c.lost) recorder->LoseBuffers();
        size_t mark = recorder->Mark();
        auto start = std::chrono::steady_clock::now();
        restored = 7;
        EXPECT_EQ(sound->RestoreBuffer(sound->buffers[0], &restored), c.expected);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(restored, c.restored);
        EXPECT_EQ(recorder->Count("Restore", "", mark), c.restoreCalls);
        recorder->restoreResults.clear();
        sound->buffers[0]->Restore();
    }
    delete sound;
}

TEST_F(SoundManagerTest, PlayAfterALostBufferRestoresRefillsAndStartsOver) {
    ASSERT_EQ(manager.Initialize(nullptr, DSSCL_PRIORITY, 2, 22050, 16), S_OK);
    const Bytes samples = Pattern(3000, 5);
    SoundBuffer* sound = Load(samples);
    ASSERT_NE(sound, nullptr);
    ASSERT_EQ(sound->Play(0, DSBPLAY_LOOPING), S_OK);
    recorder->AdvanceBytes(700);
    recorder->LoseBuffers();
    EXPECT_EQ(sound->buffers[0]->Play(0, 0, 0), DSERR_BUFFERLOST);

    size_t mark = recorder->Mark();
    ASSERT_EQ(sound->Play(0, DSBPLAY_LOOPING), S_OK);
    std::vector<std::string> ops;
    for (size_t i = mark; i < recorder->calls.size(); ++i) ops.push_back(recorder->calls[i].op);
    EXPECT_EQ(ops, (std::vector<std::string>{"GetStatus", "GetStatus", "Restore", "Restore", "GetStatus", "Lock",
                                             "Unlock", "SetCurrentPosition", "Play"}));
    EXPECT_EQ(*recorder->Find("sound.wav")->data, samples);  // the restored memory was refilled
    EXPECT_TRUE(recorder->IsLooping("sound.wav"));
    EXPECT_EQ(recorder->Position("sound.wav"), 0u);

    // While the device stays away, Play gives up and says so.
    recorder->LoseBuffers();
    recorder->restoreResults.assign(1000, E_FAIL);
    EXPECT_EQ(sound->Play(0, 0), E_FAIL);
    EXPECT_FALSE(recorder->IsPlaying("sound.wav"));
    delete sound;
}

}  // namespace
