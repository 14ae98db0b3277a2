// Where and how pixels land: culling, depth, the homogeneous world matrix,
// screen-space vertices on whole pixels, blending, the alpha test, texture
// formats, mip levels and addressing.
#include "tests/platform/gl/gl_fixture.h"

namespace {

class RasterTest : public GlDeviceTest {
protected:
    // Untextured, unlit screen-space drawing with the vertex colour.
    void PlainScreenState() {
        dev_->SetTexture(0, nullptr);
        dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        dev_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        dev_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    }
    void DrawScreenTriangle(ScreenVertex a, ScreenVertex b, ScreenVertex c) {
        std::vector<ScreenVertex> v = {a, b, c};
        Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(v));
        dev_->SetVertexShader(kScreenFvf);
        dev_->SetStreamSource(0, vb.get(), sizeof(ScreenVertex));
        ASSERT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), S_OK);
        ASSERT_EQ(dev_->EndScene(), S_OK);  // draw before the buffer goes
        ASSERT_EQ(dev_->BeginScene(), S_OK);
    }
    static int CountLit(const std::vector<BYTE>& rgba) {
        int n = 0;
        for (size_t i = 0; i < rgba.size(); i += 4) n += (rgba[i] | rgba[i + 1] | rgba[i + 2]) != 0;
        return n;
    }
};

struct CullCase {
    DWORD mode;
    bool clockwise;  // as seen on the screen, y pointing down
    bool visible;
};

TEST_F(RasterTest, CullModeDropsFacesByTheirWindingOnScreen) {
    const CullCase cases[] = {
        {D3DCULL_CCW, true, true},  {D3DCULL_CCW, false, false}, {D3DCULL_CW, true, false},
        {D3DCULL_CW, false, true},  {D3DCULL_NONE, true, true},  {D3DCULL_NONE, false, true},
    };
    for (const CullCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "cull " << c.mode << (c.clockwise ? " clockwise" : " counter-clockwise"));
        PlainScreenState();
        dev_->SetRenderState(D3DRS_CULLMODE, c.mode);
        BeginFrame();
        // Right along the top, then down-left: clockwise with y pointing down.
        ScreenVertex a{10, 10, 0.5f, 1, 0xFFFFFFFF, 0, 0}, b{50, 10, 0.5f, 1, 0xFFFFFFFF, 0, 0},
            d{10, 50, 0.5f, 1, 0xFFFFFFFF, 0, 0};
        if (c.clockwise) DrawScreenTriangle(a, b, d);
        else DrawScreenTriangle(a, d, b);
        GlPixel p = At(EndFrame(), 20, 20);
        EXPECT_EQ(p.r, c.visible ? 255 : 0);
    }
}

// The default cull mode keeps the faces the scene draws: clockwise as seen
// from the camera in the left-handed world (the lighting tests rely on it);
// the same quad seen from behind is dropped.
TEST_F(RasterTest, DefaultCullingKeepsFrontFacesOfTheLeftHandedWorld) {
    Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(Quad(-0.5f, -0.5f, 0.5f, 0.5f, 5)));
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    for (bool fromBehind : {false, true}) {
        D3DXVECTOR3 eye(0, 0, fromBehind ? 10.0f : 0.0f), at(0, 0, 5), up(0, 1, 0);
        D3DXMATRIX view, proj, world;
        D3DXMatrixIdentity(&world);
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&proj, 0.8f, 1.0f, 1.0f, 50.0f);
        dev_->SetTransform(D3DTS_WORLD, &world);
        dev_->SetTransform(D3DTS_VIEW, &view);
        dev_->SetTransform(D3DTS_PROJECTION, &proj);
        BeginFrame();
        DrawIndexed(vb.get(), sizeof(LitVertex), kLitFvf, ib.get(), 4, 2);
        EXPECT_EQ(At(EndFrame(), 32, 32).g, fromBehind ? 0 : 255) << (fromBehind ? "from behind" : "from the front");
    }
}

struct DepthCase {
    const char* name;
    DWORD zEnable, zWrite, zFunc;
    bool farOneWins;
};

// A near red rectangle, then a far green one over it.
TEST_F(RasterTest, DepthTestWriteAndCompareFunction) {
    const DepthCase cases[] = {
        {"depth test on: the near one stays", D3DZB_TRUE, TRUE, D3DCMP_LESSEQUAL, false},
        {"depth test off: the later one wins", D3DZB_FALSE, TRUE, D3DCMP_LESSEQUAL, true},
        {"no depth writes: nothing to hide behind", D3DZB_TRUE, FALSE, D3DCMP_LESSEQUAL, true},
        {"greater passes the farther one", D3DZB_TRUE, TRUE, D3DCMP_GREATER, true},
        {"never draws nothing new", D3DZB_TRUE, TRUE, D3DCMP_NEVER, false},
    };
    for (const DepthCase& c : cases) {
        SCOPED_TRACE(c.name);
        PlainScreenState();
        BeginFrame();
        // The first draw always lands: the cleared depth is 1.0.
        dev_->SetRenderState(D3DRS_ZENABLE, c.zEnable);
        dev_->SetRenderState(D3DRS_ZWRITEENABLE, c.zWrite);
        dev_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
        DrawScreenRect(10, 10, 40, 40, 0xFFFF0000, 0.3f);
        dev_->SetRenderState(D3DRS_ZFUNC, c.zFunc);
        DrawScreenRect(20, 20, 50, 50, 0xFF00FF00, 0.6f);
        std::vector<BYTE> pixels = EndFrame();
        GlPixel overlap = At(pixels, 30, 30);
        EXPECT_EQ(overlap.g, c.farOneWins ? 255 : 0);
        EXPECT_EQ(overlap.r, c.farOneWins ? 0 : 255);
        EXPECT_EQ(At(pixels, 15, 15).r, 255);
        dev_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    }
}

// Depth through the projection: the nearer of two overlapping quads wins
// whichever is drawn first (depth range [0, 1] from the projection's z).
TEST_F(RasterTest, PerspectiveDepthKeepsTheNearerQuad) {
    Ref<IDirect3DVertexBuffer8> nearQuad(MakeVertexBuffer(Quad(-1, -1, 0.2f, 0.2f, 4)));
    Ref<IDirect3DVertexBuffer8> farQuad(MakeVertexBuffer(Quad(-0.2f, -0.2f, 1.2f, 1.2f, 4.2f)));
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));
    D3DXMATRIX proj, id;
    D3DXMatrixIdentity(&id);
    D3DXMatrixPerspectiveFovLH(&proj, 0.7853982f, 1.0f, 1.0f, 500.0f);
    dev_->SetTransform(D3DTS_WORLD, &id);
    dev_->SetTransform(D3DTS_VIEW, &id);
    dev_->SetTransform(D3DTS_PROJECTION, &proj);
    dev_->SetRenderState(D3DRS_AMBIENT, 0x00FFFFFF);
    for (bool nearFirst : {true, false}) {
        BeginFrame();
        D3DMATERIAL8 red = Material({0, 0, 0, 1}, {1, 0, 0, 1}), green = Material({0, 0, 0, 1}, {0, 1, 0, 1});
        for (int k = 0; k < 2; ++k) {
            bool drawNear = (k == 0) == nearFirst;
            dev_->SetMaterial(drawNear ? &red : &green);
            DrawIndexed(drawNear ? nearQuad.get() : farQuad.get(), sizeof(LitVertex), kLitFvf, ib.get(), 4, 2);
        }
        std::vector<BYTE> pixels = EndFrame();
        GlPixel overlap = At(pixels, 32, 32);
        EXPECT_EQ(overlap.r, 255) << (nearFirst ? "near first" : "far first");
        EXPECT_EQ(overlap.g, 0);
        EXPECT_EQ(At(pixels, 50, 14).g, 255);  // only the far quad there
    }
}

// The 3D text is placed with a world matrix whose last element is 0.1: the
// text is drawn ten times larger about the world origin. Drawing it so must
// cover the same pixels as drawing the ten times larger text directly.
TEST_F(RasterTest, WorldMatrixWithW01DrawsTenTimesLarger) {
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));
    const float tx = 0.3f, ty = 0.1f, tz = 0.5f;
    // A small quad in text units, and the same quad where the matrix puts it:
    // (x, y, z) goes to (10 (tx - x), 10 (y + ty), 10 (tz - z)); x is mirrored,
    // so the corners swap sides to keep the winding.
    Ref<IDirect3DVertexBuffer8> small(MakeVertexBuffer(std::vector<LitVertex>{
        {0.1f, 0.1f, 0, 0, 0, 1}, {-0.1f, 0.1f, 0, 0, 0, 1}, {0.1f, -0.1f, 0, 0, 0, 1}, {-0.1f, -0.1f, 0, 0, 0, 1}}));
    auto placed = [&](float x, float y) { return LitVertex{10 * (tx - x), 10 * (y + ty), 10 * tz, 0, 0, -1}; };
    Ref<IDirect3DVertexBuffer8> large(MakeVertexBuffer(
        std::vector<LitVertex>{placed(0.1f, 0.1f), placed(-0.1f, 0.1f), placed(0.1f, -0.1f), placed(-0.1f, -0.1f)}));

    D3DXVECTOR3 eye(0, 2, -8), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIX view, proj;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&proj, 0.7853982f, 1.0f, 1.0f, 500.0f);
    dev_->SetTransform(D3DTS_VIEW, &view);
    dev_->SetTransform(D3DTS_PROJECTION, &proj);
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);

    D3DMATRIX text = Identity();
    text.m[0][0] = -1, text.m[2][2] = -1;
    text.m[3][0] = tx, text.m[3][1] = ty, text.m[3][2] = tz, text.m[3][3] = 0.1f;
    const D3DMATRIX id = Identity();

    auto bounds = [&](IDirect3DVertexBuffer8* vb, const D3DMATRIX& world) {
        dev_->SetTransform(D3DTS_WORLD, &world);
        BeginFrame();
        DrawIndexed(vb, sizeof(LitVertex), kLitFvf, ib.get(), 4, 2);
        std::vector<BYTE> pixels = EndFrame();
        int x0 = 99, y0 = 99, x1 = -1, y1 = -1;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                if (At(pixels, x, y).r) x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x),
                                        y1 = std::max(y1, y);
        return std::vector<int>{x0, y0, x1, y1};
    };
    std::vector<int> viaMatrix = bounds(small.get(), text), direct = bounds(large.get(), id);
    ASSERT_GT(direct[2] - direct[0], 5) << "the fixture should cover several pixels";
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(viaMatrix[k], direct[k], 1) << "edge " << k;
    // Without the 0.1 the text would be a tenth of the size.
    text.m[3][3] = 1.0f;
    std::vector<int> unscaled = bounds(small.get(), text);
    EXPECT_LT(unscaled[2] - unscaled[0], (direct[2] - direct[0]) / 3);
}

// Screen-space vertices use Direct3D's pixel centres: whole numbers.
TEST_F(RasterTest, OnePixelQuadAtWholeCoordinatesLightsExactlyThatPixel) {
    PlainScreenState();
    BeginFrame();
    DrawScreenRect(10, 20, 11, 21, 0xFFFFFFFF);
    std::vector<BYTE> pixels = EndFrame();
    EXPECT_EQ(At(pixels, 10, 20).r, 255);
    EXPECT_EQ(CountLit(pixels), 1);

    // A 3 x 2 rectangle covers 3 x 2 pixels from its top-left corner.
    BeginFrame();
    DrawScreenRect(5, 7, 8, 9, 0xFFFFFFFF);
    pixels = EndFrame();
    EXPECT_EQ(CountLit(pixels), 6);
    EXPECT_EQ(At(pixels, 5, 7).r, 255);
    EXPECT_EQ(At(pixels, 7, 8).r, 255);
}

// The texture font shifts its quads by half a pixel so that texels meet
// pixels: with point sampling every pixel shows exactly its texel.
TEST_F(RasterTest, HalfPixelShiftedQuadMapsTexelsOntoPixels) {
    std::vector<DWORD> texels(16);
    for (int i = 0; i < 16; ++i) texels[size_t(i)] = 0xFF000000u | DWORD(i * 16) << 16 | DWORD(255 - i * 16) << 8;
    Ref<IDirect3DTexture8> tex(MakeTexture(4, 4, D3DFMT_A8R8G8B8, texels.data()));
    dev_->SetTexture(0, tex.get());
    BeginFrame();
    DrawScreenRect(20 - 0.5f, 30 - 0.5f, 24 - 0.5f, 34 - 0.5f, 0xFFFFFFFF);
    std::vector<BYTE> pixels = EndFrame();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            DWORD t = texels[size_t(y * 4 + x)];
            EXPECT_PIXEL_NEAR(At(pixels, 20 + x, 30 + y), int((t >> 16) & 0xFF), int((t >> 8) & 0xFF), 0, 0);
        }
    EXPECT_EQ(CountLit(pixels), 16);
}

struct EdgeCase {
    const char* name;
    bool perspective;
    float left, top, right, bottom;  // where Direct3D puts the quad on the screen, in pixels
    int firstColumn, firstRow, lastColumn, lastRow;  // the pixels whose centres it covers
};

// Transformed geometry on Direct3D's pixel grid: a pixel is lit when its
// centre, a whole number, lies inside (top and left edges in, bottom and
// right out). Half a pixel off, the quad with edges at .25 would light the
// column and row before its first ones.
TEST_F(RasterTest, TransformedEdgesLandOnDirect3DPixelCentres) {
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));
    const EdgeCase cases[] = {
        {"edges a quarter past whole numbers", false, 10.25f, 20.25f, 30.25f, 40.25f, 11, 21, 30, 40},
        {"edges three quarters past", false, 10.75f, 20.75f, 30.75f, 40.75f, 11, 21, 30, 40},
        {"edges on whole numbers", false, 10.0f, 20.0f, 30.0f, 40.0f, 10, 20, 29, 39},
        {"perspective, a quarter past", true, 5.25f, 12.25f, 50.25f, 33.25f, 6, 13, 50, 33},
    };
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    for (const EdgeCase& c : cases) {
        SCOPED_TRACE(c.name);
        // View z 5; x and y in normalised device coordinates times z over
        // the projection's scale, which the flat projection leaves at 1.
        D3DXMATRIX proj;
        D3DXMatrixPerspectiveFovLH(&proj, 0.9f, 1.0f, 1.0f, 50.0f);
        const D3DMATRIX id = Identity(), flat = FlatProjection();
        const float z = 5.0f;
        const float sx = c.perspective ? z / proj.m[0][0] : 1.0f, sy = c.perspective ? z / proj.m[1][1] : 1.0f;
        auto worldX = [&](float px) { return (px / float(kWidth) * 2.0f - 1.0f) * sx; };
        auto worldY = [&](float py) { return (1.0f - py / float(kHeight) * 2.0f) * sy; };
        Ref<IDirect3DVertexBuffer8> vb(
            MakeVertexBuffer(Quad(worldX(c.left), worldY(c.bottom), worldX(c.right), worldY(c.top), z)));
        dev_->SetTransform(D3DTS_WORLD, &id);
        dev_->SetTransform(D3DTS_VIEW, &id);
        dev_->SetTransform(D3DTS_PROJECTION, c.perspective ? static_cast<const D3DMATRIX*>(&proj) : &flat);
        BeginFrame();
        DrawIndexed(vb.get(), sizeof(LitVertex), kLitFvf, ib.get(), 4, 2);
        std::vector<BYTE> pixels = EndFrame();
        int wrong = 0;
        for (int y = 0; y < int(kHeight); ++y)
            for (int x = 0; x < int(kWidth); ++x) {
                const bool want = x >= c.firstColumn && x <= c.lastColumn && y >= c.firstRow && y <= c.lastRow;
                if ((At(pixels, x, y).r == 255) != want && wrong++ < 4)
                    ADD_FAILURE() << "pixel " << x << "," << y << (want ? " not lit" : " lit");
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(CountLit(pixels), (c.lastColumn - c.firstColumn + 1) * (c.lastRow - c.firstRow + 1));
    }
}

// A transformed quad from half a pixel before one pixel centre to half a
// pixel past another, with as many texels as pixels: point sampling shows
// each texel on exactly its pixel, as the same quad does in Direct3D.
TEST_F(RasterTest, PointSampledTexelsOfATransformedQuadMeetTheirPixels) {
    std::vector<DWORD> texels(16);
    for (int i = 0; i < 16; ++i) texels[size_t(i)] = 0xFF000000u | DWORD(i * 16 + 8) << 16 | DWORD(250 - i * 16) << 8;
    Ref<IDirect3DTexture8> tex(MakeTexture(4, 4, D3DFMT_A8R8G8B8, texels.data()));
    auto wx = [](float px) { return PixelToWorldX(px, float(kWidth)); };
    auto wy = [](float py) { return PixelToWorldY(py, float(kHeight)); };
    const float x0 = wx(19.5f), x1 = wx(23.5f), y0 = wy(33.5f), y1 = wy(29.5f);
    Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(std::vector<TexVertex>{{x0, y1, 5, 0, 0, -1, 0, 0},
                                                                          {x1, y1, 5, 0, 0, -1, 1, 0},
                                                                          {x0, y0, 5, 0, 0, -1, 0, 1},
                                                                          {x1, y0, 5, 0, 0, -1, 1, 1}}));
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));
    UseFlatCamera();
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev_->SetTexture(0, tex.get());
    dev_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    dev_->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    BeginFrame();
    DrawIndexed(vb.get(), sizeof(TexVertex), kTexFvf, ib.get(), 4, 2);
    std::vector<BYTE> pixels = EndFrame();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            SCOPED_TRACE(testing::Message() << "texel " << x << "," << y);
            const DWORD t = texels[size_t(y * 4 + x)];
            EXPECT_PIXEL_NEAR(At(pixels, 20 + x, 30 + y), int((t >> 16) & 0xFF), int((t >> 8) & 0xFF), 0, 0);
        }
    EXPECT_EQ(CountLit(pixels), 16);
}

TEST_F(RasterTest, AlphaBlendingMixesWithTheBackground) {
    PlainScreenState();
    dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    BeginFrame(0xFF0000FF);
    DrawScreenRect(0, 0, 8, 8, 0x80FF0000);
    std::vector<BYTE> pixels = EndFrame();
    EXPECT_PIXEL_NEAR(At(pixels, 4, 4), 128, 0, 127, 1);
    EXPECT_PIXEL_NEAR(At(pixels, 9, 4), 0, 0, 255, 0);

    dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);  // additive
    BeginFrame(0xFF0000FF);
    DrawScreenRect(0, 0, 8, 8, 0x80FF0000);
    EXPECT_PIXEL_NEAR(At(EndFrame(), 4, 4), 128, 0, 255, 1);
}

struct AlphaTestCase {
    DWORD ref, func;
    bool first, second;  // whether the texels of alpha 7 and 8 (119 and 136) are drawn
};

// The texture font's A4R4G4B4 glyphs: white texels with a 4-bit alpha.
TEST_F(RasterTest, AlphaTestOnA4R4G4B4Texels) {
    const WORD texels[2] = {0x7FFF, 0x8FFF};
    Ref<IDirect3DTexture8> tex(MakeTexture(2, 1, D3DFMT_A4R4G4B4, texels));
    const AlphaTestCase cases[] = {
        {0x80, D3DCMP_GREATEREQUAL, false, true}, {0x08, D3DCMP_GREATEREQUAL, true, true},
        {0x80, D3DCMP_LESS, true, false},         {119, D3DCMP_EQUAL, true, false},
        {0x00, D3DCMP_NEVER, false, false},       {0xFF, D3DCMP_ALWAYS, true, true},
    };
    for (const AlphaTestCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "ref " << c.ref << " func " << c.func);
        dev_->SetTexture(0, tex.get());
        dev_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        dev_->SetRenderState(D3DRS_ALPHAREF, c.ref);
        dev_->SetRenderState(D3DRS_ALPHAFUNC, c.func);
        BeginFrame();
        DrawScreenRect(-0.5f, -0.5f, 1.5f, 0.5f, 0xFFFFFFFF);
        std::vector<BYTE> pixels = EndFrame();
        EXPECT_EQ(At(pixels, 0, 0).r, c.first ? 255 : 0);
        EXPECT_EQ(At(pixels, 1, 0).r, c.second ? 255 : 0);
    }
    // Alpha test off again: both texels land.
    dev_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    BeginFrame();
    DrawScreenRect(-0.5f, -0.5f, 1.5f, 0.5f, 0xFFFFFFFF);
    std::vector<BYTE> pixels = EndFrame();
    EXPECT_EQ(At(pixels, 0, 0).r, 255);
}

struct FormatCase {
    D3DFORMAT format;
    DWORD texel;  // the raw texel, in the format's own bits
    int r, g, b;
};

TEST_F(RasterTest, EveryTextureFormatDrawsItsColour) {
    const FormatCase cases[] = {
        {D3DFMT_A8R8G8B8, 0x80336699u, 0x33, 0x66, 0x99}, {D3DFMT_X8R8G8B8, 0x00336699u, 0x33, 0x66, 0x99},
        {D3DFMT_R5G6B5, 0xF81Fu, 255, 0, 255},             {D3DFMT_A1R5G5B5, 0x83E0u, 0, 255, 0},
        {D3DFMT_A4R4G4B4, 0xF84Cu, 0x88, 0x44, 0xCC},       {D3DFMT_L8, 0x5Au, 0x5A, 0x5A, 0x5A},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.format);
        Ref<IDirect3DTexture8> tex(MakeTexture(1, 1, c.format, &c.texel));
        dev_->SetTexture(0, tex.get());
        BeginFrame();
        DrawScreenRect(0, 0, 4, 4, 0xFFFFFFFF);
        EXPECT_PIXEL_NEAR(At(EndFrame(), 1, 1), c.r, c.g, c.b, 0);
    }
}

// Each mip level is uploaded from its own lock; the mip filter picks them.
TEST_F(RasterTest, MipLevelsAndMipFilter) {
    IDirect3DTexture8* raw = nullptr;
    ASSERT_EQ(dev_->CreateTexture(4, 4, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &raw), S_OK);
    Ref<IDirect3DTexture8> tex(raw);
    ASSERT_EQ(tex->GetLevelCount(), 3u);
    const DWORD colours[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (UINT level = 0; level < 3; ++level) {
        std::vector<DWORD> texels(16, colours[level]);
        FillLevel(tex.get(), level, texels.data());
    }
    dev_->SetTexture(0, tex.get());
    for (auto [mip, r, b] : {std::tuple{DWORD(D3DTEXF_NONE), 255, 0}, std::tuple{DWORD(D3DTEXF_POINT), 0, 255}}) {
        SCOPED_TRACE(testing::Message() << "mip filter " << mip);
        dev_->SetTextureStageState(0, D3DTSS_MIPFILTER, mip);
        BeginFrame();
        DrawScreenRect(0, 0, 1, 1, 0xFFFFFFFF);  // four texels across one pixel: level 2
        EXPECT_PIXEL_NEAR(At(EndFrame(), 0, 0), r, 0, b, 0);
    }
}

TEST_F(RasterTest, WrapAndClampAddressing) {
    const DWORD texels[2] = {0xFF000000, 0xFFFFFFFF};
    Ref<IDirect3DTexture8> tex(MakeTexture(2, 1, D3DFMT_X8R8G8B8, texels));
    dev_->SetTexture(0, tex.get());
    // u from 0 to 2 over four pixels: two repeats of the two texels.
    BeginFrame();
    DrawScreenRect(-0.5f, -0.5f, 3.5f, 0.5f, 0xFFFFFFFF, 0.5f, 0, 0, 2, 1);
    std::vector<BYTE> wrapped = EndFrame();
    dev_->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    BeginFrame();
    DrawScreenRect(-0.5f, -0.5f, 3.5f, 0.5f, 0xFFFFFFFF, 0.5f, 0, 0, 2, 1);
    std::vector<BYTE> clamped = EndFrame();
    const int wantWrapped[4] = {0, 255, 0, 255}, wantClamped[4] = {0, 255, 255, 255};
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(At(wrapped, x, 0).r, wantWrapped[x]) << x;
        EXPECT_EQ(At(clamped, x, 0).r, wantClamped[x]) << x;
    }
}

TEST_F(RasterTest, ClearFillsTheBackBufferAndRectangles) {
    ASSERT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204060, 1.0f, 0), S_OK);
    D3DRECT r{10, 5, 20, 8};
    ASSERT_EQ(dev_->Clear(1, &r, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), S_OK);
    std::vector<BYTE> pixels = t_->ReadPixels();
    EXPECT_PIXEL_NEAR(At(pixels, 0, 0), 0x20, 0x40, 0x60, 0);
    EXPECT_PIXEL_NEAR(At(pixels, 10, 5), 255, 255, 255, 0);
    EXPECT_PIXEL_NEAR(At(pixels, 19, 7), 255, 255, 255, 0);
    EXPECT_PIXEL_NEAR(At(pixels, 20, 7), 0x20, 0x40, 0x60, 0);
    EXPECT_PIXEL_NEAR(At(pixels, 10, 8), 0x20, 0x40, 0x60, 0);
    EXPECT_EQ(dev_->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
}

}  // namespace
