#include "platform/gl/gl_test_support.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <cstdint>
#include <cstdlib>

#include "platform/sdl/native_window.h"

namespace {
std::uintptr_t nextHandle = 0x7E570000u;
}

GlTestDevice::~GlTestDevice() {
    SafeRelease(device);
    SafeRelease(direct3d);
    if (hwnd) UnregisterNativeWindow(hwnd);
    if (window) SDL_DestroyWindow(window);
    if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void GlTestDevice::DestroyWindow() {
    if (hwnd) UnregisterNativeWindow(hwnd);
    if (window) SDL_DestroyWindow(window);
    hwnd = nullptr;
    window = nullptr;
}

std::vector<BYTE> GlTestDevice::ReadPixels(UINT* width, UINT* height) {
    std::vector<BYTE> rgba;
    UINT w = 0, h = 0;
    if (FAILED(GlReadBackBuffer(device, &rgba, &w, &h))) rgba.clear();
    if (width) *width = w;
    if (height) *height = h;
    return rgba;
}

GlPixel GlTestDevice::PixelAt(int x, int y) {
    UINT w = 0, h = 0;
    std::vector<BYTE> rgba = ReadPixels(&w, &h);
    if (x < 0 || y < 0 || UINT(x) >= w || UINT(y) >= h) return GlPixel{0, 0, 0, 0};
    return PixelOf(rgba, w, x, y);
}

GlPixel PixelOf(const std::vector<BYTE>& rgba, UINT width, int x, int y) {
    size_t at = (size_t(y) * width + size_t(x)) * 4;
    if (at + 3 >= rgba.size()) return GlPixel{0, 0, 0, 0};
    return GlPixel{rgba[at], rgba[at + 1], rgba[at + 2], rgba[at + 3]};
}

std::unique_ptr<GlTestDevice> MakeGlTestDevice(UINT width, UINT height, std::string* whyNot,
                                               const GlTestOptions& options) {
    auto fail = [whyNot](std::string reason) {
        if (whyNot) *whyNot = std::move(reason);
        return std::unique_ptr<GlTestDevice>();
    };
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!display || !*display) && (!wayland || !*wayland)) return fail("no display (run under xvfb-run)");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return fail(std::string("no SDL video: ") + SDL_GetError());
    // One more reference that is never given back: the display stays open to
    // the end of the process, so the OpenGL driver is not unloaded before the
    // leak checker looks at what it keeps (scripts/lsan.supp names it).
    static bool displayKept = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    (void)displayKept;
    std::unique_ptr<GlTestDevice> t(new GlTestDevice());
    t->videoStarted_ = true;
    Uint32 flags = options.shown ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
    if (options.openGlWindow) flags |= SDL_WINDOW_OPENGL;
    t->window = SDL_CreateWindow("Tarvik 3D test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, int(width),
                                 int(height), flags);
    if (!t->window) return fail(std::string("no window: ") + SDL_GetError());
    t->hwnd = reinterpret_cast<HWND>(nextHandle++);
    RegisterNativeWindow(t->hwnd, t->window);

    if (ProbeGlDriver().renderer.empty()) return fail("no OpenGL context can be made");
    t->direct3d = CreateOpenGLDirect3DWithLimits(options.limits);
    if (!t->direct3d) return fail("no Direct3D object");
    D3DCAPS8 caps{};
    D3DDEVTYPE type = SUCCEEDED(t->direct3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps))
                          ? D3DDEVTYPE_HAL
                          : D3DDEVTYPE_REF;
    t->params.BackBufferWidth = width;
    t->params.BackBufferHeight = height;
    t->params.BackBufferFormat = D3DFMT_X8R8G8B8;
    t->params.Windowed = TRUE;
    t->params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    t->params.EnableAutoDepthStencil = options.depthBuffer ? TRUE : FALSE;
    t->params.AutoDepthStencilFormat = D3DFMT_D16;
    t->createResult =
        t->direct3d->CreateDevice(D3DADAPTER_DEFAULT, type, t->hwnd, options.behavior, &t->params, &t->device);
    return t;
}

void ScrambleGlStateForTest() {
    GLuint vao = 0, buffer = 0, texture = 0;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
    glGenTextures(1, &texture);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glUseProgram(0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glBlendEquation(GL_FUNC_REVERSE_SUBTRACT);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDepthFunc(GL_NEVER);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT_AND_BACK);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1);
    glViewport(0, 0, 1, 1);
    glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_FALSE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 3);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    glVertexAttrib4f(5, 9.0f, 9.0f, 9.0f, 9.0f);
    glBindVertexArray(0);
    glDeleteVertexArrays(1, &vao);
    glDeleteBuffers(1, &buffer);
    glDeleteTextures(1, &texture);
}
