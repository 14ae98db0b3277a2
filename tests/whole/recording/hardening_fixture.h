// Helpers of the hardening tests: a private copy of the game's data folder that
// a test may break file by file, and a whole game run in a folder on the
// recording platform, device and sound, tick by tick.
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

#include "app/shell.h"
#include "platform/dinput.h"
#include "resources/resource.h"
#include "scores/highscore_dialog_procs.h"
#include "tests/support/game_fixture.h"

namespace hardening {

namespace fs = std::filesystem;

inline fs::path SourceData() { return fs::path(TARVIK_SOURCE_DIR) / "data"; }

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
        fs::copy(SourceData(), root_, fs::copy_options::recursive);
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

// One whole game in `folder` (its working directory while the session lives):
// built, started, driven tick by tick by a script, ended with Esc through the
// exit dialogs, and torn down (which writes high.dat) by End() or the
// destructor.
class GameSession {
public:
    GameSession(const fs::path& folder, GameFiles files) : previous_(fs::current_path()) {
        fs::current_path(folder);
        game_ = std::make_unique<Game>(files);
        SetCurrentGame(game_.get());
        dialogs_ = std::make_unique<GameHighscoreDialogs>(game_->shell.appInstance, game_->shell.mainWindow);
        game_->highscores.SetDialogs(dialogs_.get());
        platform.OnDialog(IDD_HIGHSCORE_LIST, [this](DialogDriver& d) {
            ++listsShown;
            d.Click(IDOK);
        });
        platform.OnDialog(IDD_NAME_ENTRY, [this](DialogDriver& d) {
            d.TypeText(IDC_NAME_ENTRY, winnerName);
            d.Click(IDOK);
        });
    }
    ~GameSession() { End(); }
    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;

    Game& game() { return *game_; }

    bool Start() { return StartUp(GetModuleHandleA(nullptr), SW_SHOWNORMAL); }

    // Runs the message loop. `script` is called once after every timer tick
    // with the number of ticks so far; keys it holds act from the next tick
    // on. After `ticks` ticks the player presses Esc and the exit dialogs are
    // answered (OK on the list, `winnerName` in the name entry).
    void Play(std::uint64_t ticks, const std::function<void(std::uint64_t tick)>& script = {}) {
        std::uint64_t seen = 0;
        bool quitting = false;
        // The timer expires every 40 ms of the platform's clock, which runs only
        // from one expiry to the next while the game has nothing to do.
        const DWORD begin = platform.Now();
        platform.OnIdle([&] {
            const std::uint64_t tick = (platform.Now() - begin) / 40;
            if (tick == seen || quitting) return;
            seen = tick;
            if (script) script(tick);
            if (tick >= ticks) {
                platform.ReleaseAllKeys();
                platform.QueueKey(VK_ESCAPE);
                quitting = true;
            }
        });
        RunMessageLoop();
        platform.OnIdle(nullptr);
    }

    RecordingDevice* Device() {
        RecordingDirect3D* d3d = LastRecordingDirect3D();
        return d3d ? d3d->lastDevice : nullptr;
    }

    // Tears the game down: the sounds, high.dat, the meshes, the device.
    void End() {
        if (!game_) return;
        game_.reset();
        SetCurrentGame(nullptr);
        fs::current_path(previous_);
    }

    // Declared first so that the game goes before them.
    RecordingPlatform platform;
    std::shared_ptr<SoundRecorder> sound = std::make_shared<SoundRecorder>();
    RecordingBackends backends{platform, sound};
    std::string winnerName = "Dauertest";
    int listsShown = 0;

private:
    fs::path previous_;
    std::unique_ptr<GameHighscoreDialogs> dialogs_;
    std::unique_ptr<Game> game_;
};

// A high.dat of three rows, as the game writes it.
inline const std::string kSeededTable =
    "35.500000,Anna\r\n60.000000,Bert\r\n75.250000,Carla, die Dritte\r\n0.000000,\r\n0.000000,\r\n";

}  // namespace hardening
