// Shared pieces of the OpenGL device tests: a fixture with a real device on a
// small window, vertex layouts, buffer helpers and pixel checks.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/gl/gl_diagnostics.h"
#include "platform/gl/gl_test_support.h"
#include "tests/support/display.h"
#include "util3d/d3dx_math.h"

// Owns one reference of a platform object.
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : p_(p) {}
    ~Ref() { SafeRelease(p_); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T** out() {
        SafeRelease(p_);
        return &p_;
    }
    T* release() {
        T* p = p_;
        p_ = nullptr;
        return p;
    }

private:
    T* p_ = nullptr;
};

struct LitVertex {  // D3DFVF_XYZ | D3DFVF_NORMAL
    float x, y, z, nx, ny, nz;
};
constexpr DWORD kLitFvf = D3DFVF_XYZ | D3DFVF_NORMAL;

struct LitColorVertex {  // D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE
    float x, y, z, nx, ny, nz;
    DWORD color;
};
constexpr DWORD kLitColorFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;

struct TexVertex {  // D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1
    float x, y, z, nx, ny, nz, u, v;
};
constexpr DWORD kTexFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

struct ScreenVertex {  // D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, the texture font's layout
    float x, y, z, rhw;
    DWORD color;
    float u, v;
};
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
static_assert(sizeof(ScreenVertex) == 28);

inline D3DMATRIX Identity() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

// A parallel projection that keeps x and y (so world x, y in [-1, 1] fill the
// back buffer) and maps z from [0, 10] to depth [0, 1].
inline D3DMATRIX FlatProjection() {
    D3DMATRIX m = Identity();
    m.m[2][2] = 0.1f;
    return m;
}

// Under FlatProjection, world x (or y) of the centre of pixel column p (or
// row p, counted from the top): Direct3D puts pixel centres on whole numbers,
// so x = -1 is the centre of the first column.
inline float PixelToWorldX(float p, float width) { return p / width * 2.0f - 1.0f; }
inline float PixelToWorldY(float p, float height) { return 1.0f - p / height * 2.0f; }

inline D3DMATERIAL8 Material(D3DCOLORVALUE diffuse, D3DCOLORVALUE ambient, D3DCOLORVALUE emissive = {0, 0, 0, 0}) {
    D3DMATERIAL8 m{};
    m.Diffuse = diffuse;
    m.Ambient = ambient;
    m.Emissive = emissive;
    return m;
}

inline int Channel(float v) { return int(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f)); }

#define EXPECT_PIXEL_NEAR(pixel, R, G, B, tolerance)                                                 \
    do {                                                                                             \
        GlPixel p_ = (pixel);                                                                        \
        EXPECT_NEAR(int(p_.r), (R), (tolerance)) << "red";                                           \
        EXPECT_NEAR(int(p_.g), (G), (tolerance)) << "green";                                         \
        EXPECT_NEAR(int(p_.b), (B), (tolerance)) << "blue";                                          \
    } while (0)

class GlDeviceTest : public ::testing::Test {
protected:
    static constexpr UINT kWidth = 64, kHeight = 64;

    void SetUp() override { Open(kWidth, kHeight); }

    // Makes the device; without a display the test skips, or fails where one
    // is expected.
    void Open(UINT width, UINT height, const GlTestOptions& options = GlTestOptions{}) {
        dev_ = nullptr;
        t_.reset();
        std::string why;
        t_ = MakeGlTestDevice(width, height, &why, options);
        if (!t_) SKIP_OR_FAIL_WITHOUT_DISPLAY(why);
        ASSERT_TRUE(SUCCEEDED(t_->createResult)) << std::hex << t_->createResult;
        dev_ = t_->device;
        width_ = width;
        height_ = height;
    }

    void BeginFrame(D3DCOLOR clear = 0xFF000000) {
        ASSERT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clear, 1.0f, 0), S_OK);
        ASSERT_EQ(dev_->BeginScene(), S_OK);
    }
    std::vector<BYTE> EndFrame() {
        EXPECT_EQ(dev_->EndScene(), S_OK);
        return t_->ReadPixels();
    }
    GlPixel At(const std::vector<BYTE>& rgba, int x, int y) const { return PixelOf(rgba, width_, x, y); }

    template <class V>
    IDirect3DVertexBuffer8* MakeVertexBuffer(const std::vector<V>& vertices, DWORD usage = D3DUSAGE_WRITEONLY) {
        IDirect3DVertexBuffer8* vb = nullptr;
        UINT bytes = UINT(vertices.size() * sizeof(V));
        EXPECT_EQ(dev_->CreateVertexBuffer(bytes, usage, 0, D3DPOOL_MANAGED, &vb), S_OK);
        if (!vb) return nullptr;
        BYTE* p = nullptr;
        EXPECT_EQ(vb->Lock(0, 0, &p, 0), S_OK);
        std::memcpy(p, vertices.data(), bytes);
        EXPECT_EQ(vb->Unlock(), S_OK);
        return vb;
    }

    template <class I>
    IDirect3DIndexBuffer8* MakeIndexBuffer(const std::vector<I>& indices) {
        static_assert(sizeof(I) == 2 || sizeof(I) == 4);
        IDirect3DIndexBuffer8* ib = nullptr;
        UINT bytes = UINT(indices.size() * sizeof(I));
        EXPECT_EQ(dev_->CreateIndexBuffer(bytes, D3DUSAGE_WRITEONLY, sizeof(I) == 2 ? D3DFMT_INDEX16 : D3DFMT_INDEX32,
                                          D3DPOOL_MANAGED, &ib),
                  S_OK);
        if (!ib) return nullptr;
        BYTE* p = nullptr;
        EXPECT_EQ(ib->Lock(0, 0, &p, 0), S_OK);
        std::memcpy(p, indices.data(), bytes);
        EXPECT_EQ(ib->Unlock(), S_OK);
        return ib;
    }

    // A texture of one level filled from 32-bit ARGB texels, or from raw
    // 16-bit texels for the 2-byte formats.
    IDirect3DTexture8* MakeTexture(UINT width, UINT height, D3DFORMAT format, const void* texels, UINT levels = 1) {
        IDirect3DTexture8* t = nullptr;
        EXPECT_EQ(dev_->CreateTexture(width, height, levels, 0, format, D3DPOOL_MANAGED, &t), S_OK);
        if (!t) return nullptr;
        if (texels) FillLevel(t, 0, texels);
        return t;
    }
    void FillLevel(IDirect3DTexture8* t, UINT level, const void* texels) {
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(t->GetLevelDesc(level, &desc), S_OK);
        D3DLOCKED_RECT lr{};
        ASSERT_EQ(t->LockRect(level, &lr, nullptr, 0), S_OK);
        UINT row = desc.Width * FormatBytesPerPixel(desc.Format);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(static_cast<BYTE*>(lr.pBits) + size_t(y) * lr.Pitch,
                        static_cast<const BYTE*>(texels) + size_t(y) * row, row);
        ASSERT_EQ(t->UnlockRect(level), S_OK);
    }

    // Two clockwise triangles covering [x0, x1] x [y0, y1] in the plane z,
    // facing the camera (normal -z).
    static std::vector<LitVertex> Quad(float x0, float y0, float x1, float y1, float z) {
        return {{x0, y1, z, 0, 0, -1}, {x1, y1, z, 0, 0, -1}, {x0, y0, z, 0, 0, -1}, {x1, y0, z, 0, 0, -1}};
    }
    static std::vector<WORD> QuadIndices() { return {0, 1, 2, 2, 1, 3}; }

    // A screen-space rectangle as the texture font draws it: two clockwise
    // triangles from a dynamic buffer, drawn with DrawPrimitive.
    void DrawScreenRect(float x0, float y0, float x1, float y1, DWORD color, float z = 0.5f, float u0 = 0,
                        float v0 = 0, float u1 = 1, float v1 = 1) {
        std::vector<ScreenVertex> v = {
            {x0, y1, z, 1, color, u0, v1}, {x0, y0, z, 1, color, u0, v0}, {x1, y1, z, 1, color, u1, v1},
            {x1, y0, z, 1, color, u1, v0}, {x1, y1, z, 1, color, u1, v1}, {x0, y0, z, 1, color, u0, v0},
        };
        if (!screenBuffer_.get()) {
            ASSERT_EQ(dev_->CreateVertexBuffer(6 * sizeof(ScreenVertex), D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, 0,
                                               D3DPOOL_DEFAULT, screenBuffer_.out()),
                      S_OK);
        }
        BYTE* p = nullptr;
        ASSERT_EQ(screenBuffer_->Lock(0, 0, &p, D3DLOCK_DISCARD), S_OK);
        std::memcpy(p, v.data(), v.size() * sizeof(ScreenVertex));
        ASSERT_EQ(screenBuffer_->Unlock(), S_OK);
        dev_->SetVertexShader(kScreenFvf);
        dev_->SetStreamSource(0, screenBuffer_.get(), sizeof(ScreenVertex));
        ASSERT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), S_OK);
    }

    void DrawIndexed(IDirect3DVertexBuffer8* vb, UINT stride, DWORD fvf, IDirect3DIndexBuffer8* ib, UINT vertices,
                     UINT triangles) {
        dev_->SetVertexShader(fvf);
        dev_->SetStreamSource(0, vb, stride);
        dev_->SetIndices(ib, 0);
        ASSERT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, vertices, 0, triangles), S_OK);
    }

    void UseFlatCamera() {
        D3DMATRIX id = Identity(), proj = FlatProjection();
        dev_->SetTransform(D3DTS_WORLD, &id);
        dev_->SetTransform(D3DTS_VIEW, &id);
        dev_->SetTransform(D3DTS_PROJECTION, &proj);
    }

    std::unique_ptr<GlTestDevice> t_;
    IDirect3DDevice8* dev_ = nullptr;
    UINT width_ = 0, height_ = 0;
    Ref<IDirect3DVertexBuffer8> screenBuffer_;
};
