// A machine without any sound device: the game says so in one terminal line
// and plays silently, on the recording platform (no sound device to hand
// out) and on SDL's output (no audio driver; ALSA without a sound card, whose
// library's own complaints stay off the terminal). A sound device that is
// there but fails still ends the start with "Fehler beim Initialisieren der
// Sounds".
#include <glob.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "app/shell.h"
#include "platform/dinput.h"
#include "platform/sdl/dsound_sdl.h"
#include "resources/resource.h"
#include "resources/resources.h"
#include "scores/highscore_dialog_procs.h"
#include "tests/support/autopilot.h"
#include "tests/support/game_fixture.h"

namespace {

namespace fs = std::filesystem;

const std::string kSilentLine = "Tarvik 3D: Kein Soundger\u00e4t gefunden; das Spiel l\u00e4uft ohne Ton.\n";

class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value, 1);
    }
    ~EnvironmentVariable() {
        if (old_) ::setenv(name_.c_str(), old_->c_str(), 1);
        else ::unsetenv(name_.c_str());
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};

// The sound device each case starts with, and what the start then does.
struct SoundCase {
    const char* name;
    HRESULT (*directSound)(IDirectSound8**);  // null: none to hand out
    const char* driver;                       // SDL_AUDIODRIVER for SDL's output
    const char* diskFile;                     // SDL_DISKAUDIOFILE, for the disk driver
    bool silent;                              // started without sounds; else the start ends with the message
};

// Whether ALSA has a playback device here; without one, its library finds no
// card and complains on the terminal unless the game quietens it.
bool HasSoundCard() {
    glob_t found{};
    const bool any = glob("/dev/snd/pcm*p", 0, nullptr, &found) == 0 && found.gl_pathc > 0;
    globfree(&found);
    return any;
}

HRESULT FailingRecordingSound(IDirectSound8** device) {
    *device = nullptr;
    return DSERR_GENERIC;
}

// The game in the source tree's data folder (its real sounds) on the
// recording platform and device, with the sound device of the case.
class SoundDeviceStart : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        fs::current_path(fs::path(TARVIK_SOURCE_DIR) / "data");
        highscores = (TestFolder() / "no_sound_high.dat").string();
        fs::remove(highscores);
        RegisterGameResources();
    }
    void TearDown() override {
        SetCurrentGame(nullptr);
        fs::current_path(previous_);
        fs::remove(highscores);
    }

    static Backends With(RecordingPlatform& platform, HRESULT (*directSound)(IDirectSound8**)) {
        Backends b;
        b.window = &platform.WindowBackend();
        b.direct3d = &CreateRecordingDirect3D;
        b.directSound = directSound;
        return b;
    }

    fs::path previous_;
    std::string highscores;
};

TEST_F(SoundDeviceStart, NoDeviceStartsSilentlyADeviceThatFailsEndsTheStart) {
    const std::string missingFolder = (TestFolder() / "no-such-folder" / "out.raw").string();
    const SoundCase cases[] = {
        {"recording: no sound device", nullptr, nullptr, nullptr, true},
        {"recording: a device that fails", &FailingRecordingSound, nullptr, nullptr, false},
        {"SDL: no audio driver", &CreateSdlDirectSound, "no-such-driver", nullptr, true},
        // The exact terminal output below holds no "ALSA lib" line.
        {"SDL: ALSA without a sound card", &CreateSdlDirectSound, "alsa", nullptr, true},
        // The disk driver always lists its one device; a file it cannot
        // write makes that device fail to open.
        {"SDL: a device that fails to open", &CreateSdlDirectSound, "disk", missingFolder.c_str(), false},
        {"SDL: a working device", &CreateSdlDirectSound, "dummy", nullptr, false},
    };
    for (const SoundCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (std::string(c.name) == "SDL: ALSA without a sound card" && HasSoundCard()) continue;
        const bool works = std::string(c.name) == "SDL: a working device";
        std::unique_ptr<EnvironmentVariable> driver, disk;
        if (c.driver) driver = std::make_unique<EnvironmentVariable>("SDL_AUDIODRIVER", c.driver);
        if (c.diskFile) disk = std::make_unique<EnvironmentVariable>("SDL_DISKAUDIOFILE", c.diskFile);
        RecordingPlatform platform;
        TestBackends backends(With(platform, c.directSound));
        testing::internal::CaptureStderr();
        std::string said;
        {
            GameFiles files;
            files.highscores = highscores;
            Game game(files);
            SetCurrentGame(&game);
            const bool started = StartUp(GetModuleHandleA(nullptr), SW_SHOWNORMAL);
            said = testing::internal::GetCapturedStderr();
            EXPECT_EQ(started, c.silent || works);
            std::vector<std::string> boxes;
            for (const RecordedMessageBox& box : platform.MessageBoxes()) boxes.push_back(box.text);
            if (c.silent || works) {
                EXPECT_TRUE(boxes.empty());
                EXPECT_TRUE(IsWindowVisible(game.shell.mainWindow));
            } else {
                EXPECT_EQ(boxes, std::vector<std::string>{"Fehler beim Initialisieren der Sounds"});
                EXPECT_FALSE(IsWindowVisible(game.shell.mainWindow));
            }
            EXPECT_EQ(said, c.silent ? kSilentLine : "");
            for (int i = 0; i < GAME_SOUND_COUNT; ++i) EXPECT_EQ(game.sounds.sounds[i] != nullptr, works) << i;
            EXPECT_EQ(game.sounds.manager.device != nullptr, works);
            SetCurrentGame(nullptr);
        }
        EXPECT_TRUE(fs::exists(highscores)) << "written at the end as always";
        fs::remove(highscores);
    }
}

// Every use of a sound in a whole game, with none there: the title sound,
// its stop at Space, the background loop, the horn, the sound switch off and
// on, crashes into walls on the way, the ending and its dialogs. The game
// plays as it would with sound, and high.dat gets the lap.
TEST_F(SoundDeviceStart, WithoutADeviceAWholeGamePlaysSilently) {
    RecordingPlatform platform;
    TestBackends backends(With(platform, nullptr));
    int lists = 0, names = 0;
    platform.OnDialog(IDD_HIGHSCORE_LIST, [&](DialogDriver& d) {
        ++lists;
        d.Click(IDOK);
    });
    platform.OnDialog(IDD_NAME_ENTRY, [&](DialogDriver& d) {
        ++names;
        d.TypeText(IDC_NAME_ENTRY, "Leise");
        d.Click(IDOK);
    });
    testing::internal::CaptureStderr();
    {
        GameFiles files;
        files.highscores = highscores;
        Game game(files);
        SetCurrentGame(&game);
        GameHighscoreDialogs dialogs(game.shell.appInstance, game.shell.mainWindow);
        game.highscores.SetDialogs(&dialogs);
        ASSERT_TRUE(StartUp(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
        LastRecordingDirect3D()->lastDevice->recording = false;
        Autopilot pilot(game.course);
        std::uint32_t seenFrame = ~0u;
        int ticks = 0, walls = 0, lastField = Wood;
        bool quitting = false, soundWentOff = false;
        platform.OnIdle([&] {
            if (game.drawStats.frameCount == seenFrame) return;
            seenFrame = game.drawStats.frameCount;
            ++ticks;
            platform.SetKeyDown(DIK_SPACE, ticks < 3);
            if (game.race.titleShowing) return;
            if (ticks == 40) platform.QueueKey(VK_F2);
            if (ticks == 50) platform.QueueKey(VK_F3);
            if (ticks == 51) soundWentOff = game.sounds.soundOn == 0;
            if (ticks == 60) platform.QueueKey(VK_F3);
            // First into the wall beside the start (reversing), then round the course.
            AutopilotKeys k = pilot.Drive(game.car);
            if (ticks < 90) k = AutopilotKeys{false, true, false, false};
            platform.SetKeyDown(DIK_UP, k.up);
            platform.SetKeyDown(DIK_DOWN, k.down);
            platform.SetKeyDown(DIK_LEFT, k.left);
            platform.SetKeyDown(DIK_RIGHT, k.right);
            const int field = game.car.fieldType;
            if (field != lastField && (field == Stone || field == Water)) ++walls;
            lastField = field;
            if (!quitting && game.race.lapCount >= 1 && game.race.lapRecorded && game.race.gatePhase == 2) {
                platform.ReleaseAllKeys();
                platform.QueueKey(VK_ESCAPE);
                quitting = true;
            }
            if (!quitting && ticks > 5000) {
                ADD_FAILURE() << "no lap within 5000 ticks";
                platform.QueueKey(VK_ESCAPE);
                quitting = true;
            }
        });
        RunMessageLoop();
        platform.OnIdle(nullptr);
        EXPECT_TRUE(soundWentOff);
        EXPECT_EQ(game.sounds.soundOn, 1);
        EXPECT_EQ(GetMenuState(game.shell.mainMenu, IDM_SOUND, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
        EXPECT_GE(walls, 1) << "the car never met a wall";
        EXPECT_GE(game.race.lapCount, 1);
        EXPECT_FALSE(IsWindow(game.shell.mainWindow));
        EXPECT_TRUE(platform.MessageBoxes().empty());
        SetCurrentGame(nullptr);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), kSilentLine);
    EXPECT_EQ(names, 1);
    EXPECT_EQ(lists, 2);
    std::ifstream in(highscores, std::ios::binary);
    const std::string table((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(table.find(",Leise\r\n"), std::string::npos) << table;
}

}  // namespace
