// A game on the recording platform for the race tests: a course written into a
// temporary folder, the recording device, and the recording sound device.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/game.h"
#include "platform/recording/recording_device.h"

// A folder of this test process's own: the sanitizer and plain builds run
// their test programs side by side.
inline std::filesystem::path TestFolder() {
    auto dir = std::filesystem::temp_directory_path() / ("tarvik_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

// A course of 70 x 70 fields, all `fill`, with single fields set on top.
struct CourseSpec {
    FieldType fill = Wood;
    struct Cell {
        int column, row;
        FieldType type;
    };
    std::vector<Cell> cells;
};

inline std::string WriteCourse(const std::string& name, const CourseSpec& spec) {
    auto dir = TestFolder();
    std::vector<FieldType> grid(70 * 70, spec.fill);
    for (const auto& c : spec.cells) grid[c.row * 70 + c.column] = c.type;
    auto path = dir / (name + ".txt");
    std::ofstream out(path);
    for (int r = 0; r < 70; ++r) {
        for (int c = 0; c < 70; ++c) out << grid[r * 70 + c] << (c == 69 ? '\n' : ' ');
    }
    return path.string();
}

inline GameFiles TestFiles(const std::string& name, const CourseSpec& spec = {}) {
    GameFiles files;
    files.course = WriteCourse(name, spec);
    files.highscores = (TestFolder() / (name + "_high.dat")).string();
    std::filesystem::remove(files.highscores);
    return files;
}

#include <gtest/gtest.h>

#include "app/shell.h"
#include "platform/recording/dsound_recording.h"
#include "platform/recording/win_recording.h"
#include "tests/support/test_backends.h"
#include "resources/resources.h"

// Writes a short 8-bit mono wave file.
inline void WriteWave(const std::filesystem::path& path) {
    std::vector<unsigned char> samples(2205, 128);
    auto put32 = [](std::ofstream& out, std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [](std::ofstream& out, std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    put32(out, 36 + std::uint32_t(samples.size()));
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);
    put16(out, 1);
    put32(out, 22050);
    put32(out, 22050);
    put16(out, 1);
    put16(out, 8);
    out.write("data", 4);
    put32(out, std::uint32_t(samples.size()));
    out.write(reinterpret_cast<const char*>(samples.data()), std::streamsize(samples.size()));
}

// Runs the test in a folder holding the four sounds, as the game's data folder does.
class InSoundFolder {
public:
    InSoundFolder() : previous_(std::filesystem::current_path()) {
        auto dir = TestFolder() / "sounds";
        std::filesystem::create_directories(dir / "media");
        for (const char* name : {"race_hintergrund.wav", "race_boxenluder.wav", "race_hupe.wav", "race_crash.wav"})
            WriteWave(dir / "media" / name);
        std::filesystem::current_path(dir);
    }
    ~InSoundFolder() { std::filesystem::current_path(previous_); }

private:
    std::filesystem::path previous_;
};

// The whole program on the recording backends: the window system of
// `platform`, and sound and Direct3D that record; the game's resources are
// registered, and everything is put back afterwards.
class RecordingBackends {
public:
    RecordingBackends(RecordingPlatform& platform, std::shared_ptr<SoundRecorder> sound)
        : backends_(&platform, std::move(sound)) {
        RegisterGameResources();
    }
    ~RecordingBackends() { SetCurrentGame(nullptr); }
    RecordingBackends(const RecordingBackends&) = delete;
    RecordingBackends& operator=(const RecordingBackends&) = delete;

private:
    TestBackends backends_;
};

// A mesh that draws one tagged indexed draw per subset, so tests can tell the
// models apart in the device's draws (the tag is the start index).
class TaggedMesh : public RefCounted<ID3DXMesh> {
public:
    TaggedMesh(IDirect3DDevice8* device, UINT tag) : device_(device), tag_(tag) {}
    DWORD GetFVF() override { return D3DFVF_XYZ | D3DFVF_NORMAL; }
    DWORD GetOptions() override { return D3DXMESH_SYSTEMMEM; }
    DWORD GetNumFaces() override { return 2; }
    DWORD GetNumVertices() override { return 4; }
    HRESULT GetDevice(IDirect3DDevice8** device) override {
        *device = device_;
        return S_OK;
    }
    HRESULT CloneMeshFVF(DWORD, DWORD, IDirect3DDevice8*, ID3DXMesh**) override { return E_NOTIMPL; }
    HRESULT DrawSubset(DWORD attribId) override {
        return device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, tag_ + attribId, 2);
    }
    HRESULT LockVertexBuffer(DWORD, BYTE**) override { return E_NOTIMPL; }
    HRESULT UnlockVertexBuffer() override { return E_NOTIMPL; }
    HRESULT LockIndexBuffer(DWORD, BYTE**) override { return E_NOTIMPL; }
    HRESULT UnlockIndexBuffer() override { return E_NOTIMPL; }
    HRESULT LockAttributeBuffer(DWORD, DWORD**) override { return E_NOTIMPL; }
    HRESULT UnlockAttributeBuffer() override { return E_NOTIMPL; }

private:
    IDirect3DDevice8* device_;
    UINT tag_;
};

constexpr UINT kSkyTag = 100;
constexpr UINT kCarTag = 200;
constexpr UINT kFieldTag = 1000;  // plus the field kind

// The recording platform, sound and device around a game on a test course.
class RaceTest : public ::testing::Test {
protected:
    explicit RaceTest(const CourseSpec& spec = {}) : game(TestFiles(::testing::UnitTest::GetInstance()->current_test_info()->name(), spec)) {}

    void SetUp() override {
        game.graphics.device = new RecordingDevice();
        game.graphics.presentParams.BackBufferWidth = 1024;
        game.graphics.presentParams.BackBufferHeight = 749;
    }
    RecordingDevice& device() { return *static_cast<RecordingDevice*>(game.graphics.device); }
    void SetTime(std::uint32_t ms) { platform.SetTime(ms); }

    // Gives every model one material and a tagged mesh.
    void InstallFakeMeshes() {
        auto install = [&](MeshModel& model, UINT tag) {
            model.mesh = new TaggedMesh(game.graphics.device, tag);
            model.materialCount = 1;
            model.materials = new D3DMATERIAL8[1]{};
            model.textures = new IDirect3DTexture8*[1]{};
        };
        install(game.meshes.sky, kSkyTag);
        install(game.meshes.car, kCarTag);
        for (UINT i = 0; i < 6; ++i) install(game.meshes.fields[i], kFieldTag + i);
    }

    RecordingPlatform platform;
    std::shared_ptr<SoundRecorder> sound = std::make_shared<SoundRecorder>();
    TestBackends backends{&platform, sound};
    Game game;
};
