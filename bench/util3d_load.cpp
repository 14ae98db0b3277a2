// Loading times of the 3D utility layer: each X file fixture in its text,
// binary and compressed forms (and the game's own meshes when data/media holds
// them), and the title's text meshes, with their triangle counts. One figure per line: "<name> <value> <unit>".
//
//   bench_util3d_load [FOLDER_WITH_X_FILES ...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/recording/recording_device.h"
#include "util3d/d3dx.h"
#include "util3d/xfile.h"
#include "bench/quick.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Median of several runs, in microseconds; enough runs to fill about 0.2 s.
double MedianMicroseconds(const std::function<void()>& run) {
    std::vector<double> times;
    auto start = Clock::now();
    while (times.size() < 5 || (times.size() < 500 && Clock::now() - start < std::chrono::milliseconds(200))) {
        auto t0 = Clock::now();
        run();
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void BenchFile(RecordingDevice* device, const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bool ok = true;
    DWORD faces = 0;
    double us = MedianMicroseconds([&] {
        ID3DXMesh* mesh = nullptr;
        ID3DXBuffer* materials = nullptr;
        DWORD count = 0;
        ok = SUCCEEDED(
            LoadMeshFromXMemory(bytes.data(), bytes.size(), D3DXMESH_SYSTEMMEM, device, nullptr, &materials, &count,
                                &mesh));
        if (mesh) faces = mesh->GetNumFaces();
        SafeRelease(mesh);
        SafeRelease(materials);
        device->ClearLog();
    });
    std::string name = path.filename().string();
    if (!ok) {
        std::printf("load_%s_failed 1 count\n", name.c_str());
        return;
    }
    std::printf("load_%s %.1f us\n", name.c_str(), us);
    std::printf("load_%s_triangles %u count\n", name.c_str(), unsigned(faces));
}

void BenchText(RecordingDevice* device, HDC dc, const char* text) {
    DWORD faces = 0;
    bool ok = true;
    double us = MedianMicroseconds([&] {
        ID3DXMesh* mesh = nullptr;
        ok = SUCCEEDED(D3DXCreateTextMeshA(device, dc, text, 0.001f, 0.4f, &mesh, nullptr, nullptr));
        if (mesh) faces = mesh->GetNumFaces();
        SafeRelease(mesh);
        device->ClearLog();
    });
    if (!ok) {
        std::printf("text_%s_failed 1 count\n", text);
        return;
    }
    std::printf("text_%s %.1f us\n", text, us);
    std::printf("text_%s_triangles %u count\n", text, unsigned(faces));
}

}  // namespace

int main(int argc, char** argv) {
    QuickRun(argc, argv);  // it is quick anyway
    fs::path root = fs::path(__FILE__).parent_path().parent_path();
    std::vector<fs::path> folders;
    for (int i = 1; i < argc; ++i) folders.push_back(argv[i]);
    // The fuzz corpus holds the test fixtures in all their forms (text, binary,
    // compressed); data/media holds the game's meshes once they are generated.
    if (folders.empty()) folders = {root / "fuzz/corpus/xfile", root / "data/media"};

    auto* device = new RecordingDevice();
    for (const fs::path& folder : folders) {
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) continue;
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(folder, ec))
            if (entry.path().extension() == ".x") files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) BenchFile(device, file);
    }

    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTA lf;
    std::memset(&lf, 0, sizeof lf);
    lf.lfHeight = 1;
    lf.lfStrikeOut = 10;
    std::strcpy(lf.lfFaceName, "Arial");
    HFONT font = CreateFontIndirectA(&lf);
    if (!font) {
        std::printf("text_font_missing 1 count\n");
    } else {
        HGDIOBJ previous = SelectObject(dc, font);
        BenchText(device, dc, "Tarvik");
        BenchText(device, dc, "3D");
        SelectObject(dc, previous);
        DeleteObject(font);
    }
    DeleteDC(dc);
    device->Release();
    return 0;
}
