// A game on the recording platform for the tests of the race, its drawing and
// its sounds: a course written into a temporary folder, the recording device,
// and the recording sound device. The game is built but not started: the
// tests call its parts themselves. (Whole games, started and run through
// their message loop, are tests/support/game_session.h.)
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/game.h"
#include "platform/recording/dsound_recording.h"
#include "platform/recording/recording_device.h"
#include "platform/recording/win_recording.h"
#include "tests/support/test_backends.h"
#include "tests/support/wav_fixture.h"
#include "tests/support/working_folder.h"

// A course of 70 x 70 fields, all `fill`, with single fields set on top.
struct CourseLayout {
    FieldType fill = Wood;
    struct Cell {
        int column, row;
        FieldType type;
    };
    std::vector<Cell> cells;
};

inline std::string WriteCourse(const std::string& name, const CourseLayout& layout) {
    auto dir = TestFolder();
    std::vector<FieldType> grid(70 * 70, layout.fill);
    for (const auto& c : layout.cells) grid[c.row * 70 + c.column] = c.type;
    auto path = dir / (name + ".txt");
    std::ofstream out(path);
    for (int r = 0; r < 70; ++r) {
        for (int c = 0; c < 70; ++c) out << grid[r * 70 + c] << (c == 69 ? '\n' : ' ');
    }
    return path.string();
}

inline GameFiles TestFiles(const std::string& name, const CourseLayout& layout = {}) {
    GameFiles files;
    files.course = WriteCourse(name, layout);
    files.highscores = (TestFolder() / (name + "_high.dat")).string();
    std::filesystem::remove(files.highscores);
    return files;
}

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
    explicit RaceTest(const CourseLayout& layout = {})
        : game(TestFiles(::testing::UnitTest::GetInstance()->current_test_info()->name(), layout)) {}

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
