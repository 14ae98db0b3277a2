// Textures, vertex buffers and index buffers of the OpenGL device. Each keeps
// its contents in memory in Direct3D's layout: Lock hands out that copy and
// Unlock sends it to OpenGL. Nothing depends on the back buffer, so every
// resource survives Reset whatever its pool.
#include <algorithm>
#include <cstring>

#include "platform/gl/gl_formats.h"
#include "gl_internal.h"

// --- textures ---------------------------------------------------------------

GlTexture::GlTexture(GlDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                     D3DPOOL pool)
    : device_(device), format_(format), usage_(usage), pool_(pool) {
    device_->AddRef();
    UINT chain = 1;
    for (UINT w = width, h = height; w > 1 || h > 1; w = std::max(w / 2, 1u), h = std::max(h / 2, 1u)) ++chain;
    if (levels == 0 || levels > chain) levels = chain;
    UINT w = width, h = height;
    for (UINT i = 0; i < levels; ++i) {
        levels_.push_back(Level{w, h, std::vector<BYTE>(size_t(w) * h * FormatBytesPerPixel(format))});
        w = std::max(w / 2, 1u);
        h = std::max(h / 2, 1u);
    }
    if (device_->MakeCurrent()) {
        glGenTextures(1, &name_);
        device_->BindTextureForUpload(name_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(levels - 1));
        for (UINT i = 0; i < levels; ++i) Upload(i);
    }
    device_->TextureCreated(this);
}

GlTexture::~GlTexture() {
    device_->TextureDestroyed(this);
    if (name_ && device_->MakeCurrent()) glDeleteTextures(1, &name_);
    device_->Release();
}

HRESULT GlTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (level >= levels_.size() || !desc) return D3DERR_INVALIDCALL;
    *desc = D3DSURFACE_DESC{format_, usage_, pool_, levels_[level].width, levels_[level].height};
    return S_OK;
}

HRESULT GlTexture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (level >= levels_.size() || !locked) return D3DERR_INVALIDCALL;
    Level& l = levels_[level];
    if (l.locked) return D3DERR_INVALIDCALL;
    UINT bpp = FormatBytesPerPixel(format_);
    size_t offset = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
            UINT(rect->right) > l.width || UINT(rect->bottom) > l.height)
            return D3DERR_INVALIDCALL;
        offset = (size_t(rect->top) * l.width + size_t(rect->left)) * bpp;
    }
    l.readOnly = (flags & D3DLOCK_READONLY) != 0;
    if (!l.readOnly) device_->BeforeResourceChange(this);
    l.locked = true;
    locked->Pitch = INT(l.width * bpp);
    locked->pBits = l.bytes.data() + offset;
    return S_OK;
}

HRESULT GlTexture::UnlockRect(UINT level) {
    if (level >= levels_.size() || !levels_[level].locked) return D3DERR_INVALIDCALL;
    Level& l = levels_[level];
    l.locked = false;
    if (!l.readOnly && name_ && device_->MakeCurrent()) Upload(level);
    return S_OK;
}

void GlTexture::Upload(UINT level) {
    const Level& l = levels_[level];
    std::vector<BYTE> rgba(size_t(l.width) * l.height * 4);
    ConvertToRgba8(format_, l.bytes.data(), size_t(l.width) * l.height, rgba.data());
    device_->BindTextureForUpload(name_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glTexImage2D(GL_TEXTURE_2D, GLint(level), GL_RGBA8, GLsizei(l.width), GLsizei(l.height), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, rgba.data());
}

// --- buffers ----------------------------------------------------------------

GlBufferCore::GlBufferCore(GlDevice* device, UINT length, DWORD usage)
    : device_(device), usage_(usage), bytes_(length) {
    // The buffer's reference on the device outlives the GL buffer it deletes.
    device_->AddRef();
    if (device_->MakeCurrent()) {
        glGenBuffers(1, &name_);
        device_->BindBufferForUpload(name_);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(length), bytes_.data(),
                     (usage_ & D3DUSAGE_DYNAMIC) ? GL_STREAM_DRAW : GL_STATIC_DRAW);
    }
}

GlBufferCore::~GlBufferCore() {
    if (name_ && device_->MakeCurrent()) glDeleteBuffers(1, &name_);
    device_->Release();
}

HRESULT GlBufferCore::Lock(const void* owner, UINT offset, UINT size, BYTE** data, DWORD flags) {
    if (!data || offset > bytes_.size()) return D3DERR_INVALIDCALL;
    if (size == 0) size = UINT(bytes_.size()) - offset;
    if (size > bytes_.size() - offset) return D3DERR_INVALIDCALL;
    if (!(flags & D3DLOCK_READONLY)) {
        // Draws collected but not yet sent must see the old contents.
        device_->BeforeResourceChange(owner);
        if (dirtyBegin_ == dirtyEnd_) {
            dirtyBegin_ = offset;
            dirtyEnd_ = offset + size;
        } else {
            dirtyBegin_ = std::min(dirtyBegin_, offset);
            dirtyEnd_ = std::max(dirtyEnd_, offset + size);
        }
        if (flags & D3DLOCK_DISCARD) discard_ = true;
    }
    ++locks_;
    *data = bytes_.data() + offset;
    return S_OK;
}

HRESULT GlBufferCore::Unlock() {
    if (locks_ == 0) return D3DERR_INVALIDCALL;
    if (--locks_ > 0 || dirtyBegin_ == dirtyEnd_) return S_OK;
    ++generation_;
    if (name_ && device_->MakeCurrent()) {
        device_->BindBufferForUpload(name_);
        if (discard_) {
            // New storage: draws already sent keep reading the old one.
            glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(bytes_.size()), bytes_.data(),
                         (usage_ & D3DUSAGE_DYNAMIC) ? GL_STREAM_DRAW : GL_STATIC_DRAW);
        } else {
            glBufferSubData(GL_ARRAY_BUFFER, GLintptr(dirtyBegin_), GLsizeiptr(dirtyEnd_ - dirtyBegin_),
                            bytes_.data() + dirtyBegin_);
        }
    }
    dirtyBegin_ = dirtyEnd_ = 0;
    discard_ = false;
    return S_OK;
}

GlVertexBuffer::GlVertexBuffer(GlDevice* device, UINT length, DWORD usage)
    : core(device, length, usage), device_(device) {
    device_->VertexBufferCreated(this);
}

GlVertexBuffer::~GlVertexBuffer() { device_->VertexBufferDestroyed(this); }

GlIndexBuffer::GlIndexBuffer(GlDevice* device, UINT length, DWORD usage, D3DFORMAT format)
    : core(device, length, usage), device_(device), format_(format) {
    device_->IndexBufferCreated(this);
}

GlIndexBuffer::~GlIndexBuffer() { device_->IndexBufferDestroyed(this); }

UINT GlIndexBuffer::IndexAt(UINT position) const {
    const BYTE* p = core.Bytes() + size_t(position) * IndexSize();
    if (format_ == D3DFMT_INDEX32) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return UINT(v);
    }
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return UINT(v);
}

GlIndexBuffer::IndexRange GlIndexBuffer::RangeOf(UINT start, UINT count) {
    if (rangeCacheGeneration_ != core.Generation()) {
        rangeCache_.clear();
        rangeCacheGeneration_ = core.Generation();
    }
    for (const CachedRange& r : rangeCache_)
        if (r.start == start && r.count == count) return r.range;
    IndexRange range{~0u, 0};
    for (UINT i = 0; i < count; ++i) {
        UINT v = IndexAt(start + i);
        range.min = std::min(range.min, v);
        range.max = std::max(range.max, v);
    }
    if (count == 0) range.min = 0;
    if (rangeCache_.size() >= 64) rangeCache_.clear();
    rangeCache_.push_back(CachedRange{start, count, range});
    return range;
}
