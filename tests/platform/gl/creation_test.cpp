// The Direct3D object of the OpenGL backend: display mode, capabilities and
// the ways device creation fails, which the game turns into its three
// warnings (no hardware device, no hardware vertex processing, no software
// vertex processing).
#include "tests/platform/gl/gl_fixture.h"
#include "platform/sdl/native_window.h"

namespace {

class CreationTest : public ::testing::Test {
protected:
    // A window but no device yet; skips without a display (fails where one is
    // expected).
    void SetUp() override {
        std::string why;
        GlTestOptions options;
        options.behavior = 0;  // refused at once: no device is made here
        t_ = MakeGlTestDevice(64, 48, &why, options);
        if (!t_) SKIP_OR_FAIL_WITHOUT_DISPLAY(why);
        d3d_ = t_->direct3d;
        params_ = t_->params;
    }
    HRESULT Create(D3DDEVTYPE type, DWORD behavior, HWND window, IDirect3D8* d3d = nullptr) {
        SafeRelease(device_);
        D3DPRESENT_PARAMETERS p = params_;
        return (d3d ? d3d : d3d_)->CreateDevice(D3DADAPTER_DEFAULT, type, window, behavior, &p, &device_);
    }
    D3DDEVTYPE Usable() const { return ProbeGlDriver().software ? D3DDEVTYPE_REF : D3DDEVTYPE_HAL; }
    void TearDown() override { SafeRelease(device_); }

    std::unique_ptr<GlTestDevice> t_;
    IDirect3D8* d3d_ = nullptr;
    IDirect3DDevice8* device_ = nullptr;
    D3DPRESENT_PARAMETERS params_{};
};

TEST_F(CreationTest, DesktopModeAndCapabilities) {
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), S_OK);
    EXPECT_GT(mode.Width, 0u);
    EXPECT_GT(mode.Height, 0u);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(d3d_->GetAdapterDisplayMode(1, &mode), D3DERR_INVALIDCALL);

    const GlDriverInfo& info = ProbeGlDriver();
    ASSERT_FALSE(info.renderer.empty());
    D3DCAPS8 caps{};
    // No hardware device exactly when OpenGL runs on the processor.
    HRESULT hal = d3d_->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps);
    EXPECT_EQ(SUCCEEDED(hal), !IsSoftwareRendererName(info.renderer.c_str())) << info.renderer;
    ASSERT_EQ(d3d_->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_REF, &caps), S_OK);
    EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_REF);
    EXPECT_GE(caps.MaxTextureWidth, 1024u);
    EXPECT_EQ(caps.MaxActiveLights, kMaxLights);
}

TEST_F(CreationTest, DeviceOnTheWindowWithBackBufferFilledIn) {
    D3DPRESENT_PARAMETERS p = params_;
    p.BackBufferWidth = p.BackBufferHeight = 0;  // the game's zeroed parameters
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, Usable(), t_->hwnd, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p,
                                 &device_),
              S_OK);
    EXPECT_EQ(p.BackBufferWidth, 64u);
    EXPECT_EQ(p.BackBufferHeight, 48u);
    D3DCAPS8 caps{};
    ASSERT_EQ(device_->GetDeviceCaps(&caps), S_OK);
    EXPECT_EQ(caps.DeviceType, Usable());
    GlDeviceFeatures f{};
    ASSERT_EQ(GlGetFeatures(device_, &f), S_OK);
    EXPECT_TRUE(f.core33);
    EXPECT_GE(f.depthBits, 16);
    // The default render states the game relies on.
    DWORD z = 0, cull = 0, lighting = 0;
    device_->GetRenderState(D3DRS_ZENABLE, &z);
    device_->GetRenderState(D3DRS_CULLMODE, &cull);
    device_->GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(z, DWORD(D3DZB_TRUE));
    EXPECT_EQ(cull, DWORD(D3DCULL_CCW));
    EXPECT_EQ(lighting, DWORD(TRUE));
    // Other backends' devices are not taken for ours.
    EXPECT_EQ(GlGetFeatures(nullptr, &f), D3DERR_INVALIDCALL);
}

TEST_F(CreationTest, HardwareDeviceTypeNeedsAHardwareRenderer) {
    if (!ProbeGlDriver().software) GTEST_SKIP() << "OpenGL runs on hardware here";
    EXPECT_EQ(Create(D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING, t_->hwnd), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device_, nullptr);
    EXPECT_EQ(Create(D3DDEVTYPE_REF, D3DCREATE_HARDWARE_VERTEXPROCESSING, t_->hwnd), S_OK);
}

// Hardware vertex processing needs an OpenGL 3.3 core context; software
// vertex processing falls back to a weaker one.
TEST_F(CreationTest, WithoutCoreContextOnlySoftwareVertexProcessingWorks) {
    GlDriverLimits limits;
    limits.core33 = false;
    Ref<IDirect3D8> weak(CreateOpenGLDirect3DWithLimits(limits));
    ASSERT_NE(weak.get(), nullptr);
    EXPECT_EQ(Create(Usable(), D3DCREATE_HARDWARE_VERTEXPROCESSING, t_->hwnd, weak.get()), D3DERR_NOTAVAILABLE);
    ASSERT_EQ(Create(Usable(), D3DCREATE_SOFTWARE_VERTEXPROCESSING, t_->hwnd, weak.get()), S_OK);
    GlDeviceFeatures f{};
    ASSERT_EQ(GlGetFeatures(device_, &f), S_OK);
    EXPECT_FALSE(f.core33);
}

TEST_F(CreationTest, BadArgumentsAndWindowsAreRefused) {
    EXPECT_EQ(Create(Usable(), 0, t_->hwnd), D3DERR_INVALIDCALL) << "no vertex processing";
    EXPECT_EQ(Create(Usable(), D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING, t_->hwnd),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(Create(D3DDEVTYPE(7), D3DCREATE_HARDWARE_VERTEXPROCESSING, t_->hwnd), D3DERR_INVALIDCALL);
    EXPECT_EQ(Create(Usable(), D3DCREATE_HARDWARE_VERTEXPROCESSING, reinterpret_cast<HWND>(0x5)),
              D3DERR_INVALIDCALL)
        << "a window handle nobody registered";
    EXPECT_EQ(device_, nullptr);
    EXPECT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, Usable(), t_->hwnd, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                 nullptr, &device_),
              D3DERR_INVALIDCALL);

    // A window made without OpenGL cannot carry the device.
    std::string why;
    GlTestOptions options;
    options.openGlWindow = false;
    options.behavior = 0;
    std::unique_ptr<GlTestDevice> plain = MakeGlTestDevice(32, 32, &why, options);
    ASSERT_TRUE(plain) << why;
    EXPECT_EQ(Create(Usable(), D3DCREATE_SOFTWARE_VERTEXPROCESSING, plain->hwnd), D3DERR_NOTAVAILABLE);
}

// A device whose window is gone draws nothing and does not crash; its
// resources can still be released.
TEST_F(CreationTest, DeviceOutlivingItsWindowIsHarmless) {
    ASSERT_EQ(Create(Usable(), D3DCREATE_HARDWARE_VERTEXPROCESSING, t_->hwnd), S_OK);
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &vb), S_OK);
    t_->DestroyWindow();
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), S_OK);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
    IDirect3DTexture8* tex = nullptr;
    EXPECT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex), D3DERR_NOTAVAILABLE);
    vb->Release();
}

}  // namespace
