// Small RIFF WAVE files made on the spot, a temporary folder to put them in,
// and a capture of the mixed output through SDL's disk audio driver.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sound/game_sounds.h"
#include "tests/support/working_folder.h"

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, unsigned v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void Put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A chunk with its header; odd sizes get their pad byte. `declared` overrides the size field.
inline Bytes Chunk(const char* id, const Bytes& data, long long declared = -1) {
    Bytes b(id, id + 4);
    Put32(b, declared >= 0 ? std::uint32_t(declared) : std::uint32_t(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() & 1) b.push_back(0);
    return b;
}

inline Bytes Riff(const Bytes& subChunks, const char* form = "WAVE", long long declared = -1) {
    Bytes data(form, form + 4);
    data.insert(data.end(), subChunks.begin(), subChunks.end());
    return Chunk("RIFF", data, declared);
}

// The 16 bytes of a format chunk.
inline Bytes FormatHead(unsigned tag, unsigned channels, unsigned rate, unsigned bits) {
    Bytes b;
    unsigned align = channels * bits / 8;
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * align);
    Put16(b, align);
    Put16(b, bits);
    return b;
}

inline Bytes Fmt(unsigned channels, unsigned rate, unsigned bits) {
    return Chunk("fmt ", FormatHead(1, channels, rate, bits));
}

inline Bytes Wav(unsigned channels, unsigned rate, unsigned bits, const Bytes& samples) {
    return Riff(Cat({Fmt(channels, rate, bits), Chunk("data", samples)}));
}

// The sample encodings today's tools write besides 8 and 16 bits: plain tags,
// and WAVE_FORMAT_EXTENSIBLE naming PCM or float as its encoding.
enum class Encoding { Pcm24, Pcm32, Float32, ExtensiblePcm24In32, ExtensibleFloat32, ExtensiblePcm16 };

struct EncodingInfo {
    Encoding encoding;
    const char* name;
    unsigned tag, containerBits, validBits;
};

inline const EncodingInfo kEncodings[] = {
    {Encoding::Pcm24, "24-bit PCM", 1, 24, 24},
    {Encoding::Pcm32, "32-bit PCM", 1, 32, 32},
    {Encoding::Float32, "32-bit float", 3, 32, 32},
    {Encoding::ExtensiblePcm24In32, "extensible, 24 bits of PCM in 32", 0xFFFE, 32, 24},
    {Encoding::ExtensibleFloat32, "extensible, 32-bit float", 0xFFFE, 32, 32},
    {Encoding::ExtensiblePcm16, "extensible, 16-bit PCM", 0xFFFE, 16, 16},
};

inline const EncodingInfo& InfoOf(Encoding e) {
    for (const EncodingInfo& info : kEncodings)
        if (info.encoding == e) return info;
    return kEncodings[0];
}

// The encoding GUIDs of the extensible format: PCM 1, float 3, and the rest
// of the GUID shared by all of them.
inline Bytes SubFormat(std::uint32_t code) {
    Bytes b;
    Put32(b, code);
    Put16(b, 0x0000);
    Put16(b, 0x0010);
    for (std::uint8_t x : {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}) b.push_back(x);
    return b;
}

// The data of a 40-byte extensible format chunk.
inline Bytes ExtensibleFormat(unsigned channels, unsigned rate, unsigned containerBits, unsigned validBits,
                              const Bytes& subFormat) {
    Bytes b = FormatHead(0xFFFE, channels, rate, containerBits);
    Put16(b, 22);
    Put16(b, validBits);
    Put32(b, channels == 1 ? 0x4 : 0x3);  // front centre; front left and right
    b.insert(b.end(), subFormat.begin(), subFormat.end());
    return b;
}

// The data of the format chunk of `e`.
inline Bytes FormatOf(Encoding e, unsigned channels, unsigned rate) {
    const EncodingInfo& info = InfoOf(e);
    if (info.tag != 0xFFFE) {
        Bytes b = FormatHead(info.tag, channels, rate, info.containerBits);
        if (info.tag != 1) Put16(b, 0);
        return b;
    }
    return ExtensibleFormat(channels, rate, info.containerBits, info.validBits,
                            SubFormat(e == Encoding::ExtensibleFloat32 ? 3 : 1));
}

// 16-bit sample values written in `e`. The bits below the upper 16 carry
// noise where the encoding has any, which the 16-bit mix must drop; so each
// value comes back from the mix as it was.
inline Bytes Encode(Encoding e, const std::vector<int>& values) {
    Bytes b;
    std::uint8_t noise = 0x35;
    for (int v : values) {
        const std::uint32_t upper = std::uint32_t(std::uint16_t(std::int16_t(v)));
        noise = std::uint8_t(noise * 5 + 1);
        switch (e) {
            case Encoding::Pcm24:
                b.push_back(noise);
                Put16(b, upper);
                break;
            case Encoding::Pcm32: Put32(b, upper << 16 | noise << 8 | std::uint8_t(noise ^ 0xFF)); break;
            case Encoding::ExtensiblePcm24In32: Put32(b, upper << 16 | noise << 8); break;  // low 8 bits unused
            case Encoding::Float32:
            case Encoding::ExtensibleFloat32: {
                const float f = float(std::int16_t(v)) / 32768.0f;
                std::uint32_t bits;
                std::memcpy(&bits, &f, sizeof bits);
                Put32(b, bits);
                break;
            }
            case Encoding::ExtensiblePcm16: Put16(b, upper); break;
        }
    }
    return b;
}

inline Bytes WavIn(Encoding e, unsigned channels, unsigned rate, const std::vector<int>& values) {
    return Riff(Cat({Chunk("fmt ", FormatOf(e, channels, rate)), Chunk("data", Encode(e, values))}));
}

// Bytes 0, 1, 2, ... wrapping at 251 so that no two nearby offsets look alike.
inline Bytes Pattern(size_t n, unsigned seed = 0) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = std::uint8_t((i + seed) % 251);
    return b;
}

inline Bytes Samples16(const std::vector<int>& values) {
    Bytes b;
    for (int v : values) Put16(b, unsigned(std::uint16_t(std::int16_t(v))));
    return b;
}

class TempDir {
public:
    TempDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "tarvik-sound-XXXXXX").string();
        path = mkdtemp(templ.data()) ? templ : std::string();
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string Write(const std::string& name, const Bytes& bytes) const {
        std::filesystem::path file = path / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return file.string();
    }
    std::filesystem::path path;
};

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (had_)
            setenv(name_.c_str(), old_.c_str(), 1);
        else
            unsetenv(name_.c_str());
    }

private:
    std::string name_, old_;
    bool had_ = false;
};

// Reads back what SDL's disk driver wrote: interleaved 16-bit samples.
inline std::vector<std::int16_t> ReadSamples(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    Bytes raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(raw.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = std::int16_t(std::uint16_t(raw[2 * i] | (raw[2 * i + 1] << 8)));
    return samples;
}

// Runs a test inside a folder that holds media/ with the four game sounds (less
// the one numbered `leaveOut`), as the game runs in its data folder.
class GameFolder {
public:
    explicit GameFolder(int leaveOut = -1) : GameFolder(DefaultSounds(), leaveOut) {}
    explicit GameFolder(const std::vector<Bytes>& files, int leaveOut = -1) : in_(Fill(dir_, files, leaveOut)) {}
    const std::filesystem::path& Path() const { return dir_.path; }

    // 8-bit mono 11025 Hz, 1000 + 100 * index bytes each.
    static std::vector<Bytes> DefaultSounds() {
        std::vector<Bytes> files;
        for (int i = 0; i < GAME_SOUND_COUNT; ++i) files.push_back(Wav(1, 11025, 8, Pattern(1000 + 100 * size_t(i))));
        return files;
    }

private:
    static const std::filesystem::path& Fill(const TempDir& dir, const std::vector<Bytes>& files, int leaveOut) {
        for (int i = 0; i < GAME_SOUND_COUNT; ++i)
            if (i != leaveOut) dir.Write(gameSoundFiles[i], files.at(size_t(i)));
        return dir.path;
    }

    TempDir dir_;
    WorkingFolder in_;  // goes before the folder is removed
};

// A copy of a field of a packed format: gtest takes its arguments by reference,
// and a reference to a packed field may be misaligned.
template <class T>
T Value(T v) {
    return v;
}
