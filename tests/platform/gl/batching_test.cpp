// Consecutive draws that differ only in the world matrix are collected into
// instanced draws; the pictures must be the same as drawing one by one, also
// on drivers that lack some features.
#include <array>
#include <tuple>

#include "tests/platform/gl/gl_fixture.h"

namespace {

class BatchingTest : public GlDeviceTest {
protected:
    // A course in miniature: 12 x 12 tiles in runs of the same mesh, material
    // and texture, with a few changes in between, lit by a directional and a
    // spot light, then a screen-space rectangle on top.
    std::vector<BYTE> DrawCourse() {
        const float s = 0.15f;
        std::vector<TexVertex> tile = {{-s, 0, s, 0, 1, 0, 0, 0},
                                       {s, 0, s, 0, 1, 0, 1, 0},
                                       {-s, 0, -s, 0, 1, 0, 0, 1},
                                       {s, 0, -s, 0, 1, 0, 1, 1}};
        if (!tile_.get()) {
            tile_ = std::make_unique<Ref<IDirect3DVertexBuffer8>>(MakeVertexBuffer(tile));
            tileIndices_ = std::make_unique<Ref<IDirect3DIndexBuffer8>>(MakeIndexBuffer(QuadIndices()));
            const DWORD checker[4] = {0xFFFFFFFF, 0xFF808080, 0xFF808080, 0xFFFFFFFF};
            const DWORD plain = 0xFFC08040;
            textures_[0] = std::make_unique<Ref<IDirect3DTexture8>>(MakeTexture(2, 2, D3DFMT_X8R8G8B8, checker));
            textures_[1] = std::make_unique<Ref<IDirect3DTexture8>>(MakeTexture(1, 1, D3DFMT_X8R8G8B8, &plain));
        }
        LookFrom({0.3f, 2.5f, -2.2f}, {0, 0, 0.2f}, 0.7853982f, 500.0f);
        LightWithSun(0.7f, {1.0f, -0.5f, 1.0f});
        D3DLIGHT8 spot{};
        spot.Type = D3DLIGHT_SPOT;
        spot.Diffuse = {0.8f, 0.8f, 0.3f, 0};
        spot.Position = {0, 0.8f, 0};
        spot.Direction = {0.3f, -1.0f, 0.2f};
        spot.Range = 30;
        spot.Falloff = 1;
        spot.Attenuation0 = 1;
        spot.Theta = spot.Phi = 0.5235988f;
        dev_->SetLight(1, &spot);
        dev_->LightEnable(1, TRUE);
        dev_->SetRenderState(D3DRS_AMBIENT, 0xFF969696);
        const D3DMATERIAL8 materials[2] = {Material({0.8f, 0.8f, 0.8f, 1}, {0.3f, 0.3f, 0.3f, 1}),
                                           Material({0.2f, 0.9f, 0.3f, 1}, {0.1f, 0.4f, 0.1f, 1})};
        BeginFrame();
        for (int i = 0; i < 12; ++i)
            for (int j = 0; j < 12; ++j) {
                int kind = (j / 4 + i) % 3 == 2 ? 1 : 0;  // runs of equal tiles with changes between
                D3DXMATRIX world;
                D3DXMatrixTranslation(&world, (j - 5.5f) * 2 * s, 0, (i - 5.5f) * 2 * s);
                dev_->SetTransform(D3DTS_WORLD, &world);
                dev_->SetMaterial(&materials[kind]);
                dev_->SetTexture(0, (*textures_[size_t(kind)]).get());
                DrawIndexed((*tile_).get(), sizeof(TexVertex), kTexFvf, (*tileIndices_).get(), 4, 2);
            }
        DrawScreenRect(2, 2, 10, 6, 0xFFFF00FF);
        return EndFrame();
    }

    // A square picture seen from `eye` towards `at`, near plane at 1.
    void LookFrom(D3DXVECTOR3 eye, D3DXVECTOR3 at, float fieldOfView, float farPlane) {
        D3DXVECTOR3 up(0, 1, 0);
        D3DXMATRIX view, proj;
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&proj, fieldOfView, 1.0f, 1.0f, farPlane);
        dev_->SetTransform(D3DTS_VIEW, &view);
        dev_->SetTransform(D3DTS_PROJECTION, &proj);
    }

    // Light 0: a white directional light of the given strength.
    void LightWithSun(float strength, D3DVECTOR direction) {
        D3DLIGHT8 sun{};
        sun.Type = D3DLIGHT_DIRECTIONAL;
        sun.Diffuse = {strength, strength, strength, 0};
        sun.Direction = direction;
        dev_->SetLight(0, &sun);
        dev_->LightEnable(0, TRUE);
    }

    std::unique_ptr<Ref<IDirect3DVertexBuffer8>> tile_;
    std::unique_ptr<Ref<IDirect3DIndexBuffer8>> tileIndices_;
    std::unique_ptr<Ref<IDirect3DTexture8>> textures_[2];

    void TearDown() override {
        tile_.reset();
        tileIndices_.reset();
        for (auto& t : textures_) t.reset();
    }
};

TEST_F(BatchingTest, BatchedDrawsGiveTheSamePixelsAsSingleDraws) {
    GlDeviceStats before{}, batched{}, single{};
    ASSERT_EQ(GlGetStats(dev_, &before), S_OK);
    std::vector<BYTE> withBatching = DrawCourse();
    ASSERT_EQ(GlGetStats(dev_, &batched), S_OK);
    ASSERT_EQ(GlSetBatching(dev_, false), S_OK);
    std::vector<BYTE> without = DrawCourse();
    ASSERT_EQ(GlGetStats(dev_, &single), S_OK);

    ASSERT_EQ(withBatching.size(), without.size());
    size_t differing = 0;
    for (size_t i = 0; i < without.size(); ++i) differing += withBatching[i] != without[i];
    EXPECT_EQ(differing, 0u);

    const unsigned long long tiles = 144;
    EXPECT_EQ(batched.apiDraws - before.apiDraws, tiles + 1);
    EXPECT_EQ(single.apiDraws - batched.apiDraws, tiles + 1);
    EXPECT_EQ(single.glDraws - batched.glDraws, tiles + 1) << "one GL draw per call without batching";
    EXPECT_LT(batched.glDraws - before.glDraws, tiles / 2) << "runs of equal tiles became one draw each";
    EXPECT_GT(batched.mergedDraws - before.mergedDraws, 0u);
    // The picture is not empty: lit tiles of both kinds and the rectangle.
    EXPECT_PIXEL_NEAR(At(without, 5, 3), 255, 0, 255, 0);
}

// The whole course drawn with one mesh and the same state: one instanced draw.
TEST_F(BatchingTest, IdenticalStateCollectsIntoOneDraw) {
    Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(Quad(-0.05f, -0.05f, 0.05f, 0.05f, 5)));
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));
    UseFlatCamera();
    const D3DMATERIAL8 m = Material({1, 1, 1, 1}, {1, 1, 1, 1});
    dev_->SetRenderState(D3DRS_AMBIENT, 0x00FFFFFF);
    GlDeviceStats before{}, after{};
    ASSERT_EQ(GlGetStats(dev_, &before), S_OK);
    BeginFrame();
    for (int k = 0; k < 100; ++k) {
        D3DXMATRIX world;
        D3DXMatrixTranslation(&world, -0.9f + 0.2f * float(k % 10), 0.9f - 0.2f * float(k / 10), 0);
        dev_->SetTransform(D3DTS_WORLD, &world);
        dev_->SetMaterial(&m);          // the same values again: no change
        dev_->SetTexture(0, nullptr);  // likewise
        DrawIndexed(vb.get(), sizeof(LitVertex), kLitFvf, ib.get(), 4, 2);
    }
    std::vector<BYTE> pixels = EndFrame();
    ASSERT_EQ(GlGetStats(dev_, &after), S_OK);
    EXPECT_EQ(after.glDraws - before.glDraws, 1u);
    EXPECT_EQ(after.instances - before.instances, 100u);
    for (int k = 0; k < 100; ++k)
        EXPECT_EQ(At(pixels, int(3.2f + 6.4f * float(k % 10)), int(3.2f + 6.4f * float(k / 10))).r, 255) << k;
}

// Meshes too large to copy, and triangle strips, which copies would join,
// are collected into instanced draws instead; the picture is the same.
TEST_F(BatchingTest, LargeMeshesAndStripsAreDrawnInstanced) {
    // A 20 x 20 grid (400 vertices, a list) and a four-vertex strip.
    std::vector<LitVertex> grid;
    std::vector<WORD> gridIndices;
    const int n = 20;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            grid.push_back({-0.06f + 0.12f * float(i) / (n - 1), 0.06f - 0.12f * float(j) / (n - 1), 5, 0, 0, -1});
    for (int j = 0; j + 1 < n; ++j)
        for (int i = 0; i + 1 < n; ++i) {
            WORD a = WORD(j * n + i), b = WORD(a + 1), c = WORD(a + n), d = WORD(c + 1);
            for (WORD k : {a, b, c, c, b, d}) gridIndices.push_back(k);
        }
    Ref<IDirect3DVertexBuffer8> gridVb(MakeVertexBuffer(grid));
    Ref<IDirect3DIndexBuffer8> gridIb(MakeIndexBuffer(gridIndices));
    Ref<IDirect3DVertexBuffer8> quadVb(MakeVertexBuffer(Quad(-0.04f, -0.04f, 0.04f, 0.04f, 5)));
    Ref<IDirect3DIndexBuffer8> stripIb(MakeIndexBuffer(std::vector<WORD>{0, 1, 2, 3}));
    UseFlatCamera();
    const D3DMATERIAL8 m = Material({0.6f, 0.7f, 0.8f, 1}, {0.3f, 0.2f, 0.1f, 1});
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 0};
    light.Direction = {0.5f, -0.2f, 1};
    dev_->SetLight(0, &light);
    dev_->LightEnable(0, TRUE);
    dev_->SetRenderState(D3DRS_AMBIENT, 0x00808080);
    dev_->SetMaterial(&m);
    auto frame = [&]() {
        BeginFrame();
        for (int k = 0; k < 16; ++k) {
            D3DXMATRIX world;
            D3DXMatrixTranslation(&world, -0.8f + 0.2f * float(k % 8), 0.6f - 0.2f * float(k / 8), 0);
            dev_->SetTransform(D3DTS_WORLD, &world);
            DrawIndexed(gridVb.get(), sizeof(LitVertex), kLitFvf, gridIb.get(), UINT(grid.size()),
                        UINT(gridIndices.size() / 3));
        }
        dev_->SetIndices(stripIb.get(), 0);
        dev_->SetStreamSource(0, quadVb.get(), sizeof(LitVertex));
        for (int k = 0; k < 16; ++k) {
            D3DXMATRIX world;
            D3DXMatrixTranslation(&world, -0.8f + 0.2f * float(k % 8), -0.2f - 0.2f * float(k / 8), 0);
            dev_->SetTransform(D3DTS_WORLD, &world);
            EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 4, 0, 2), S_OK);
        }
        return EndFrame();
    };
    GlDeviceStats before{}, after{};
    ASSERT_EQ(GlGetStats(dev_, &before), S_OK);
    std::vector<BYTE> batched = frame();
    ASSERT_EQ(GlGetStats(dev_, &after), S_OK);
    ASSERT_EQ(GlSetBatching(dev_, false), S_OK);
    std::vector<BYTE> single = frame();
    EXPECT_TRUE(batched == single);
    EXPECT_EQ(after.glDraws - before.glDraws, 2u);
    EXPECT_EQ(after.instancedDraws - before.instancedDraws, 2u);
    EXPECT_EQ(after.instances - before.instances, 32u);
    EXPECT_GT(At(single, 7, 13).r, 0) << "the first grid is drawn";
    EXPECT_GT(At(single, 7, 38).r, 0) << "the first strip is drawn";
}

struct Degraded {
    const char* name;
    GlDriverLimits limits;
    DWORD behavior;
};

// Weaker drivers: without instancing, without the [0, 1] depth range, and the
// legacy context of software vertex processing draw the same picture.
TEST_F(BatchingTest, WeakerDriversDrawTheSamePicture) {
    std::vector<BYTE> reference = DrawCourse();
    TearDown();
    const Degraded cases[] = {
        {"no instancing", {true, false, true}, D3DCREATE_HARDWARE_VERTEXPROCESSING},
        {"no clip control", {true, true, false}, D3DCREATE_HARDWARE_VERTEXPROCESSING},
        {"legacy context", {false, true, true}, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
        {"legacy context, nothing optional", {false, false, false}, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
    };
    for (const Degraded& c : cases) {
        SCOPED_TRACE(c.name);
        GlTestOptions options;
        options.limits = c.limits;
        options.behavior = c.behavior;
        screenBuffer_.out();
        Open(kWidth, kHeight, options);
        if (!dev_) return;
        GlDeviceFeatures f{};
        ASSERT_EQ(GlGetFeatures(dev_, &f), S_OK);
        EXPECT_EQ(f.core33, c.limits.core33);
        EXPECT_EQ(f.instancing, c.limits.instancing);
        EXPECT_EQ(f.clipControl, c.limits.clipControl);
        std::vector<BYTE> pixels = DrawCourse();
        TearDown();
        ASSERT_EQ(pixels.size(), reference.size());
        size_t differing = 0;
        for (size_t i = 0; i < pixels.size(); i += 4)
            for (int k = 0; k < 3; ++k) differing += std::abs(int(pixels[i + k]) - int(reference[i + k])) > 1;
        // The depth mapping may round one edge pixel differently, no more.
        EXPECT_LE(differing, 8u);
    }
}

}  // namespace

// Opaque, depth-tested cells that alternate between two meshes (as a course's
// fields do) collect into one draw per mesh across the whole frame; with
// blending on, order matters and every change of mesh draws what came before.
TEST_F(BatchingTest, AlternatingMeshesCollectPerMeshUnlessBlended) {
    Ref<IDirect3DVertexBuffer8> a(MakeVertexBuffer(Quad(-0.05f, -0.05f, 0.05f, 0.05f, 5)));
    Ref<IDirect3DVertexBuffer8> b(MakeVertexBuffer(Quad(-0.05f, -0.05f, 0.03f, 0.03f, 5)));
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));
    UseFlatCamera();
    const D3DMATERIAL8 red = Material({0, 0, 0, 1}, {0, 0, 0, 1}, {1, 0, 0, 1});
    const D3DMATERIAL8 green = Material({0, 0, 0, 1}, {0, 0, 0, 1}, {0, 1, 0, 1});
    auto frame = [&](bool blend) {
        dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
        dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        BeginFrame();
        for (int k = 0; k < 100; ++k) {
            D3DXMATRIX world;
            D3DXMatrixTranslation(&world, -0.9f + 0.2f * float(k % 10), 0.9f - 0.2f * float(k / 10), 0);
            dev_->SetTransform(D3DTS_WORLD, &world);
            dev_->SetMaterial(k % 2 ? &green : &red);
            DrawIndexed(k % 2 ? b.get() : a.get(), sizeof(LitVertex), kLitFvf, ib.get(), 4, 2);
        }
        return EndFrame();
    };
    struct Case {
        const char* name;
        bool batching, blend;
        unsigned long long glDraws;
    };
    const Case cases[] = {{"opaque", true, false, 2}, {"blended", true, true, 100}, {"one by one", false, false, 100}};
    std::vector<std::vector<BYTE>> pictures;
    for (const Case& c : cases) {
        ASSERT_EQ(GlSetBatching(dev_, c.batching), S_OK);
        GlDeviceStats before{}, after{};
        ASSERT_EQ(GlGetStats(dev_, &before), S_OK);
        pictures.push_back(frame(c.blend));
        ASSERT_EQ(GlGetStats(dev_, &after), S_OK);
        EXPECT_EQ(after.glDraws - before.glDraws, c.glDraws) << c.name;
        EXPECT_EQ(after.apiDraws - before.apiDraws, 100u) << c.name;
    }
    EXPECT_TRUE(pictures[0] == pictures[2]) << "collected draws give the same picture";
    EXPECT_TRUE(pictures[1] == pictures[2]);
    const GlPixel first = At(pictures[0], 3, 3), second = At(pictures[0], 9, 3);
    EXPECT_PIXEL_NEAR(first, 255, 0, 0, 0);
    EXPECT_PIXEL_NEAR(second, 0, 255, 0, 0);
}

// Many copies of a small mesh are merged once and drawn from the kept copies
// while nothing moves; a moved copy or new vertex data builds them anew.
TEST_F(BatchingTest, MergedCopiesAreKeptWhileNothingChanges) {
    std::vector<LitVertex> quad = Quad(-0.04f, -0.04f, 0.04f, 0.04f, 5);
    Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(quad));
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));
    UseFlatCamera();
    const D3DMATERIAL8 white = Material({0, 0, 0, 1}, {0, 0, 0, 1}, {1, 1, 1, 1});
    dev_->SetMaterial(&white);
    float shift = 0.0f;  // moves the last copy
    auto frame = [&]() {
        BeginFrame();
        for (int k = 0; k < 64; ++k) {
            D3DXMATRIX world;
            D3DXMatrixTranslation(&world, -0.875f + 0.25f * float(k % 8) + (k == 63 ? shift : 0.0f),
                                  0.875f - 0.25f * float(k / 8), 0);
            dev_->SetTransform(D3DTS_WORLD, &world);
            DrawIndexed(vb.get(), sizeof(LitVertex), kLitFvf, ib.get(), 4, 2);
        }
        std::vector<BYTE> picture = EndFrame();
        EXPECT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
        return picture;
    };
    auto builds = [&]() {
        GlDeviceStats s{};
        EXPECT_EQ(GlGetStats(dev_, &s), S_OK);
        return s.mergedBuilds;
    };
    const unsigned long long start = builds();
    std::vector<BYTE> first = frame();
    EXPECT_EQ(builds() - start, 1u);
    std::vector<BYTE> again = frame();
    EXPECT_EQ(builds() - start, 1u) << "nothing moved: the copies are kept";
    EXPECT_TRUE(first == again);

    shift = -0.125f;  // the last copy moves half a cell to the left
    std::vector<BYTE> moved = frame();
    EXPECT_EQ(builds() - start, 2u);
    EXPECT_EQ(At(moved, 60, 60).r, 0) << "the moved copy left its place";
    EXPECT_EQ(At(first, 60, 60).r, 255);

    for (LitVertex& v : quad) v.z = 20.0f;  // beyond the far plane: the copies vanish
    BYTE* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), S_OK);
    std::memcpy(p, quad.data(), quad.size() * sizeof(LitVertex));
    ASSERT_EQ(vb->Unlock(), S_OK);
    std::vector<BYTE> gone = frame();
    EXPECT_EQ(builds() - start, 3u);
    EXPECT_EQ(At(gone, 3, 3).r, 0);
}

namespace {

struct OrderStep {
    bool decal;  // else a floor tile
    int cell;    // 0 to 9, left to right
};

struct OrderCase {
    const char* name;
    DWORD fill;
    bool projective;  // the decals' world matrices have a last column other than (0, 0, 0, w)
    std::vector<OrderStep> steps;
    std::vector<int> decalsSeen, decalsHidden;  // cells
    unsigned long long glDraws, keptApart;
};

std::vector<OrderStep> Tiles(int from, int to) {
    std::vector<OrderStep> steps;
    for (int k = from; k <= to; ++k) steps.push_back({false, k});
    return steps;
}

std::vector<OrderStep> Join(std::initializer_list<std::vector<OrderStep>> parts) {
    std::vector<OrderStep> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

}  // namespace

// A decal mesh lying in the plane of a row of floor tiles of another mesh:
// at equal depth the later draw wins, so collecting must keep each decal
// before or after its tile as it was drawn, while runs that cannot tie with
// what they move past still join their collection. Each case is drawn twice
// collected, the second time decided from what the first found, and the
// cases share beginnings, so a frame that starts as the one before and then
// differs is decided afresh.
TEST_F(BatchingTest, CoplanarDecalsKeepTheirPlaceInTheOrder) {
    Ref<IDirect3DVertexBuffer8> tile(MakeVertexBuffer(Quad(-0.1f, -0.1f, 0.1f, 0.1f, 5)));
    Ref<IDirect3DVertexBuffer8> decal(MakeVertexBuffer(Quad(-0.05f, -0.05f, 0.05f, 0.05f, 5)));
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));
    UseFlatCamera();
    const D3DMATERIAL8 green = Material({0, 0, 0, 1}, {0, 0, 0, 1}, {0, 1, 0, 1});
    const D3DMATERIAL8 red = Material({0, 0, 0, 1}, {0, 0, 0, 1}, {1, 0, 0, 1});
    const OrderCase cases[] = {
        {"decals drawn over their tiles, the last one ending the frame", D3DFILL_SOLID, false,
         Join({Tiles(0, 4), {{true, 2}}, Tiles(5, 9), {{true, 7}}}), {2, 7}, {}, 2, 0},
        {"a decal drawn before its tile is", D3DFILL_SOLID, false, Join({Tiles(0, 4), {{true, 7}}, Tiles(5, 9)}), {},
         {7}, 3, 1},
        {"a decal first, then every tile", D3DFILL_SOLID, false, Join({{{true, 3}}, Tiles(0, 9)}), {}, {3}, 2, 0},
        {"wireframe: tiles side by side share their edges", D3DFILL_WIREFRAME, false,
         Join({Tiles(0, 4), {{true, 5}}, Tiles(6, 9)}), {}, {}, 3, 1},
        {"a projective matrix puts the decal anywhere", D3DFILL_SOLID, true,
         Join({Tiles(0, 4), {{true, 2}}, Tiles(5, 9)}), {2}, {}, 3, 1},
    };
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.name);
        dev_->SetRenderState(D3DRS_FILLMODE, c.fill);
        std::vector<std::vector<BYTE>> pictures;
        for (bool batching : {true, true, false}) {
            ASSERT_EQ(GlSetBatching(dev_, batching), S_OK);
            GlDeviceStats before{}, after{};
            ASSERT_EQ(GlGetStats(dev_, &before), S_OK);
            BeginFrame();
            for (const OrderStep& s : c.steps) {
                D3DXMATRIX world;
                // The wireframe case draws the decal mesh as a tile of its own.
                D3DXMatrixTranslation(&world, -0.9f + 0.2f * float(s.cell), 0, 0);
                if (s.decal && c.fill == D3DFILL_WIREFRAME) world.m[0][0] = world.m[1][1] = 2.0f;
                if (s.decal && c.projective) world.m[2][3] = 1e-3f;  // w = 1.005 at z = 5: a little smaller
                dev_->SetTransform(D3DTS_WORLD, &world);
                dev_->SetMaterial(s.decal ? &red : &green);
                DrawIndexed(s.decal ? decal.get() : tile.get(), sizeof(LitVertex), kLitFvf, ib.get(), 4, 2);
            }
            pictures.push_back(EndFrame());
            ASSERT_EQ(GlGetStats(dev_, &after), S_OK);
            if (batching) {
                EXPECT_EQ(after.glDraws - before.glDraws, c.glDraws);
                EXPECT_EQ(after.runsKeptApart - before.runsKeptApart, c.keptApart);
            }
        }
        for (size_t k : {0, 1}) {
            size_t differing = 0;
            for (size_t i = 0; i < pictures[k].size(); ++i) differing += pictures[k][i] != pictures[2][i];
            EXPECT_EQ(differing, 0u) << "collected (frame " << k << ") and one by one";
        }
        // The centre of cell k is pixel 3.2 + 6.4 k of row 32.
        for (int k : c.decalsSeen) EXPECT_PIXEL_NEAR(At(pictures[0], int(3.2f + 6.4f * float(k)), 32), 255, 0, 0, 0);
        for (int k : c.decalsHidden)
            EXPECT_PIXEL_NEAR(At(pictures[0], int(3.2f + 6.4f * float(k)), 32), 0, 255, 0, 0);
    }
    dev_->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
}

// Cells side by side, as a course's fields: two flat tile meshes and a raised
// block, touching along their edges in a perspective view. They cannot tie
// in depth, so every run joins its mesh's collection: one draw per mesh, and
// the picture of the draws one by one.
TEST_F(BatchingTest, CellsSideBySideStillCollectPerMesh) {
    const float s = 0.25f, h = 0.3f;
    Ref<IDirect3DVertexBuffer8> flat(MakeVertexBuffer(std::vector<LitVertex>{
        {-s, 0, s, 0, 1, 0}, {s, 0, s, 0, 1, 0}, {-s, 0, -s, 0, 1, 0}, {s, 0, -s, 0, 1, 0}}));
    Ref<IDirect3DIndexBuffer8> flatIndices(MakeIndexBuffer(QuadIndices()));
    // The block: a top and four sides, each triangle turned to face outwards
    // (front faces are clockwise on the screen).
    std::vector<LitVertex> block;
    std::vector<WORD> blockIndices;
    auto face = [&](D3DXVECTOR3 n, std::array<D3DXVECTOR3, 4> q) {
        const WORD first = WORD(block.size());
        for (const D3DXVECTOR3& p : q) block.push_back({p.x, p.y, p.z, n.x, n.y, n.z});
        for (std::array<size_t, 3> t : {std::array<size_t, 3>{0, 1, 2}, std::array<size_t, 3>{0, 2, 3}}) {
            const D3DXVECTOR3 &a = q[t[0]], &b = q[t[1]], &c = q[t[2]];
            const float e1[3] = {b.x - a.x, b.y - a.y, b.z - a.z}, e2[3] = {c.x - a.x, c.y - a.y, c.z - a.z};
            const float cross[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                    e1[0] * e2[1] - e1[1] * e2[0]};
            if (cross[0] * n.x + cross[1] * n.y + cross[2] * n.z < 0) std::swap(t[1], t[2]);
            for (size_t v : t) blockIndices.push_back(WORD(first + v));
        }
    };
    face({0, 1, 0}, {{{-s, h, -s}, {-s, h, s}, {s, h, s}, {s, h, -s}}});
    face({0, 0, -1}, {{{-s, 0, -s}, {-s, h, -s}, {s, h, -s}, {s, 0, -s}}});
    face({0, 0, 1}, {{{-s, 0, s}, {-s, h, s}, {s, h, s}, {s, 0, s}}});
    face({-1, 0, 0}, {{{-s, 0, -s}, {-s, h, -s}, {-s, h, s}, {-s, 0, s}}});
    face({1, 0, 0}, {{{s, 0, -s}, {s, h, -s}, {s, h, s}, {s, 0, s}}});
    Ref<IDirect3DVertexBuffer8> raised(MakeVertexBuffer(block));
    Ref<IDirect3DIndexBuffer8> raisedIndices(MakeIndexBuffer(blockIndices));

    LookFrom({0.7f, 3.0f, -3.2f}, {0, 0, 0.3f}, 0.9f, 50.0f);
    LightWithSun(0.6f, {0.6f, -0.7f, 0.4f});
    const D3DMATERIAL8 materials[3] = {Material({0.3f, 0.3f, 0.3f, 1}, {0, 0, 0, 1}, {0.1f, 0.5f, 0.1f, 1}),
                                       Material({0.3f, 0.3f, 0.3f, 1}, {0, 0, 0, 1}, {0.1f, 0.1f, 0.5f, 1}),
                                       Material({0.3f, 0.3f, 0.3f, 1}, {0, 0, 0, 1}, {0.5f, 0.2f, 0.1f, 1})};
    auto frame = [&]() {
        BeginFrame();
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 8; ++j) {
                const int n = (3 * i + 5 * j) % 7, kind = n < 4 ? 0 : n < 6 ? 1 : 2;
                D3DXMATRIX world;
                D3DXMatrixTranslation(&world, (float(j) - 3.5f) * 2 * s, 0, (float(i) - 3.5f) * 2 * s);
                dev_->SetTransform(D3DTS_WORLD, &world);
                dev_->SetMaterial(&materials[kind]);
                if (kind == 2)
                    DrawIndexed(raised.get(), sizeof(LitVertex), kLitFvf, raisedIndices.get(), UINT(block.size()),
                                UINT(blockIndices.size() / 3));
                else
                    DrawIndexed(flat.get(), sizeof(LitVertex), kLitFvf, flatIndices.get(), 4, 2);
            }
        return EndFrame();
    };
    GlDeviceStats before{}, after{};
    ASSERT_EQ(GlGetStats(dev_, &before), S_OK);
    std::vector<BYTE> batched = frame();
    ASSERT_EQ(GlGetStats(dev_, &after), S_OK);
    ASSERT_EQ(GlSetBatching(dev_, false), S_OK);
    std::vector<BYTE> single = frame();
    EXPECT_EQ(after.glDraws - before.glDraws, 3u);
    EXPECT_EQ(after.runsKeptApart - before.runsKeptApart, 0u);
    EXPECT_TRUE(batched == single);
    // All three meshes are in the picture.
    int kinds[3] = {};
    for (size_t p = 0; p < single.size(); p += 4) {
        const int r = single[p], g = single[p + 1], b = single[p + 2];
        kinds[0] += g > r + 40 && g > b + 40;
        kinds[1] += b > r + 40 && b > g + 40;
        kinds[2] += r > g + 40 && r > b + 40;
    }
    for (int k = 0; k < 3; ++k) EXPECT_GT(kinds[k], 40) << "mesh " << k;
}

// Runs of fewer copies than are merged and kept go through the streaming
// rings, which start small: a frame that streams many times their size makes
// them wrap and grow, and its picture stays the one drawn draw by draw.
TEST_F(BatchingTest, CopiesStreamedPastTheRingsSizeKeepThePicture) {
    constexpr int kSide = 16;  // vertices along a patch's edge: a mesh just small enough to be copied
    const float s = 0.05f;
    std::vector<LitVertex> patch;
    std::vector<WORD> patchIndices;
    for (int i = 0; i < kSide; ++i)
        for (int j = 0; j < kSide; ++j)
            patch.push_back({-s + 2 * s * float(j) / (kSide - 1), 0.02f * float((i + j) % 3),
                             -s + 2 * s * float(i) / (kSide - 1), 0, 1, 0});
    for (int i = 0; i + 1 < kSide; ++i)
        for (int j = 0; j + 1 < kSide; ++j) {
            const WORD a = WORD(i * kSide + j), b = WORD(a + 1), c = WORD(a + kSide), d = WORD(c + 1);
            for (WORD v : {a, c, b, b, c, d}) patchIndices.push_back(v);
        }
    Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(patch));
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(patchIndices));
    LookFrom({0, 3.0f, -2.0f}, {0, 0, 0.1f}, 0.9f, 50.0f);
    LightWithSun(0.7f, {0.4f, -0.8f, 0.5f});
    const D3DMATERIAL8 materials[2] = {Material({0.9f, 0.3f, 0.2f, 1}, {0.2f, 0.1f, 0.1f, 1}),
                                       Material({0.2f, 0.4f, 0.9f, 1}, {0.1f, 0.1f, 0.2f, 1})};
    constexpr int kRuns = 12, kRunLength = 20;  // each run streams about 450 KB
    auto frame = [&]() {
        BeginFrame();
        for (int k = 0; k < kRuns * kRunLength; ++k) {
            D3DXMATRIX world;
            D3DXMatrixTranslation(&world, (float(k % 16) - 7.5f) * 2.2f * s, 0, (float(k / 16) - 7.0f) * 2.2f * s);
            dev_->SetTransform(D3DTS_WORLD, &world);
            dev_->SetMaterial(&materials[(k / kRunLength) % 2]);
            DrawIndexed(vb.get(), sizeof(LitVertex), kLitFvf, ib.get(), UINT(patch.size()),
                        UINT(patchIndices.size() / 3));
        }
        return EndFrame();
    };
    GlDeviceStats before{}, after{};
    ASSERT_EQ(GlGetStats(dev_, &before), S_OK);
    std::vector<BYTE> first = frame();
    std::vector<BYTE> second = frame();  // with the rings grown
    ASSERT_EQ(GlGetStats(dev_, &after), S_OK);
    ASSERT_EQ(GlSetBatching(dev_, false), S_OK);
    std::vector<BYTE> single = frame();
    EXPECT_GT(after.streamedBytes - before.streamedBytes, 8ull << 20) << "the rings did not fill";
    EXPECT_EQ(after.glDraws - before.glDraws, 2u * kRuns) << "a run a draw";
    EXPECT_TRUE(first == single);
    EXPECT_TRUE(second == single);
    int red = 0, blue = 0;
    for (size_t p = 0; p < single.size(); p += 4) {
        red += single[p] > single[p + 2] + 40;
        blue += single[p + 2] > single[p] + 40;
    }
    EXPECT_GT(red, 200);
    EXPECT_GT(blue, 200);
}
