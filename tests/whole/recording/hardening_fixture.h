// Helpers of the hardening tests: a private copy of the game's data folder that
// a test may break file by file, for a whole game run in it on the recording
// platform, device and sound (tests/support/game_session.h).
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/dinput.h"
#include "tests/support/game_fixture.h"
#include "tests/support/game_session.h"

namespace hardening {

namespace fs = std::filesystem;

// The file's bytes; "" for anything that is not a regular file.
inline std::string ReadBytes(const fs::path& path) {
    if (!fs::is_regular_file(path)) return "";
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The ways a test breaks one file of the data folder.
enum class Damage { Missing, Truncated, Corrupt, Folder };

inline const char* DamageName(Damage d) {
    switch (d) {
        case Damage::Missing: return "missing";
        case Damage::Truncated: return "truncated";
        case Damage::Corrupt: return "corrupt";
        case Damage::Folder: return "a folder in its place";
    }
    return "";
}

constexpr Damage kAllDamages[] = {Damage::Missing, Damage::Truncated, Damage::Corrupt, Damage::Folder};

// A copy of data/ in this process's test folder, removed again at the end.
class DataCopy {
public:
    explicit DataCopy(const std::string& name) : root_(TestFolder() / ("data_" + name)) {
        fs::remove_all(root_);
        fs::copy(DataFolder(), root_, fs::copy_options::recursive);
    }
    ~DataCopy() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    DataCopy(const DataCopy&) = delete;
    DataCopy& operator=(const DataCopy&) = delete;

    const fs::path& Root() const { return root_; }
    fs::path Path(const std::string& relative) const { return root_ / relative; }

    // Missing: gone. Truncated: its first half. Corrupt: its first 64 bytes
    // overwritten, so it no longer starts like a file of its kind. Folder: an
    // empty folder of the same name.
    void Break(const std::string& relative, Damage damage) const {
        const fs::path path = Path(relative);
        std::string bytes = ReadBytes(path);
        switch (damage) {
            case Damage::Missing: fs::remove(path); break;
            case Damage::Truncated: WriteBytes(path, bytes.substr(0, bytes.size() / 2)); break;
            case Damage::Corrupt:
                for (std::size_t i = 0; i < bytes.size() && i < 64; ++i) bytes[i] = char(0xA5 ^ (i * 37));
                WriteBytes(path, bytes);
                break;
            case Damage::Folder:
                fs::remove(path);
                fs::create_directory(path);
                break;
        }
    }

private:
    fs::path root_;
};

// A high.dat of three rows, as the game writes it.
inline const std::string kSeededTable =
    "35.500000,Anna\r\n60.000000,Bert\r\n75.250000,Carla, die Dritte\r\n0.000000,\r\n0.000000,\r\n";

}  // namespace hardening
