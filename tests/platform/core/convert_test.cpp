#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/core/dsound_common.h"
#include "platform/dsound.h"
#include "tests/support/wav_fixture.h"

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

// A format as a wave file's format chunk holds it, extra bytes included.
WAVEFORMATEXTENSIBLE FormatFromChunk(const Bytes& chunkData) {
    WAVEFORMATEXTENSIBLE f{};
    std::memcpy(&f, chunkData.data(), std::min(chunkData.size(), sizeof f));
    return f;
}

TEST(ConvertToOutput, TodaysEncodingsKeepTheirUpperSixteenBits) {
    const std::vector<int> values = {0, 1, -1, 32767, -32768, 12345, -12345, 256, -257};
    for (const EncodingInfo& e : kEncodings) {
        SCOPED_TRACE(e.name);
        // Stereo at the mixing rate: every value comes through as it is.
        const WAVEFORMATEXTENSIBLE stereo = FormatFromChunk(FormatOf(e.encoding, 2, 22050));
        const Bytes even = Encode(e.encoding, {values.begin(), values.end() - 1});
        std::vector<std::int16_t> expected(values.begin(), values.end() - 1);
        EXPECT_EQ(ConvertToOutput(stereo.Format, even.data(), DWORD(even.size())), expected);
        // Mono at another rate is doubled and resampled as 16 bits are.
        const WAVEFORMATEXTENSIBLE mono = FormatFromChunk(FormatOf(e.encoding, 1, 11025));
        const Bytes data = Encode(e.encoding, values);
        const Bytes sixteen = Samples16(values);
        EXPECT_EQ(ConvertToOutput(mono.Format, data.data(), DWORD(data.size())),
                  ConvertToOutput(Format(1, 11025, 16), sixteen.data(), DWORD(sixteen.size())));
    }
}

TEST(ConvertToOutput, FloatSamplesOutsideTheRangeAreClampedAndNaNIsSilence) {
    const float inputs[] = {0.5f, -0.25f, 1.0f, 1.5f, -1.0f, -2.0f, std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
                            1e-9f};
    Bytes data(sizeof inputs);
    std::memcpy(data.data(), inputs, sizeof inputs);
    WAVEFORMATEX f = Format(1, 22050, 32);
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    const std::vector<std::int16_t> mono = {16384, -8192, 32767, 32767, -32768, -32768, 32767, -32768, 0, 0};
    std::vector<std::int16_t> expected;
    for (std::int16_t v : mono) expected.insert(expected.end(), {v, v});
    EXPECT_EQ(ConvertToOutput(f, data.data(), DWORD(data.size())), expected);
}

TEST(ConvertToOutput, UnplayableFormatsGiveNothing) {
    const Bytes data = Pattern(64);
    WAVEFORMATEX adpcm = Format(1, 22050, 16);
    adpcm.wFormatTag = 2;
    WAVEFORMATEX bits12 = Format(1, 22050, 12);
    bits12.nBlockAlign = 2;
    WAVEFORMATEX surround = Format(6, 22050, 16);
    WAVEFORMATEX float64 = Format(1, 22050, 64);
    float64.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    WAVEFORMATEX float16 = Format(1, 22050, 16);
    float16.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    WAVEFORMATEX bits24Misaligned = Format(2, 22050, 24);
    bits24Misaligned.nBlockAlign = 8;  // 24 bits in 32 need the extensible format
    const WAVEFORMATEXTENSIBLE adpcmInside = FormatFromChunk(ExtensibleFormat(1, 22050, 16, 16, SubFormat(2)));
    const WAVEFORMATEXTENSIBLE moreValidBits = FormatFromChunk(ExtensibleFormat(1, 22050, 16, 24, SubFormat(1)));
    WAVEFORMATEXTENSIBLE noExtension = FormatFromChunk(ExtensibleFormat(1, 22050, 16, 16, SubFormat(1)));
    noExtension.Format.cbSize = 0;
    WAVEFORMATEXTENSIBLE otherGuid = FormatFromChunk(ExtensibleFormat(1, 22050, 16, 16, SubFormat(1)));
    otherGuid.SubFormat.Data4[7] ^= 1;
    const std::pair<const char*, const WAVEFORMATEX*> cases[] = {
        {"ADPCM", &adpcm},
        {"12 bits", &bits12},
        {"six channels", &surround},
        {"64-bit float", &float64},
        {"16-bit float", &float16},
        {"24 bits in 4-byte blocks without the extensible format", &bits24Misaligned},
        {"extensible naming ADPCM", &adpcmInside.Format},
        {"extensible with more valid bits than its container", &moreValidBits.Format},
        {"extensible without its extra bytes", &noExtension.Format},
        {"extensible naming an unknown GUID", &otherGuid.Format},
    };
    for (const auto& [name, format] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(CheckBufferFormat(format), DSERR_BADFORMAT);
        EXPECT_TRUE(ConvertToOutput(*format, data.data(), DWORD(data.size())).empty());
    }
}

}  // namespace
