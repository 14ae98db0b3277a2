// The Direct3D 8 device on OpenGL. State calls only note what changed
// (StateDevice keeps the values); a draw compares the changed parts with what
// the collected draws were made with. Draws that differ only in the world
// matrix are collected and sent as one instanced draw when anything else
// changes, when a resource they read is about to change, and at EndScene,
// Clear and Present. OpenGL state is sent only when it differs from what the
// device last sent, and all of it again after the overlay of Present. The
// collecting itself is in gl_batching.cpp, what tests may ask in
// gl_diagnostics.cpp.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "platform/core/lasting.h"
#include "platform/gl/gl_formats.h"
#include "gl_internal.h"
#include "platform/sdl/native_window.h"
#include "platform/win.h"

namespace {

enum : unsigned {
    kDirtyTransform = 1u << 0,
    kDirtyRender = 1u << 1,
    kDirtyStage = 1u << 2,
    kDirtyTexture = 1u << 3,
    kDirtyMaterial = 1u << 4,
    kDirtyLights = 1u << 5,
    kDirtyShader = 1u << 6,
    kDirtyStream = 1u << 7,
    kDirtyIndices = 1u << 8,
};

constexpr unsigned Group(UniformGroup g) { return 1u << g; }

// The render and stage-0 states the device reads, and what a change of each
// makes it send again.
struct Watched {
    DWORD state;
    unsigned gl;
    unsigned groups;
};

const Watched kWatchedRender[] = {
    {D3DRS_ZENABLE, kGlFixed, 0},
    {D3DRS_ZWRITEENABLE, kGlFixed, 0},
    {D3DRS_ZFUNC, kGlFixed, 0},
    {D3DRS_ALPHABLENDENABLE, kGlFixed, 0},
    {D3DRS_SRCBLEND, kGlFixed, 0},
    {D3DRS_DESTBLEND, kGlFixed, 0},
    {D3DRS_CULLMODE, kGlFixed, 0},
    {D3DRS_FILLMODE, kGlFixed, 0},
    {D3DRS_SHADEMODE, 0, 0},  // picks the program variant
    {D3DRS_ALPHATESTENABLE, 0, Group(kGroupStage)},
    {D3DRS_ALPHAREF, 0, Group(kGroupStage)},
    {D3DRS_ALPHAFUNC, 0, Group(kGroupStage)},
    {D3DRS_LIGHTING, 0, Group(kGroupLighting)},
    {D3DRS_AMBIENT, 0, Group(kGroupLighting)},
    {D3DRS_COLORVERTEX, 0, Group(kGroupLighting)},
    {D3DRS_DIFFUSEMATERIALSOURCE, 0, Group(kGroupLighting)},
    {D3DRS_SPECULARMATERIALSOURCE, 0, Group(kGroupLighting)},
    {D3DRS_AMBIENTMATERIALSOURCE, 0, Group(kGroupLighting)},
    {D3DRS_EMISSIVEMATERIALSOURCE, 0, Group(kGroupLighting)},
    {D3DRS_SPECULARENABLE, 0, Group(kGroupLighting) | Group(kGroupStage)},
    {D3DRS_LOCALVIEWER, 0, Group(kGroupLighting)},
    {D3DRS_NORMALIZENORMALS, 0, Group(kGroupLighting)},
};

const Watched kWatchedStage[] = {
    {D3DTSS_COLOROP, 0, Group(kGroupStage)},
    {D3DTSS_COLORARG1, 0, Group(kGroupStage)},
    {D3DTSS_COLORARG2, 0, Group(kGroupStage)},
    {D3DTSS_ALPHAOP, 0, Group(kGroupStage)},
    {D3DTSS_ALPHAARG1, 0, Group(kGroupStage)},
    {D3DTSS_ALPHAARG2, 0, Group(kGroupStage)},
    {D3DTSS_TEXCOORDINDEX, 0, 0},  // read by the vertex layout, which is compared at every draw
    {D3DTSS_ADDRESSU, kGlSampler, 0},
    {D3DTSS_ADDRESSV, kGlSampler, 0},
    {D3DTSS_MAGFILTER, kGlSampler, 0},
    {D3DTSS_MINFILTER, kGlSampler, 0},
    {D3DTSS_MIPFILTER, kGlSampler, 0},
};

std::set<GlDevice*>& LiveDevices() {
    static Lasting<std::set<GlDevice*>> devices;
    return *devices;
}

GLenum CompareFunction(DWORD f) {
    switch (f) {
        case D3DCMP_NEVER: return GL_NEVER;
        case D3DCMP_LESS: return GL_LESS;
        case D3DCMP_EQUAL: return GL_EQUAL;
        case D3DCMP_GREATER: return GL_GREATER;
        case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
        case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
        case D3DCMP_ALWAYS: return GL_ALWAYS;
        default: return GL_LEQUAL;
    }
}

GLenum BlendFactor(DWORD f, GLenum fallback) {
    switch (f) {
        case D3DBLEND_ZERO: return GL_ZERO;
        case D3DBLEND_ONE: return GL_ONE;
        case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
        case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
        case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
        case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
        case 7: return GL_DST_ALPHA;             // D3DBLEND_DESTALPHA
        case 8: return GL_ONE_MINUS_DST_ALPHA;   // D3DBLEND_INVDESTALPHA
        case 9: return GL_DST_COLOR;             // D3DBLEND_DESTCOLOR
        case 10: return GL_ONE_MINUS_DST_COLOR;  // D3DBLEND_INVDESTCOLOR
        case 11: return GL_SRC_ALPHA_SATURATE;   // D3DBLEND_SRCALPHASAT
        default: return fallback;
    }
}

GLint WrapMode(DWORD a) {
    switch (a) {
        case 2: return GL_MIRRORED_REPEAT;  // D3DTADDRESS_MIRROR
        case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
        case 4: return GL_CLAMP_TO_BORDER;  // D3DTADDRESS_BORDER
        default: return GL_REPEAT;
    }
}

// Index or vertex count of a primitive run, 0 for an unknown type or an empty run.
UINT ElementCount(D3DPRIMITIVETYPE type, UINT primitives, GLenum* mode) {
    if (primitives == 0) return 0;
    switch (type) {
        case D3DPT_POINTLIST: *mode = GL_POINTS; return primitives;
        case D3DPT_LINELIST: *mode = GL_LINES; return primitives * 2;
        case D3DPT_LINESTRIP: *mode = GL_LINE_STRIP; return primitives + 1;
        case D3DPT_TRIANGLELIST: *mode = GL_TRIANGLES; return primitives * 3;
        case D3DPT_TRIANGLESTRIP: *mode = GL_TRIANGLE_STRIP; return primitives + 2;
        case D3DPT_TRIANGLEFAN: *mode = GL_TRIANGLE_FAN; return primitives + 2;
    }
    return 0;
}

void MultiplyRowMajor(const D3DMATRIX& a, const D3DMATRIX& b, float* out) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a.m[r][k] * b.m[k][c];
            out[r * 4 + c] = sum;
        }
}

void ColorToFloats(D3DCOLOR c, float* out) {
    out[0] = float((c >> 16) & 0xFF) / 255.0f;
    out[1] = float((c >> 8) & 0xFF) / 255.0f;
    out[2] = float(c & 0xFF) / 255.0f;
    out[3] = float((c >> 24) & 0xFF) / 255.0f;
}

void Put4(float* out, float a, float b, float c, float d) {
    out[0] = a, out[1] = b, out[2] = c, out[3] = d;
}

void PutColor(float* out, const D3DCOLORVALUE& c) { Put4(out, c.r, c.g, c.b, c.a); }

}  // namespace

GlDevice::GlDevice(const GlContextSetup& setup, const D3DPRESENT_PARAMETERS& params)
    : StateDevice(params.EnableAutoDepthStencil != 0), setup_(setup), params_(params) {
    LiveDevices().insert(this);
    UpdateBackBufferSize(params_);
    // Nothing is applied yet: make every compared value differ from the state.
    std::memset(&applied_.view, 0xFF, sizeof(applied_.view));
    std::memset(&applied_.projection, 0xFF, sizeof(applied_.projection));
    for (DWORD& v : applied_.render) v = 0xFFFFFFFFu;
    for (DWORD& v : applied_.stage) v = 0xFFFFFFFFu;
    applied_.object.material.Power = NAN;
    applied_.object.fvf = 0xFFFFFFFFu;
}

GlDevice::~GlDevice() {
    LiveDevices().erase(this);
    if (MakeCurrent()) {
        for (auto& [key, p] : programs_)
            if (p.id) glDeleteProgram(p.id);
        for (MergedCopies& m : merged_) {
            GLuint names[2] = {m.vertices, m.indices};
            glDeleteBuffers(2, names);
        }
        if (vao_) glDeleteVertexArrays(1, &vao_);
        for (StreamRing* ring : {&instanceRing_, &vertexRing_, &indexRing_})
            if (ring->name) glDeleteBuffers(1, &ring->name);
    }
    if (SDL_WasInit(SDL_INIT_VIDEO) && setup_.context) {
        if (SDL_GL_GetCurrentContext() == setup_.context) SDL_GL_MakeCurrent(nullptr, nullptr);
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(setup_.context));
    }
}

bool GlDevice::Initialise() {
    if (!MakeCurrent()) return false;
    glGenVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    instanceRing_.limit = kInstanceRingBytes;
    vertexRing_.limit = kVertexRingBytes;
    indexRing_.limit = kIndexRingBytes;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize_);
    // Programs are built as the draws need them: each state its own, the one
    // that reads every state from uniforms only if one of those fails.
    // The game's pace comes from its timer, never from the display.
    SDL_GL_SetSwapInterval(0);
    for (int g = 0; g < kGroupCount; ++g) BumpGroup(UniformGroup(g));
    glValid_ = false;
    return true;
}

GlDevice* GlDevice::From(IDirect3DDevice8* device) {
    for (GlDevice* d : LiveDevices())
        if (static_cast<IDirect3DDevice8*>(d) == device) return d;
    return nullptr;
}

bool GlDevice::MakeCurrent() {
    if (!usable_) return false;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        usable_ = false;
        return false;
    }
    if (SDL_GL_GetCurrentContext() == setup_.context && SDL_GL_GetCurrentWindow() == setup_.window) return true;
    // The window may have been destroyed, or let go of by the message layer.
    if (SDL_GetWindowFromID(setup_.windowId) != setup_.window || NativeWindowOf(setup_.hwnd) != setup_.window) {
        usable_ = false;
        return false;
    }
    return SDL_GL_MakeCurrent(setup_.window, static_cast<SDL_GLContext>(setup_.context)) == 0;
}

// Nobody sees a minimised window: its frames are not drawn, so that a game
// left in the task bar leaves the processor alone. The game's calls still
// succeed, and what they set stays set for the first frame after.
bool GlDevice::WindowMinimized() const { return IsIconic(setup_.hwnd) != FALSE; }

void GlDevice::DrawableSize(int* width, int* height) const {
    *width = *height = 0;
    if (usable_ && SDL_WasInit(SDL_INIT_VIDEO)) SDL_GL_GetDrawableSize(setup_.window, width, height);
}

void GlDevice::UpdateBackBufferSize(const D3DPRESENT_PARAMETERS& params) {
    int w = 0, h = 0;
    DrawableSize(&w, &h);
    backWidth_ = params.BackBufferWidth ? params.BackBufferWidth : UINT(std::max(w, 1));
    backHeight_ = params.BackBufferHeight ? params.BackBufferHeight : UINT(std::max(h, 1));
    params_.BackBufferWidth = backWidth_;
    params_.BackBufferHeight = backHeight_;
}

// --- state tracking -----------------------------------------------------------

void GlDevice::OnStateChanged(StateItem::Kind kind) {
    switch (kind) {
        case StateItem::Transform: dirty_ |= kDirtyTransform; break;
        case StateItem::Render: dirty_ |= kDirtyRender; break;
        case StateItem::Stage: dirty_ |= kDirtyStage; break;
        case StateItem::Texture: dirty_ |= kDirtyTexture; break;
        case StateItem::Material: dirty_ |= kDirtyMaterial; break;
        case StateItem::Light:
        case StateItem::LightOn: dirty_ |= kDirtyLights; break;
        case StateItem::Shader: dirty_ |= kDirtyShader; break;
        case StateItem::PixelShader: break;
    }
}

HRESULT GlDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) {
    HRESULT hr = StateDevice::SetStreamSource(stream, buffer, stride);
    dirty_ |= kDirtyStream;
    return hr;
}

HRESULT GlDevice::SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertexIndex) {
    HRESULT hr = StateDevice::SetIndices(buffer, baseVertexIndex);
    dirty_ |= kDirtyIndices;
    return hr;
}

void GlDevice::ResolveState() {
    if (!dirty_) return;
    const unsigned d = dirty_;
    dirty_ = 0;
    unsigned gl = 0, groups = 0;
    bool global = false;  // a change beyond the object being drawn

    if (d & kDirtyTransform) {
        bool view = std::memcmp(&state_.view, &applied_.view, sizeof(D3DMATRIX)) != 0;
        bool projection = std::memcmp(&state_.projection, &applied_.projection, sizeof(D3DMATRIX)) != 0;
        if (view || projection) groups |= Group(kGroupTransform);
        if (view) groups |= Group(kGroupLighting);  // lights live in camera space
        global = view || projection;
    }
    if (d & kDirtyRender)
        for (const Watched& w : kWatchedRender)
            if (state_.renderStates[w.state] != applied_.render[w.state])
                gl |= w.gl, groups |= w.groups | 0x80000000u, global = true;
    if (d & kDirtyStage)
        for (const Watched& w : kWatchedStage)
            if (state_.stageStates[0][w.state] != applied_.stage[w.state])
                gl |= w.gl, groups |= w.groups | 0x80000000u, global = true;
    GlTexture* texture = applied_.object.texture;
    if (d & kDirtyTexture) {
        auto it = textures_.find(state_.textures[0]);
        texture = it == textures_.end() ? nullptr : it->second;
        if (texture != applied_.object.texture) gl |= kGlTexture | kGlSampler, groups |= Group(kGroupStage);
    }
    if ((d & kDirtyMaterial) && std::memcmp(&state_.material, &applied_.object.material, sizeof(D3DMATERIAL8)) != 0)
        groups |= Group(kGroupMaterial);
    if ((d & kDirtyLights) && (std::memcmp(state_.lights, applied_.lights, sizeof(applied_.lights)) != 0 ||
                               std::memcmp(state_.lightEnabled, applied_.lightOn, sizeof(applied_.lightOn)) != 0))
        groups |= Group(kGroupLighting), global = true;
    if ((d & kDirtyShader) && state_.fvf != applied_.object.fvf)
        groups |= Group(kGroupFormat) | Group(kGroupLighting);  // which material sources a vertex supplies
    GlVertexBuffer* stream = applied_.object.stream;
    if (d & kDirtyStream) {
        auto it = vertexBuffers_.find(state_.stream);
        stream = it == vertexBuffers_.end() ? nullptr : it->second;
        if (stream != applied_.object.stream || state_.streamStride != applied_.object.stride) groups |= 0x80000000u;
    }
    GlIndexBuffer* indices = applied_.object.indices;
    if (d & kDirtyIndices) {
        auto it = indexBuffers_.find(state_.indices);
        indices = it == indexBuffers_.end() ? nullptr : it->second;
        if (indices != applied_.object.indices) gl |= kGlIndices;
        if (state_.baseVertexIndex != applied_.object.baseVertex) groups |= 0x80000000u;
    }
    if (!gl && !groups) return;

    // Something besides the world matrix changed. If it was only the object
    // (texture, material, format, buffers) and depth decides what is seen,
    // the run ends and waits in its collection for more of its kind;
    // otherwise everything collected is drawn with the old state first.
    if (global || !ParkingAllowed())
        Flush();
    else
        EndRun();
    if (d & kDirtyTransform) {
        applied_.view = state_.view;
        applied_.projection = state_.projection;
        MultiplyRowMajor(applied_.view, applied_.projection, viewProjMatrix_);
        std::memcpy(viewMatrix_, &applied_.view, sizeof(viewMatrix_));
    }
    if (d & kDirtyRender)
        for (const Watched& w : kWatchedRender) applied_.render[w.state] = state_.renderStates[w.state];
    if (d & kDirtyStage)
        for (const Watched& w : kWatchedStage) applied_.stage[w.state] = state_.stageStates[0][w.state];
    applied_.object.texture = texture;
    if (d & kDirtyMaterial) applied_.object.material = state_.material;
    if (d & kDirtyLights) {
        std::memcpy(applied_.lights, state_.lights, sizeof(applied_.lights));
        std::memcpy(applied_.lightOn, state_.lightEnabled, sizeof(applied_.lightOn));
    }
    if (d & kDirtyShader) applied_.object.fvf = state_.fvf;
    if (d & kDirtyStream) {
        applied_.object.stream = stream;
        applied_.object.stride = state_.streamStride;
    }
    if (d & kDirtyIndices) {
        applied_.object.indices = indices;
        applied_.object.baseVertex = state_.baseVertexIndex;
    }
    glDirty_ |= gl;
    for (int g = 0; g < kGroupCount; ++g)
        if (groups & Group(UniformGroup(g))) BumpGroup(UniformGroup(g));
}

void GlDevice::BeforeResourceChange(const void* resource) {
    if (pendingCount_ == 0 && parkedUsed_ == 0) return;
    if (resource == static_cast<const void*>(applied_.object.texture) ||
        resource == static_cast<const void*>(applied_.object.stream) ||
        resource == static_cast<const void*>(applied_.object.indices) || ParkedUses(resource))
        Flush();
}

void GlDevice::TextureCreated(GlTexture* texture) { textures_[texture] = texture; }

void GlDevice::TextureDestroyed(GlTexture* texture) {
    BeforeResourceChange(texture);
    textures_.erase(texture);
    for (IDirect3DTexture8*& t : state_.textures)
        if (t == texture) t = nullptr;
    if (applied_.object.texture == texture) {
        applied_.object.texture = nullptr;
        glDirty_ |= kGlTexture | kGlSampler;
        BumpGroup(kGroupStage);
    }
    dirty_ |= kDirtyTexture;
    if (boundTexture_ == texture->Name()) boundTextureKnown_ = false;
}

void GlDevice::VertexBufferCreated(GlVertexBuffer* buffer) { vertexBuffers_[buffer] = buffer; }

void GlDevice::VertexBufferDestroyed(GlVertexBuffer* buffer) {
    BeforeResourceChange(buffer);
    DropMergedCopies(buffer);
    // A buffer made later at the same address must not find these bounds.
    for (LocalBounds& b : localBounds_)
        if (b.vb == buffer) b.vb = nullptr;
    vertexBuffers_.erase(buffer);
    if (state_.stream == buffer) state_.stream = nullptr;
    if (applied_.object.stream == buffer) applied_.object.stream = nullptr;
    dirty_ |= kDirtyStream;
    layoutKnown_ = false;
    boundArrayBufferKnown_ = false;
}

void GlDevice::IndexBufferCreated(GlIndexBuffer* buffer) { indexBuffers_[buffer] = buffer; }

void GlDevice::IndexBufferDestroyed(GlIndexBuffer* buffer) {
    BeforeResourceChange(buffer);
    DropMergedCopies(buffer);
    indexBuffers_.erase(buffer);
    if (state_.indices == buffer) state_.indices = nullptr;
    if (applied_.object.indices == buffer) applied_.object.indices = nullptr;
    dirty_ |= kDirtyIndices;
    boundIndexBufferKnown_ = false;
    boundArrayBufferKnown_ = false;
}

void GlDevice::BindTextureForUpload(GLuint name) {
    if (!boundTextureKnown_ || boundTexture_ != name) {
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, name);
        boundTexture_ = name;
        boundTextureKnown_ = true;
    }
    // The stage's texture is bound again before the next draw.
    glDirty_ |= kGlTexture;
}

void GlDevice::BindBufferForUpload(GLuint name) {
    glBindBuffer(GL_ARRAY_BUFFER, name);
    boundArrayBuffer_ = name;
    boundArrayBufferKnown_ = true;
}

// --- sending state to OpenGL ------------------------------------------------------

void GlDevice::RevalidateGl() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glBindVertexArray(vao_);
    glViewport(0, 0, GLsizei(backWidth_), GLsizei(backHeight_));
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glBlendEquation(GL_FUNC_ADD);
    glCullFace(GL_BACK);
    if (setup_.provokingVertex) glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);  // Direct3D's flat colour
    if (setup_.clipControl) glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    glDepthRange(0.0, 1.0);
    glActiveTexture(GL_TEXTURE0);
    if (setup_.samplerObjects) glBindSampler(0, 0);
    for (GLuint r = 0; r < 4; ++r) glDisableVertexAttribArray(kAttrWorld + r);
    glUseProgram(0);
    fixed_ = FixedCache{};
    currentProgram_ = nullptr;
    boundTextureKnown_ = false;
    boundArrayBufferKnown_ = false;
    boundIndexBufferKnown_ = false;
    layoutKnown_ = false;
    instanceArrays_ = false;
    constantWorldKnown_ = false;
    worldDivisor_ = -1;
    glDirty_ = ~0u;
    glValid_ = true;
}

void GlDevice::ApplyFixedState() {
    const DWORD* rs = applied_.render;
    int depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE && setup_.depthBits > 0;
    if (fixed_.depthTest != depthTest) {
        depthTest ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
        fixed_.depthTest = depthTest;
    }
    int depthWrite = rs[D3DRS_ZWRITEENABLE] != 0;
    if (fixed_.depthWrite != depthWrite) {
        glDepthMask(depthWrite ? GL_TRUE : GL_FALSE);
        fixed_.depthWrite = depthWrite;
    }
    GLenum depthFunc = CompareFunction(rs[D3DRS_ZFUNC]);
    if (fixed_.depthFunc != depthFunc) {
        glDepthFunc(depthFunc);
        fixed_.depthFunc = depthFunc;
    }
    int blend = rs[D3DRS_ALPHABLENDENABLE] != 0;
    if (fixed_.blend != blend) {
        blend ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
        fixed_.blend = blend;
    }
    GLenum src = BlendFactor(rs[D3DRS_SRCBLEND], GL_ONE), dst = BlendFactor(rs[D3DRS_DESTBLEND], GL_ZERO);
    if (fixed_.blendSrc != src || fixed_.blendDst != dst) {
        glBlendFunc(src, dst);
        fixed_.blendSrc = src;
        fixed_.blendDst = dst;
    }
    // Direct3D names the winding of the faces it drops as seen on the screen;
    // the picture is not mirrored on its way to OpenGL, so CCW culling means
    // clockwise front faces.
    int cull = rs[D3DRS_CULLMODE] == D3DCULL_CW || rs[D3DRS_CULLMODE] == D3DCULL_CCW;
    if (fixed_.cull != cull) {
        cull ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
        fixed_.cull = cull;
    }
    GLenum front = rs[D3DRS_CULLMODE] == D3DCULL_CW ? GL_CCW : GL_CW;
    if (fixed_.frontFace != front) {
        glFrontFace(front);
        fixed_.frontFace = front;
    }
    GLenum fill = rs[D3DRS_FILLMODE] == D3DFILL_POINT ? GL_POINT
                  : rs[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE
                                                             : GL_FILL;
    if (fixed_.polygonMode != fill) {
        glPolygonMode(GL_FRONT_AND_BACK, fill);
        fixed_.polygonMode = fill;
    }
}

GlProgram* GlDevice::SelectProgram() {
    unsigned variant = 0;
    if (applied_.render[D3DRS_ALPHATESTENABLE]) variant |= kVariantAlphaTest;
    if (applied_.render[D3DRS_SHADEMODE] == D3DSHADE_FLAT) variant |= kVariantFlat;
    const DWORD* st = applied_.stage;
    GlFixedStage stage;
    stage.hasTexture = applied_.object.texture != nullptr;
    stage.addSpecular = applied_.render[D3DRS_SPECULARENABLE] != 0;
    stage.colorOp = st[D3DTSS_COLOROP];
    stage.colorArg1 = st[D3DTSS_COLORARG1];
    stage.colorArg2 = st[D3DTSS_COLORARG2];
    stage.alphaOp = st[D3DTSS_ALPHAOP];
    stage.alphaArg1 = st[D3DTSS_ALPHAARG1];
    stage.alphaArg2 = st[D3DTSS_ALPHAARG2];
    stage.alphaFunc = (variant & kVariantAlphaTest) ? applied_.render[D3DRS_ALPHAFUNC] : 0;
    if (lightingComputed_ != groupVersions_[kGroupLighting]) {
        ComputeLighting();
        lightingComputed_ = groupVersions_[kGroupLighting];
    }
    GlFixedVertex vertex;
    vertex.preTransformed = (applied_.object.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
    vertex.hasNormal = (applied_.object.fvf & D3DFVF_NORMAL) != 0;
    vertex.lighting = !vertex.preTransformed && applied_.render[D3DRS_LIGHTING] != 0;
    if (vertex.lighting) {  // what does not matter stays out of the key
        vertex.specularEnable = applied_.render[D3DRS_SPECULARENABLE] != 0;
        vertex.localViewer = vertex.specularEnable && applied_.render[D3DRS_LOCALVIEWER] != 0;
        vertex.normalize = applied_.render[D3DRS_NORMALIZENORMALS] != 0;
        vertex.lightCount = lightCount_;
        for (int i = 0; i < lightCount_; ++i) vertex.lightTypes[i] = int(lightPosition_[4 * i + 3] + 0.5f);
        for (int i = 0; i < 4; ++i) vertex.matSource[i] = matSource_[i];
    }
    std::pair<std::uint64_t, std::uint64_t> key{variant, 0};
    if (fixedStages_) key = {stage.Key() << 2 | variant, vertex.Key()};
    auto found = programs_.find(key);
    GlProgram* p = found != programs_.end() ? &found->second : nullptr;
    if (!p) {
        // Each state the game draws with gets its own program, once. If one
        // does not build, every draw from then on uses the variants that
        // read the stage from uniforms.
        std::string log;
        GlProgram built;
        if (BuildGlProgram(setup_.core, setup_.clipControl, variant, &built, &log, fixedStages_ ? &stage : nullptr,
                           fixedStages_ ? &vertex : nullptr)) {
            p = &(programs_[key] = built);
            currentProgram_ = p;  // building leaves it in use
        } else if (fixedStages_) {
            SDL_LogError(SDL_LOG_CATEGORY_RENDER, "Tarvik 3D: shader for state %llx/%llx does not build: %s",
                         static_cast<unsigned long long>(key.first), static_cast<unsigned long long>(key.second),
                         log.c_str());
            fixedStages_ = false;
            return SelectProgram();
        } else {
            SDL_LogError(SDL_LOG_CATEGORY_RENDER, "Tarvik 3D: shader variant %u does not build: %s", variant,
                         log.c_str());
            // Variant 0 reads all but the vertex format from uniforms; when
            // it cannot be built either, nothing is drawn (its id stays 0).
            p = &programs_[{0, 0}];
            if (variant != 0 && !p->id && !BuildGlProgram(setup_.core, setup_.clipControl, 0, p, &log))
                SDL_LogError(SDL_LOG_CATEGORY_RENDER, "Tarvik 3D: the device's shaders do not build: %s",
                             log.c_str());
        }
    }
    if (currentProgram_ != p) {
        glUseProgram(p->id);
        currentProgram_ = p;
    }
    return p;
}

void GlDevice::ComputeLighting() {
    const D3DMATRIX& v = applied_.view;
    int n = 0;
    for (DWORD i = 0; i < kMaxLights; ++i) {
        if (!applied_.lightOn[i]) continue;
        const D3DLIGHT8& l = applied_.lights[i];
        if (l.Type != D3DLIGHT_POINT && l.Type != D3DLIGHT_SPOT && l.Type != D3DLIGHT_DIRECTIONAL) continue;
        const D3DVECTOR& dw = l.Direction;
        float dir[3], pos[3];
        for (int c = 0; c < 3; ++c) {
            dir[c] = dw.x * v.m[0][c] + dw.y * v.m[1][c] + dw.z * v.m[2][c];
            pos[c] = l.Position.x * v.m[0][c] + l.Position.y * v.m[1][c] + l.Position.z * v.m[2][c] + v.m[3][c];
        }
        float length = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
        // A directional or spot light without a direction lights nothing.
        if (l.Type != D3DLIGHT_POINT && !(length > 0.0f)) continue;
        if (length > 0.0f)
            for (float& c : dir) c /= length;
        float* slot;
        slot = lightPosition_ + 4 * n;
        Put4(slot, pos[0], pos[1], pos[2], float(l.Type));
        slot = lightDirection_ + 4 * n;
        if (l.Type == D3DLIGHT_DIRECTIONAL) Put4(slot, -dir[0], -dir[1], -dir[2], 0.0f);
        else Put4(slot, dir[0], dir[1], dir[2], l.Range);
        Put4(lightAttenuation_ + 4 * n, l.Attenuation0, l.Attenuation1, l.Attenuation2, l.Falloff);
        Put4(lightCone_ + 4 * n, std::cos(l.Theta * 0.5f), std::cos(l.Phi * 0.5f), 0.0f, 0.0f);
        PutColor(lightDiffuse_ + 4 * n, l.Diffuse);
        PutColor(lightSpecular_ + 4 * n, l.Specular);
        PutColor(lightAmbient_ + 4 * n, l.Ambient);
        ++n;
    }
    lightCount_ = n;
    ColorToFloats(applied_.render[D3DRS_AMBIENT], globalAmbient_);

    // A colour the vertex format does not carry falls back to the material.
    const DWORD fvf = applied_.object.fvf;
    const DWORD sources[4] = {applied_.render[D3DRS_DIFFUSEMATERIALSOURCE],
                              applied_.render[D3DRS_AMBIENTMATERIALSOURCE],
                              applied_.render[D3DRS_SPECULARMATERIALSOURCE],
                              applied_.render[D3DRS_EMISSIVEMATERIALSOURCE]};
    for (int k = 0; k < 4; ++k) {
        int s = 0;
        if (applied_.render[D3DRS_COLORVERTEX]) {
            if (sources[k] == D3DMCS_COLOR1 && (fvf & D3DFVF_DIFFUSE)) s = 1;
            if (sources[k] == D3DMCS_COLOR2 && (fvf & D3DFVF_SPECULAR)) s = 2;
        }
        matSource_[k] = s;
    }
}

void GlDevice::UploadUniforms(GlProgram& p) {
    const std::uint64_t* v = groupVersions_;
    if (p.versions[kGroupTransform] != v[kGroupTransform]) {
        glUniformMatrix4fv(p.uView, 1, GL_FALSE, viewMatrix_);
        glUniformMatrix4fv(p.uViewProj, 1, GL_FALSE, viewProjMatrix_);
        p.versions[kGroupTransform] = v[kGroupTransform];
    }
    if (p.versions[kGroupLighting] != v[kGroupLighting]) {
        if (lightingComputed_ != v[kGroupLighting]) {
            ComputeLighting();
            lightingComputed_ = v[kGroupLighting];
        }
        const DWORD* rs = applied_.render;
        glUniform1i(p.uLighting, rs[D3DRS_LIGHTING] ? 1 : 0);
        glUniform1i(p.uLightCount, lightCount_);
        if (lightCount_ > 0) {
            glUniform4fv(p.uLightDiffuse, lightCount_, lightDiffuse_);
            glUniform4fv(p.uLightSpecular, lightCount_, lightSpecular_);
            glUniform4fv(p.uLightAmbient, lightCount_, lightAmbient_);
            glUniform4fv(p.uLightPosition, lightCount_, lightPosition_);
            glUniform4fv(p.uLightDirection, lightCount_, lightDirection_);
            glUniform4fv(p.uLightAttenuation, lightCount_, lightAttenuation_);
            glUniform4fv(p.uLightCone, lightCount_, lightCone_);
        }
        glUniform4fv(p.uGlobalAmbient, 1, globalAmbient_);
        glUniform4i(p.uMatSource, matSource_[0], matSource_[1], matSource_[2], matSource_[3]);
        glUniform1i(p.uSpecularEnable, rs[D3DRS_SPECULARENABLE] ? 1 : 0);
        glUniform1i(p.uLocalViewer, rs[D3DRS_LOCALVIEWER] ? 1 : 0);
        glUniform1i(p.uNormalize, rs[D3DRS_NORMALIZENORMALS] ? 1 : 0);
        p.versions[kGroupLighting] = v[kGroupLighting];
    }
    if (p.versions[kGroupMaterial] != v[kGroupMaterial]) {
        const D3DMATERIAL8& m = applied_.object.material;
        glUniform4f(p.uMatDiffuse, m.Diffuse.r, m.Diffuse.g, m.Diffuse.b, m.Diffuse.a);
        glUniform4f(p.uMatAmbient, m.Ambient.r, m.Ambient.g, m.Ambient.b, m.Ambient.a);
        glUniform4f(p.uMatSpecular, m.Specular.r, m.Specular.g, m.Specular.b, m.Specular.a);
        glUniform4f(p.uMatEmissive, m.Emissive.r, m.Emissive.g, m.Emissive.b, m.Emissive.a);
        glUniform1f(p.uMatPower, m.Power);
        p.versions[kGroupMaterial] = v[kGroupMaterial];
    }
    if (p.versions[kGroupFormat] != v[kGroupFormat]) {
        glUniform1i(p.uPreTransformed, (applied_.object.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW ? 1 : 0);
        glUniform1i(p.uHasNormal, (applied_.object.fvf & D3DFVF_NORMAL) ? 1 : 0);
        p.versions[kGroupFormat] = v[kGroupFormat];
    }
    if (p.versions[kGroupStage] != v[kGroupStage]) {
        const DWORD* st = applied_.stage;
        const DWORD* rs = applied_.render;
        glUniform1i(p.uHasTexture, applied_.object.texture ? 1 : 0);
        glUniform3i(p.uColorOp, GLint(st[D3DTSS_COLOROP]), GLint(st[D3DTSS_COLORARG1]), GLint(st[D3DTSS_COLORARG2]));
        glUniform3i(p.uAlphaOp, GLint(st[D3DTSS_ALPHAOP]), GLint(st[D3DTSS_ALPHAARG1]), GLint(st[D3DTSS_ALPHAARG2]));
        glUniform1i(p.uAddSpecular, rs[D3DRS_SPECULARENABLE] ? 1 : 0);
        glUniform1i(p.uAlphaFunc, GLint(rs[D3DRS_ALPHAFUNC]));
        glUniform1i(p.uAlphaRef, GLint(rs[D3DRS_ALPHAREF] & 0xFF));
        p.versions[kGroupStage] = v[kGroupStage];
    }
    if (p.versions[kGroupScreen] != v[kGroupScreen]) {
        glUniform4f(p.uScreen, 2.0f / float(backWidth_), 2.0f / float(backHeight_), 0.0f, 0.0f);
        p.versions[kGroupScreen] = v[kGroupScreen];
    }
}

void GlDevice::ApplyTexture() {
    GLuint name = applied_.object.texture ? applied_.object.texture->Name() : 0;
    if (!boundTextureKnown_ || boundTexture_ != name) {
        glBindTexture(GL_TEXTURE_2D, name);
        boundTexture_ = name;
        boundTextureKnown_ = true;
    }
}

void GlDevice::ApplySampler() {
    GlTexture* t = applied_.object.texture;
    if (!t) return;
    const DWORD* st = applied_.stage;
    auto linear = [](DWORD f) { return f == D3DTEXF_LINEAR || f == 3; };  // 3: anisotropic
    GLint mag = linear(st[D3DTSS_MAGFILTER]) ? GL_LINEAR : GL_NEAREST;
    bool minLinear = linear(st[D3DTSS_MINFILTER]);
    GLint min;
    switch (st[D3DTSS_MIPFILTER]) {
        case D3DTEXF_POINT: min = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST; break;
        case D3DTEXF_LINEAR: min = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR; break;
        default: min = minLinear ? GL_LINEAR : GL_NEAREST; break;
    }
    GLint s = WrapMode(st[D3DTSS_ADDRESSU]), tt = WrapMode(st[D3DTSS_ADDRESSV]);
    if (t->minFilter != min) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, t->minFilter = min);
    if (t->magFilter != mag) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, t->magFilter = mag);
    if (t->wrapS != s) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, t->wrapS = s);
    if (t->wrapT != tt) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, t->wrapT = tt);
}

void GlDevice::ApplyLayout(GLuint buffer, std::uintptr_t base) {
    LayoutKey key{buffer, applied_.object.fvf, applied_.object.stride, base,
                  applied_.stage[D3DTSS_TEXCOORDINDEX] & 0xFFFFu};
    if (layoutKnown_ && key == layout_) return;
    layout_ = key;
    layoutKnown_ = true;
    if (!boundArrayBufferKnown_ || boundArrayBuffer_ != key.buffer) {
        glBindBuffer(GL_ARRAY_BUFFER, key.buffer);
        boundArrayBuffer_ = key.buffer;
        boundArrayBufferKnown_ = true;
    }
    const GLsizei stride = GLsizei(key.stride);
    std::uintptr_t offset = base;
    auto pointer = [&](GLuint attr, GLint size, GLenum type, GLboolean normalized, std::uintptr_t at) {
        glVertexAttribPointer(attr, size, type, normalized, stride, reinterpret_cast<const void*>(at));
        glEnableVertexAttribArray(attr);
    };
    const DWORD fvf = key.fvf;
    if ((fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW) {
        pointer(kAttrPosition, 4, GL_FLOAT, GL_FALSE, offset);
        offset += 16;
    } else {
        pointer(kAttrPosition, 3, GL_FLOAT, GL_FALSE, offset);
        offset += 12;
    }
    if (fvf & D3DFVF_NORMAL) {
        pointer(kAttrNormal, 3, GL_FLOAT, GL_FALSE, offset);
        offset += 12;
    } else {
        glDisableVertexAttribArray(kAttrNormal);
        glVertexAttrib4f(kAttrNormal, 0.0f, 0.0f, 0.0f, 0.0f);
    }
    // Vertices without colours are white and carry no specular light.
    if (fvf & D3DFVF_DIFFUSE) {
        pointer(kAttrDiffuse, 4, GL_UNSIGNED_BYTE, GL_TRUE, offset);
        offset += 4;
    } else {
        glDisableVertexAttribArray(kAttrDiffuse);
        glVertexAttrib4f(kAttrDiffuse, 1.0f, 1.0f, 1.0f, 1.0f);
    }
    if (fvf & D3DFVF_SPECULAR) {
        pointer(kAttrSpecular, 4, GL_UNSIGNED_BYTE, GL_TRUE, offset);
        offset += 4;
    } else {
        glDisableVertexAttribArray(kAttrSpecular);
        glVertexAttrib4f(kAttrSpecular, 0.0f, 0.0f, 0.0f, 0.0f);
    }
    DWORD sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (key.texCoordIndex < sets) {
        pointer(kAttrTexCoord, 2, GL_FLOAT, GL_FALSE, offset + 8 * key.texCoordIndex);
    } else {
        glDisableVertexAttribArray(kAttrTexCoord);
        glVertexAttrib4f(kAttrTexCoord, 0.0f, 0.0f, 0.0f, 1.0f);
    }
}

void GlDevice::PrepareGl(bool indexed) {
    if (!glValid_) RevalidateGl();
    if (glDirty_ & kGlFixed) ApplyFixedState();
    GlProgram* p = SelectProgram();
    UploadUniforms(*p);
    if (glDirty_ & kGlTexture) ApplyTexture();
    if (glDirty_ & (kGlSampler | kGlTexture)) ApplySampler();
    GLuint vb = applied_.object.stream ? applied_.object.stream->core.Name() : 0;
    ApplyLayout(vb, indexed ? std::uintptr_t(applied_.object.baseVertex) * applied_.object.stride : 0);
    if (indexed) {
        GLuint ib = applied_.object.indices ? applied_.object.indices->core.Name() : 0;
        if (!boundIndexBufferKnown_ || boundIndexBuffer_ != ib) {
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ib);
            boundIndexBuffer_ = ib;
            boundIndexBufferKnown_ = true;
        }
    }
    glDirty_ = 0;
}

void GlDevice::SetConstantWorld(const float* world) {
    if (instanceArrays_) {
        for (GLuint r = 0; r < 4; ++r) glDisableVertexAttribArray(kAttrWorld + r);
        instanceArrays_ = false;
        constantWorldKnown_ = false;
    }
    if (constantWorldKnown_ && std::memcmp(constantWorld_, world, sizeof(constantWorld_)) == 0) return;
    for (GLuint r = 0; r < 4; ++r) glVertexAttrib4fv(kAttrWorld + r, world + 4 * r);
    std::memcpy(constantWorld_, world, sizeof(constantWorld_));
    constantWorldKnown_ = true;
}

void GlDevice::SetWorldDivisor(GLuint divisor) {
    if (worldDivisor_ == int(divisor)) return;
    for (GLuint r = 0; r < 4; ++r) glVertexAttribDivisor(kAttrWorld + r, divisor);
    worldDivisor_ = int(divisor);
}

// --- drawing ------------------------------------------------------------------

HRESULT GlDevice::CheckVertexRange(UINT firstVertex, UINT vertexCount) const {
    const GlVertexBuffer* vb = applied_.object.stream;
    DWORD fvf = applied_.object.fvf;
    if (!vb || vertexCount == 0) return D3DERR_INVALIDCALL;
    DWORD position = fvf & D3DFVF_POSITION_MASK;
    if (position != D3DFVF_XYZ && position != D3DFVF_XYZRHW) return D3DERR_INVALIDCALL;
    UINT size = FvfVertexSize(fvf);
    if (applied_.object.stride < size) return D3DERR_INVALIDCALL;
    // Every vertex read must lie inside the buffer: the renderer may read
    // straight from memory.
    std::uint64_t last = std::uint64_t(firstVertex) + vertexCount - 1;
    if (last * applied_.object.stride + size > vb->core.Length()) return D3DERR_INVALIDCALL;
    return S_OK;
}

HRESULT GlDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                       UINT primitiveCount) {
    (void)minIndex;
    (void)numVertices;
    ResolveState();
    GLenum mode = 0;
    UINT count = ElementCount(type, primitiveCount, &mode);
    if (!applied_.object.stream || !applied_.object.indices || count == 0) return D3DERR_INVALIDCALL;
    if (WindowMinimized()) return S_OK;
    const DrawKey key{mode, startIndex, count};
    const float* world = &state_.world.m[0][0];
    if (pendingCount_ > 0 && key == pendingKey_) {
        size_t need = 16 * size_t(pendingCount_ + 1);
        if (pendingWorlds_.size() < need) pendingWorlds_.resize(std::max(need, 2 * pendingWorlds_.size()));
        std::memcpy(pendingWorlds_.data() + 16 * size_t(pendingCount_), world, 16 * sizeof(float));
        ++pendingCount_;
        if (pendingTracked_) TrackPending(world);
        ++stats_.apiDraws;
        if (observer_) Observe(type, true, startIndex, primitiveCount);
        return S_OK;
    }
    const bool parking = ParkingAllowed();
    if (parking)
        EndRun();
    else
        Flush();
    GlIndexBuffer* ib = applied_.object.indices;
    if ((std::uint64_t(startIndex) + count) * ib->IndexSize() > ib->core.Length()) return D3DERR_INVALIDCALL;
    const GlIndexBuffer::IndexRange range = ib->RangeOf(startIndex, count);
    if (HRESULT hr = CheckVertexRange(applied_.object.baseVertex, range.max + 1); FAILED(hr)) return hr;
    pendingKey_ = key;
    if (pendingWorlds_.size() < 16) pendingWorlds_.resize(16 * 64);
    std::memcpy(pendingWorlds_.data(), world, 16 * sizeof(float));
    pendingCount_ = 1;
    pendingTracked_ = parking;
    if (parking) {
        const DWORD fill = applied_.render[D3DRS_FILLMODE];
        const bool points = mode == GL_POINTS || fill == D3DFILL_POINT;
        const bool lines = mode == GL_LINES || mode == GL_LINE_STRIP || fill == D3DFILL_WIREFRAME;
        pendingDimension_ = points ? 0 : lines ? 1 : 2;
        pendingLocal_ = LocalBoundsOf(applied_.object.baseVertex + range.min, applied_.object.baseVertex + range.max);
        pendingPlacement_.known = false;
        TrackPending(world);
    }
    ++stats_.apiDraws;
    if (observer_) Observe(type, true, startIndex, primitiveCount);
    if (!batching_) Flush();
    return S_OK;
}

HRESULT GlDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    ResolveState();
    Flush();
    GLenum mode = 0;
    UINT count = ElementCount(type, primitiveCount, &mode);
    if (count == 0) return D3DERR_INVALIDCALL;
    if (HRESULT hr = CheckVertexRange(startVertex, count); FAILED(hr)) return hr;
    if (WindowMinimized()) return S_OK;
    ++stats_.apiDraws;
    if (observer_) Observe(type, false, startVertex, primitiveCount);
    if (!MakeCurrent()) return S_OK;  // nothing to draw into any more
    PrepareGl(false);
    SetConstantWorld(&state_.world.m[0][0]);
    glDrawArrays(mode, GLint(startVertex), GLsizei(count));
    ++stats_.glDraws;
    return S_OK;
}

HRESULT GlDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
    if (count > 0 && !rects) return D3DERR_INVALIDCALL;
    Flush();
    if (WindowMinimized() || !MakeCurrent()) return S_OK;
    if (!glValid_) RevalidateGl();
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) mask |= GL_COLOR_BUFFER_BIT;
    if ((flags & D3DCLEAR_ZBUFFER) && setup_.depthBits > 0) {
        mask |= GL_DEPTH_BUFFER_BIT;
        glDepthMask(GL_TRUE);  // a clear ignores the depth write state
        fixed_.depthWrite = 1;
        glDirty_ |= kGlFixed;
        glClearDepth(std::clamp(double(z), 0.0, 1.0));
    }
    if (flags & D3DCLEAR_STENCIL) {
        mask |= GL_STENCIL_BUFFER_BIT;
        glStencilMask(0xFFFFFFFFu);
        glClearStencil(GLint(stencil));
    }
    if (!mask) return S_OK;
    int drawableWidth = 0, drawableHeight = 0;
    DrawableSize(&drawableWidth, &drawableHeight);
    if ((mask & GL_COLOR_BUFFER_BIT) && (UINT(drawableWidth) > backWidth_ || UINT(drawableHeight) > backHeight_)) {
        // Keep what lies outside the back buffer black rather than stale.
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    float c[4];
    ColorToFloats(color, c);
    glClearColor(c[0], c[1], c[2], c[3]);
    glEnable(GL_SCISSOR_TEST);
    if (count == 0) {
        glScissor(0, 0, GLsizei(backWidth_), GLsizei(backHeight_));
        glClear(mask);
    }
    for (DWORD i = 0; i < count; ++i) {
        LONG x1 = std::max<LONG>(rects[i].x1, 0), y1 = std::max<LONG>(rects[i].y1, 0);
        LONG x2 = std::min<LONG>(rects[i].x2, LONG(backWidth_)), y2 = std::min<LONG>(rects[i].y2, LONG(backHeight_));
        if (x1 >= x2 || y1 >= y2) continue;
        glScissor(x1, GLint(backHeight_) - y2, x2 - x1, y2 - y1);
        glClear(mask);
    }
    glDisable(GL_SCISSOR_TEST);
    return S_OK;
}

HRESULT GlDevice::BeginScene() {
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = true;
    return S_OK;
}

HRESULT GlDevice::EndScene() {
    if (!inScene_) return D3DERR_INVALIDCALL;
    inScene_ = false;
    Flush();
    return S_OK;
}

HRESULT GlDevice::Present(const RECT*, const RECT*, HWND, const void*) {
    Flush();
    if (WindowMinimized() || !MakeCurrent()) return S_OK;
    if (presentObserver_) presentObserver_();
    DrawWindowOverlay(setup_.hwnd);
    SDL_GL_SwapWindow(setup_.window);
    // The overlay draws with OpenGL too: nothing of ours is trusted after it.
    glValid_ = false;
    ++stats_.presents;
    return S_OK;
}

HRESULT GlDevice::Reset(D3DPRESENT_PARAMETERS* params) {
    if (!params) return D3DERR_INVALIDCALL;
    Flush();
    params_ = *params;
    UpdateBackBufferSize(params_);
    params->BackBufferWidth = backWidth_;
    params->BackBufferHeight = backHeight_;
    state_.SetDefaults(params->EnableAutoDepthStencil != 0);
    dirty_ = ~0u;
    inScene_ = false;
    glValid_ = false;
    BumpGroup(kGroupScreen);
    return S_OK;
}

HRESULT GlDevice::GetDeviceCaps(D3DCAPS8* caps) {
    if (!caps) return D3DERR_INVALIDCALL;
    *caps = D3DCAPS8{};
    caps->DeviceType = setup_.type;
    caps->AdapterOrdinal = D3DADAPTER_DEFAULT;
    caps->MaxTextureWidth = caps->MaxTextureHeight = DWORD(std::max(maxTextureSize_, 1));
    caps->MaxActiveLights = kMaxLights;
    caps->MaxPrimitiveCount = 0xFFFFFF;
    caps->MaxVertexIndex = 0xFFFFFF;
    return S_OK;
}

// --- resources -----------------------------------------------------------------

HRESULT GlDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                IDirect3DTexture8** texture) {
    if (!texture || width == 0 || height == 0 || !IsTextureFormatSupported(format)) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (width > UINT(maxTextureSize_) || height > UINT(maxTextureSize_)) return D3DERR_INVALIDCALL;
    if (!MakeCurrent()) return D3DERR_NOTAVAILABLE;
    auto* t = new GlTexture(this, width, height, levels, usage, format, pool);
    if (!t->Name()) {
        t->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *texture = t;
    return S_OK;
}

HRESULT GlDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD, D3DPOOL, IDirect3DVertexBuffer8** buffer) {
    if (!buffer || length == 0) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (!MakeCurrent()) return D3DERR_NOTAVAILABLE;
    auto* b = new GlVertexBuffer(this, length, usage);
    if (!b->core.Name()) {
        b->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *buffer = b;
    return S_OK;
}

HRESULT GlDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL,
                                    IDirect3DIndexBuffer8** buffer) {
    if (!buffer || length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (!MakeCurrent()) return D3DERR_NOTAVAILABLE;
    auto* b = new GlIndexBuffer(this, length, usage, format);
    if (!b->core.Name()) {
        b->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *buffer = b;
    return S_OK;
}
