// Small RIFF WAVE files made on the spot, a temporary folder to put them in,
// and a capture of the mixed output through SDL's disk audio driver.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sound/game_sounds.h"

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
    explicit GameFolder(const std::vector<Bytes>& files, int leaveOut = -1) : old_(std::filesystem::current_path()) {
        for (int i = 0; i < GAME_SOUND_COUNT; ++i)
            if (i != leaveOut) dir_.Write(gameSoundFiles[i], files.at(size_t(i)));
        std::filesystem::current_path(dir_.path);
    }
    ~GameFolder() { std::filesystem::current_path(old_); }
    const std::filesystem::path& Path() const { return dir_.path; }

    // 8-bit mono 11025 Hz, 1000 + 100 * index bytes each.
    static std::vector<Bytes> DefaultSounds() {
        std::vector<Bytes> files;
        for (int i = 0; i < GAME_SOUND_COUNT; ++i) files.push_back(Wav(1, 11025, 8, Pattern(1000 + 100 * size_t(i))));
        return files;
    }

private:
    TempDir dir_;
    std::filesystem::path old_;
};

// A copy of a field of a packed format: gtest takes its arguments by reference,
// and a reference to a packed field may be misaligned.
template <class T>
T Value(T v) {
    return v;
}
