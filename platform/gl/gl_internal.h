// Inside the OpenGL device: the device, its resources and its shader programs.
// Only the gl_*.cpp files of the platform layer include this.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/core/device_state.h"
#include "platform/gl/gl_diagnostics.h"

struct SDL_Window;
class GlDevice;

// Generic vertex attribute locations shared by every program.
enum : GLuint {
    kAttrPosition = 0,
    kAttrNormal = 1,
    kAttrDiffuse = 2,
    kAttrSpecular = 3,
    kAttrTexCoord = 4,
    kAttrWorld = 5,  // 5..8: the four rows of the world matrix
    kAttrCount = 9,
};

// Uniform groups: each is uploaded to a program only when its values changed
// since that program last received them.
enum UniformGroup { kGroupTransform, kGroupLighting, kGroupMaterial, kGroupFormat, kGroupStage, kGroupScreen,
                    kGroupCount };

// Program variants, chosen per draw from the render states.
enum : unsigned { kVariantAlphaTest = 1, kVariantFlat = 2, kVariantCount = 4 };

// What of OpenGL's own state must be sent again before the next draw.
enum : unsigned {
    kGlFixed = 1u << 0,
    kGlTexture = 1u << 1,
    kGlSampler = 1u << 2,
    kGlIndices = 1u << 3,
};

// The streaming rings the collected draws are sent through: world matrices
// of instanced draws, and vertices and indices of merged copies. A ring is
// made on its first use, small, and grows up to its limit while one frame
// fills it more than once: the software renderer allocates (and clears) a
// buffer's whole store, at start-up and again whenever the ring wraps.
constexpr GLsizeiptr kInstanceRingBytes = GLsizeiptr(1) << 21;
constexpr GLsizeiptr kVertexRingBytes = GLsizeiptr(8) << 20;
constexpr GLsizeiptr kIndexRingBytes = GLsizeiptr(2) << 20;
constexpr GLsizeiptr kRingStartBytes = GLsizeiptr(256) << 10;

struct GlProgram {
    GLuint id = 0;
    std::uint64_t versions[kGroupCount]{};  // 0: never uploaded
    GLint uView = -1, uViewProj = -1, uScreen = -1;
    GLint uPreTransformed = -1, uHasNormal = -1;
    GLint uLighting = -1, uLightCount = -1, uGlobalAmbient = -1, uMatSource = -1;
    GLint uSpecularEnable = -1, uLocalViewer = -1, uNormalize = -1;
    GLint uLightDiffuse = -1, uLightSpecular = -1, uLightAmbient = -1, uLightPosition = -1, uLightDirection = -1,
          uLightAttenuation = -1, uLightCone = -1;
    GLint uMatDiffuse = -1, uMatAmbient = -1, uMatSpecular = -1, uMatEmissive = -1, uMatPower = -1;
    GLint uHasTexture = -1, uColorOp = -1, uAlphaOp = -1, uAddSpecular = -1, uAlphaFunc = -1, uAlphaRef = -1;
};

// Compiles and links one variant; false (with the reason in *log) on failure.
// Texture stage 0 and the alpha test as constants of a program.
struct GlFixedStage {
    bool hasTexture = false, addSpecular = false;
    DWORD colorOp = 0, colorArg1 = 0, colorArg2 = 0;
    DWORD alphaOp = 0, alphaArg1 = 0, alphaArg2 = 0;
    DWORD alphaFunc = 0;
    std::uint64_t Key() const;  // never 0
};
// The vertex format's position and normal, the lighting switches, the kinds of
// the enabled lights (1 point, 2 spot, 3 directional) and the material
// sources as constants of a program.
struct GlFixedVertex {
    bool preTransformed = false, hasNormal = false, lighting = false;
    bool specularEnable = false, localViewer = false, normalize = false;
    int lightCount = 0;
    int lightTypes[8]{};
    int matSource[4]{};
    std::uint64_t Key() const;  // never 0
};
// Without `stage` the program reads the texture stage from uniforms, without
// `vertex` the vertex format and lighting switches.
bool BuildGlProgram(bool core, bool clipControl, unsigned variant, GlProgram* program, std::string* log,
                    const GlFixedStage* stage = nullptr, const GlFixedVertex* vertex = nullptr);

class GlTexture final : public RefCounted<IDirect3DTexture8> {
public:
    GlTexture(GlDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    ~GlTexture() override;

    UINT GetLevelCount() override { return UINT(levels_.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    GLuint Name() const { return name_; }
    // Sampler parameters as last set on the GL texture (0: unknown).
    GLint minFilter = 0, magFilter = 0, wrapS = 0, wrapT = 0;

private:
    struct Level {
        UINT width, height;
        std::vector<BYTE> bytes;  // in the texture's own format
        bool locked = false;
        bool readOnly = false;
    };
    void Upload(UINT level);

    GlDevice* device_;
    D3DFORMAT format_;
    DWORD usage_;
    D3DPOOL pool_;
    std::vector<Level> levels_;
    GLuint name_ = 0;
};

// Vertex and index buffers keep a copy in memory that Lock hands out; Unlock
// sends it to OpenGL (a discarding lock orphans the GL storage first).
class GlBufferCore {
public:
    GlBufferCore(GlDevice* device, UINT length, DWORD usage);
    ~GlBufferCore();
    GlBufferCore(const GlBufferCore&) = delete;
    GlBufferCore& operator=(const GlBufferCore&) = delete;
    HRESULT Lock(const void* owner, UINT offset, UINT size, BYTE** data, DWORD flags);
    HRESULT Unlock();
    UINT Length() const { return UINT(bytes_.size()); }
    const BYTE* Bytes() const { return bytes_.data(); }
    GLuint Name() const { return name_; }
    std::uint64_t Generation() const { return generation_; }  // changes with every upload

private:
    GlDevice* device_;
    DWORD usage_;
    std::vector<BYTE> bytes_;
    GLuint name_ = 0;
    unsigned locks_ = 0;
    UINT dirtyBegin_ = 0, dirtyEnd_ = 0;
    bool discard_ = false;
    std::uint64_t generation_ = 0;
};

class GlVertexBuffer final : public RefCounted<IDirect3DVertexBuffer8> {
public:
    GlVertexBuffer(GlDevice* device, UINT length, DWORD usage);
    ~GlVertexBuffer() override;
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override {
        return core.Lock(this, offset, size, data, flags);
    }
    HRESULT Unlock() override { return core.Unlock(); }
    UINT GetLength() override { return core.Length(); }

    GlBufferCore core;

private:
    GlDevice* device_;
};

class GlIndexBuffer final : public RefCounted<IDirect3DIndexBuffer8> {
public:
    GlIndexBuffer(GlDevice* device, UINT length, DWORD usage, D3DFORMAT format);
    ~GlIndexBuffer() override;
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override {
        return core.Lock(this, offset, size, data, flags);
    }
    HRESULT Unlock() override { return core.Unlock(); }
    UINT GetLength() override { return core.Length(); }
    D3DFORMAT GetFormat() override { return format_; }

    UINT IndexSize() const { return format_ == D3DFMT_INDEX32 ? 4 : 2; }
    // Smallest and largest index among `count` indices from `start` (cached
    // per range until the contents change). The caller has checked that the
    // range is inside the buffer.
    struct IndexRange {
        UINT min, max;
    };
    IndexRange RangeOf(UINT start, UINT count);
    UINT IndexAt(UINT position) const;

    GlBufferCore core;

private:
    GlDevice* device_;
    D3DFORMAT format_;
    struct CachedRange {
        UINT start, count;
        IndexRange range;
    };
    std::vector<CachedRange> rangeCache_;
    std::uint64_t rangeCacheGeneration_ = ~std::uint64_t(0);
};

// Settings of the device that come from the driver it was made on.
struct GlContextSetup {
    SDL_Window* window = nullptr;
    unsigned windowId = 0;    // to tell whether the window still exists without touching it
    void* context = nullptr;  // SDL_GLContext
    HWND hwnd = nullptr;
    D3DDEVTYPE type = D3DDEVTYPE_HAL;
    bool core = true;
    bool instancing = true;
    bool clipControl = true;
    bool provokingVertex = true;
    bool samplerObjects = true;
    int depthBits = 0;
};

class GlDevice final : public StateDevice {
public:
    // Takes over the context; false (device unusable, release it) when the
    // shaders or buffers cannot be made.
    GlDevice(const GlContextSetup& setup, const D3DPRESENT_PARAMETERS& params);
    ~GlDevice() override;
    bool Initialise();
    UINT BackBufferWidth() const { return backWidth_; }
    UINT BackBufferHeight() const { return backHeight_; }

    // IDirect3DDevice8 beyond the state kept by StateDevice.
    HRESULT GetDeviceCaps(D3DCAPS8* caps) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
    HRESULT Present(const RECT* source, const RECT* dest, HWND window, const void* dirty) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture8** texture) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer8** buffer) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer8** buffer) override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertexIndex) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                 UINT primitiveCount) override;

    // For the resources: true when the context is current and may be used.
    bool MakeCurrent();
    bool WindowMinimized() const;
    // Draws what is collected if it reads `resource`, before the resource changes.
    void BeforeResourceChange(const void* resource);
    void TextureCreated(GlTexture* texture);
    void TextureDestroyed(GlTexture* texture);
    void VertexBufferCreated(GlVertexBuffer* buffer);
    void VertexBufferDestroyed(GlVertexBuffer* buffer);
    void IndexBufferCreated(GlIndexBuffer* buffer);
    void IndexBufferDestroyed(GlIndexBuffer* buffer);
    // Binds a GL texture on unit 0 for an upload, keeping the binding cache right.
    void BindTextureForUpload(GLuint name);
    // Binds a GL buffer to GL_ARRAY_BUFFER for an upload.
    void BindBufferForUpload(GLuint name);

    // Test and diagnostic operations (gl_device.h).
    HRESULT ReadBackBuffer(std::vector<BYTE>* rgba, UINT* width, UINT* height);
    void SetBatching(bool enabled);
    void SetDrawObserver(std::function<void(const GlObservedDraw&)> observer) { observer_ = std::move(observer); }
    void SetPresentObserver(std::function<void()> observer) { presentObserver_ = std::move(observer); }
    void Finish();
    const GlDeviceStats& Stats() const { return stats_; }
    GlDeviceFeatures Features() const;

    // The OpenGL device behind an interface pointer, or null for any other device.
    static GlDevice* From(IDirect3DDevice8* device);

protected:
    void OnStateChanged(StateItem::Kind kind) override;

private:
    // What one object brings to a draw besides its world matrix.
    struct ObjectState {
        GlTexture* texture = nullptr;
        D3DMATERIAL8 material{};
        DWORD fvf = 0;
        GlVertexBuffer* stream = nullptr;
        UINT stride = 0;
        GlIndexBuffer* indices = nullptr;
        UINT baseVertex = 0;
    };
    // What the draws collected so far were made with, in Direct3D terms (of
    // the render and stage-0 states only those the device reads are kept).
    struct Applied {
        D3DMATRIX view{}, projection{};
        D3DLIGHT8 lights[kMaxLights]{};
        BOOL lightOn[kMaxLights]{};
        DWORD render[kRenderStateCount]{};
        DWORD stage[kTextureStageStateCount]{};
        ObjectState object;  // texture, material, format, buffers
    };
    struct DrawKey {
        GLenum mode = 0;
        UINT first = 0;  // start index
        UINT count = 0;  // index count
        bool operator==(const DrawKey&) const = default;
    };

    void ResolveState();
    void Flush();
    void PrepareGl(bool indexed);
    void RevalidateGl();
    void ApplyFixedState();
    GlProgram* SelectProgram();
    void UploadUniforms(GlProgram& program);
    void ComputeLighting();
    void ApplyTexture();
    void ApplySampler();
    void ApplyLayout(GLuint buffer, std::uintptr_t base);
    void SetConstantWorld(const float* world);
    void IssueIndexed(const DrawKey& key, const float* worlds, UINT instances);
    bool IssueExpanded(const DrawKey& key, const float* worlds, UINT instances);
    // Many copies of one small mesh, merged once into buffers of their own
    // and drawn from there again while the copies stay where they were: the
    // course does not move, so its cells are copied once, not every frame.
    struct MergedCopies {
        DrawKey key;
        const GlVertexBuffer* vb = nullptr;
        const GlIndexBuffer* ib = nullptr;
        std::uint64_t vbGeneration = 0, ibGeneration = 0;
        UINT baseVertex = 0, stride = 0;
        std::vector<float> worlds;
        GLuint vertices = 0, indices = 0;  // the copies' vertices, then a world matrix per vertex
        GLintptr worldsAt = 0;
        GLsizei indexCount = 0;
        std::uint64_t lastUsed = 0;  // presents
    };
    std::vector<MergedCopies> merged_;
    // `source` is the first vertex of the mesh's range of `span` vertices;
    // expandLocal_ holds its indices counted from there.
    void DrawMergedCopies(const DrawKey& key, const float* worlds, UINT instances, const BYTE* source, UINT span);
    void DropMergedCopies(const void* buffer);  // those made from this buffer
    void SetWorldDivisor(GLuint divisor);
    // A buffer written front to back and given new storage when full, so
    // nothing waits for draws still reading what was written before.
    struct StreamRing {
        GLuint name = 0;
        GLsizeiptr limit = 0;  // the most the ring grows to
        GLsizeiptr capacity = 0;
        GLsizeiptr offset = 0;
        std::uint64_t wrappedAt = ~std::uint64_t(0);  // the frame (presents) of the last wrap
    };
    // Binds the ring to `target` and makes room for `bytes` after its offset,
    // in one piece: what is written next up to that size lands in the same store.
    void ReserveRing(StreamRing& ring, GLenum target, GLsizeiptr bytes);
    // Binds the ring to `target` and copies `bytes` into it; the offset written at.
    GLintptr WriteRing(StreamRing& ring, GLenum target, const void* data, GLsizeiptr bytes);
    HRESULT CheckVertexRange(UINT firstVertex, UINT vertexCount) const;
    void BumpGroup(UniformGroup group) { groupVersions_[group] = ++versionCounter_; }
    void UpdateBackBufferSize(const D3DPRESENT_PARAMETERS& params);
    void DrawableSize(int* width, int* height) const;

    GlContextSetup setup_;
    D3DPRESENT_PARAMETERS params_{};
    UINT backWidth_ = 0, backHeight_ = 0;
    bool inScene_ = false;
    bool batching_ = true;
    bool usable_ = true;  // false once the window or the video system is gone

    // Direct3D state: what changed since the last draw, and what the
    // collected draws use.
    unsigned dirty_ = ~0u;
    Applied applied_;
    std::function<void(const GlObservedDraw&)> observer_;
    std::function<void()> presentObserver_;
    void Observe(D3DPRIMITIVETYPE type, bool indexed, UINT start, UINT primitiveCount);

    // Where a draw's triangles (or lines, or points) can lie in world space,
    // as a box, and what they are: 2 surfaces, 1 lines, 0 points.
    struct Bounds {
        float lo[3], hi[3];
        bool unbounded;
        int dimension;
    };
    // The mesh range of the draws being collected, in its own coordinates.
    struct LocalBounds {
        const GlVertexBuffer* vb;
        std::uint64_t generation;
        UINT stride, first, last;
        float centre[3], half[3];
        bool unbounded;
    };
    const LocalBounds& LocalBoundsOf(UINT firstVertex, UINT lastVertex);
    // Whether two draws might give one pixel the same depth.
    static bool MayTie(const Bounds& a, const Bounds& b);
    std::vector<LocalBounds> localBounds_;  // of the meshes collected lately
    size_t localBoundsNext_ = 0;

    // The run being collected: consecutive draws of one object and mesh
    // range that differ only in the world matrix, with their bounds as a few
    // boxes (a row of cells side by side is one).
    DrawKey pendingKey_;
    UINT pendingCount_ = 0;
    std::vector<float> pendingWorlds_;
    bool pendingTracked_ = false;  // bounds kept: the run may join its object's collection
    LocalBounds pendingLocal_{};
    // What a draw's box takes from its world matrix but the translation t,
    // for the run's last matrix: the cells of a course differ in t alone.
    // The box is ((t + centre) -+ extent) * inverse.
    struct Placement {
        float matrix[12], w;  // the rows but the last, and its last element
        float centre[3], extent[3], inverse;
        bool unbounded, known;
    } pendingPlacement_{};
    // Draws of one placement whose translations span a box, which bounds them all.
    struct Segment {
        float lo[3], hi[3];  // of t
        float centre[3], extent[3], inverse;
        bool unbounded;
    };
    std::vector<Segment> pendingSegments_;
    int pendingDimension_ = 2;
    std::vector<Bounds> pendingBounds_;  // of the segments, when the run ends
    void TrackPending(const float* world);
    void SegmentBounds();  // pendingBounds_ from pendingSegments_

    // Collections of finished runs, drawn in the order they were begun.
    // While depth decides what is seen (depth test and writes on, no
    // blending, LESS or LESSEQUAL), a run may join its object's collection
    // begun earlier, moving ahead of the draws in the collections begun
    // after it, unless it could tie in depth with one of them. For that each
    // collection keeps the bounds of its runs, in blocks of a few with their
    // union, so that a query passes over the blocks far from it. Any other
    // change of state draws them all first.
    static constexpr size_t kBoundsBlock = 16;
    struct ParkedBatch {
        DrawKey key;
        ObjectState object;
        std::vector<float> worlds;  // 16 per draw; may be longer than count draws need
        UINT count = 0;
        std::vector<Bounds> runs, blocks;
    };
    std::vector<ParkedBatch> parked_;  // in the order they were begun
    size_t parkedUsed_ = 0;            // entries of parked_ in use; the rest keep their memory
    static void AddBounds(ParkedBatch& batch, const Bounds& bounds);
    // Whether the bounds may tie with a run in the collections begun after parked_[index].
    bool TiesWithLater(const Bounds& bounds, size_t index) const;
    // The runs since the last flush, and those before it, with the
    // collection each could join (SIZE_MAX: none), whether it did, and its bounds.
    struct RunRecord {
        size_t candidate;
        bool joins;
        size_t firstBounds, boundsCount;
    };
    std::vector<RunRecord> runsNow_, runsBefore_;
    std::vector<Bounds> runBoundsNow_, runBoundsBefore_;
    bool followsBefore_ = true;  // every run since the last flush as the one in runsBefore_
    static bool SameBounds(const Bounds& a, const Bounds& b);
    bool ParkingAllowed() const;
    static bool SameObject(const ObjectState& a, const ObjectState& b);
    // Makes `object` the applied one, marking for OpenGL what differs.
    void ApplyObject(const ObjectState& object);
    // Ends the run: into its object's collection when that keeps every
    // possible depth tie in submission order, else into a collection of its own.
    void EndRun();
    bool ParkedUses(const void* resource) const;

    // OpenGL side: what must be sent before the next GL draw, and what is bound.
    unsigned glDirty_ = ~0u;
    bool glValid_ = false;
    GLuint vao_ = 0;
    StreamRing instanceRing_, vertexRing_, indexRing_;
    std::vector<BYTE> expandVertices_, expandWorlds_;
    std::vector<WORD> expandIndices_;
    std::vector<UINT> expandLocal_;
    int worldDivisor_ = -1;  // of the world matrix attributes; -1: unknown
    // By variant with the fixed texture stage (GlFixedStage::Key() << 2 |
    // variant) and the fixed vertex state (GlFixedVertex::Key()); a variant
    // that reads both from uniforms has the key {variant, 0}.
    std::map<std::pair<std::uint64_t, std::uint64_t>, GlProgram> programs_;
    bool fixedStages_ = true;
    GlProgram* currentProgram_ = nullptr;
    GLuint boundTexture_ = 0;
    bool boundTextureKnown_ = false;
    GLuint boundArrayBuffer_ = 0;
    bool boundArrayBufferKnown_ = false;
    bool instanceArrays_ = false;
    float constantWorld_[16]{};
    bool constantWorldKnown_ = false;
    struct FixedCache {
        int depthTest = -1, depthWrite = -1, blend = -1, cull = -1;
        GLenum depthFunc = 0, blendSrc = 0, blendDst = 0, frontFace = 0, polygonMode = 0, provoking = 0;
    } fixed_;
    struct LayoutKey {
        GLuint buffer = 0;
        DWORD fvf = 0;
        UINT stride = 0;
        std::uintptr_t base = 0;
        DWORD texCoordIndex = 0;
        bool operator==(const LayoutKey&) const = default;
    } layout_;
    bool layoutKnown_ = false;
    GLuint boundIndexBuffer_ = 0;
    bool boundIndexBufferKnown_ = false;
    GLint maxTextureSize_ = 0;

    // Uniform values, computed when their group changes.
    std::uint64_t groupVersions_[kGroupCount]{};
    std::uint64_t versionCounter_ = 0;
    std::uint64_t lightingComputed_ = 0;  // the lighting version the arrays below hold
    float viewMatrix_[16]{}, viewProjMatrix_[16]{};
    int lightCount_ = 0;
    float lightDiffuse_[kMaxLights * 4]{}, lightSpecular_[kMaxLights * 4]{}, lightAmbient_[kMaxLights * 4]{},
        lightPosition_[kMaxLights * 4]{}, lightDirection_[kMaxLights * 4]{}, lightAttenuation_[kMaxLights * 4]{},
        lightCone_[kMaxLights * 4]{};
    float globalAmbient_[4]{};
    int matSource_[4]{};

    // Live resources made by this device, to tell real ones from stale pointers.
    std::unordered_map<const IDirect3DTexture8*, GlTexture*> textures_;
    std::unordered_map<const IDirect3DVertexBuffer8*, GlVertexBuffer*> vertexBuffers_;
    std::unordered_map<const IDirect3DIndexBuffer8*, GlIndexBuffer*> indexBuffers_;

    GlDeviceStats stats_;
};
