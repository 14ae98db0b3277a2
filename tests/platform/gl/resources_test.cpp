// Buffers, textures and state blocks on the real device: what survives Reset,
// what a lock does to draws not yet sent, the overlay drawn at Present, and
// draws that would read outside their buffers.
#include "tests/platform/gl/gl_fixture.h"
#include "platform/sdl/native_window.h"

namespace {

class ResourcesTest : public GlDeviceTest {};

// The texture font's pattern: one state block saved before drawing, one with
// the drawing states applied, the saved one applied afterwards.
TEST_F(ResourcesTest, StateBlocksCaptureAndApplyRoundTrip) {
    const DWORD texel = 0xFFFF0000;
    Ref<IDirect3DTexture8> tex(MakeTexture(1, 1, D3DFMT_X8R8G8B8, &texel));
    DWORD blocks[2] = {0, 0};
    for (DWORD& block : blocks) {
        ASSERT_EQ(dev_->BeginStateBlock(), S_OK);
        dev_->SetTexture(0, tex.get());
        dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        dev_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        dev_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        ASSERT_EQ(dev_->EndStateBlock(&block), S_OK);
    }
    // Recording changed nothing: still opaque, untextured white.
    BeginFrame(0xFF0000FF);
    DrawScreenRect(0, 0, 8, 8, 0x80FFFFFF);
    EXPECT_PIXEL_NEAR(At(EndFrame(), 4, 4), 255, 255, 255, 0);

    BeginFrame(0xFF0000FF);
    ASSERT_EQ(dev_->CaptureStateBlock(blocks[0]), S_OK);
    ASSERT_EQ(dev_->ApplyStateBlock(blocks[1]), S_OK);
    DrawScreenRect(0, 0, 8, 8, 0x80FFFFFF);  // red texel, half transparent over blue
    ASSERT_EQ(dev_->ApplyStateBlock(blocks[0]), S_OK);
    DrawScreenRect(10, 0, 18, 8, 0x80FFFFFF);  // the caller's state again
    std::vector<BYTE> pixels = EndFrame();
    EXPECT_PIXEL_NEAR(At(pixels, 4, 4), 128, 0, 127, 1);
    EXPECT_PIXEL_NEAR(At(pixels, 14, 4), 255, 255, 255, 0);
    DWORD blend = 1;
    dev_->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    EXPECT_EQ(blend, DWORD(FALSE));
    EXPECT_EQ(dev_->DeleteStateBlock(blocks[0]), S_OK);
    EXPECT_EQ(dev_->DeleteStateBlock(blocks[1]), S_OK);
}

// Resize resets the device: the back buffer takes the new size, the state
// returns to its defaults, and textures and buffers of every pool stay usable
// with their contents.
TEST_F(ResourcesTest, ResetKeepsTexturesAndBuffersAndRestoresDefaults) {
    const DWORD texel = 0xFF00FF00;
    Ref<IDirect3DTexture8> managed(MakeTexture(1, 1, D3DFMT_X8R8G8B8, &texel));
    IDirect3DTexture8* raw = nullptr;
    ASSERT_EQ(dev_->CreateTexture(1, 1, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &raw), S_OK);
    Ref<IDirect3DTexture8> pooled(raw);
    const DWORD blue = 0xFF0000FF;
    FillLevel(pooled.get(), 0, &blue);
    Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(Quad(-1, -1, 0, 0, 5)));
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev_->SetRenderState(D3DRS_AMBIENT, 0x00FFFFFF);

    D3DPRESENT_PARAMETERS params = t_->params;
    params.BackBufferWidth = 48;
    params.BackBufferHeight = 40;
    ASSERT_EQ(dev_->Reset(&params), S_OK);
    DWORD value = 0;
    dev_->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, DWORD(TRUE));
    dev_->GetRenderState(D3DRS_AMBIENT, &value);
    EXPECT_EQ(value, 0u);

    width_ = 48;
    UseFlatCamera();
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    BeginFrame();
    dev_->SetTexture(0, managed.get());
    DrawScreenRect(0, 0, 4, 4, 0xFFFFFFFF);
    dev_->SetTexture(0, pooled.get());
    DrawScreenRect(4, 0, 8, 4, 0xFFFFFFFF);
    dev_->SetTexture(0, nullptr);
    DrawIndexed(vb.get(), sizeof(LitVertex), kLitFvf, ib.get(), 4, 2);  // the lower left quarter
    ASSERT_EQ(dev_->EndScene(), S_OK);
    UINT w = 0, h = 0;
    std::vector<BYTE> pixels = t_->ReadPixels(&w, &h);
    EXPECT_EQ(w, 48u);
    EXPECT_EQ(h, 40u);
    EXPECT_PIXEL_NEAR(At(pixels, 1, 1), 0, 255, 0, 0);
    EXPECT_PIXEL_NEAR(At(pixels, 5, 1), 0, 0, 255, 0);
    EXPECT_PIXEL_NEAR(At(pixels, 10, 30), 255, 255, 255, 0);
    EXPECT_PIXEL_NEAR(At(pixels, 30, 30), 0, 0, 0, 0);
    EXPECT_PIXEL_NEAR(At(pixels, 10, 10), 0, 0, 0, 0);

    D3DLOCKED_RECT lr{};
    ASSERT_EQ(managed->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), S_OK);
    EXPECT_EQ(*static_cast<DWORD*>(lr.pBits), texel);
    ASSERT_EQ(managed->UnlockRect(0), S_OK);

    // A zero size means the window's drawable size.
    params.BackBufferWidth = params.BackBufferHeight = 0;
    ASSERT_EQ(dev_->Reset(&params), S_OK);
    EXPECT_EQ(params.BackBufferWidth, 64u);
    EXPECT_EQ(params.BackBufferHeight, 64u);
}

// Draws already made read the contents the buffers and textures had at the
// time of the draw, even while the device still collects them.
TEST_F(ResourcesTest, LockingAResourceKeepsEarlierDrawsAsTheyWere) {
    Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(Quad(-1, 0, 0, 1, 5)));  // top left quarter
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));
    const DWORD red = 0xFFFF0000;
    Ref<IDirect3DTexture8> tex(MakeTexture(1, 1, D3DFMT_X8R8G8B8, &red));
    UseFlatCamera();
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev_->SetTexture(0, tex.get());
    BeginFrame();
    DrawIndexed(vb.get(), sizeof(LitVertex), kLitFvf, ib.get(), 4, 2);

    // Move the quad to the bottom right and turn the texel green.
    BYTE* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), S_OK);
    std::vector<LitVertex> moved = Quad(0, -1, 1, 0, 5);
    std::memcpy(p, moved.data(), moved.size() * sizeof(LitVertex));
    ASSERT_EQ(vb->Unlock(), S_OK);
    const DWORD green = 0xFF00FF00;
    FillLevel(tex.get(), 0, &green);
    DrawIndexed(vb.get(), sizeof(LitVertex), kLitFvf, ib.get(), 4, 2);

    std::vector<BYTE> pixels = EndFrame();
    EXPECT_PIXEL_NEAR(At(pixels, 16, 16), 255, 0, 0, 0);
    EXPECT_PIXEL_NEAR(At(pixels, 48, 48), 0, 255, 0, 0);
}

// The texture font refills one dynamic buffer with a discarding lock for
// each batch of text; every batch must come out.
TEST_F(ResourcesTest, DiscardingLocksOfADynamicBufferKeepEveryDraw) {
    BeginFrame();
    for (int i = 0; i < 8; ++i) DrawScreenRect(float(i * 8), 0, float(i * 8 + 4), 4, 0xFF00FF00 | DWORD(i * 30) << 16);
    std::vector<BYTE> pixels = EndFrame();
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(testing::Message() << "batch " << i);
        EXPECT_PIXEL_NEAR(At(pixels, i * 8 + 1, 1), i * 30, 255, 0, 0);
    }
}

TEST_F(ResourcesTest, SixteenAndThirtyTwoBitIndicesDrawTheSame) {
    // Vertices 4..7 hold the quad, reached through a base vertex index.
    std::vector<LitVertex> vertices = Quad(5, 5, 6, 6, 5);
    for (const LitVertex& v : Quad(-0.5f, -0.5f, 0.5f, 0.5f, 5)) vertices.push_back(v);
    Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(vertices));
    Ref<IDirect3DIndexBuffer8> ib16(MakeIndexBuffer(std::vector<WORD>{9, 9, 9, 0, 1, 2, 2, 1, 3}));
    Ref<IDirect3DIndexBuffer8> ib32(MakeIndexBuffer(std::vector<DWORD>{9, 9, 9, 0, 1, 2, 2, 1, 3}));
    UseFlatCamera();
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    for (IDirect3DIndexBuffer8* ib : {ib16.get(), ib32.get()}) {
        BeginFrame();
        dev_->SetVertexShader(kLitFvf);
        dev_->SetStreamSource(0, vb.get(), sizeof(LitVertex));
        dev_->SetIndices(ib, 4);
        ASSERT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 3, 2), S_OK);
        std::vector<BYTE> pixels = EndFrame();
        EXPECT_EQ(At(pixels, 32, 32).r, 255) << ib->GetFormat();
        EXPECT_EQ(At(pixels, 8, 8).r, 0) << ib->GetFormat();
    }
    // A strip of four vertices is the same quad.
    Ref<IDirect3DIndexBuffer8> strip(MakeIndexBuffer(std::vector<WORD>{0, 1, 2, 3}));
    BeginFrame();
    dev_->SetIndices(strip.get(), 4);
    ASSERT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 4, 0, 2), S_OK);
    EXPECT_EQ(At(EndFrame(), 32, 32).r, 255);
}

// Reading outside a buffer is refused before anything reaches OpenGL, which
// may read straight from memory.
TEST_F(ResourcesTest, DrawsThatWouldReadOutsideTheirBuffersAreRefused) {
    Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(Quad(-1, -1, 1, 1, 5)));
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));
    Ref<IDirect3DIndexBuffer8> wild(MakeIndexBuffer(std::vector<WORD>{0, 1, 4000}));
    UseFlatCamera();
    BeginFrame();
    dev_->SetVertexShader(kLitFvf);
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL) << "no stream";
    dev_->SetStreamSource(0, vb.get(), sizeof(LitVertex));
    EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL) << "no indices";
    dev_->SetIndices(ib.get(), 0);
    EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 3, 2), D3DERR_INVALIDCALL) << "past the indices";
    EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 0), D3DERR_INVALIDCALL) << "no primitives";
    dev_->SetIndices(ib.get(), 1);
    EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL) << "base vertex";
    dev_->SetIndices(wild.get(), 0);
    EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 1), D3DERR_INVALIDCALL) << "wild index";
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 2, 1), D3DERR_INVALIDCALL) << "past the vertices";
    dev_->SetStreamSource(0, vb.get(), 12);
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL) << "stride below the format";
    std::vector<BYTE> pixels = EndFrame();
    EXPECT_EQ(At(pixels, 32, 32).r, 0) << "nothing was drawn";
}

// A texture released while still set on a stage (or named by a state block)
// is no longer drawn from; stage 0 then reads as white.
TEST_F(ResourcesTest, ReleasedTextureStillSetOnTheStageDrawsAsNoTexture) {
    const DWORD red = 0xFFFF0000;
    IDirect3DTexture8* tex = MakeTexture(1, 1, D3DFMT_X8R8G8B8, &red);
    ASSERT_NE(tex, nullptr);
    ASSERT_EQ(dev_->BeginStateBlock(), S_OK);
    dev_->SetTexture(0, tex);
    DWORD block = 0;
    ASSERT_EQ(dev_->EndStateBlock(&block), S_OK);
    dev_->SetTexture(0, tex);
    BeginFrame();
    DrawScreenRect(0, 0, 4, 4, 0xFFFFFFFF);
    tex->Release();
    DrawScreenRect(4, 0, 8, 4, 0xFFFFFFFF);
    ASSERT_EQ(dev_->ApplyStateBlock(block), S_OK);
    DrawScreenRect(8, 0, 12, 4, 0xFFFFFFFF);
    std::vector<BYTE> pixels = EndFrame();
    EXPECT_PIXEL_NEAR(At(pixels, 1, 1), 255, 0, 0, 0);
    EXPECT_PIXEL_NEAR(At(pixels, 5, 1), 255, 255, 255, 0);
    EXPECT_PIXEL_NEAR(At(pixels, 9, 1), 255, 255, 255, 0);
}

int overlayCalls = 0;
void ScramblingOverlay() {
    ++overlayCalls;
    ScrambleGlStateForTest();
}

// Present lets the message layer draw its menu and dialogs with OpenGL; the
// next frame must look the same as the first whatever state that left.
TEST_F(ResourcesTest, PresentCallsTheOverlayAndTheNextFrameIsUnharmed) {
    const DWORD texel = 0xFF3366CC;
    Ref<IDirect3DTexture8> tex(MakeTexture(1, 1, D3DFMT_X8R8G8B8, &texel));
    Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(Quad(-1, -1, 0.5f, 0.5f, 5)));
    Ref<IDirect3DIndexBuffer8> ib(MakeIndexBuffer(QuadIndices()));
    const D3DMATERIAL8 m = Material({0.5f, 0.5f, 0.5f, 1}, {0.5f, 0.5f, 0.5f, 1});
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 0};
    light.Direction = {0.3f, 0, 1};
    auto frame = [&]() {
        UseFlatCamera();
        dev_->SetMaterial(&m);
        dev_->SetLight(0, &light);
        dev_->LightEnable(0, TRUE);
        dev_->SetRenderState(D3DRS_AMBIENT, 0x00404040);
        BeginFrame(0xFF102030);
        dev_->SetTexture(0, nullptr);
        DrawIndexed(vb.get(), sizeof(LitVertex), kLitFvf, ib.get(), 4, 2);
        dev_->SetTexture(0, tex.get());
        DrawScreenRect(40, 2, 60, 20, 0xFFFFFFFF);
        return EndFrame();
    };
    GlSetPresentObserver(dev_, &ScramblingOverlay);
    overlayCalls = 0;
    std::vector<BYTE> first = frame();
    ASSERT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
    std::vector<BYTE> second = frame();
    ASSERT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
    std::vector<BYTE> third = frame();
    GlSetPresentObserver(dev_, nullptr);
    EXPECT_EQ(overlayCalls, 2);
    EXPECT_TRUE(first == second);
    EXPECT_TRUE(first == third);
    EXPECT_PIXEL_NEAR(At(first, 50, 10), 0x33, 0x66, 0xCC, 0);
}

TEST_F(ResourcesTest, LocksAndCreationCheckTheirArguments) {
    IDirect3DTexture8* raw = nullptr;
    EXPECT_EQ(dev_->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &raw), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev_->CreateTexture(4, 4, 1, 0, D3DFMT_D16, D3DPOOL_MANAGED, &raw), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev_->CreateTexture(1u << 20, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &raw), D3DERR_INVALIDCALL);
    EXPECT_EQ(raw, nullptr);
    IDirect3DIndexBuffer8* ib = nullptr;
    EXPECT_EQ(dev_->CreateIndexBuffer(12, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &ib), D3DERR_INVALIDCALL);

    Ref<IDirect3DTexture8> tex(MakeTexture(4, 4, D3DFMT_A8R8G8B8, nullptr));
    D3DLOCKED_RECT lr{};
    EXPECT_EQ(tex->LockRect(1, &lr, nullptr, 0), D3DERR_INVALIDCALL) << "one level only";
    ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), S_OK);
    EXPECT_EQ(lr.Pitch, 16);
    EXPECT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL) << "locked twice";
    ASSERT_EQ(tex->UnlockRect(0), S_OK);
    EXPECT_EQ(tex->UnlockRect(0), D3DERR_INVALIDCALL) << "not locked";
    RECT outside{2, 2, 5, 3};
    EXPECT_EQ(tex->LockRect(0, &lr, &outside, 0), D3DERR_INVALIDCALL);

    Ref<IDirect3DVertexBuffer8> vb(MakeVertexBuffer(Quad(0, 0, 1, 1, 1)));
    BYTE* p = nullptr;
    EXPECT_EQ(vb->Lock(90, 10, &p, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
    ASSERT_EQ(vb->Lock(88, 0, &p, 0), S_OK);  // the rest of the buffer
    EXPECT_EQ(vb->Unlock(), S_OK);
}

}  // namespace
