// Lit pixels against the fixed-function lighting equations, computed here in
// world space: colour = Ce + Ca * (Ga + sum La * att * spot)
// + sum Cd * Ld * max(N . L, 0) * att * spot, clamped to [0, 1].
#include <algorithm>

#include "tests/platform/gl/gl_fixture.h"

namespace {

struct Vec {
    float x, y, z;
};
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator*(Vec a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Length(Vec a) { return std::sqrt(Dot(a, a)); }
Vec Normalized(Vec a) { return a * (1.0f / Length(a)); }

struct Rgb {
    float r, g, b;
};

Vec ToVec(const D3DVECTOR& v) { return {v.x, v.y, v.z}; }

// The reference: one vertex, its world position and unit normal, lit by the
// enabled lights (directional and spot, positions and directions in world space).
Rgb Reference(const D3DMATERIAL8& m, D3DCOLOR ambientState, const std::vector<D3DLIGHT8>& lights, Vec position,
              Vec normal, const D3DCOLORVALUE* vertexDiffuse = nullptr) {
    const D3DCOLORVALUE& cd = vertexDiffuse ? *vertexDiffuse : m.Diffuse;
    Rgb ambient{((ambientState >> 16) & 0xFF) / 255.0f, ((ambientState >> 8) & 0xFF) / 255.0f,
                (ambientState & 0xFF) / 255.0f};
    Rgb diffuse{0, 0, 0};
    for (const D3DLIGHT8& l : lights) {
        Vec L;
        float factor = 1.0f;
        if (l.Type == D3DLIGHT_DIRECTIONAL) {
            L = Normalized(ToVec(l.Direction) * -1.0f);
        } else {
            Vec toLight = ToVec(l.Position) - position;
            float d = Length(toLight);
            if (d > l.Range) continue;
            L = toLight * (1.0f / d);
            factor = 1.0f / (l.Attenuation0 + l.Attenuation1 * d + l.Attenuation2 * d * d);
            float rho = Dot(Normalized(ToVec(l.Direction)), L * -1.0f);
            float cosTheta = std::cos(l.Theta / 2), cosPhi = std::cos(l.Phi / 2);
            if (rho <= cosPhi) factor = 0.0f;
            else if (rho <= cosTheta) factor *= std::pow((rho - cosPhi) / (cosTheta - cosPhi), l.Falloff);
        }
        float nl = std::max(Dot(normal, L), 0.0f);
        ambient.r += l.Ambient.r * factor, ambient.g += l.Ambient.g * factor, ambient.b += l.Ambient.b * factor;
        diffuse.r += l.Diffuse.r * nl * factor, diffuse.g += l.Diffuse.g * nl * factor;
        diffuse.b += l.Diffuse.b * nl * factor;
    }
    auto clamp = [](float v) { return std::min(std::max(v, 0.0f), 1.0f); };
    return {clamp(m.Emissive.r + m.Ambient.r * ambient.r + cd.r * diffuse.r),
            clamp(m.Emissive.g + m.Ambient.g * ambient.g + cd.g * diffuse.g),
            clamp(m.Emissive.b + m.Ambient.b * ambient.b + cd.b * diffuse.b)};
}

D3DLIGHT8 Directional(D3DVECTOR direction, D3DCOLORVALUE diffuse, D3DCOLORVALUE ambient = {0, 0, 0, 0}) {
    D3DLIGHT8 l{};
    l.Type = D3DLIGHT_DIRECTIONAL;
    l.Direction = direction;
    l.Diffuse = diffuse;
    l.Ambient = ambient;
    return l;
}

struct UniformCase {
    const char* name;
    D3DMATERIAL8 material;
    D3DCOLOR ambient;
    std::vector<D3DLIGHT8> lights;
};

class LightingTest : public GlDeviceTest {
protected:
    void SetLights(const std::vector<D3DLIGHT8>& lights) {
        for (DWORD i = 0; i < lights.size(); ++i) {
            dev_->SetLight(i, &lights[i]);
            dev_->LightEnable(i, TRUE);
        }
    }
};

// A quad filling the view, lit uniformly (directional lights, so every vertex
// gets the same colour): the pixels must show the equation's colour.
TEST_F(LightingTest, UniformlyLitQuadMatchesTheEquations) {
    const D3DMATERIAL8 full = Material({0.8f, 0.6f, 0.4f, 1}, {0.5f, 0.4f, 0.3f, 1}, {0.1f, 0.0f, 0.05f, 0});
    const std::vector<UniformCase> cases = {
        {"no light, no ambient: black", Material({1, 1, 1, 1}, {1, 1, 1, 1}), 0x00000000, {}},
        {"ambient render state only", full, 0x00806040, {}},
        {"emissive only", Material({0, 0, 0, 1}, {0, 0, 0, 1}, {0.2f, 0.7f, 0.4f, 0}), 0x00FFFFFF, {}},
        {"directional, unnormalised direction", full, 0x00202020,
         {Directional({1.0f, -0.5f, 1.0f}, {1.0f, 0.9f, 0.8f, 0})}},
        {"directional from behind adds nothing", full, 0x00202020, {Directional({0, 0, -1}, {1, 1, 1, 0})}},
        {"light ambient adds to the ambient term", full, 0x00000000,
         {Directional({0, 0, 1}, {0, 0, 0, 0}, {0.3f, 0.5f, 0.7f, 0})}},
        {"over-bright light clamps", full, 0x00000000, {Directional({0.2f, 0.1f, 1}, {2.55f, 2.55f, 2.55f, 0})}},
        {"two lights add", full, 0x00101010,
         {Directional({1, 0, 1}, {0.4f, 0.2f, 0.1f, 0}), Directional({-1, 1, 1}, {0.1f, 0.3f, 0.2f, 0})}},
    };
    Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(Quad(-1, -1, 1, 1, 5)));
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));
    for (const UniformCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (DWORD i = 0; i < kMaxLights; ++i) dev_->LightEnable(i, FALSE);
        UseFlatCamera();
        dev_->SetRenderState(D3DRS_AMBIENT, c.ambient);
        dev_->SetMaterial(&c.material);
        SetLights(c.lights);
        BeginFrame(0xFF0000FF);
        DrawIndexed(vb.get(), sizeof(LitVertex), kLitFvf, ib.get(), 4, 2);
        std::vector<BYTE> pixels = EndFrame();
        Rgb want = Reference(c.material, c.ambient, c.lights, {0, 0, 5}, {0, 0, -1});
        for (auto [x, y] : {std::pair{32, 32}, std::pair{3, 60}, std::pair{60, 3}})
            EXPECT_PIXEL_NEAR(At(pixels, x, y), Channel(want.r), Channel(want.g), Channel(want.b), 2);
    }
}

// The same directional light seen through a turned camera onto a turned
// quad: lighting happens in camera space, so lights and normals must both go
// through the view (and the normals through the world) the right way round.
TEST_F(LightingTest, CameraAndWorldRotationsLeaveDirectionalLightingUnchanged) {
    const D3DMATERIAL8 m = Material({0.9f, 0.7f, 0.5f, 1}, {0.2f, 0.2f, 0.2f, 1});
    const std::vector<D3DLIGHT8> lights = {Directional({0.6f, -0.3f, 1.0f}, {1, 1, 1, 0})};
    Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(Quad(-3, -3, 3, 3, 0)));
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));

    for (float turn : {0.0f, 0.5f, -0.7f}) {
        SCOPED_TRACE(turn);
        // The quad turned about y; the camera looks at it square on from 4 units away.
        D3DXMATRIX world;
        D3DXMatrixRotationY(&world, turn);
        D3DXVECTOR3 normal(-std::sin(turn), 0.0f, -std::cos(turn));  // (0, 0, -1) turned
        D3DXVECTOR3 eye(normal.x * 4, 1.0f, normal.z * 4), at(0, 1.0f, 0), up(0, 1, 0);
        D3DXMATRIX view, proj;
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&proj, 0.9f, 1.0f, 1.0f, 50.0f);
        dev_->SetTransform(D3DTS_WORLD, &world);
        dev_->SetTransform(D3DTS_VIEW, &view);
        dev_->SetTransform(D3DTS_PROJECTION, &proj);
        dev_->SetRenderState(D3DRS_AMBIENT, 0x00303030);
        dev_->SetMaterial(&m);
        SetLights(lights);
        BeginFrame();
        DrawIndexed(vb.get(), sizeof(LitVertex), kLitFvf, ib.get(), 4, 2);
        std::vector<BYTE> pixels = EndFrame();
        Rgb want = Reference(m, 0x00303030, lights, {0, 0, 0}, {normal.x, normal.y, normal.z});
        EXPECT_PIXEL_NEAR(At(pixels, 32, 32), Channel(want.r), Channel(want.g), Channel(want.b), 2);
    }
}

struct SpotCase {
    const char* name;
    float theta, phi, falloff, range;
    float a0, a1, a2;
    D3DCOLORVALUE lightAmbient;
};

// A spot light over a finely divided plane: each vertex is lit on its own
// (Gouraud), so the pixels at the vertices show the cone, its soft edge with
// the falloff exponent, the attenuation and the range exactly.
TEST_F(LightingTest, SpotLightConeFalloffAttenuationAndRangeAtEveryVertex) {
    // Vertices sit on the centres of every fourth pixel, at depth 5.
    const int step = 4, columns = 16;  // pixels 0, 4, ..., 60
    std::vector<LitVertex> vertices;
    std::vector<WORD> indices;
    for (int j = 0; j < columns; ++j)
        for (int i = 0; i < columns; ++i)
            vertices.push_back({PixelToWorldX(float(i * step), 64), PixelToWorldY(float(j * step), 64), 5, 0, 0, -1});
    for (int j = 0; j + 1 < columns; ++j)
        for (int i = 0; i + 1 < columns; ++i) {
            WORD a = WORD(j * columns + i), b = WORD(a + 1), c = WORD(a + columns), d = WORD(c + 1);
            for (WORD k : {a, b, c, c, b, d}) indices.push_back(k);
        }
    Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(vertices));
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(indices));
    const D3DMATERIAL8 m = Material({0.9f, 0.8f, 0.7f, 1}, {1, 1, 1, 1});

    const std::vector<SpotCase> cases = {
        // The game's headlight: inner and outer cone equal, a hard edge.
        {"hard edge", 0.30f, 0.30f, 1.0f, 30.0f, 1.0f, 0, 0, {0, 0, 0, 0}},
        {"soft edge, falloff 2", 0.10f, 0.36f, 2.0f, 100.0f, 1.0f, 0, 0, {0, 0, 0, 0}},
        {"attenuation and light ambient", 0.20f, 0.40f, 1.0f, 100.0f, 0.5f, 0.05f, 0.01f, {0.2f, 0.1f, 0.0f, 0}},
        {"range cuts inside the cone", 0.50f, 0.50f, 1.0f, 5.04f, 1.0f, 0, 0, {0, 0, 0, 0}},
    };
    for (const SpotCase& c : cases) {
        SCOPED_TRACE(c.name);
        D3DLIGHT8 spot{};
        spot.Type = D3DLIGHT_SPOT;
        spot.Diffuse = {0.9f, 0.8f, 0.6f, 0};
        spot.Ambient = c.lightAmbient;
        spot.Position = {0.05f, -0.1f, 0};
        spot.Direction = {0, 0, 2};  // not normalised, as the game's headlight
        spot.Range = c.range;
        spot.Falloff = c.falloff;
        spot.Attenuation0 = c.a0, spot.Attenuation1 = c.a1, spot.Attenuation2 = c.a2;
        spot.Theta = c.theta;
        spot.Phi = c.phi;
        UseFlatCamera();
        dev_->SetRenderState(D3DRS_AMBIENT, 0x00000000);
        dev_->SetMaterial(&m);
        dev_->SetLight(0, &spot);
        dev_->LightEnable(0, TRUE);
        BeginFrame(0xFF0000FF);
        dev_->SetVertexShader(kLitFvf);
        dev_->SetStreamSource(0, vb.get(), sizeof(LitVertex));
        dev_->SetIndices(ib.get(), 0);
        ASSERT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, UINT(vertices.size()), 0,
                                             UINT(indices.size() / 3)),
                  S_OK);
        std::vector<BYTE> pixels = EndFrame();
        int lit = 0, dark = 0;
        for (int j = 1; j + 1 < columns; ++j)
            for (int i = 1; i + 1 < columns; ++i) {
                const LitVertex& v = vertices[size_t(j * columns + i)];
                Rgb want = Reference(m, 0, {spot}, {v.x, v.y, v.z}, {0, 0, -1});
                SCOPED_TRACE(testing::Message() << "vertex at pixel " << i * step << "," << j * step);
                EXPECT_PIXEL_NEAR(At(pixels, i * step, j * step), Channel(want.r), Channel(want.g), Channel(want.b),
                                  2);
                (want.r > 0.05f ? lit : dark)++;
            }
        // The fixture must show both sides of the edge to mean anything.
        EXPECT_GT(lit, 4);
        EXPECT_GT(dark, 4);
    }
}

// Lighting off: the vertex colours are drawn as they stand, interpolated.
// Lighting on with a diffuse vertex colour: the colour replaces the material
// diffuse (colour vertex on, diffuse source colour 1).
TEST_F(LightingTest, VertexColoursWithLightingOffAndAsDiffuseMaterialSource) {
    const DWORD red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF, grey = 0xFF808080;
    std::vector<LitColorVertex> v = {
        {-1, 1, 5, 0, 0, -1, red}, {1, 1, 5, 0, 0, -1, green}, {-1, -1, 5, 0, 0, -1, blue}, {1, -1, 5, 0, 0, -1, grey}};
    Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(v));
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));
    const D3DMATERIAL8 m = Material({0.1f, 0.1f, 0.1f, 1}, {0.5f, 0.5f, 0.5f, 1});

    UseFlatCamera();
    dev_->SetMaterial(&m);
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    BeginFrame();
    DrawIndexed(vb.get(), sizeof(LitColorVertex), kLitColorFvf, ib.get(), 4, 2);
    std::vector<BYTE> off = EndFrame();
    // The corner pixels' centres lie half a pixel inside the corners: one
    // step of the gradient (255 / 64 per pixel) in each direction.
    EXPECT_PIXEL_NEAR(At(off, 0, 0), 255, 0, 0, 6);
    EXPECT_PIXEL_NEAR(At(off, 63, 0), 0, 255, 0, 6);
    EXPECT_PIXEL_NEAR(At(off, 0, 63), 0, 0, 255, 6);
    // Along the top edge red fades into green.
    GlPixel middle = At(off, 32, 0);
    EXPECT_NEAR(int(middle.r), 127, 6);
    EXPECT_NEAR(int(middle.g), 127, 6);

    const D3DLIGHT8 light = Directional({0, 0, 1}, {0.5f, 0.5f, 0.5f, 0});
    dev_->SetLight(0, &light);
    dev_->LightEnable(0, TRUE);
    dev_->SetRenderState(D3DRS_LIGHTING, TRUE);
    dev_->SetRenderState(D3DRS_AMBIENT, 0x00404040);
    BeginFrame();
    DrawIndexed(vb.get(), sizeof(LitColorVertex), kLitColorFvf, ib.get(), 4, 2);
    std::vector<BYTE> on = EndFrame();
    const D3DCOLORVALUE vertexRed{1, 0, 0, 1};
    Rgb want = Reference(m, 0x00404040, {light}, {-1, 1, 5}, {0, 0, -1}, &vertexRed);
    EXPECT_PIXEL_NEAR(At(on, 0, 0), Channel(want.r), Channel(want.g), Channel(want.b), 6);

    // Colour vertex off: the material's diffuse again.
    dev_->SetRenderState(D3DRS_COLORVERTEX, FALSE);
    BeginFrame();
    DrawIndexed(vb.get(), sizeof(LitColorVertex), kLitColorFvf, ib.get(), 4, 2);
    std::vector<BYTE> material = EndFrame();
    want = Reference(m, 0x00404040, {light}, {-1, 1, 5}, {0, 0, -1});
    EXPECT_PIXEL_NEAR(At(material, 0, 0), Channel(want.r), Channel(want.g), Channel(want.b), 1);
}

// A vertex format without colours drawn unlit is white, and so is a textured
// stage without a texture: stage 0 modulates with opaque white.
TEST_F(LightingTest, UnlitVerticesWithoutColourAreWhite) {
    Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(Quad(-1, -1, 1, 1, 5)));
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));
    UseFlatCamera();
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev_->SetTexture(0, nullptr);
    BeginFrame();
    DrawIndexed(vb.get(), sizeof(LitVertex), kLitFvf, ib.get(), 4, 2);
    EXPECT_PIXEL_NEAR(At(EndFrame(), 32, 32), 255, 255, 255, 0);
}

}  // namespace
