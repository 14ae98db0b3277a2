// The Direct3D object of the OpenGL backend: the desktop mode, the device
// capabilities and device creation. Direct3D's three kinds of failure at
// device creation map to OpenGL as follows (docs/device.md has the details):
// no hardware device = the OpenGL renderer is a software rasterizer; no
// hardware vertex processing = no OpenGL 3.3 core context; no software vertex
// processing = not even an OpenGL 3.0 context with GLSL 1.30.
#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <string>

#include "platform/core/lasting.h"
#include "gl_internal.h"
#include "platform/sdl/native_window.h"

namespace {

// Makes a context of the given version on the window, leaving SDL's context
// attributes as they were for whoever makes a context next.
SDL_GLContext CreateContext(SDL_Window* window, int major, int minor, bool core) {
    int oldMajor = 0, oldMinor = 0, oldProfile = 0;
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, &oldMajor);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, &oldMinor);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &oldProfile);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, major);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, minor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, core ? SDL_GL_CONTEXT_PROFILE_CORE : 0);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, oldMajor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, oldMinor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, oldProfile);
    return context;
}

// The probe's OpenGL 3.3 core context, kept for the first device that asks
// for one: a context is not bound to the window it was made on, so the
// device's window takes it over and the driver makes no second one. The
// probe's hidden window (and its hold on SDL's video) goes with it.
struct ParkedContext {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
};

ParkedContext& Parked() {
    static Lasting<ParkedContext> parked;
    return *parked;
}

void DropParkedContext() {
    ParkedContext& p = Parked();
    if (!p.window) return;
    if (p.context) {
        if (SDL_GL_GetCurrentContext() == p.context) SDL_GL_MakeCurrent(nullptr, nullptr);
        SDL_GL_DeleteContext(p.context);
    }
    SDL_DestroyWindow(p.window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    p = ParkedContext{};
}

// The probe's context made current on `window`; null when there is none or
// the window's drawable does not fit it.
SDL_GLContext AdoptParkedContext(SDL_Window* window) {
    ParkedContext& p = Parked();
    if (!p.context) return nullptr;
    SDL_GLContext context = nullptr;
    if (SDL_GL_MakeCurrent(window, p.context) == 0) {
        context = p.context;
        p.context = nullptr;
    }
    DropParkedContext();
    return context;
}

std::string GlString(GLenum name) {
    const GLubyte* s = glGetString(name);
    return s ? reinterpret_cast<const char*>(s) : "";
}

class GlDirect3D final : public RefCounted<IDirect3D8> {
public:
    explicit GlDirect3D(const GlDriverLimits& limits) : limits_(limits) {}
    ~GlDirect3D() override {
        DropParkedContext();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
        if (adapter != D3DADAPTER_DEFAULT || !mode) return D3DERR_INVALIDCALL;
        SDL_DisplayMode desktop{};
        if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return D3DERR_NOTAVAILABLE;
        mode->Width = UINT(desktop.w);
        mode->Height = UINT(desktop.h);
        mode->RefreshRate = UINT(desktop.refresh_rate);
        mode->Format = SDL_BITSPERPIXEL(desktop.format) >= 24 ? D3DFMT_X8R8G8B8 : D3DFMT_R5G6B5;
        return S_OK;
    }

    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) override {
        if (adapter != D3DADAPTER_DEFAULT || !caps || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF))
            return D3DERR_INVALIDCALL;
        const GlDriverInfo& info = ProbeGlDriver();
        if (info.renderer.empty()) return D3DERR_NOTAVAILABLE;
        // Only a renderer that runs on the graphics hardware counts as HAL.
        if (type == D3DDEVTYPE_HAL && info.software) return D3DERR_NOTAVAILABLE;
        *caps = D3DCAPS8{};
        caps->DeviceType = type;
        caps->AdapterOrdinal = adapter;
        caps->MaxTextureWidth = caps->MaxTextureHeight = DWORD(std::max(info.maxTextureSize, 1));
        caps->MaxActiveLights = kMaxLights;
        caps->MaxPrimitiveCount = 0xFFFFFF;
        caps->MaxVertexIndex = 0xFFFFFF;
        return S_OK;
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice8** device) override {
        if (!device || !params) return D3DERR_INVALIDCALL;
        *device = nullptr;
        if (adapter != D3DADAPTER_DEFAULT || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF))
            return D3DERR_INVALIDCALL;
        const bool hardware = (behaviorFlags & D3DCREATE_HARDWARE_VERTEXPROCESSING) != 0;
        const bool software = (behaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) != 0;
        if (hardware == software) return D3DERR_INVALIDCALL;
        HWND hwnd = params->hDeviceWindow ? params->hDeviceWindow : focusWindow;
        SDL_Window* window = NativeWindowOf(hwnd);
        if (!window) return D3DERR_INVALIDCALL;
        if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) return D3DERR_NOTAVAILABLE;
        const GlDriverInfo& info = ProbeGlDriver();
        if (info.renderer.empty() || (type == D3DDEVTYPE_HAL && info.software)) return D3DERR_NOTAVAILABLE;

        struct Attempt {
            int major, minor;
            bool core;
        };
        Attempt attempts[2];
        int count = 0;
        if (limits_.core33) attempts[count++] = {3, 3, true};
        if (software) attempts[count++] = {3, 0, false};  // the weaker context we can still draw with
        for (int i = 0; i < count; ++i) {
            const Attempt& a = attempts[i];
            // An X error while the context is made or set up fails the attempt.
            XErrorTrap trap;
            SDL_GLContext context = a.major == 3 && a.minor == 3 && a.core ? AdoptParkedContext(window) : nullptr;
            if (!context) context = CreateContext(window, a.major, a.minor, a.core);
            if (!context) continue;
            GlContextSetup setup;
            if (!Describe(a.core, &setup)) {
                SDL_GL_MakeCurrent(nullptr, nullptr);
                SDL_GL_DeleteContext(context);
                continue;
            }
            setup.window = window;
            setup.windowId = SDL_GetWindowID(window);
            setup.context = context;
            setup.hwnd = hwnd;
            setup.type = type;
            if (params->EnableAutoDepthStencil && setup.depthBits == 0) {
                // The window was made without a depth buffer; no context on it can have one.
                SDL_GL_MakeCurrent(nullptr, nullptr);
                SDL_GL_DeleteContext(context);
                return D3DERR_NOTAVAILABLE;
            }
            auto* d = new GlDevice(setup, *params);
            if (!d->Initialise() || trap.Caught(window)) {
                trap.Report();
                d->Release();  // deletes the context
                trap.Caught(window);  // the answers to the release come in while the trap holds
                continue;
            }
            // A zero back buffer size is filled in, as Direct3D does.
            params->BackBufferWidth = d->BackBufferWidth();
            params->BackBufferHeight = d->BackBufferHeight();
            *device = d;
            return S_OK;
        }
        return D3DERR_NOTAVAILABLE;
    }

private:
    // Reads what the current context offers; false when it is too weak to use.
    bool Describe(bool core, GlContextSetup* setup) const {
        if (!epoxy_is_desktop_gl()) return false;
        const int version = epoxy_gl_version();
        if (core ? version < 33 : (version < 30 || epoxy_glsl_version() < 130)) return false;
        auto has = [](const char* extension) { return epoxy_has_gl_extension(extension); };
        setup->core = core;
        setup->instancing = limits_.instancing &&
                            (version >= 33 || (has("GL_ARB_instanced_arrays") &&
                                               (version >= 31 || has("GL_ARB_draw_instanced"))));
        setup->clipControl = limits_.clipControl && (version >= 45 || has("GL_ARB_clip_control"));
        setup->provokingVertex = version >= 32 || has("GL_ARB_provoking_vertex");
        setup->samplerObjects = version >= 33 || has("GL_ARB_sampler_objects");
        GLint depth = 0;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &depth);
        while (glGetError() != GL_NO_ERROR) {
        }
        setup->depthBits = depth;
        return true;
    }

    GlDriverLimits limits_;
};

}  // namespace

bool IsSoftwareRendererName(const char* renderer) {
    if (!renderer) return false;
    std::string name(renderer);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (const char* marker : {"llvmpipe", "softpipe", "swrast", "software rasterizer", "swiftshader"})
        if (name.find(marker) != std::string::npos) return true;
    return false;
}

const GlDriverInfo& ProbeGlDriver() {
    static Lasting<GlDriverInfo> lastingInfo;
    GlDriverInfo& info = *lastingInfo;
    static bool probed = false;
    if (probed) return info;
    const auto start = std::chrono::steady_clock::now();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return info;  // asked again later: a display may appear

    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    {
        // An X error on the way (the GL library's load, a context the driver
        // cannot make) means no driver here, not the end of the program.
        XErrorTrap trap;
        SDL_Window* window = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (window && trap.Caught(window)) {
            trap.Report();
            probed = true;
            SDL_DestroyWindow(window);
            window = nullptr;
        }
        if (window) {
            probed = true;
            SDL_GLContext context = CreateContext(window, 3, 3, true);
            bool core = context != nullptr;
            if (!context) context = CreateContext(window, 3, 0, false);
            if (!context) context = CreateContext(window, 2, 1, false);
            if (context) {
                info.renderer = GlString(GL_RENDERER);
                info.version = GlString(GL_VERSION);
                info.software = IsSoftwareRendererName(info.renderer.c_str());
                info.core33 = core && epoxy_gl_version() >= 33;
                GLint size = 0;
                glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
                info.maxTextureSize = size;
                SDL_GL_MakeCurrent(nullptr, nullptr);
                if (trap.Caught(window)) {
                    trap.Report();
                    info = GlDriverInfo{};
                    SDL_GL_DeleteContext(context);
                } else if (info.core33) {
                    Parked() = ParkedContext{window, context};  // keeps the window and SDL's video with it
                    window = nullptr;
                } else {
                    SDL_GL_DeleteContext(context);
                }
            }
            if (window) SDL_DestroyWindow(window);
        }
    }
    if (previousContext) SDL_GL_MakeCurrent(previousWindow, previousContext);
    if (!Parked().window) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    info.probeMilliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return info;
}

IDirect3D8* CreateOpenGLDirect3DWithLimits(const GlDriverLimits& limits) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
    return new GlDirect3D(limits);
}

IDirect3D8* CreateOpenGLDirect3D() { return CreateOpenGLDirect3DWithLimits(GlDriverLimits{}); }
