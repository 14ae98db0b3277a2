#include <gtest/gtest.h>

#include "platform/core/dsound_common.h"
#include "platform/dsound.h"
#include "wav_fixture.h"

namespace {

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

TEST(ConvertToOutput, FormatsAndRatesGiveTheExpectedSamples) {
    struct Case {
        const char* name;
        WAVEFORMATEX format;
        Bytes data;
        std::vector<std::int16_t> expected;  // interleaved left, right at 22050 Hz
    } cases[] = {
        {"16-bit stereo 22050 passes through", Format(2, 22050, 16), Samples16({100, -100, 32767, -32768}),
         {100, -100, 32767, -32768}},
        {"16-bit mono is doubled", Format(1, 22050, 16), Samples16({1000, -1000}), {1000, 1000, -1000, -1000}},
        {"8-bit mono is centred and scaled", Format(1, 22050, 8), Bytes{0, 128, 255},
         {-32768, -32768, 0, 0, 32512, 32512}},
        {"8-bit stereo", Format(2, 22050, 8), Bytes{0, 255, 128, 64}, {-32768, 32512, 0, -16384}},
        {"11025 Hz is interpolated up", Format(1, 11025, 16), Samples16({0, 1000, -1000}),
         {0, 0, 500, 500, 1000, 1000, 0, 0, -1000, -1000, -1000, -1000}},
        {"8-bit stereo 11025", Format(2, 11025, 8), Bytes{128, 128, 192, 64},
         {0, 0, 8192, -8192, 16384, -16384, 16384, -16384}},
        {"44100 Hz takes every other frame", Format(2, 44100, 16), Samples16({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
         {1, 2, 5, 6, 9, 10}},
        {"8-bit mono 44100", Format(1, 44100, 8), Bytes{138, 148, 158, 168}, {2560, 2560, 7680, 7680}},
        {"a partial frame at the end is dropped", Format(2, 22050, 16), Samples16({7, 8, 9}), {7, 8}},
        {"less than one frame gives nothing", Format(2, 22050, 16), Samples16({7}), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ConvertToOutput(c.format, c.data.data(), DWORD(c.data.size())), c.expected);
    }
}

TEST(ConvertToOutput, OneSecondAtAnyRateLastsOneSecond) {
    // 22050 source frames of 16-bit mono at each rate, and the output frames they make.
    const Bytes frames(22050 * 2, 0x40);
    const std::pair<DWORD, size_t> cases[] = {
        {8000, 60776}, {11025, 44100}, {16000, 30388}, {22050, 22050}, {44100, 11025}, {48000, 10130},
    };
    for (auto [rate, expected] : cases) {
        SCOPED_TRACE(rate);
        auto out = ConvertToOutput(Format(1, rate, 16), frames.data(), DWORD(frames.size()));
        EXPECT_EQ(out.size(), expected * 2);
        EXPECT_EQ(out.back(), 0x4040);
    }
}

TEST(ConvertToOutput, UnplayableFormatsGiveNothing) {
    const Bytes data = Pattern(64);
    WAVEFORMATEX adpcm = Format(1, 22050, 16);
    adpcm.wFormatTag = 2;
    WAVEFORMATEX bits24 = Format(1, 22050, 24);
    WAVEFORMATEX surround = Format(6, 22050, 16);
    for (const WAVEFORMATEX& f : {adpcm, bits24, surround})
        EXPECT_TRUE(ConvertToOutput(f, data.data(), DWORD(data.size())).empty());
}

}  // namespace
