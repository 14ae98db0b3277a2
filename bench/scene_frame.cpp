// Frame times of the game's three scenes on the OpenGL device, each against
// its floor: the title flight (every course cell and the extruded title), a
// driving frame on the real course (the window of cells, the car, the
// read-outs) and an ending frame (every cell and the credits).
//
// The floor of a frame is the same frame's triangles, as the device was asked
// to draw them, moved into world space and merged into one draw per state
// (texture, material, render and stage states, view and projection): what no
// drawing code could undercut without dropping triangles. Game frames and
// floor frames alternate, at several moments of each scene, so a change in
// the machine's load falls on both.
//
// Run under xvfb-run from ./bench.sh. One line per figure:
// "<name> <value> <unit>", the frames with "ratio R to FLOOR".
//   bench_scene_frame [REPEATS] [--size WIDTHxHEIGHT]
// --size resizes the window until its back buffer (the client area below the
// menu bar) has that size, as a player's resize or full screen does; the X
// screen must hold it.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/back_buffer.h"
#include "bench/clock.h"
#include "gfx/credits.h"
#include "platform/gl/gl_diagnostics.h"
#include "platform/sdl/native_window.h"
#include "render/scene.h"
#include "tests/support/autopilot.h"
#include "tests/support/game_session.h"
#include "bench/quick.h"

namespace {

// One draw of the floor: a state as the device saw it and every triangle that
// was drawn with it, in world space.
struct FloorGroup {
    DeviceState state;
    UINT stride = 0;
    std::vector<BYTE> vertices;
    std::vector<std::uint32_t> indices;
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
};

bool SameState(const DeviceState& a, const DeviceState& b) {
    return a.fvf == b.fvf && a.streamStride == b.streamStride && a.pixelShader == b.pixelShader &&
           std::memcmp(&a.view, &b.view, sizeof a.view) == 0 &&
           std::memcmp(&a.projection, &b.projection, sizeof a.projection) == 0 &&
           std::memcmp(a.renderStates, b.renderStates, sizeof a.renderStates) == 0 &&
           std::memcmp(a.stageStates, b.stageStates, sizeof a.stageStates) == 0 &&
           std::memcmp(a.textures, b.textures, sizeof a.textures) == 0 &&
           std::memcmp(&a.material, &b.material, sizeof a.material) == 0 &&
           std::memcmp(a.lights, b.lights, sizeof a.lights) == 0 &&
           std::memcmp(a.lightEnabled, b.lightEnabled, sizeof a.lightEnabled) == 0;
}

// The triangles of a list, strip or fan as a list, keeping each one's winding.
std::vector<std::uint32_t> TriangleList(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                        const std::function<std::uint32_t(UINT)>& at) {
    std::vector<std::uint32_t> out;
    out.reserve(size_t(primitiveCount) * 3);
    for (UINT t = 0; t < primitiveCount; ++t) {
        std::uint32_t a, b, c;
        if (type == D3DPT_TRIANGLELIST) {
            a = at(3 * t), b = at(3 * t + 1), c = at(3 * t + 2);
        } else if (type == D3DPT_TRIANGLESTRIP) {
            a = at(t), b = at(t + 1), c = at(t + 2);
            if (t % 2) std::swap(a, b);
        } else if (type == D3DPT_TRIANGLEFAN) {
            a = at(0), b = at(t + 1), c = at(t + 2);
        } else {
            return {};
        }
        out.insert(out.end(), {a, b, c});
    }
    return out;
}

class FloorBuilder {
public:
    std::vector<FloorGroup> groups;
    UINT apiDraws = 0, triangles = 0, skipped = 0;

    void Add(const GlObservedDraw& d) {
        ++apiDraws;
        const DeviceState& s = *d.state;
        std::vector<std::uint32_t> tri;
        if (d.indexed) {
            tri = TriangleList(d.type, d.primitiveCount, [&](UINT k) -> std::uint32_t {
                size_t at = (size_t(d.start) + k) * d.indexSize;
                std::uint32_t i = 0;
                if (d.indexSize == 2) {
                    std::uint16_t v;
                    std::memcpy(&v, d.indices + at, 2);
                    i = v;
                } else {
                    std::memcpy(&i, d.indices + at, 4);
                }
                return i + d.baseVertex;
            });
        } else {
            tri = TriangleList(d.type, d.primitiveCount, [&](UINT k) { return std::uint32_t(d.start + k); });
        }
        if (tri.empty()) {
            ++skipped;  // lines and points stay out of the floor; the game draws none
            return;
        }
        triangles += UINT(tri.size() / 3);
        FloorGroup* g = nullptr;
        for (FloorGroup& candidate : groups)
            if (SameState(candidate.state, s)) g = &candidate;
        if (!g) {
            groups.emplace_back();
            g = &groups.back();
            g->state = s;
            g->stride = d.stride;
        }
        const std::uint32_t lo = *std::min_element(tri.begin(), tri.end());
        const std::uint32_t hi = *std::max_element(tri.begin(), tri.end());
        const std::uint32_t base = std::uint32_t(g->vertices.size() / d.stride);
        const size_t first = g->vertices.size();
        g->vertices.insert(g->vertices.end(), d.vertices + size_t(lo) * d.stride,
                           d.vertices + size_t(hi + 1) * d.stride);
        if ((s.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZ)
            for (std::uint32_t v = 0; v <= hi - lo; ++v) ToWorld(g->vertices.data() + first + size_t(v) * d.stride, s);
        for (std::uint32_t i : tri) g->indices.push_back(i - lo + base);
    }

    bool Upload(IDirect3DDevice8* device) {
        for (FloorGroup& g : groups) {
            if (FAILED(device->CreateVertexBuffer(UINT(g.vertices.size()), D3DUSAGE_WRITEONLY, g.state.fvf,
                                                  D3DPOOL_MANAGED, &g.vb)) ||
                FAILED(device->CreateIndexBuffer(UINT(g.indices.size() * 4), D3DUSAGE_WRITEONLY, D3DFMT_INDEX32,
                                                 D3DPOOL_MANAGED, &g.ib)))
                return false;
            BYTE* p = nullptr;
            if (FAILED(g.vb->Lock(0, 0, &p, 0))) return false;
            std::memcpy(p, g.vertices.data(), g.vertices.size());
            g.vb->Unlock();
            if (FAILED(g.ib->Lock(0, 0, &p, 0))) return false;
            std::memcpy(p, g.indices.data(), g.indices.size() * 4);
            g.ib->Unlock();
        }
        return true;
    }

    void Release() {
        for (FloorGroup& g : groups) {
            if (g.vb) g.vb->Release();
            if (g.ib) g.ib->Release();
        }
        groups.clear();
    }

    // The floor frame: the same clear and present as the game's frame, and
    // one draw per group with the group's own state. The game's state is put
    // back afterwards, as its next frame expects to find it.
    void Draw(IDirect3DDevice8* device) const {
        DeviceState game;
        Read(device, game);
        DrawGroups(device);
        Apply(device, game);
    }

private:
    static void Read(IDirect3DDevice8* device, DeviceState& s) {
        for (DWORD r = 0; r < kRenderStateCount; ++r) device->GetRenderState(D3DRENDERSTATETYPE(r), &s.renderStates[r]);
        for (DWORD stage = 0; stage < kTextureStageCount; ++stage) {
            IDirect3DTexture8* texture = nullptr;
            device->GetTexture(stage, &texture);
            s.textures[stage] = texture;
            if (texture) texture->Release();  // the device keeps its own reference
            for (DWORD t = 1; t < kTextureStageStateCount; ++t)
                device->GetTextureStageState(stage, D3DTEXTURESTAGESTATETYPE(t), &s.stageStates[stage][t]);
        }
        for (DWORD l = 0; l < kMaxLights; ++l) {
            device->GetLight(l, &s.lights[l]);
            device->GetLightEnable(l, &s.lightEnabled[l]);
        }
        device->GetMaterial(&s.material);
        device->GetTransform(D3DTS_WORLD, &s.world);
        device->GetTransform(D3DTS_VIEW, &s.view);
        device->GetTransform(D3DTS_PROJECTION, &s.projection);
    }

    static void Apply(IDirect3DDevice8* device, const DeviceState& s) {
        for (DWORD r = 0; r < kRenderStateCount; ++r) device->SetRenderState(D3DRENDERSTATETYPE(r), s.renderStates[r]);
        for (DWORD stage = 0; stage < kTextureStageCount; ++stage) {
            device->SetTexture(stage, s.textures[stage]);
            for (DWORD t = 1; t < kTextureStageStateCount; ++t)
                device->SetTextureStageState(stage, D3DTEXTURESTAGESTATETYPE(t), s.stageStates[stage][t]);
        }
        for (DWORD l = 0; l < kMaxLights; ++l) {
            device->SetLight(l, &s.lights[l]);
            device->LightEnable(l, s.lightEnabled[l]);
        }
        device->SetMaterial(&s.material);
        device->SetTransform(D3DTS_WORLD, &s.world);
        device->SetTransform(D3DTS_VIEW, &s.view);
        device->SetTransform(D3DTS_PROJECTION, &s.projection);
    }

    void DrawGroups(IDirect3DDevice8* device) const {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        device->BeginScene();
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        for (const FloorGroup& g : groups) {
            const DeviceState& s = g.state;
            Apply(device, s);
            device->SetTransform(D3DTS_WORLD, &identity);
            device->SetVertexShader(s.fvf);
            device->SetStreamSource(0, g.vb, g.stride);
            device->SetIndices(g.ib, 0);
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, UINT(g.vertices.size() / g.stride), 0,
                                         UINT(g.indices.size() / 3));
        }
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }

    // Position through the world matrix (with its w), normal through its
    // upper 3 x 3, as the device would do them.
    static void ToWorld(BYTE* vertex, const DeviceState& s) {
        const D3DMATRIX& m = s.world;
        float p[3];
        std::memcpy(p, vertex, sizeof p);
        float out[4];
        for (int c = 0; c < 4; ++c) out[c] = p[0] * m.m[0][c] + p[1] * m.m[1][c] + p[2] * m.m[2][c] + m.m[3][c];
        const float w = out[3] != 0.0f ? out[3] : 1.0f;
        const float q[3] = {out[0] / w, out[1] / w, out[2] / w};
        std::memcpy(vertex, q, sizeof q);
        if (s.fvf & D3DFVF_NORMAL) {
            float n[3];
            std::memcpy(n, vertex + 12, sizeof n);
            float r[3];
            for (int c = 0; c < 3; ++c) r[c] = n[0] * m.m[0][c] + n[1] * m.m[1][c] + n[2] * m.m[2][c];
            std::memcpy(vertex + 12, r, sizeof r);
        }
    }
};

// What a scene's frame changes in the game, put back before every frame so
// that each moment is drawn again exactly as it was.
struct Moment {
    std::int32_t titleShowing, endingShowing;
    D3DXVECTOR3 cameraEye, cameraTarget;
    float titleAngle;
    std::int32_t titleFlightPhase;
    float dropPhase, dropHeight, dropBase, endingAngle;
    std::int32_t creditsPage;
    float heading, steerAngle, steerInput, speed, throttle;
    FieldType fieldType, lastFieldType;
    D3DXVECTOR3 direction, position;
    D3DXMATRIX rotation, translation, world;
};

// Copies what a scene's frame changes between the game and a moment, either way.
template <class RaceLike, class CarLike, class RaceTarget, class CarTarget>
void CopyScene(const RaceLike& fromRace, const CarLike& fromCar, RaceTarget& r, CarTarget& c) {
    r.titleShowing = fromRace.titleShowing;
    r.endingShowing = fromRace.endingShowing;
    r.cameraEye = fromRace.cameraEye;
    r.cameraTarget = fromRace.cameraTarget;
    r.titleAngle = fromRace.titleAngle;
    r.titleFlightPhase = fromRace.titleFlightPhase;
    r.dropPhase = fromRace.dropPhase;
    r.dropHeight = fromRace.dropHeight;
    r.dropBase = fromRace.dropBase;
    r.endingAngle = fromRace.endingAngle;
    r.creditsPage = fromRace.creditsPage;
    c.heading = fromCar.heading;
    c.steerAngle = fromCar.steerAngle;
    c.steerInput = fromCar.steerInput;
    c.speed = fromCar.speed;
    c.throttle = fromCar.throttle;
    c.fieldType = fromCar.fieldType;
    c.direction = fromCar.direction;
    c.position = fromCar.position;
    c.rotation = fromCar.rotation;
    c.translation = fromCar.translation;
    c.world = fromCar.world;
    c.lastFieldType = fromCar.lastFieldType;
}

void Save(const Game& g, Moment& m) { CopyScene(g.race, g.car, m, m); }
void Restore(Game& g, const Moment& m) { CopyScene(m, m, g.race, g.car); }

struct SceneFigures {
    std::vector<double> frame, floor;
    UINT apiDraws = 0, glDraws = 0, floorDraws = 0, triangles = 0;
};

// Draws the game's frame at each moment and its floor, `repeats` times each, in turn.
bool MeasureMoments(Game& game, const std::vector<std::unique_ptr<Moment>>& moments, int repeats,
                    SceneFigures& out) {
    IDirect3DDevice8* device = game.graphics.device;
    for (const auto& m : moments) {
        FloorBuilder floor;
        Restore(game, *m);
        GlSetDrawObserver(device, [&](const GlObservedDraw& d) { floor.Add(d); });
        GlDeviceStats before{}, after{};
        GlGetStats(device, &before);
        game.race.Frame();
        GlGetStats(device, &after);
        GlSetDrawObserver(device, nullptr);
        if (!floor.Upload(device)) {
            std::fprintf(stderr, "bench_scene_frame: the floor's buffers could not be made\n");
            floor.Release();
            return false;
        }
        out.apiDraws = std::max(out.apiDraws, floor.apiDraws);
        out.glDraws = std::max(out.glDraws, UINT(after.glDraws - before.glDraws));
        out.floorDraws = std::max(out.floorDraws, UINT(floor.groups.size()));
        out.triangles = std::max(out.triangles, floor.triangles);
        for (int i = -2; i < repeats; ++i) {  // two rounds to warm up
            Restore(game, *m);
            double start = NowMs();
            game.race.Frame();
            GlFinish(device);
            double middle = NowMs();
            floor.Draw(device);
            GlFinish(device);
            double end = NowMs();
            if (i < 0) continue;
            out.frame.push_back(middle - start);
            out.floor.push_back(end - middle);
        }
        floor.Release();
    }
    return true;
}

void Report(const char* scene, const SceneFigures& f) {
    const double frame = Median(f.frame), floor = Median(f.floor);
    std::printf("%s_floor %.2f ms\n", scene, floor);
    std::printf("%s_frame %.2f ms ratio %.3f to FLOOR (target 1.2, and under 10 ms)\n", scene, frame,
                floor > 0 ? frame / floor : 0.0);
    std::printf("%s_api_draws %u count\n", scene, f.apiDraws);
    std::printf("%s_gl_draws %u count\n", scene, f.glDraws);
    std::printf("%s_floor_draws %u count\n", scene, f.floorDraws);
    std::printf("%s_triangles %u count\n", scene, f.triangles);
}

std::unique_ptr<Moment> Snapshot(Game& game) {
    std::unique_ptr<Moment> m(new Moment{});
    Save(game, *m);
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = QuickRun(argc, argv);
    int repeats = quick ? 1 : 12;
    unsigned width = 0, height = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--size" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%ux%u", &width, &height) != 2 || width == 0 || height == 0) {
                std::fprintf(stderr, "bench_scene_frame: --size wants WIDTHxHEIGHT, not %s\n", argv[i]);
                return 2;
            }
        } else if (!arg.empty() && arg[0] != '-') {
            repeats = std::max(3, std::atoi(arg.c_str()));
        } else {
            std::fprintf(stderr, "usage: bench_scene_frame [REPEATS] [--size WIDTHxHEIGHT]\n");
            return 2;
        }
    }
    GameSession real(GameBackends::Desktop);
    if (!real.Start()) return 1;
    Game& game = real.game();
    const D3DPRESENT_PARAMETERS& pp = game.graphics.presentParams;
    if (width && !ResizeBackBuffer(game, width, height)) {
        std::fprintf(stderr, "bench_scene_frame: the back buffer stayed %ux%u, not %ux%u (is the screen large enough?)\n",
                     pp.BackBufferWidth, pp.BackBufferHeight, width, height);
        return 1;
    }
    std::printf("back_buffer %ux%u pixels\n", pp.BackBufferWidth, pp.BackBufferHeight);

    // The title: moments along the circling flight.
    std::vector<std::unique_ptr<Moment>> title;
    for (int frame = 0; frame < (quick ? 40 : 190); ++frame) {
        if (frame % 38 == 5) title.push_back(Snapshot(game));
        game.race.Frame();
    }
    SceneFigures titleFigures;
    if (!MeasureMoments(game, title, repeats, titleFigures)) return 1;

    // Driving: moments along a lap driven by the test autopilot.
    game.race.titleShowing = 0;
    game.car.position = D3DXVECTOR3(8.0f, 0.0f, -126.0f);
    game.car.heading = 3.1417f;
    game.car.speed = 0.0f;
    std::vector<std::unique_ptr<Moment>> driving;
    Autopilot pilot(game.course);
    for (int frame = 0; frame < (quick ? 130 : 1000); ++frame) {
        ApplyAutopilot(game, pilot);
        game.race.Frame();
        if (frame % 125 == 0) driving.push_back(Snapshot(game));
    }
    game.controls = ControlState{};
    SceneFigures drivingFigures;
    if (!MeasureMoments(game, driving, repeats, drivingFigures)) return 1;

    // The ending: the first two credit pages, as the exit command starts it.
    game.car.position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    game.car.UpdatePose();
    BuildCreditsPage(game.credits, 0);
    game.race.endingShowing = 1;
    std::vector<std::unique_ptr<Moment>> ending;
    for (int frame = 0; frame < 400; ++frame) {
        if (frame % 80 == 10) ending.push_back(Snapshot(game));
        game.race.Frame();
    }
    // The moments of the second page need that page's meshes.
    SceneFigures endingFigures;
    std::vector<std::unique_ptr<Moment>> firstPage, secondPage;
    for (auto& m : ending) (m->creditsPage == 0 ? firstPage : secondPage).push_back(std::move(m));
    if (!MeasureMoments(game, secondPage, repeats, endingFigures)) return 1;
    BuildCreditsPage(game.credits, 0);
    if (!MeasureMoments(game, firstPage, repeats, endingFigures)) return 1;

    Report("title", titleFigures);
    Report("driving", drivingFigures);
    Report("ending", endingFigures);
    return 0;
}
