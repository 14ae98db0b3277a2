#include <gtest/gtest.h>

#include <cstring>

#include "sound/wave_file.h"
#include "tests/support/wav_fixture.h"

namespace {

struct GoodFile {
    const char* name;
    Bytes file;
    WORD tag, channels;
    DWORD rate;
    WORD bits, extraCount;
    Bytes extra;
    Bytes data;
};

Bytes AdpcmHead() { return FormatHead(2, 1, 11025, 4); }

std::vector<GoodFile> GoodFiles() {
    const Bytes data = Pattern(300);
    const Bytes odd = Pattern(2501, 7);
    Bytes fmt18 = FormatHead(1, 2, 22050, 16);
    Put16(fmt18, 0);
    Bytes fmt18Count = FormatHead(1, 2, 22050, 16);
    Put16(fmt18Count, 22);  // a count in a PCM chunk means nothing
    Bytes adpcm = AdpcmHead();
    Put16(adpcm, 4);
    for (std::uint8_t b : {0xA1, 0xB2, 0xC3, 0xD4}) adpcm.push_back(b);
    adpcm.push_back(0x55);  // one byte more than the count: skipped by the ascend
    const Bytes extensible = ExtensibleFormat(2, 48000, 32, 24, SubFormat(1));
    const Bytes plainFmt = Fmt(1, 22050, 8);
    const Bytes whole = Wav(1, 22050, 8, data);
    // Cut inside the data: the data chunk still claims all 300 bytes.
    const Bytes cut(whole.begin(), whole.end() - 199);
    Bytes wholeFileSize = whole;  // a RIFF size that counts the RIFF header too
    wholeFileSize[4] = std::uint8_t(whole.size());
    wholeFileSize[5] = std::uint8_t(whole.size() >> 8);
    return {
        {"plain", Wav(1, 22050, 8, data), 1, 1, 22050, 8, 0, {}, data},
        {"extensible, its 22 extra bytes kept", Riff(Cat({Chunk("fmt ", extensible), Chunk("data", data)})), 0xFFFE,
         2, 48000, 32, 22, Bytes(extensible.begin() + 18, extensible.end()), data},
        {"float", Riff(Cat({Chunk("fmt ", FormatOf(Encoding::Float32, 1, 44100)), Chunk("data", data)})), 3, 1,
         44100, 32, 0, {}, data},
        {"24-bit PCM", Riff(Cat({Chunk("fmt ", FormatOf(Encoding::Pcm24, 2, 44100)), Chunk("data", data)})), 1, 2,
         44100, 24, 0, {}, data},
        {"file cut short inside the data", cut, 1, 1, 22050, 8, 0, {}, Bytes(data.begin(), data.begin() + 101)},
        {"data size beyond the file", Riff(Cat({plainFmt, Chunk("data", data, 5000)})), 1, 1, 22050, 8, 0, {}, data},
        {"RIFF size beyond the file", Riff(Cat({plainFmt, Chunk("data", data)}), "WAVE", 100000), 1, 1, 22050, 8, 0,
         {}, data},
        {"RIFF size counting the whole file", wholeFileSize, 1, 1, 22050, 8, 0, {}, data},
        {"sizes never filled in", Riff(Cat({plainFmt, Chunk("data", data, 0xFFFFFFFF)}), "WAVE", 0xFFFFFFFF), 1, 1,
         22050, 8, 0, {}, data},
        // The whole data chunk is in the file, but the RIFF chunk ends 10 bytes into it.
        {"data chunk larger than the RIFF chunk",
         Riff(Cat({plainFmt, Chunk("data", data)}), "WAVE", 4 + plainFmt.size() + 8 + 10), 1, 1, 22050, 8, 0, {},
         data},
        {"short LIST chunks", Riff(Cat({Chunk("LIST", {}), plainFmt, Chunk("LIST", Bytes{'a', 'b', 'c'}),
                                        Chunk("data", data)})),
         1, 1, 22050, 8, 0, {}, data},
        {"pcm with 18-byte fmt", Riff(Cat({Chunk("fmt ", fmt18), Chunk("data", data)})), 1, 2, 22050, 16, 0, {},
         data},
        {"pcm fmt with a stray count", Riff(Cat({Chunk("fmt ", fmt18Count), Chunk("data", data)})), 1, 2, 22050, 16,
         0, {}, data},
        {"LIST between fmt and data",
         Riff(Cat({Fmt(2, 44100, 16), Chunk("LIST", Cat({Bytes{'I', 'N', 'F', 'O'}, Pattern(9)})),
                   Chunk("data", data)})),
         1, 2, 44100, 16, 0, {}, data},
        {"data before fmt", Riff(Cat({Chunk("data", data), Chunk("junk", Pattern(5)), Fmt(1, 11025, 16)})), 1, 1,
         11025, 16, 0, {}, data},
        {"odd data size", Wav(1, 22050, 8, odd), 1, 1, 22050, 8, 0, {}, odd},
        {"non-pcm with extra bytes", Riff(Cat({Chunk("fmt ", adpcm), Chunk("data", data)})), 2, 1, 11025, 4, 4,
         {0xA1, 0xB2, 0xC3, 0xD4}, data},
    };
}

TEST(WaveFile, NewHasNothing) {
    WaveFile wave;
    EXPECT_EQ(wave.format, nullptr);
    EXPECT_EQ(wave.handle, nullptr);
    EXPECT_EQ(wave.GetSize(), 0u);
}

TEST(WaveFile, ReadsFormatAndDataOfGoodFiles) {
    TempDir dir;
    for (const GoodFile& c : GoodFiles()) {
        SCOPED_TRACE(c.name);
        std::string path = dir.Write("good.wav", c.file);
        WaveFile wave;
        ASSERT_EQ(wave.Open(path.c_str(), nullptr, WAVEFILE_READ), S_OK);
        ASSERT_NE(wave.format, nullptr);
        EXPECT_EQ(Value(wave.format->wFormatTag), c.tag);
        EXPECT_EQ(Value(wave.format->nChannels), c.channels);
        EXPECT_EQ(Value(wave.format->nSamplesPerSec), c.rate);
        EXPECT_EQ(Value(wave.format->wBitsPerSample), c.bits);
        EXPECT_EQ(Value(wave.format->cbSize), c.extraCount);
        const BYTE* extra = reinterpret_cast<const BYTE*>(wave.format) + sizeof(WAVEFORMATEX);
        EXPECT_EQ(Bytes(extra, extra + c.extraCount), c.extra);
        EXPECT_EQ(wave.GetSize(), c.data.size());

        Bytes got(c.data.size() + 64, 0xEE);
        DWORD read = 0;
        ASSERT_EQ(wave.Read(got.data(), DWORD(got.size()), &read), S_OK);
        ASSERT_EQ(read, c.data.size());
        EXPECT_TRUE(std::equal(c.data.begin(), c.data.end(), got.begin()));
        // Nothing behind the data reaches the caller's buffer.
        for (size_t i = c.data.size(); i < got.size(); ++i) ASSERT_EQ(got[i], 0xEE) << i;
    }
}

TEST(WaveFile, ReadsInPiecesAndRewinds) {
    TempDir dir;
    const Bytes data = Pattern(2500, 3);
    // A chunk behind the data must never be read as samples.
    std::string path = dir.Write("pieces.wav", Riff(Cat({Fmt(1, 22050, 8), Chunk("data", data),
                                                        Chunk("LIST", Bytes(40, 0x77))})));
    WaveFile wave;
    ASSERT_EQ(wave.Open(path.c_str(), nullptr, WAVEFILE_READ), S_OK);

    Bytes all;
    for (DWORD expected : {1000u, 1000u, 500u, 0u}) {
        Bytes piece(1000, 0xEE);
        DWORD read = 1234;
        ASSERT_EQ(wave.Read(piece.data(), 1000, &read), S_OK);
        ASSERT_EQ(read, expected);
        all.insert(all.end(), piece.begin(), piece.begin() + read);
        for (size_t i = read; i < piece.size(); ++i) ASSERT_EQ(piece[i], 0xEE);
    }
    EXPECT_EQ(all, data);
    EXPECT_EQ(wave.GetSize(), 2500u);  // the size stays what the file holds

    ASSERT_EQ(wave.ResetFile(), S_OK);
    Bytes again(10);
    DWORD read = 0;
    ASSERT_EQ(wave.Read(again.data(), 10, &read), S_OK);
    EXPECT_EQ(read, 10u);
    EXPECT_EQ(again, Bytes(data.begin(), data.begin() + 10));
}

TEST(WaveFile, RejectsBrokenFiles) {
    TempDir dir;
    const Bytes data = Pattern(100);
    Bytes riffOnly{'R', 'I', 'F', 'F'};
    Put16(riffOnly, 0);
    Bytes shortFmt = FormatHead(1, 1, 22050, 8);
    shortFmt.resize(14);
    Bytes hugeExtra = AdpcmHead();
    Put16(hugeExtra, 60000);
    hugeExtra.resize(24);
    Bytes adpcm16 = AdpcmHead();  // non-PCM without room for its count
    Bytes dataBeyondParent = Cat({Riff(Fmt(1, 22050, 8)), Chunk("data", data)});
    Bytes fmtCutShort = Riff(Fmt(1, 22050, 8));
    fmtCutShort.resize(fmtCutShort.size() - 6);
    Bytes riffWithoutFormType{'R', 'I', 'F', 'F', 100, 0, 0, 0, 'W', 'A'};
    struct Case {
        const char* name;
        Bytes file;
    } cases[] = {
        {"empty file", {}},
        {"truncated RIFF header", riffOnly},
        {"not RIFF", Chunk("RIFX", Cat({Bytes{'W', 'A', 'V', 'E'}, Fmt(1, 22050, 8), Chunk("data", data)}))},
        {"not WAVE", Riff(Cat({Fmt(1, 22050, 8), Chunk("data", data)}), "AVI ")},
        {"missing fmt", Riff(Chunk("data", data))},
        {"missing data", Riff(Fmt(1, 22050, 8))},
        {"fmt shorter than 16", Riff(Cat({Chunk("fmt ", shortFmt), Chunk("data", data)}))},
        {"sub-chunk header cut short", Riff(Cat({Fmt(1, 22050, 8), Bytes{'d', 'a', 't'}}))},
        {"data chunk outside the RIFF chunk", dataBeyondParent},
        {"file cut short inside the fmt chunk", fmtCutShort},
        {"RIFF chunk without room for its form type", riffWithoutFormType},
        {"extra-byte count beyond the fmt chunk", Riff(Cat({Chunk("fmt ", hugeExtra), Chunk("data", data)}))},
        {"non-pcm fmt without its count", Riff(Cat({Chunk("fmt ", adpcm16), Chunk("data", data)}))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.Write("bad.wav", c.file);
        WaveFile wave;
        EXPECT_EQ(wave.Open(path.c_str(), nullptr, WAVEFILE_READ), E_FAIL);
        EXPECT_EQ(wave.GetSize(), 0u);
        EXPECT_EQ(wave.handle, nullptr);
        EXPECT_EQ(wave.format, nullptr);
    }
}

TEST(WaveFile, ArgumentAndStateErrors) {
    TempDir dir;
    WaveFile wave;
    BYTE buffer[8];
    DWORD read = 99;
    EXPECT_EQ(wave.Open(nullptr, nullptr, WAVEFILE_READ), E_INVALIDARG);
    EXPECT_EQ(wave.Open((dir.path / "missing.wav").c_str(), nullptr, WAVEFILE_READ), E_FAIL);
    EXPECT_EQ(wave.Open(dir.path.c_str(), nullptr, WAVEFILE_READ), E_FAIL);  // a folder is no file
    EXPECT_EQ(wave.ResetFile(), CO_E_NOTINITIALIZED);
    EXPECT_EQ(wave.Read(buffer, 8, &read), CO_E_NOTINITIALIZED);

    std::string path = dir.Write("ok.wav", Wav(1, 22050, 8, Pattern(50)));
    ASSERT_EQ(wave.Open(path.c_str(), nullptr, WAVEFILE_READ), S_OK);
    EXPECT_EQ(wave.Read(nullptr, 8, &read), E_INVALIDARG);
    EXPECT_EQ(wave.Read(buffer, 8, nullptr), E_INVALIDARG);
    EXPECT_EQ(wave.Close(), S_OK);
    EXPECT_EQ(wave.handle, nullptr);
    EXPECT_EQ(wave.Read(buffer, 8, &read), CO_E_NOTINITIALIZED);
    EXPECT_EQ(wave.ResetFile(), CO_E_NOTINITIALIZED);

    // Opening again over a failed open leaves nothing of the earlier file behind.
    ASSERT_EQ(wave.Open(path.c_str(), nullptr, WAVEFILE_READ), S_OK);
    std::string broken = dir.Write("broken.wav", Riff(Fmt(1, 22050, 8)));
    EXPECT_EQ(wave.Open(broken.c_str(), nullptr, WAVEFILE_READ), E_FAIL);
    EXPECT_EQ(wave.GetSize(), 0u);
    EXPECT_EQ(wave.format, nullptr);
}

}  // namespace
