// Feeds arbitrary bytes to the wave reader as a file: opening, reading in
// pieces, rewinding and converting must never read outside the data, crash or
// hand out more bytes than the data chunk holds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/core/dsound_common.h"
#include "platform/dsound.h"
#include "sound/wave_file.h"

namespace {

// The input goes into a file because the reader reads files; memory-backed
// /dev/shm keeps that cheap where it exists.
const std::string& ScratchFile() {
    static const std::string path = [] {
        std::FILE* probe = std::fopen("/dev/shm/.tarvik-probe", "wb");
        const char* folder = probe ? "/dev/shm" : "/tmp";
        if (probe) {
            std::fclose(probe);
            std::remove("/dev/shm/.tarvik-probe");
        }
        return std::string(folder) + "/tarvik-fuzz-wave-" + std::to_string(getpid()) + ".wav";
    }();
    return path;
}

// Removes the input file once it has been read.
struct RemoveScratch {
    ~RemoveScratch() { std::remove(ScratchFile().c_str()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string& path = ScratchFile();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    RemoveScratch cleanup;
    WaveFile wave;
    if (FAILED(wave.Open(path.c_str(), nullptr, WAVEFILE_READ))) {
        if (wave.GetSize() != 0 || wave.handle || wave.format) __builtin_trap();
        return 0;
    }
    const DWORD total = wave.GetSize();
    if (total > size || !wave.format) __builtin_trap();

    std::vector<BYTE> all;
    BYTE piece[1000];
    for (;;) {
        DWORD read = 0;
        if (FAILED(wave.Read(piece, sizeof piece, &read))) __builtin_trap();
        if (read == 0) break;
        all.insert(all.end(), piece, piece + read);
    }
    if (all.size() != total) __builtin_trap();

    if (FAILED(wave.ResetFile())) __builtin_trap();
    DWORD again = 0;
    if (FAILED(wave.Read(piece, sizeof piece, &again))) __builtin_trap();
    for (DWORD i = 0; i < again; ++i)
        if (piece[i] != all[i]) __builtin_trap();

    // What the sound device would make of it.
    ConvertToOutput(*wave.format, all.data(), DWORD(all.size()));
    return 0;
}
