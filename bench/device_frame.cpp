// Frame times of the OpenGL device at the game's 1024 x 768: an empty frame,
// the title scene's 4900 course cells as 4900 draws through the device (its
// batching on, and off for comparison), and the same cells merged into one
// draw, the floor the batching aims at. Run under xvfb-run; prints one line
// per figure: "<name> <value> <unit>".
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/clock.h"
#include "platform/gl/gl_diagnostics.h"
#include "platform/gl/gl_test_support.h"
#include "util3d/d3dx_math.h"
#include "bench/quick.h"

namespace {

constexpr UINT kWidth = 1024, kHeight = 768;
constexpr int kCells = 70;  // a course of 70 x 70 fields, 4 x 4 units each

struct TileVertex {
    float x, y, z, nx, ny, nz, u, v;
};
constexpr DWORD kTileFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

struct Figure {
    std::function<void()> frame;
    std::vector<double> times;
};

// Frames of every kind in turn, so that a change in the machine's load
// falls on all of them alike and the ratios stay fair.
void Measure(std::vector<Figure*> figures, IDirect3DDevice8* device, int frames) {
    for (int i = 0; i < 5; ++i)  // warm up: shaders, buffers
        for (Figure* f : figures) f->frame();
    GlFinish(device);
    for (int i = 0; i < frames; ++i)
        for (Figure* f : figures) {
            auto start = std::chrono::steady_clock::now();
            f->frame();
            GlFinish(device);  // the frame is done only when OpenGL is
            f->times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
}

template <class T>
void Fill(T* buffer, const void* data, size_t bytes) {
    BYTE* p = nullptr;
    if (SUCCEEDED(buffer->Lock(0, 0, &p, 0))) {
        std::memcpy(p, data, bytes);
        buffer->Unlock();
    }
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = QuickRun(argc, argv);
    int frames = quick ? 5 : argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;
    std::string why;
    GlTestOptions options;
    options.shown = true;
    std::unique_ptr<GlTestDevice> t = MakeGlTestDevice(kWidth, kHeight, &why, options);
    if (!t || !t->device) {
        std::fprintf(stderr, "bench_device_frame: no device: %s\n", t ? "creation failed" : why.c_str());
        return 1;
    }
    IDirect3DDevice8* dev = t->device;
    const GlDriverInfo& info = ProbeGlDriver();
    std::printf("renderer %s name\n", info.renderer.c_str());
    std::printf("driver_probe %.1f ms\n", info.probeMilliseconds);

    // One field tile, and all 4900 of them pre-placed in one buffer.
    const float h = 2.0f;
    const TileVertex tile[4] = {{-h, 0, h, 0, 1, 0, 0, 0}, {h, 0, h, 0, 1, 0, 1, 0},
                                {-h, 0, -h, 0, 1, 0, 0, 1}, {h, 0, -h, 0, 1, 0, 1, 1}};
    const WORD tileIndices[6] = {0, 1, 2, 2, 1, 3};
    std::vector<TileVertex> all;
    std::vector<WORD> allIndices;
    for (int i = 0; i < kCells; ++i)
        for (int j = 0; j < kCells; ++j) {
            float cx = 4.0f * j - 2.0f * kCells + 2.0f, cz = 4.0f * i - 2.0f * kCells + 2.0f;
            WORD base = WORD(all.size());
            for (TileVertex v : tile) {
                v.x += cx;
                v.z += cz;
                all.push_back(v);
            }
            for (WORD k : tileIndices) allIndices.push_back(WORD(base + k));
        }

    IDirect3DVertexBuffer8 *tileVb = nullptr, *allVb = nullptr;
    IDirect3DIndexBuffer8 *tileIb = nullptr, *allIb = nullptr;
    IDirect3DTexture8* texture = nullptr;
    dev->CreateVertexBuffer(sizeof(tile), D3DUSAGE_WRITEONLY, kTileFvf, D3DPOOL_MANAGED, &tileVb);
    dev->CreateIndexBuffer(sizeof(tileIndices), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &tileIb);
    dev->CreateVertexBuffer(UINT(all.size() * sizeof(TileVertex)), D3DUSAGE_WRITEONLY, kTileFvf, D3DPOOL_MANAGED,
                            &allVb);
    dev->CreateIndexBuffer(UINT(allIndices.size() * 2), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &allIb);
    dev->CreateTexture(64, 64, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture);
    if (!tileVb || !tileIb || !allVb || !allIb || !texture) {
        std::fprintf(stderr, "bench_device_frame: resources could not be made\n");
        return 1;
    }
    Fill(tileVb, tile, sizeof(tile));
    Fill(tileIb, tileIndices, sizeof(tileIndices));
    Fill(allVb, all.data(), all.size() * sizeof(TileVertex));
    Fill(allIb, allIndices.data(), allIndices.size() * 2);
    D3DLOCKED_RECT lr{};
    if (SUCCEEDED(texture->LockRect(0, &lr, nullptr, 0))) {
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                static_cast<DWORD*>(lr.pBits)[y * lr.Pitch / 4 + x] = ((x / 8 + y / 8) % 2) ? 0xFF6A8F3A : 0xFF4E7A2C;
        texture->UnlockRect(0);
    }

    // The game's projection, lights and ambient; a camera seeing the whole course.
    D3DXMATRIX proj, view, identity;
    D3DXMatrixPerspectiveFovLH(&proj, 0.7853982f, float(kWidth) / float(kHeight), 1.0f, 500.0f);
    D3DXVECTOR3 eye(0, 150, -190), at(0, 0, -10), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixIdentity(&identity);
    dev->SetTransform(D3DTS_PROJECTION, &proj);
    dev->SetRenderState(D3DRS_AMBIENT, 0xFF969696);
    D3DLIGHT8 sun{}, headlight{};
    sun.Type = D3DLIGHT_DIRECTIONAL;
    sun.Diffuse = {1, 1, 1, 0};
    sun.Direction = {1.0f, -0.5f, 1.0f};
    headlight.Type = D3DLIGHT_SPOT;
    headlight.Diffuse = {0.8f, 0.8f, 0.8f, 0};
    headlight.Position = {0, 8, 0};
    headlight.Direction = {0, -0.4f, 1};
    headlight.Range = 30;
    headlight.Falloff = 1;
    headlight.Attenuation0 = 1;
    headlight.Theta = headlight.Phi = 0.5235988f;
    dev->SetLight(0, &sun);
    dev->LightEnable(0, TRUE);
    dev->SetLight(1, &headlight);
    dev->LightEnable(1, TRUE);
    D3DMATERIAL8 material{};
    material.Diffuse = {0.8f, 0.8f, 0.8f, 1};
    material.Ambient = {1, 1, 1, 1};

    auto begin = [&]() {
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        dev->BeginScene();
        dev->SetTransform(D3DTS_VIEW, &view);
    };
    auto end = [&]() {
        dev->EndScene();
        dev->Present(nullptr, nullptr, nullptr, nullptr);
    };
    auto empty = [&]() {
        begin();
        end();
    };
    // What the title scene does per cell: world, then the mesh's Draw
    // (material, texture, its subset's buffers and draw).
    auto cells = [&]() {
        begin();
        for (int i = 0; i < kCells; ++i)
            for (int j = 0; j < kCells; ++j) {
                D3DXMATRIX world;
                D3DXMatrixTranslation(&world, 4.0f * j - 2.0f * kCells + 2.0f, 0, 4.0f * i - 2.0f * kCells + 2.0f);
                dev->SetTransform(D3DTS_WORLD, &world);
                dev->SetMaterial(&material);
                dev->SetTexture(0, texture);
                dev->SetVertexShader(kTileFvf);
                dev->SetStreamSource(0, tileVb, sizeof(TileVertex));
                dev->SetIndices(tileIb, 0);
                dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2);
            }
        end();
    };
    std::vector<double> submitTimes;
    auto merged = [&]() {
        begin();
        dev->SetTransform(D3DTS_WORLD, &identity);
        dev->SetMaterial(&material);
        dev->SetTexture(0, texture);
        dev->SetVertexShader(kTileFvf);
        dev->SetStreamSource(0, allVb, sizeof(TileVertex));
        dev->SetIndices(allIb, 0);
        dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, UINT(all.size()), 0, UINT(allIndices.size() / 3));
        end();
    };

    Figure emptyFrame{empty, {}}, floor{merged, {}}, tiles{cells, {}};
    Figure unbatched{[&]() {
                         GlSetBatching(dev, false);
                         cells();
                         GlSetBatching(dev, true);
                     },
                     {}};
    // The submission alone: the device's work per call before OpenGL draws.
    Figure submit{[&]() {
                      dev->BeginScene();
                      auto start = std::chrono::steady_clock::now();
                      for (int i = 0; i < kCells * kCells; ++i) {
                          D3DXMATRIX world;
                          D3DXMatrixTranslation(&world, float(i % kCells), 0, float(i / kCells));
                          dev->SetTransform(D3DTS_WORLD, &world);
                          dev->SetMaterial(&material);
                          dev->SetTexture(0, texture);
                          dev->SetVertexShader(kTileFvf);
                          dev->SetStreamSource(0, tileVb, sizeof(TileVertex));
                          dev->SetIndices(tileIb, 0);
                          dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2);
                      }
                      submitTimes.push_back(
                          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
                      dev->EndScene();
                  },
                  {}};
    Measure({&emptyFrame, &floor, &tiles, &unbatched, &submit}, dev, frames);
    GlDeviceStats before{}, after{};
    GlGetStats(dev, &before);
    cells();
    GlGetStats(dev, &after);

    const double floorMs = Median(floor.times), tilesMs = Median(tiles.times);
    std::printf("empty_frame %.2f ms\n", Median(emptyFrame.times));
    std::printf("tiles_one_draw %.2f ms\n", floorMs);
    std::printf("tiles_4900_draws %.2f ms ratio %.3f to FLOOR (tiles_one_draw; target 1.2)\n", tilesMs,
                tilesMs / floorMs);
    std::printf("tiles_4900_draws_unbatched %.2f ms\n", Median(unbatched.times));
    std::printf("submit_4900_draws %.2f ms\n", Median(submitTimes));
    std::printf("gl_draws_per_tiles_frame %llu count\n", after.glDraws - before.glDraws);

    texture->Release();
    allIb->Release();
    allVb->Release();
    tileIb->Release();
    tileVb->Release();
    return 0;
}
