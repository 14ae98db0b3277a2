#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/core/dsound_common.h"
#include "platform/desktop/desktop.h"
#include "platform/sdl/dsound_sdl.h"
#include "sound/game_sounds.h"
#include "tests/support/test_backends.h"
#include "tests/support/wav_fixture.h"

namespace {

// The machines have no sound card: without a driver named, SDL's dummy output stands in.
const bool dummyDriverByDefault = [] { return setenv("SDL_AUDIODRIVER", "dummy", 0) == 0; }();

using namespace std::chrono_literals;

WAVEFORMATEX Format(WORD channels, DWORD rate, WORD bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = WORD(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

IDirectSoundBuffer* MakeBuffer(IDirectSound8* device, WAVEFORMATEX format, const Bytes& samples) {
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), 0, DWORD(samples.size()), 0, &format, GUID_NULL, "test"};
    IDirectSoundBuffer* buffer = nullptr;
    if (FAILED(device->CreateSoundBuffer(&desc, &buffer, nullptr))) return nullptr;
    void* p = nullptr;
    DWORD n = 0;
    if (FAILED(buffer->Lock(0, DWORD(samples.size()), &p, &n, nullptr, nullptr, 0))) return buffer;
    std::memcpy(p, samples.data(), n);
    buffer->Unlock(p, n, nullptr, 0);
    return buffer;
}

DWORD Status(IDirectSoundBuffer* b) {
    DWORD s = 0;
    b->GetStatus(&s);
    return s;
}

DWORD PlayCursor(IDirectSoundBuffer* b) {
    DWORD play = 0;
    b->GetCurrentPosition(&play, nullptr);
    return play;
}

bool WaitUntilStopped(IDirectSoundBuffer* b, std::chrono::milliseconds limit = 5000ms) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (Status(b) & DSBSTATUS_PLAYING) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Mono 16-bit samples that are never silent, so the mixed output shows exactly where they are.
std::vector<int> Tone(size_t frames, int base) {
    std::vector<int> v(frames);
    for (size_t i = 0; i < frames; ++i) v[i] = base + int((i * 37) % 3000);
    return v;
}

// Output through SDL's disk driver into a file of the test's own folder.
struct DiskCapture {
    explicit DiskCapture(const std::filesystem::path& folder)
        : file(folder / "mixed.raw"), driver("SDL_AUDIODRIVER", "disk"), target("SDL_DISKAUDIOFILE", file.string()) {}
    std::filesystem::path file;
    ScopedEnv driver, target;
};

// Where the non-silent samples begin and end (end is one past the last).
std::pair<size_t, size_t> SoundingRange(const std::vector<std::int16_t>& s) {
    auto first = std::find_if(s.begin(), s.end(), [](std::int16_t v) { return v != 0; });
    auto last = std::find_if(s.rbegin(), s.rend(), [](std::int16_t v) { return v != 0; });
    if (first == s.end()) return {s.size(), s.size()};
    return {size_t(first - s.begin()), size_t(s.rend() - last)};
}

// The sound device of the game's desktop back-ends.
class SdlSound : public ::testing::Test {
protected:
    TestBackends backends{DesktopBackends()};
};

TEST_F(SdlSound, NoAudioDeviceMeansNoSound) {
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    IDirectSound8* device = reinterpret_cast<IDirectSound8*>(1);
    EXPECT_EQ(DirectSoundCreate8(nullptr, &device, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(device, nullptr);
    GameSounds game;
    EXPECT_EQ(game.Init(nullptr), DSERR_NODRIVER);  // the start then goes on without sound
}

TEST_F(SdlSound, DeviceChecksItsArguments) {
    IDirectSound8* device = nullptr;
    ASSERT_EQ(DirectSoundCreate8(nullptr, &device, nullptr), DS_OK);
    GUID other = GUID_NULL;
    other.Data1 = 5;
    IDirectSound8* second = nullptr;
    EXPECT_EQ(DirectSoundCreate8(&other, &second, nullptr), DSERR_NODRIVER);

    DSBUFFERDESC primaryDesc{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr, GUID_NULL, nullptr};
    IDirectSoundBuffer* primary = nullptr;
    ASSERT_EQ(device->CreateSoundBuffer(&primaryDesc, &primary, nullptr), DS_OK);
    WAVEFORMATEX stereo = Format(2, 22050, 16);
    EXPECT_EQ(primary->SetFormat(&stereo), DSERR_PRIOLEVELNEEDED);
    ASSERT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
    EXPECT_EQ(primary->SetFormat(&stereo), DS_OK);
    EXPECT_EQ(primary->Play(0, 0, 0), DSERR_INVALIDCALL);
    IDirectSoundBuffer* copy = nullptr;
    EXPECT_EQ(device->DuplicateSoundBuffer(primary, &copy), DSERR_INVALIDCALL);
    primary->Release();

    WAVEFORMATEX bits12 = Format(1, 22050, 12), rateTooLow = Format(1, 50, 16), mono = Format(1, 22050, 16);
    bits12.nBlockAlign = 2;
    struct Case {
        const char* name;
        DWORD size, flags, bytes;
        WAVEFORMATEX* format;
        HRESULT expected;
    } cases[] = {
        {"wrong descriptor size", 20, 0, 100, &mono, DSERR_INVALIDPARAM},
        {"no format", sizeof(DSBUFFERDESC), 0, 100, nullptr, DSERR_INVALIDPARAM},
        {"too small", sizeof(DSBUFFERDESC), 0, 2, &mono, DSERR_INVALIDPARAM},
        {"12 bits", sizeof(DSBUFFERDESC), 0, 100, &bits12, DSERR_BADFORMAT},
        {"rate out of range", sizeof(DSBUFFERDESC), 0, 100, &rateTooLow, DSERR_BADFORMAT},
        {"primary with a size", sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 100, nullptr, DSERR_INVALIDPARAM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DSBUFFERDESC desc{c.size, c.flags, c.bytes, 0, c.format, GUID_NULL, nullptr};
        IDirectSoundBuffer* b = reinterpret_cast<IDirectSoundBuffer*>(1);
        EXPECT_EQ(device->CreateSoundBuffer(&desc, &b, nullptr), c.expected);
        EXPECT_EQ(b, nullptr);
    }

    IDirectSoundBuffer* buffer = MakeBuffer(device, mono, Samples16(Tone(100, 1000)));
    ASSERT_NE(buffer, nullptr);
    void *p1 = nullptr, *p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    ASSERT_EQ(buffer->Lock(190, 20, &p1, &n1, &p2, &n2, 0), DS_OK);  // wraps round the end
    EXPECT_EQ(n1, 10u);
    EXPECT_EQ(n2, 10u);
    EXPECT_EQ(static_cast<BYTE*>(p1) - static_cast<BYTE*>(p2), 190);
    EXPECT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);
    EXPECT_EQ(buffer->Unlock(&n1, 4, nullptr, 0), DSERR_INVALIDPARAM);  // not the buffer's memory
    EXPECT_EQ(buffer->Lock(200, 10, &p1, &n1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 201, &p1, &n1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Play(1, 0, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetCurrentPosition(201), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetFormat(&mono), DSERR_INVALIDCALL);
    buffer->Release();
    device->Release();
}

TEST_F(SdlSound, StopKeepsThePositionAndPlayGoesOn) {
    IDirectSound8* device = nullptr;
    ASSERT_EQ(DirectSoundCreate8(nullptr, &device, nullptr), DS_OK);
    ASSERT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
    IDirectSoundBuffer* buffer = MakeBuffer(device, Format(1, 22050, 16), Samples16(Tone(22050, 1000)));
    ASSERT_NE(buffer, nullptr);
    IDirectSoundBuffer* twin = nullptr;
    ASSERT_EQ(device->DuplicateSoundBuffer(buffer, &twin), DS_OK);

    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(Status(buffer), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    EXPECT_EQ(Status(twin), 0u);  // a duplicate has its own status
    std::this_thread::sleep_for(150ms);
    ASSERT_EQ(buffer->Stop(), DS_OK);
    const DWORD stopped = PlayCursor(buffer);
    EXPECT_GT(stopped, 0u);
    EXPECT_EQ(Status(buffer), 0u);
    std::this_thread::sleep_for(80ms);
    EXPECT_EQ(PlayCursor(buffer), stopped);

    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    std::this_thread::sleep_for(150ms);
    EXPECT_GT(PlayCursor(buffer), stopped);
    ASSERT_EQ(buffer->Stop(), DS_OK);
    ASSERT_EQ(buffer->SetCurrentPosition(0), DS_OK);
    EXPECT_EQ(PlayCursor(buffer), 0u);
    EXPECT_EQ(PlayCursor(twin), 0u);

    twin->Release();
    buffer->Release();
    device->Release();
}

TEST_F(SdlSound, PlayedSoundAppearsOnceInTheMix) {
    TempDir dir;
    DiskCapture capture(dir.path);
    const std::vector<int> tone = Tone(1000, 2000);
    std::vector<Bytes> files = GameFolder::DefaultSounds();
    files[SOUND_CRASH] = Wav(1, 11025, 16, Samples16(tone));
    {
        GameFolder folder(files);
        GameSounds game;
        ASSERT_EQ(game.Init(nullptr), 0);
        ASSERT_EQ(game.Play(SOUND_CRASH, 0), S_OK);
        ASSERT_TRUE(WaitUntilStopped(game.sounds[SOUND_CRASH]->buffers[0]));
    }
    const Bytes raw = Samples16(tone);
    const WAVEFORMATEX format = Format(1, 11025, 16);
    const std::vector<std::int16_t> expected = ConvertToOutput(format, raw.data(), DWORD(raw.size()));
    ASSERT_EQ(expected.size(), 4000u);

    const std::vector<std::int16_t> mixed = ReadSamples(capture.file);
    auto [first, end] = SoundingRange(mixed);
    ASSERT_LT(first, mixed.size()) << "nothing was heard";
    EXPECT_EQ(first % 2, 0u);
    ASSERT_EQ(end - first, expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), mixed.begin() + std::ptrdiff_t(first)));
}

// 24 and 32 bits, float and the extensible format, loaded by the game as its
// crash sound: the mix holds each sample's upper 16 bits, the rest dropped.
TEST_F(SdlSound, TodaysEncodingsAreHeardAsTheirUpperSixteenBits) {
    const std::vector<int> tone = Tone(700, -1400);
    for (const EncodingInfo& e : kEncodings) {
        SCOPED_TRACE(e.name);
        TempDir dir;
        std::vector<std::int16_t> mixed;
        {
            DiskCapture capture(dir.path);
            std::vector<Bytes> files = GameFolder::DefaultSounds();
            files[SOUND_CRASH] = WavIn(e.encoding, 1, 22050, tone);
            {
                GameFolder folder(files);
                GameSounds game;
                ASSERT_EQ(game.Init(nullptr), 0);
                ASSERT_EQ(game.Play(SOUND_CRASH, 0), S_OK);
                ASSERT_TRUE(WaitUntilStopped(game.sounds[SOUND_CRASH]->buffers[0]));
            }
            mixed = ReadSamples(capture.file);
        }
        auto [first, end] = SoundingRange(mixed);
        ASSERT_LT(first, mixed.size()) << "nothing was heard";
        ASSERT_EQ(end - first, tone.size() * 2);
        for (size_t i = 0; i < tone.size(); ++i) {
            ASSERT_EQ(mixed[first + 2 * i], tone[i]) << i;
            ASSERT_EQ(mixed[first + 2 * i + 1], tone[i]) << i;
        }
    }
}

TEST_F(SdlSound, LoopingSoundLoopsUntilStopped) {
    TempDir dir;
    DiskCapture capture(dir.path);
    Bytes loop;
    for (int v : Tone(600, 500)) Put16(loop, unsigned(v));  // 300 stereo frames
    std::vector<Bytes> files = GameFolder::DefaultSounds();
    files[SOUND_BACKGROUND] = Wav(2, 22050, 16, loop);
    DWORD statusAfterStop = 99;
    {
        GameFolder folder(files);
        GameSounds game;
        ASSERT_EQ(game.Init(nullptr), 0);
        ASSERT_EQ(game.Play(SOUND_BACKGROUND, 1), S_OK);
        std::this_thread::sleep_for(200ms);
        game.soundOn = 0;  // F3
        game.sounds[SOUND_BACKGROUND]->Stop();
        statusAfterStop = Status(game.sounds[SOUND_BACKGROUND]->buffers[0]);
        std::this_thread::sleep_for(150ms);
    }
    EXPECT_EQ(statusAfterStop, 0u);
    std::vector<std::int16_t> expected(loop.size() / 2);
    std::memcpy(expected.data(), loop.data(), loop.size());

    const std::vector<std::int16_t> mixed = ReadSamples(capture.file);
    auto [first, end] = SoundingRange(mixed);
    ASSERT_LT(first, mixed.size()) << "nothing was heard";
    EXPECT_GE(end - first, 4 * expected.size()) << "it did not loop";
    for (size_t i = first; i < end; ++i) ASSERT_EQ(mixed[i], expected[(i - first) % expected.size()]) << i;
    // After Stop the stream stays silent to its end (about 150 ms of it).
    EXPECT_GE(mixed.size() - end, size_t(OUTPUT_RATE / 20) * 2);
}

TEST_F(SdlSound, LoudSoundsAreClampedNotWrapped) {
    TempDir dir;
    DiskCapture capture(dir.path);
    {
        IDirectSound8* device = nullptr;
        ASSERT_EQ(DirectSoundCreate8(nullptr, &device, nullptr), DS_OK);
        const Bytes loud = Samples16(std::vector<int>(2000, 30000));
        IDirectSoundBuffer* a = MakeBuffer(device, Format(1, 22050, 16), loud);
        IDirectSoundBuffer* b = MakeBuffer(device, Format(1, 22050, 16), loud);
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        a->Play(0, 0, DSBPLAY_LOOPING);
        b->Play(0, 0, DSBPLAY_LOOPING);
        std::this_thread::sleep_for(150ms);
        a->Release();  // a buffer released while it plays leaves the mix
        b->Release();
        std::this_thread::sleep_for(60ms);
        device->Release();
    }
    const std::vector<std::int16_t> mixed = ReadSamples(capture.file);
    ASSERT_FALSE(mixed.empty());
    EXPECT_EQ(*std::max_element(mixed.begin(), mixed.end()), 32767);
    EXPECT_EQ(*std::min_element(mixed.begin(), mixed.end()), 0);
    EXPECT_EQ(mixed.back(), 0);
}

TEST_F(SdlSound, RemovedDeviceIsReopenedAndTheSoundRefilled) {
    TempDir dir;
    DiskCapture capture(dir.path);
    const std::vector<int> tone = Tone(800, 1500);
    const std::string path = dir.Write("tone.wav", Wav(1, 22050, 16, Samples16(tone)));
    {
        SoundManager manager;
        ASSERT_EQ(manager.Initialize(nullptr, DSSCL_PRIORITY, 2, 22050, 16), S_OK);
        SoundBuffer* sound = nullptr;
        ASSERT_EQ(manager.Create(&sound, path.c_str(), 0, GUID_NULL, 1), S_OK);
        IDirectSoundBuffer* buffer = sound->buffers[0];

        SimulateAudioDeviceRemoval();
        EXPECT_EQ(Status(buffer), DSBSTATUS_BUFFERLOST);
        EXPECT_EQ(buffer->Play(0, 0, 0), DSERR_BUFFERLOST);
        void* p = nullptr;
        DWORD n = 0;
        EXPECT_EQ(buffer->Lock(0, 10, &p, &n, nullptr, nullptr, 0), DSERR_BUFFERLOST);

        ASSERT_EQ(sound->Play(0, 0), S_OK);
        EXPECT_TRUE(Status(buffer) & DSBSTATUS_PLAYING);
        ASSERT_TRUE(WaitUntilStopped(buffer));
        delete sound;
    }
    // The disk driver starts its file again when the device is reopened, so the
    // file holds what was played after the restore: the whole sound, once.
    const std::vector<std::int16_t> mixed = ReadSamples(capture.file);
    auto [first, end] = SoundingRange(mixed);
    ASSERT_LT(first, mixed.size()) << "the restored sound was not refilled";
    ASSERT_EQ(end - first, tone.size() * 2);
    for (size_t i = 0; i < tone.size(); ++i) {
        ASSERT_EQ(mixed[first + 2 * i], tone[i]) << i;
        ASSERT_EQ(mixed[first + 2 * i + 1], tone[i]) << i;
    }
}

}  // namespace
