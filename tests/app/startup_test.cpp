#include <gtest/gtest.h>

#include "app/shell.h"
#include "resources/resource.h"
#include "resources/resources.h"
#include "tests/support/game_fixture.h"

namespace {

struct StartUpCase {
    const char* name;
    void (*arrange)(RecordingPlatform&, RecordingDirect3D&, SoundRecorder&);
    bool started;
    std::vector<std::string> messages;  // the message boxes, in order
};

}  // namespace

// Start-up on the recording platform: the window, the device, the keyboard and
// the sounds, each of which can be made to fail.
class StartUpTest : public ::testing::Test {
protected:
    StartUpTest() { RegisterGameResources(); }
    ~StartUpTest() override { SetCurrentGame(nullptr); }

    GameFolder folder;
    RecordingPlatform platform;
    std::shared_ptr<SoundRecorder> sound = std::make_shared<SoundRecorder>();
    TestBackends backends{&platform, sound};
};

TEST_F(StartUpTest, EachFailingStepEndsWithItsMessages) {
    const StartUpCase cases[] = {
        {"all well", [](RecordingPlatform&, RecordingDirect3D&, SoundRecorder&) {}, true, {}},
        {"class", [](RecordingPlatform& p, RecordingDirect3D&, SoundRecorder&) { p.failures.registerClass = true; },
         false, {}},
        {"window", [](RecordingPlatform& p, RecordingDirect3D&, SoundRecorder&) { p.failures.createWindow = true; },
         false, {}},
        {"display mode", [](RecordingPlatform&, RecordingDirect3D& d, SoundRecorder&) { d.failDisplayMode = true; },
         false, {"Direct3d konnte nicht initialisiert werden"}},
        {"no hardware device", [](RecordingPlatform&, RecordingDirect3D& d, SoundRecorder&) { d.failHalCaps = true; },
         true, {"Kein HAL-Device - das wird langsam!"}},
        {"no hardware vertex processing",
         [](RecordingPlatform&, RecordingDirect3D& d, SoundRecorder&) { d.failHardwareVertexProcessing = true; },
         true, {"Kein HARDWARE-VERTEX-PROCESSING - das wird superlangsam!"}},
        {"no vertex processing at all",
         [](RecordingPlatform&, RecordingDirect3D& d, SoundRecorder&) {
             d.failHalCaps = true;
             d.failHardwareVertexProcessing = d.failSoftwareVertexProcessing = true;
         },
         false,
         {"Kein HAL-Device - das wird langsam!", "Kein HARDWARE-VERTEX-PROCESSING - das wird superlangsam!",
          "Kein SOFTWARE-VERTEX-PROCESSING - da stimmt was nicht!", "Direct3d konnte nicht initialisiert werden"}},
        {"direct input", [](RecordingPlatform& p, RecordingDirect3D&, SoundRecorder&) {
             p.failures.directInputCreate = true;
         }, false, {"DIput Fehler: DInput_CreateEx()", "DInput Fehler : InitAll"}},
        {"keyboard device", [](RecordingPlatform& p, RecordingDirect3D&, SoundRecorder&) {
             p.failures.createDevice = true;
         }, false, {"DInput Fehler: Keyboard()", "DInput Fehler : InitAll"}},
        {"data format", [](RecordingPlatform& p, RecordingDirect3D&, SoundRecorder&) {
             p.failures.setDataFormat = true;
         }, false, {"DInput Fehler: SetDFormat()", "DInput Fehler : InitAll"}},
        {"cooperative level", [](RecordingPlatform& p, RecordingDirect3D&, SoundRecorder&) {
             p.failures.setCooperativeLevel = true;
         }, false, {"DInput Fehler: SetCoop()", "DInput Fehler : InitAll"}},
        {"acquire", [](RecordingPlatform& p, RecordingDirect3D&, SoundRecorder&) { p.failures.acquire = true; },
         false, {"DInput Fehler: KB: Acquire()", "DInput Fehler : InitAll"}},
        // No sound device at all starts silently: no_sound_device_test.cpp.
        {"a sound device that fails", [](RecordingPlatform&, RecordingDirect3D&, SoundRecorder& s) {
             s.createResult = DSERR_GENERIC;
         }, false, {"Fehler beim Initialisieren der Sounds"}},
    };
    for (const StartUpCase& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPlatform local;
        auto recorder = std::make_shared<SoundRecorder>();
        TestBackends localBackends(&local, recorder);
        RecordingDirect3DTemplate() = RecordingDirect3D();
        c.arrange(local, RecordingDirect3DTemplate(), *recorder);
        RegisterGameResources();
        std::string highscores = (std::filesystem::current_path() / "high.dat").string();
        std::filesystem::remove(highscores);
        {
            Game game(TestFiles("startup"));
            SetCurrentGame(&game);
            EXPECT_EQ(StartUp(GetModuleHandleA(nullptr), SW_SHOWNORMAL), c.started);
            std::vector<std::string> texts;
            for (const RecordedMessageBox& box : local.MessageBoxes()) {
                texts.push_back(box.text);
                EXPECT_EQ(box.caption, "Tarvik 3D");
            }
            EXPECT_EQ(texts, c.messages);
            if (!c.started && game.shell.mainWindow) {
                EXPECT_FALSE(IsWindowVisible(game.shell.mainWindow));
            }
            if (c.started) {
                EXPECT_TRUE(IsWindowVisible(game.shell.mainWindow));
                EXPECT_TRUE(recorder->IsPlaying("race_boxenluder.wav"));
                EXPECT_EQ(game.race.titleShowing, 1);
                EXPECT_EQ(game.race.lapCount, -1);
                EXPECT_EQ(GetMenuState(game.shell.mainMenu, IDM_SOUND, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
            }
            SetCurrentGame(nullptr);
        }
    }
}

TEST_F(StartUpTest, AFailedStartStillWritesTheHighscores) {
    std::string file = (TestFolder() / "high.dat").string();
    std::filesystem::remove(file);
    platform.failures.acquire = true;
    {
        GameFiles files = TestFiles("startup_fail");
        files.highscores = file;
        Game game(files);
        SetCurrentGame(&game);
        EXPECT_FALSE(StartUp(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
    }
    EXPECT_TRUE(std::filesystem::exists(file));
}
