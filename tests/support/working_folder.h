// The game reads and writes its files relative to the working folder. Tests
// that run it in a folder of their own go there with a WorkingFolder, which
// puts the previous one back when it goes out of scope, also when a fatal
// assertion ends the test early.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

class WorkingFolder {
public:
    explicit WorkingFolder(const std::filesystem::path& folder) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~WorkingFolder() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
    }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    std::filesystem::path previous_;
};

// A folder of this test process's own: the sanitizer and plain builds run
// their test programs side by side. It goes away when the process ends, so a
// run of the tests leaves nothing behind in the temporary folder.
inline std::filesystem::path TestFolder() {
    struct Owned {
        std::filesystem::path dir =
            std::filesystem::temp_directory_path() / ("tarvik_test_" + std::to_string(getpid()));
        ~Owned() {
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
        }
    };
    static const Owned owned;
    std::filesystem::create_directories(owned.dir);
    return owned.dir;
}

// The game's data folder in the source tree.
inline std::filesystem::path DataFolder() { return std::filesystem::path(TARVIK_SOURCE_DIR) / "data"; }
