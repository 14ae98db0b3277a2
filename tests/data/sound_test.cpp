// The committed sounds: RIFF WAVE files of the sizes and formats the game
// expects, read by the game's own wave reader, with a background that loops
// without a click.
#include <algorithm>
#include <filesystem>
#include <set>

#include "sound/wave_file.h"
#include "tests/data/data_fixture.h"

namespace {

using namespace data_test;

struct Wave {
    unsigned tag = 0, channels = 0, rate = 0, byteRate = 0, blockAlign = 0, bits = 0;
    std::vector<unsigned char> data;
    bool ok = false;
    std::string why;

    double Seconds() const { return blockAlign ? double(data.size()) / blockAlign / rate : 0; }
    // Sample of channel c at frame i, scaled to -1..1.
    double Sample(size_t i, unsigned c) const {
        const size_t at = i * blockAlign + c * (bits / 8);
        if (bits == 8) {
            return (data[at] - 128.0) / 128.0;
        }
        return static_cast<std::int16_t>(data[at] | (data[at + 1] << 8)) / 32768.0;
    }
    size_t Frames() const { return blockAlign ? data.size() / blockAlign : 0; }
};

unsigned Little16(const std::vector<unsigned char>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
unsigned Little32(const std::vector<unsigned char>& b, size_t at) { return Little16(b, at) | (Little16(b, at + 2) << 16); }

// Walks the RIFF structure: "RIFF" of the file's size holding "WAVE", a
// "fmt " chunk of PCM and a "data" chunk, chunks padded to even sizes.
Wave ReadWave(const std::string& path) {
    Wave w;
    const auto b = ReadBytes(path);
    if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
        std::string(b.begin() + 8, b.begin() + 12) != "WAVE") {
        w.why = "not RIFF/WAVE";
        return w;
    }
    if (Little32(b, 4) != b.size() - 8) {
        w.why = "RIFF size " + std::to_string(Little32(b, 4)) + " for a file of " + std::to_string(b.size());
        return w;
    }
    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= b.size();) {
        const std::string id(b.begin() + at, b.begin() + at + 4);
        const size_t size = Little32(b, at + 4);
        if (at + 8 + size > b.size()) {
            w.why = "chunk " + id + " runs past the end";
            return w;
        }
        if (id == "fmt ") {
            if (size < 16) {
                w.why = "short fmt chunk";
                return w;
            }
            w.tag = Little16(b, at + 8);
            w.channels = Little16(b, at + 10);
            w.rate = Little32(b, at + 12);
            w.byteRate = Little32(b, at + 16);
            w.blockAlign = Little16(b, at + 20);
            w.bits = Little16(b, at + 22);
            haveFormat = true;
        } else if (id == "data") {
            w.data.assign(b.begin() + at + 8, b.begin() + at + 8 + size);
        }
        at += 8 + size + (size & 1);
    }
    if (!haveFormat || w.data.empty()) {
        w.why = "fmt or data chunk missing";
        return w;
    }
    w.ok = true;
    return w;
}

struct SoundCase {
    const char* file;
    unsigned channels, rate, bits;
    double minSeconds, maxSeconds;
};

const SoundCase kSounds[] = {
    {"race_hintergrund.wav", 1, 22050, 16, 4.0, 8.0},
    {"race_boxenluder.wav", 2, 22050, 16, 3.0, 6.0},
    {"race_hupe.wav", 1, 22050, 8, 0.4, 0.8},
    {"race_crash.wav", 1, 44100, 16, 0.6, 1.0},
};

TEST(SoundFiles, ArePcmWavesOfTheirFormatAndLength) {
    std::set<unsigned> channelCounts, rates, depths;
    std::uintmax_t total = 0;
    for (const SoundCase& c : kSounds) {
        SCOPED_TRACE(c.file);
        const Wave w = ReadWave(DataPath(std::string("media/") + c.file));
        ASSERT_TRUE(w.ok) << w.why;
        EXPECT_EQ(w.tag, 1u) << "PCM";
        EXPECT_EQ(w.channels, c.channels);
        EXPECT_EQ(w.rate, c.rate);
        EXPECT_EQ(w.bits, c.bits);
        EXPECT_EQ(w.blockAlign, w.channels * w.bits / 8);
        EXPECT_EQ(w.byteRate, w.rate * w.blockAlign);
        EXPECT_EQ(w.data.size() % w.blockAlign, 0u);
        EXPECT_GE(w.Seconds(), c.minSeconds);
        EXPECT_LE(w.Seconds(), c.maxSeconds);
        // Loud enough to hear, and never clipped hard against full scale.
        double peak = 0;
        for (size_t i = 0; i < w.Frames(); ++i) {
            for (unsigned ch = 0; ch < w.channels; ++ch) {
                peak = std::max(peak, std::fabs(w.Sample(i, ch)));
            }
        }
        EXPECT_GT(peak, 0.5);
        EXPECT_LT(peak, 0.99);
        channelCounts.insert(w.channels);
        rates.insert(w.rate);
        depths.insert(w.bits);
        total += std::filesystem::file_size(DataPath(std::string("media/") + c.file));
    }
    // The reader must cope with mono and stereo, both rates and both depths.
    EXPECT_EQ(channelCounts.size(), 2u);
    EXPECT_EQ(rates.size(), 2u);
    EXPECT_EQ(depths.size(), 2u);
    EXPECT_LT(total, 1500u * 1024u);
}

TEST(SoundFiles, TheBackgroundLoopsWithoutAClick) {
    const Wave w = ReadWave(DataPath("media/race_hintergrund.wav"));
    ASSERT_TRUE(w.ok) << w.why;
    const size_t n = w.Frames();
    // The step from the last sample back to the first is no bigger than the
    // steps within the sound: compare it with the largest 1% of them.
    std::vector<double> steps;
    for (size_t i = 1; i < n; ++i) {
        steps.push_back(std::fabs(w.Sample(i, 0) - w.Sample(i - 1, 0)));
    }
    std::sort(steps.begin(), steps.end());
    const double typicalLargeStep = steps[steps.size() * 99 / 100];
    EXPECT_LE(std::fabs(w.Sample(0, 0) - w.Sample(n - 1, 0)), typicalLargeStep);
    // It plays on to the very end (a loop, not a fade-out).
    double endEnergy = 0;
    for (size_t i = n - 2205; i < n; ++i) {
        endEnergy += w.Sample(i, 0) * w.Sample(i, 0);
    }
    EXPECT_GT(std::sqrt(endEnergy / 2205), 0.05);
}

TEST(SoundFiles, TheGamesWaveReaderReadsEachWhole) {
    for (const SoundCase& c : kSounds) {
        SCOPED_TRACE(c.file);
        const std::string path = DataPath(std::string("media/") + c.file);
        const Wave expected = ReadWave(path);
        WaveFile wave;
        ASSERT_EQ(wave.Open(path.c_str(), nullptr, WAVEFILE_READ), S_OK);
        ASSERT_NE(wave.format, nullptr);
        EXPECT_EQ(wave.format->nChannels, c.channels);
        EXPECT_EQ(wave.format->nSamplesPerSec, c.rate);
        EXPECT_EQ(wave.format->wBitsPerSample, c.bits);
        ASSERT_EQ(wave.GetSize(), expected.data.size());
        std::vector<BYTE> read(expected.data.size());
        DWORD got = 0;
        ASSERT_EQ(wave.Read(read.data(), static_cast<DWORD>(read.size()), &got), S_OK);
        EXPECT_EQ(got, read.size());
        EXPECT_TRUE(std::equal(read.begin(), read.end(), expected.data.begin()));
    }
}

}  // namespace
