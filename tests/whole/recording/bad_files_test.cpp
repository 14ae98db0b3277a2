// The game's data files broken one at a time: meshes, textures and sounds
// missing, cut short, overwritten or replaced by a folder; sounds in the
// formats of today's tools; a working directory without media/; a course.txt
// that cannot be read; a high.dat that cannot be written at exit.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "hardening_fixture.h"
#include "platform/core/dsound_common.h"
#include "render/mesh_model.h"
#include "sound/wave_file.h"
#include "tests/support/wav_fixture.h"

namespace hardening {
namespace {

MeshModel& ModelOf(Game& game, const MeshFile& file) {
    if (file.fieldIndex >= 0) return game.meshes.fields[file.fieldIndex];
    return file.fieldIndex == -1 ? game.meshes.car : game.meshes.sky;
}

// The texture names of each mesh file's materials, in material order ("" for
// none), read from the game's own data with the utility layer.
std::vector<std::vector<std::string>> TextureNames() {
    std::vector<std::vector<std::string>> names;
    RecordingDevice* device = new RecordingDevice();
    for (const MeshFile& file : kMeshLoadOrder) {
        ID3DXBuffer* list = nullptr;
        DWORD count = 0;
        ID3DXMesh* mesh = nullptr;
        const std::string path = (DataFolder() / file.fileName).string();
        EXPECT_EQ(D3DXLoadMeshFromX(path.c_str(), D3DXMESH_SYSTEMMEM, device, nullptr, &list, &count, &mesh), S_OK);
        std::vector<std::string> model;
        const auto* materials = list ? static_cast<const D3DXMATERIAL*>(list->GetBufferPointer()) : nullptr;
        for (DWORD i = 0; materials && i < count; ++i)
            model.push_back(materials[i].pTextureFilename ? materials[i].pTextureFilename : "");
        names.push_back(model);
        SafeRelease(list);
        SafeRelease(mesh);
    }
    device->Release();
    return names;
}

// Space to leave the title, then full throttle.
void Drive(GameSession& session, std::uint64_t tick) {
    session.platform.SetKeyDown(DIK_SPACE, tick < 3);
    session.platform.SetKeyDown(DIK_UP, tick >= 3);
}

GameFiles FilesIn(const DataCopy& data) {
    GameFiles files;
    files.course = "course.txt";
    files.highscores = data.Path("high.dat").string();
    return files;
}

// A started game that drove `ticks` ticks and was ended with Esc.
void ExpectItDroveAndEnded(GameSession& session, std::uint64_t ticks) {
    Game& game = session.game();
    const D3DXVECTOR3 start = game.car.position;
    D3DXVECTOR3 driven = start;  // where the last tick before Esc left the car
    session.Play(ticks, [&](std::uint64_t tick) {
        Drive(session, tick);
        driven = game.car.position;
    });
    EXPECT_GE(game.drawStats.frameCount, ticks);
    EXPECT_EQ(game.race.titleShowing, 0);
    EXPECT_GT(std::fabs(driven.x - start.x) + std::fabs(driven.z - start.z), 5.0f);
    EXPECT_EQ(session.listsShown, 1);
    EXPECT_FALSE(IsWindow(game.shell.mainWindow));
}

TEST(BadMeshFile, LeavesOnlyItsModelEmptyAndTheGameRuns) {
    for (const MeshFile& broken : kMeshLoadOrder) {
        for (Damage damage : kAllDamages) {
            SCOPED_TRACE(std::string(broken.fileName) + " " + DamageName(damage));
            DataCopy data("mesh");
            data.Break(broken.fileName, damage);
            GameSession session(data.Root(), FilesIn(data));
            ASSERT_TRUE(session.Start());
            EXPECT_TRUE(session.platform.MessageBoxes().empty());
            for (const MeshFile& file : kMeshLoadOrder) {
                const MeshModel& model = ModelOf(session.game(), file);
                const bool empty = &file == &broken;
                EXPECT_EQ(model.mesh == nullptr, empty) << file.fileName;
                EXPECT_EQ(model.materialCount == 0, empty) << file.fileName;
                EXPECT_EQ(model.materials == nullptr, empty) << file.fileName;
                EXPECT_EQ(model.textures == nullptr, empty) << file.fileName;
            }
            ExpectItDroveAndEnded(session, 40);
        }
    }
}

TEST(BadTextureFile, LeavesOnlyTheSubsetsThatNameItUntextured) {
    const std::vector<std::vector<std::string>> names = TextureNames();
    std::vector<std::string> textures;
    for (const auto& model : names)
        for (const std::string& name : model)
            if (!name.empty() && std::find(textures.begin(), textures.end(), name) == textures.end())
                textures.push_back(name);
    ASSERT_EQ(textures.size(), 11u);  // every image in media/
    for (const std::string& broken : textures) {
        for (Damage damage : kAllDamages) {
            SCOPED_TRACE(broken + " " + DamageName(damage));
            DataCopy data("texture");
            data.Break(broken, damage);
            GameSession session(data.Root(), FilesIn(data));
            ASSERT_TRUE(session.Start());
            EXPECT_TRUE(session.platform.MessageBoxes().empty());
            // A JPEG cut short keeps what it holds; the rest of its picture is grey.
            const bool stillLoads = damage == Damage::Truncated && broken.ends_with(".jpg");
            for (std::size_t m = 0; m < names.size(); ++m) {
                const MeshModel& model = ModelOf(session.game(), kMeshLoadOrder[m]);
                ASSERT_EQ(model.materialCount, names[m].size()) << kMeshLoadOrder[m].fileName;
                for (std::size_t i = 0; i < names[m].size(); ++i) {
                    const bool textured = !names[m][i].empty() && (names[m][i] != broken || stillLoads);
                    EXPECT_EQ(model.textures[i] != nullptr, textured) << kMeshLoadOrder[m].fileName << " " << i;
                }
            }
            ExpectItDroveAndEnded(session, 30);
        }
    }
}

// A sound cut short is played as far as it goes (see CutShortSoundFile).
TEST(BadSoundFile, EndsTheStartWithTheSoundMessageAndKeepsTheHighscores) {
    for (const char* broken : gameSoundFiles) {
        for (Damage damage : {Damage::Missing, Damage::Corrupt, Damage::Folder}) {
            SCOPED_TRACE(std::string(broken) + " " + DamageName(damage));
            DataCopy data("sound");
            data.Break(broken, damage);
            WriteBytes(data.Path("high.dat"), kSeededTable);
            {
                GameSession session(data.Root(), FilesIn(data));
                EXPECT_FALSE(session.Start());
                std::vector<std::string> texts;
                for (const RecordedMessageBox& box : session.platform.MessageBoxes()) texts.push_back(box.text);
                EXPECT_EQ(texts, std::vector<std::string>{"Fehler beim Initialisieren der Sounds"});
                EXPECT_FALSE(IsWindowVisible(session.game().shell.mainWindow));
                // The sounds before the broken one were loaded, none after it.
                bool before = true;
                for (int i = 0; i < GAME_SOUND_COUNT; ++i) {
                    if (gameSoundFiles[i] == broken) before = false;
                    EXPECT_EQ(session.game().sounds.sounds[i] != nullptr, before) << i;
                }
            }
            EXPECT_EQ(ReadBytes(data.Path("high.dat")), kSeededTable);
        }
    }
}

// A sound file cut short (its first half): the data chunk claims more than
// the file holds. The sound keeps what is there, the start succeeds and the
// game runs (was: the start ended with the sound message).
TEST(CutShortSoundFile, KeepsWhatIsThereAndTheGameRuns) {
    for (const char* cut : gameSoundFiles) {
        SCOPED_TRACE(cut);
        DataCopy data("sound_cut");
        data.Break(cut, Damage::Truncated);
        const std::string left = ReadBytes(data.Path(cut));
        GameSession session(data.Root(), FilesIn(data));
        ASSERT_TRUE(session.Start());
        EXPECT_TRUE(session.platform.MessageBoxes().empty());
        for (int i = 0; i < GAME_SOUND_COUNT; ++i) EXPECT_NE(session.game().sounds.sounds[i], nullptr) << i;
        const RecordedBuffer* buffer = session.sound->Find(cut);
        ASSERT_NE(buffer, nullptr);
        // Behind the 44 bytes of the header, up to where the file ends.
        EXPECT_EQ(std::string(buffer->data->begin(), buffer->data->end()), left.substr(44));
        ExpectItDroveAndEnded(session, 30);
    }
}

// The horn as today's tools write it: 24 or 32 bits, float, the extensible
// format. The start succeeds and F2 plays the same horn (was: the start ended
// with the sound message).
TEST(TodaysSoundFormats, TheHornPlaysInEach) {
    WaveFile original;
    const std::string hornFile = (DataFolder() / "media" / "race_hupe.wav").string();
    ASSERT_EQ(original.Open(hornFile.c_str(), nullptr, WAVEFILE_READ), S_OK);
    ASSERT_EQ(Value(original.format->wBitsPerSample), 8);
    Bytes eightBit(original.GetSize());
    DWORD read = 0;
    ASSERT_EQ(original.Read(eightBit.data(), DWORD(eightBit.size()), &read), S_OK);
    std::vector<int> values;
    for (std::uint8_t b : eightBit) values.push_back((int(b) - 128) * 256);
    const std::vector<std::int16_t> heard = ConvertToOutput(*original.format, eightBit.data(), read);
    ASSERT_FALSE(heard.empty());

    for (const EncodingInfo& e : kEncodings) {
        SCOPED_TRACE(e.name);
        DataCopy data("sound_today");
        const Bytes horn = WavIn(e.encoding, original.format->nChannels, original.format->nSamplesPerSec, values);
        WriteBytes(data.Path("media/race_hupe.wav"), std::string(horn.begin(), horn.end()));
        GameSession session(data.Root(), FilesIn(data));
        ASSERT_TRUE(session.Start());
        EXPECT_TRUE(session.platform.MessageBoxes().empty());
        std::size_t hornStarts = 0;
        std::vector<std::int16_t> played;
        session.Play(20, [&](std::uint64_t tick) {
            Drive(session, tick);
            if (tick == 10) session.platform.QueueKey(VK_F2);
            if (tick == 11) {
                hornStarts = session.sound->Starts("race_hupe.wav");
                const RecordedBuffer* buffer = session.sound->Find("race_hupe.wav");
                if (buffer) played = ConvertToOutput(buffer->format, buffer->data->data(), DWORD(buffer->data->size()));
            }
        });
        EXPECT_EQ(hornStarts, 1u);
        EXPECT_EQ(played, heard);
        EXPECT_EQ(session.listsShown, 1);
    }
}

TEST(MissingMediaFolder, EndsTheStartWithTheSoundMessageAfterLoadingNoMesh) {
    DataCopy data("no_media");
    fs::remove_all(data.Path("media"));
    WriteBytes(data.Path("high.dat"), kSeededTable);
    {
        GameSession session(data.Root(), FilesIn(data));
        EXPECT_FALSE(session.Start());
        ASSERT_EQ(session.platform.MessageBoxes().size(), 1u);
        EXPECT_EQ(session.platform.MessageBoxes()[0].text, "Fehler beim Initialisieren der Sounds");
        for (const MeshFile& file : kMeshLoadOrder) EXPECT_EQ(ModelOf(session.game(), file).mesh, nullptr);
        EXPECT_TRUE(session.game().course.fileRead);
        EXPECT_FALSE(IsWindowVisible(session.game().shell.mainWindow));
    }
    EXPECT_EQ(ReadBytes(data.Path("high.dat")), kSeededTable);
}

// What the game makes of a course.txt it cannot use as it is, and what it says
// on the terminal. A file that exists but is no file the game can read must
// neither pass for a read course nor hold up the start.
TEST(CourseFileProblems, AreReportedOnTheTerminal) {
    struct Case {
        const char* label;
        int (*make)(const char* path);  // 0 on success
        bool read;                      // counts as read
        const char* said;               // part of the terminal line; "" for none
        int wood;                       // wood fields of the 70 x 70
    };
    // 4900 numbers of one kind, 70 to a line.
    static const auto all = [](int kind) {
        std::string s;
        for (int i = 0; i < 4900; ++i) s += std::to_string(kind) + (i % 70 == 69 ? "\n" : " ");
        return s;
    };
    const Case cases[] = {
        {"missing", [](const char*) { return 0; }, false, "fehlt oder ist nicht lesbar", 4900},
        {"a folder", [](const char* path) { return mkdir(path, 0700); }, false, "fehlt oder ist nicht lesbar", 4900},
        {"a pipe nobody writes to", [](const char* path) { return mkfifo(path, 0600); }, false,
         "fehlt oder ist nicht lesbar", 4900},
        {"cut short after one row",
         [](const char* path) {
             WriteBytes(path, all(Metal).substr(0, 140));
             return 0;
         },
         true, "", 4830},
        {"a word among the numbers",
         [](const char* path) {
             WriteBytes(path, "4 4 x 4 4\n" + all(Metal));
             return 0;
         },
         true, "", 4898},
        {"kinds outside 0 to 5",
         [](const char* path) {
             WriteBytes(path, all(7));
             return 0;
         },
         true, "4900 Felder", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path path = TestFolder() / "course_problem";
        fs::remove_all(path);
        ASSERT_EQ(c.make(path.c_str()), 0);
        // Should the open wait for a writer, this one comes after two seconds
        // and closes again, so the test ends either way.
        std::atomic<bool> done{false};
        std::thread rescue([&] {
            for (int i = 0; i < 200 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) close(fd);
        });
        testing::internal::CaptureStderr();
        const auto begin = std::chrono::steady_clock::now();
        std::unique_ptr<Course> course = std::make_unique<Course>(path.string());
        const auto took = std::chrono::steady_clock::now() - begin;
        const std::string said = testing::internal::GetCapturedStderr();
        done = true;
        rescue.join();
        EXPECT_LT(took, std::chrono::seconds(1));
        EXPECT_EQ(course->fileRead, c.read);
        if (*c.said) {
            EXPECT_NE(said.find("\"" + path.string() + "\""), std::string::npos) << said;
            EXPECT_NE(said.find(c.said), std::string::npos) << said;
        } else {
            EXPECT_EQ(said, "");
        }
        int wood = 0;
        for (int r = 0; r < 70; ++r)
            for (int col = 0; col < 70; ++col) wood += course->FieldAt(col, r) == Wood;
        EXPECT_EQ(wood, c.wood);
        fs::remove_all(path);
    }
}

// At exit a table that cannot be saved leaves the old file as it was; the
// player must learn that the new entry is lost. A table in a folder that takes
// no new file is written in place and so kept.
TEST(UnwritableHighscores, TeardownSaysTheTableWasNotSaved) {
    struct Case {
        const char* label;
        std::string (*prepare)(const fs::path& folder);  // returns the table's path
        bool saved;
    };
    const Case cases[] = {
        {"writable (for comparison)",
         [](const fs::path& folder) { return (folder / "high.dat").string(); }, true},
        {"a folder in its place",
         [](const fs::path& folder) {
             fs::create_directory(folder / "high.dat");
             return (folder / "high.dat").string();
         },
         false},
        {"read-only file",
         [](const fs::path& folder) {
             WriteBytes(folder / "high.dat", kSeededTable);
             chmod((folder / "high.dat").c_str(), 0444);
             return (folder / "high.dat").string();
         },
         false},
        {"read-only folder (written in place)",
         [](const fs::path& folder) {
             WriteBytes(folder / "high.dat", kSeededTable);
             chmod(folder.c_str(), 0555);
             return (folder / "high.dat").string();
         },
         true},
        {"read-only file in a read-only folder",
         [](const fs::path& folder) {
             WriteBytes(folder / "high.dat", kSeededTable);
             chmod((folder / "high.dat").c_str(), 0444);
             chmod(folder.c_str(), 0555);
             return (folder / "high.dat").string();
         },
         false},
        {"folder missing", [](const fs::path& folder) { return (folder / "fehlt" / "high.dat").string(); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path folder = TestFolder() / "unwritable";
        fs::remove_all(folder);
        fs::create_directories(folder);
        const std::string file = c.prepare(folder);
        const std::string before = ReadBytes(file);
        testing::internal::CaptureStderr();
        {
            HighscoreTable table(file);
            table.Insert(12345);  // a new best lap, to be lost or kept
        }
        const std::string said = testing::internal::GetCapturedStderr();
        chmod(folder.c_str(), 0700);
        if (c.saved) {
            EXPECT_EQ(said, "");
            EXPECT_EQ(ReadBytes(file).substr(0, 11), "12.345000,\r");
            EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
        } else {
            EXPECT_NE(said.find("\"" + file + "\""), std::string::npos) << said;
            EXPECT_NE(said.find("nicht gespeichert"), std::string::npos) << said;
            EXPECT_EQ(ReadBytes(file), before);
        }
        if (fs::is_regular_file(file)) chmod(file.c_str(), 0600);
        fs::remove_all(folder);
    }
}

// Times far beyond any lap but within the float range, as an edited file may
// hold them: kept as they stand, ordered below every real lap, and written
// back unchanged.
TEST(HugeHighscoreTimes, StayBelowEveryRealLapAndSurviveASave) {
    const fs::path folder = TestFolder() / "huge_times";
    fs::create_directories(folder);
    const std::string file = (folder / "high.dat").string();
    WriteBytes(file, "1e30,Riese\r\n340000000000000000000000000000000000000,Gigant\r\n");
    std::string saved;
    {
        HighscoreTable table(file);
        EXPECT_EQ(table.rows[0].time, 1e30f);
        EXPECT_EQ(table.rows[1].time, 3.4e38f);
        table.Insert(12345);
        EXPECT_EQ(table.rows[0].time, 12.345f);
        EXPECT_STREQ(table.rows[1].name, "Riese");
        EXPECT_STREQ(table.rows[2].name, "Gigant");
        // The list shows the whole number.
        EXPECT_EQ(FormatFixed(double(table.rows[2].time), 3, 12) + " sec",
                  "339999995214436424907732413799364296704.000 sec");
    }
    saved = ReadBytes(file);
    {
        HighscoreTable again(file);
        EXPECT_EQ(again.rows[1].time, 1e30f);
        EXPECT_EQ(again.rows[2].time, 3.4e38f);
    }
    EXPECT_EQ(ReadBytes(file), saved);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace hardening
