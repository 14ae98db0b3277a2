// How the OpenGL device collects draws: draws of one object that differ
// only in the world matrix are set aside and taken up again across changes of
// object, as long as nothing drawn in between may tie in depth with them; at
// a flush each collection is sent as one instanced draw, as one draw of
// merged copies streamed through a ring, or from merged copies kept from
// frame to frame while the same mesh is drawn with the same matrices.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "gl_internal.h"

namespace {

constexpr GLsizeiptr kInstanceStride = 16 * sizeof(float);
// Collected draws of a small mesh are sent as one plain draw of copies of the
// mesh, each vertex carrying its instance's world matrix: software renderers
// run the vertex stage once per instance, which costs more than the copying.
constexpr UINT kExpandMaxSpan = 256;          // vertices of one copy
constexpr UINT kExpandMaxVertices = 65536;    // per draw, so 16-bit indices reach them all
// Collections of at least this many copies are merged into buffers kept
// from frame to frame, up to a size and a number of them.
constexpr UINT kMergedMinCopies = 32;
constexpr size_t kMergedMaxVertices = size_t(1) << 20;
constexpr size_t kMergedMaxEntries = 32;

// Writes `n` copies of a mesh's vertex range: its `span` vertices, the copy's
// world matrix beside each of them, and the mesh's indices (`local`, counted
// from the range's first vertex) moved on by `span` for each copy.
template <class Index>
void WriteCopies(const BYTE* source, UINT span, UINT stride, const std::vector<UINT>& local, const float* worlds,
                 UINT n, BYTE* v, BYTE* w, Index* x) {
    for (UINT i = 0; i < n; ++i) {
        std::memcpy(v, source, size_t(span) * stride);
        v += size_t(span) * stride;
        const float* world = worlds + 16 * size_t(i);
        for (UINT k = 0; k < span; ++k, w += kInstanceStride) std::memcpy(w, world, kInstanceStride);
        for (UINT k : local) *x++ = Index(k + i * span);
    }
}

}  // namespace

bool GlDevice::ParkingAllowed() const {
    const DWORD zFunc = applied_.render[D3DRS_ZFUNC];
    return batching_ && setup_.depthBits > 0 && applied_.render[D3DRS_ZENABLE] != D3DZB_FALSE &&
           applied_.render[D3DRS_ZWRITEENABLE] != 0 && applied_.render[D3DRS_ALPHABLENDENABLE] == 0 &&
           (zFunc == D3DCMP_LESS || zFunc == D3DCMP_LESSEQUAL);
}

bool GlDevice::SameObject(const ObjectState& a, const ObjectState& b) {
    return a.texture == b.texture && a.fvf == b.fvf && a.stream == b.stream && a.stride == b.stride &&
           a.indices == b.indices && a.baseVertex == b.baseVertex &&
           std::memcmp(&a.material, &b.material, sizeof(D3DMATERIAL8)) == 0;
}

void GlDevice::ApplyObject(const ObjectState& o) {
    if (o.texture != applied_.object.texture) {
        applied_.object.texture = o.texture;
        glDirty_ |= kGlTexture | kGlSampler;
        BumpGroup(kGroupStage);
    }
    if (std::memcmp(&o.material, &applied_.object.material, sizeof(D3DMATERIAL8)) != 0) {
        applied_.object.material = o.material;
        BumpGroup(kGroupMaterial);
    }
    if (o.fvf != applied_.object.fvf) {
        applied_.object.fvf = o.fvf;
        BumpGroup(kGroupFormat);
        BumpGroup(kGroupLighting);
    }
    applied_.object.stream = o.stream;
    applied_.object.stride = o.stride;
    if (o.indices != applied_.object.indices) glDirty_ |= kGlIndices;
    applied_.object.indices = o.indices;
    applied_.object.baseVertex = o.baseVertex;
}

// --- keeping the order of draws that may tie in depth ------------------------------

const GlDevice::LocalBounds& GlDevice::LocalBoundsOf(UINT firstVertex, UINT lastVertex) {
    const GlVertexBuffer* vb = applied_.object.stream;
    const UINT stride = applied_.object.stride;
    for (const LocalBounds& b : localBounds_)
        if (b.vb == vb && b.generation == vb->core.Generation() && b.stride == stride && b.first == firstVertex &&
            b.last == lastVertex)
            return b;
    LocalBounds b{vb, vb->core.Generation(), stride, firstVertex, lastVertex, {}, {}, false};
    // Screen positions say nothing about where the draw lies in the world.
    b.unbounded = (applied_.object.fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZ;
    float lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (UINT v = firstVertex; v <= lastVertex && !b.unbounded; ++v) {
        float p[3];
        std::memcpy(p, vb->core.Bytes() + size_t(v) * stride, sizeof p);
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], p[k]);
            hi[k] = std::max(hi[k], p[k]);
        }
    }
    for (int k = 0; k < 3 && !b.unbounded; ++k) {
        b.centre[k] = 0.5f * (lo[k] + hi[k]);
        b.half[k] = 0.5f * (hi[k] - lo[k]);
        b.unbounded = !std::isfinite(b.centre[k]) || !std::isfinite(b.half[k]);
    }
    constexpr size_t kKept = 32;
    if (localBounds_.size() < kKept) {
        localBounds_.push_back(b);
        return localBounds_.back();
    }
    LocalBounds& slot = localBounds_[localBoundsNext_];
    localBoundsNext_ = (localBoundsNext_ + 1) % kKept;
    slot = b;
    return slot;
}

// Two draws can give one pixel the same depth only where what they draw
// meets. Surfaces whose boxes overlap along at most one axis meet, if at all,
// along a line: cells side by side share an edge, and a pixel on an edge
// shared with the same end points goes to exactly one of the triangles
// beside it. Surfaces whose boxes overlap along two axes may lie on one
// another (a decal on a floor), and are taken to tie whatever lies between
// them along the third, since the depth buffer cannot tell surfaces close
// together apart. Lines tie wherever their boxes overlap along one axis,
// points anywhere.
bool GlDevice::MayTie(const Bounds& a, const Bounds& b) {
    if (a.unbounded || b.unbounded) return true;
    const int need = std::min(a.dimension, b.dimension);
    int apart = 0;  // axes along which the boxes do not overlap
    for (int k = 0; k < 3; ++k) {
        const float overlap = std::min(a.hi[k], b.hi[k]) - std::max(a.lo[k], b.lo[k]);
        // Rounding of the transforms may let boxes side by side overlap a little.
        const bool overlapping =
            overlap > 0.0f &&
            overlap > 1e-6f * std::max(std::max(std::fabs(a.lo[k]), std::fabs(a.hi[k])),
                                       std::max(std::max(std::fabs(b.lo[k]), std::fabs(b.hi[k])), 1.0f));
        if (!overlapping && ++apart > 3 - need) return false;
    }
    return true;
}

void GlDevice::AddBounds(ParkedBatch& batch, const Bounds& bounds) {
    if (batch.runs.size() % kBoundsBlock == 0) {
        batch.blocks.push_back(bounds);
    } else {
        Bounds& u = batch.blocks.back();
        u.unbounded = u.unbounded || bounds.unbounded;
        u.dimension = std::min(u.dimension, bounds.dimension);
        for (int k = 0; k < 3; ++k) {
            u.lo[k] = std::min(u.lo[k], bounds.lo[k]);
            u.hi[k] = std::max(u.hi[k], bounds.hi[k]);
        }
    }
    batch.runs.push_back(bounds);
}

bool GlDevice::TiesWithLater(const Bounds& bounds, size_t index) const {
    // A block's union overlaps along no fewer axes than any box in it. A
    // query that would look at many boxes one by one is answered "may tie":
    // the order is kept at the price of a draw call, and a frame of many
    // scattered draws costs no more than linear time.
    constexpr size_t kMostBoxesLookedAt = 256;
    size_t looked = 0;
    for (size_t i = index + 1; i < parkedUsed_; ++i) {
        const ParkedBatch& batch = parked_[i];
        for (size_t j = 0; j < batch.blocks.size(); ++j) {
            if (!MayTie(bounds, batch.blocks[j])) continue;
            if ((looked += kBoundsBlock) > kMostBoxesLookedAt) return true;
            const size_t end = std::min(batch.runs.size(), (j + 1) * kBoundsBlock);
            for (size_t k = j * kBoundsBlock; k < end; ++k)
                if (MayTie(bounds, batch.runs[k])) return true;
        }
    }
    return false;
}

void GlDevice::TrackPending(const float* m) {
    Placement& p = pendingPlacement_;
    const bool moved = !p.known || std::memcmp(p.matrix, m, sizeof p.matrix) != 0 || p.w != m[15];
    if (moved) {
        std::memcpy(p.matrix, m, sizeof p.matrix);
        p.w = m[15];
        p.known = true;
        // Row vectors: p' = p * M. Only a matrix whose last column is
        // (0, 0, 0, w) with w > 0 maps a box onto a box; the 3D text's has w = 0.1.
        p.unbounded = pendingLocal_.unbounded || m[3] != 0.0f || m[7] != 0.0f || m[11] != 0.0f || !(p.w > 0.0f);
        p.inverse = 1.0f / p.w;
        for (int k = 0; k < 3; ++k) {
            p.centre[k] = p.extent[k] = 0.0f;
            for (int i = 0; i < 3; ++i) {
                p.centre[k] += pendingLocal_.centre[i] * m[4 * i + k];
                p.extent[k] += pendingLocal_.half[i] * std::fabs(m[4 * i + k]);
            }
        }
    }
    const float* t = m + 12;
    // A row of equal cells side by side makes one segment: translations
    // equal along two axes, boxes touching or overlapping along the third.
    if (!moved && !pendingSegments_.empty()) {
        Segment& s = pendingSegments_.back();
        if (s.unbounded) return;
        int equal = 0, along = 0;
        for (int k = 0; k < 3; ++k) {
            if (s.lo[k] == t[k] && s.hi[k] == t[k]) ++equal;
            else along = k;
        }
        if (equal == 3) return;
        const float reach = 2.0f * p.extent[along];
        if (equal == 2 && t[along] >= s.lo[along] - reach && t[along] <= s.hi[along] + reach) {
            s.lo[along] = std::min(s.lo[along], t[along]);
            s.hi[along] = std::max(s.hi[along], t[along]);
            return;
        }
    }
    pendingSegments_.push_back({{t[0], t[1], t[2]},
                                {t[0], t[1], t[2]},
                                {p.centre[0], p.centre[1], p.centre[2]},
                                {p.extent[0], p.extent[1], p.extent[2]},
                                p.inverse,
                                p.unbounded});
}

void GlDevice::SegmentBounds() {
    pendingBounds_.clear();
    for (const Segment& s : pendingSegments_) {
        Bounds b{{}, {}, s.unbounded, pendingDimension_};
        if (!b.unbounded) {
            // Rounding keeps order: the ends of the translations give the ends of the boxes.
            for (int k = 0; k < 3; ++k) {
                b.lo[k] = (s.lo[k] + s.centre[k] - s.extent[k]) * s.inverse;
                b.hi[k] = (s.hi[k] + s.centre[k] + s.extent[k]) * s.inverse;
            }
            // Any infinity or NaN makes the sum so (and a huge finite box may too).
            b.unbounded = !std::isfinite((b.lo[0] + b.hi[0]) + (b.lo[1] + b.hi[1]) + (b.lo[2] + b.hi[2]));
        }
        pendingBounds_.push_back(b);
    }
    pendingSegments_.clear();
}

bool GlDevice::SameBounds(const Bounds& a, const Bounds& b) {
    if (a.unbounded || b.unbounded) return a.unbounded == b.unbounded && a.dimension == b.dimension;
    return a.dimension == b.dimension && std::equal(a.lo, a.lo + 3, b.lo) && std::equal(a.hi, a.hi + 3, b.hi);
}

void GlDevice::EndRun() {
    if (pendingCount_ == 0) return;
    const ObjectState& object = applied_.object;
    // The latest collection of this object and mesh range. Joining it draws
    // the run before the collections begun after it: allowed only if nothing
    // in those could tie with the run.
    size_t into = parkedUsed_;
    for (size_t i = parkedUsed_; i-- > 0;) {
        if (parked_[i].key == pendingKey_ && SameObject(parked_[i].object, object)) {
            into = i;
            break;
        }
    }
    const size_t candidate = into < parkedUsed_ ? into : SIZE_MAX;
    SegmentBounds();
    // While every run since the last flush has been as in the frame before
    // (the collections they went to and their bounds), everything the
    // answer depends on is as it was then: a course that does not move asks
    // no questions.
    const size_t r = runsNow_.size();
    bool same = pendingTracked_ && followsBefore_ && r < runsBefore_.size() &&
                runsBefore_[r].candidate == candidate && runsBefore_[r].boundsCount == pendingBounds_.size();
    for (size_t i = 0; same && i < pendingBounds_.size(); ++i)
        same = SameBounds(runBoundsBefore_[runsBefore_[r].firstBounds + i], pendingBounds_[i]);
    followsBefore_ = same;
    bool joins = false;
    if (into < parkedUsed_) {
        if (same) {
            joins = runsBefore_[r].joins;
        } else {
            joins = pendingTracked_;
            for (size_t i = 0; i < pendingBounds_.size() && joins; ++i) joins = !TiesWithLater(pendingBounds_[i], into);
        }
        if (!joins) {
            into = parkedUsed_;
            ++stats_.runsKeptApart;
        }
    }
    if (pendingTracked_) {
        runsNow_.push_back({candidate, joins, runBoundsNow_.size(), pendingBounds_.size()});
        runBoundsNow_.insert(runBoundsNow_.end(), pendingBounds_.begin(), pendingBounds_.end());
    }
    if (into < parkedUsed_) {
        ParkedBatch& b = parked_[into];
        const size_t need = 16 * size_t(b.count + pendingCount_);
        if (b.worlds.size() < need) b.worlds.resize(std::max(need, 2 * b.worlds.size()));
        std::memcpy(b.worlds.data() + 16 * size_t(b.count), pendingWorlds_.data(), 16 * sizeof(float) * pendingCount_);
        b.count += pendingCount_;
    } else {
        if (parkedUsed_ == parked_.size()) parked_.emplace_back();
        ParkedBatch& b = parked_[parkedUsed_++];
        b.key = pendingKey_;
        b.object = object;
        // The run moves over whole; the pending side takes the parked
        // entry's old storage for its next run. Either vector may be longer
        // than what it holds: its size is its room, kept for reuse.
        b.worlds.swap(pendingWorlds_);
        b.count = pendingCount_;
        b.runs.clear();
        b.blocks.clear();
    }
    // The first collection is never moved past: nothing asks for its bounds.
    if (into > 0) {
        ParkedBatch& b = parked_[into];
        if (pendingTracked_) {
            for (const Bounds& bounds : pendingBounds_) AddBounds(b, bounds);
        } else {
            AddBounds(b, Bounds{{}, {}, true, 0});
        }
    }
    pendingCount_ = 0;
    pendingBounds_.clear();
}

bool GlDevice::ParkedUses(const void* resource) const {
    for (size_t i = 0; i < parkedUsed_; ++i) {
        const ObjectState& o = parked_[i].object;
        if (resource == static_cast<const void*>(o.texture) || resource == static_cast<const void*>(o.stream) ||
            resource == static_cast<const void*>(o.indices))
            return true;
    }
    return false;
}

void GlDevice::ReserveRing(StreamRing& ring, GLenum target, GLsizeiptr bytes) {
    if (!ring.name) glGenBuffers(1, &ring.name);
    glBindBuffer(target, ring.name);
    if (target == GL_ARRAY_BUFFER) {
        boundArrayBuffer_ = ring.name;
        boundArrayBufferKnown_ = true;
    } else {
        boundIndexBuffer_ = ring.name;
        boundIndexBufferKnown_ = true;
    }
    if (ring.capacity > 0 && ring.offset + bytes <= ring.capacity) return;
    GLsizeiptr capacity = std::max(ring.capacity, kRingStartBytes);
    // Wrapping twice in one frame: the frame needs more than the ring holds.
    if (ring.capacity > 0 && ring.wrappedAt == stats_.presents) capacity *= 2;
    while (capacity < bytes) capacity *= 2;
    capacity = std::max(std::min(capacity, ring.limit), bytes);
    if (ring.capacity > 0) ring.wrappedAt = stats_.presents;
    glBufferData(target, capacity, nullptr, GL_STREAM_DRAW);
    ring.capacity = capacity;
    ring.offset = 0;
}

GLintptr GlDevice::WriteRing(StreamRing& ring, GLenum target, const void* data, GLsizeiptr bytes) {
    ReserveRing(ring, target, bytes);
    stats_.streamedBytes += std::uint64_t(bytes);
    GLintptr at = ring.offset;
    void* p = glMapBufferRange(target, at, bytes,
                               GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
    if (p) {
        std::memcpy(p, data, size_t(bytes));
        glUnmapBuffer(target);
    } else {
        glBufferSubData(target, at, bytes, data);
    }
    ring.offset += (bytes + 15) & ~GLsizeiptr(15);
    return at;
}

bool GlDevice::IssueExpanded(const DrawKey& key, const float* worlds, UINT instances) {
    if (key.mode != GL_TRIANGLES && key.mode != GL_LINES && key.mode != GL_POINTS) return false;  // strips would join
    GlIndexBuffer* ib = applied_.object.indices;
    GlVertexBuffer* vb = applied_.object.stream;
    const GlIndexBuffer::IndexRange range = ib->RangeOf(key.first, key.count);
    const UINT span = range.max - range.min + 1;
    if (span > kExpandMaxSpan) return false;
    const UINT stride = applied_.object.stride;
    const GLsizeiptr chunkVertexBytes = GLsizeiptr(kExpandMaxVertices) * (stride + kInstanceStride);
    if (chunkVertexBytes > kVertexRingBytes || GLsizeiptr(kExpandMaxVertices) * 3 * 2 > kIndexRingBytes) return false;

    const BYTE* source = vb->core.Bytes() + (size_t(applied_.object.baseVertex) + range.min) * stride;
    expandLocal_.resize(key.count);
    for (UINT k = 0; k < key.count; ++k) expandLocal_[k] = ib->IndexAt(key.first + k) - range.min;
    if (instances >= kMergedMinCopies && size_t(instances) * span <= kMergedMaxVertices) {
        DrawMergedCopies(key, worlds, instances, source, span);
        return true;
    }
    UINT done = 0;
    while (done < instances) {
        const UINT n = std::min(instances - done, kExpandMaxVertices / span);
        expandVertices_.resize(size_t(n) * span * stride);
        expandWorlds_.resize(size_t(n) * span * kInstanceStride);
        expandIndices_.resize(size_t(n) * key.count);
        WriteCopies(source, span, stride, expandLocal_, worlds + 16 * size_t(done), n, expandVertices_.data(),
                    expandWorlds_.data(), expandIndices_.data());
        // Vertices and their matrices in one store, so that a wrap cannot part them.
        ReserveRing(vertexRing_, GL_ARRAY_BUFFER,
                    GLsizeiptr((expandVertices_.size() + 15) & ~size_t(15)) + GLsizeiptr(expandWorlds_.size()));
        GLintptr vertexAt = WriteRing(vertexRing_, GL_ARRAY_BUFFER, expandVertices_.data(),
                                      GLsizeiptr(expandVertices_.size()));
        GLintptr worldAt = WriteRing(vertexRing_, GL_ARRAY_BUFFER, expandWorlds_.data(),
                                     GLsizeiptr(expandWorlds_.size()));
        GLintptr indexAt = WriteRing(indexRing_, GL_ELEMENT_ARRAY_BUFFER, expandIndices_.data(),
                                     GLsizeiptr(expandIndices_.size() * sizeof(WORD)));
        ApplyLayout(vertexRing_.name, std::uintptr_t(vertexAt));
        glBindBuffer(GL_ARRAY_BUFFER, vertexRing_.name);
        if (setup_.instancing) SetWorldDivisor(0);
        for (GLuint r = 0; r < 4; ++r)
            glVertexAttribPointer(kAttrWorld + r, 4, GL_FLOAT, GL_FALSE, GLsizei(kInstanceStride),
                                  reinterpret_cast<const void*>(worldAt + GLintptr(16 * r)));
        if (!instanceArrays_) {
            for (GLuint r = 0; r < 4; ++r) glEnableVertexAttribArray(kAttrWorld + r);
            instanceArrays_ = true;
            constantWorldKnown_ = false;
        }
        glDrawElements(key.mode, GLsizei(size_t(n) * key.count), GL_UNSIGNED_SHORT,
                       reinterpret_cast<const void*>(indexAt));
        ++stats_.glDraws;
        ++stats_.mergedDraws;
        stats_.instances += n;
        done += n;
    }
    return true;
}

void GlDevice::DrawMergedCopies(const DrawKey& key, const float* worlds, UINT instances, const BYTE* source,
                                UINT span) {
    GlIndexBuffer* ib = applied_.object.indices;
    GlVertexBuffer* vb = applied_.object.stream;
    const UINT stride = applied_.object.stride;
    const size_t worldFloats = 16 * size_t(instances);
    MergedCopies* hit = nullptr;
    MergedCopies* stale = nullptr;  // the same mesh's copies of an earlier frame
    for (MergedCopies& m : merged_) {
        if (!(m.key == key) || m.vb != vb || m.ib != ib || m.baseVertex != applied_.object.baseVertex ||
            m.stride != stride)
            continue;
        if (m.vbGeneration == vb->core.Generation() && m.ibGeneration == ib->core.Generation() &&
            m.worlds.size() == worldFloats && std::memcmp(m.worlds.data(), worlds, worldFloats * sizeof(float)) == 0) {
            hit = &m;
            break;
        }
        if (m.lastUsed != stats_.presents && !stale) stale = &m;
    }
    if (!hit) {
        if (!stale) {
            if (merged_.size() >= kMergedMaxEntries) {
                // Make room by dropping the one left unused longest.
                auto oldest = std::min_element(merged_.begin(), merged_.end(),
                                               [](const MergedCopies& a, const MergedCopies& b) {
                                                   return a.lastUsed < b.lastUsed;
                                               });
                GLuint names[2] = {oldest->vertices, oldest->indices};
                glDeleteBuffers(2, names);
                merged_.erase(oldest);
            }
            merged_.emplace_back();
            stale = &merged_.back();
            GLuint names[2] = {0, 0};
            glGenBuffers(2, names);
            stale->vertices = names[0];
            stale->indices = names[1];
        }
        hit = stale;
        const size_t vertexBytes = size_t(instances) * span * stride;
        expandVertices_.resize(vertexBytes + size_t(instances) * span * kInstanceStride);
        std::vector<std::uint32_t> indices(size_t(instances) * key.count);
        WriteCopies(source, span, stride, expandLocal_, worlds, instances, expandVertices_.data(),
                    expandVertices_.data() + vertexBytes, indices.data());
        BindBufferForUpload(hit->vertices);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(expandVertices_.size()), expandVertices_.data(), GL_DYNAMIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, hit->indices);
        boundIndexBuffer_ = hit->indices;
        boundIndexBufferKnown_ = true;
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * sizeof(std::uint32_t)), indices.data(),
                     GL_DYNAMIC_DRAW);
        hit->key = key;
        hit->vb = vb;
        hit->ib = ib;
        hit->vbGeneration = vb->core.Generation();
        hit->ibGeneration = ib->core.Generation();
        hit->baseVertex = applied_.object.baseVertex;
        hit->stride = stride;
        hit->worlds.assign(worlds, worlds + worldFloats);
        hit->worldsAt = GLintptr(vertexBytes);
        hit->indexCount = GLsizei(indices.size());
        layoutKnown_ = false;  // the layout's buffer was rebound for the upload
        ++stats_.mergedBuilds;
    }
    hit->lastUsed = stats_.presents;

    ApplyLayout(hit->vertices, 0);
    if (!boundArrayBufferKnown_ || boundArrayBuffer_ != hit->vertices) BindBufferForUpload(hit->vertices);
    if (setup_.instancing) SetWorldDivisor(0);
    for (GLuint r = 0; r < 4; ++r)
        glVertexAttribPointer(kAttrWorld + r, 4, GL_FLOAT, GL_FALSE, GLsizei(kInstanceStride),
                              reinterpret_cast<const void*>(hit->worldsAt + GLintptr(16 * r)));
    if (!instanceArrays_) {
        for (GLuint r = 0; r < 4; ++r) glEnableVertexAttribArray(kAttrWorld + r);
        instanceArrays_ = true;
        constantWorldKnown_ = false;
    }
    if (!boundIndexBufferKnown_ || boundIndexBuffer_ != hit->indices) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, hit->indices);
        boundIndexBuffer_ = hit->indices;
        boundIndexBufferKnown_ = true;
    }
    glDrawElements(key.mode, hit->indexCount, GL_UNSIGNED_INT, nullptr);
    ++stats_.glDraws;
    ++stats_.mergedDraws;
    stats_.instances += instances;
}

void GlDevice::DropMergedCopies(const void* buffer) {
    for (size_t i = merged_.size(); i-- > 0;) {
        MergedCopies& m = merged_[i];
        if (buffer != static_cast<const void*>(m.vb) && buffer != static_cast<const void*>(m.ib)) continue;
        if (MakeCurrent()) {
            GLuint names[2] = {m.vertices, m.indices};
            glDeleteBuffers(2, names);
        }
        merged_.erase(merged_.begin() + std::ptrdiff_t(i));
    }
    boundArrayBufferKnown_ = false;
    boundIndexBufferKnown_ = false;
    layoutKnown_ = false;
}

void GlDevice::IssueIndexed(const DrawKey& key, const float* worlds, UINT instances) {
    const GLenum type = applied_.object.indices->IndexSize() == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
    const void* first =
        reinterpret_cast<const void*>(std::uintptr_t(key.first) * applied_.object.indices->IndexSize());
    if (instances > 1 && IssueExpanded(key, worlds, instances)) return;
    if (instances == 1 || !setup_.instancing) {
        for (UINT i = 0; i < instances; ++i) {
            SetConstantWorld(worlds + 16 * i);
            glDrawElements(key.mode, GLsizei(key.count), type, first);
            ++stats_.glDraws;
        }
        return;
    }
    UINT done = 0;
    while (done < instances) {
        UINT n = std::min<UINT>(instances - done, UINT(kInstanceRingBytes / kInstanceStride));
        GLintptr at = WriteRing(instanceRing_, GL_ARRAY_BUFFER, worlds + 16 * size_t(done),
                                GLsizeiptr(n) * kInstanceStride);
        SetWorldDivisor(1);
        for (GLuint r = 0; r < 4; ++r)
            glVertexAttribPointer(kAttrWorld + r, 4, GL_FLOAT, GL_FALSE, GLsizei(kInstanceStride),
                                  reinterpret_cast<const void*>(at + GLintptr(16 * r)));
        if (!instanceArrays_) {
            for (GLuint r = 0; r < 4; ++r) glEnableVertexAttribArray(kAttrWorld + r);
            instanceArrays_ = true;
            constantWorldKnown_ = false;
        }
        glDrawElementsInstanced(key.mode, GLsizei(key.count), type, first, GLsizei(n));
        ++stats_.glDraws;
        ++stats_.instancedDraws;
        stats_.instances += n;
        done += n;
    }
}

void GlDevice::Flush() {
    EndRun();
    if (!runsNow_.empty()) {
        runsBefore_.swap(runsNow_);
        runBoundsBefore_.swap(runBoundsNow_);
        runsNow_.clear();
        runBoundsNow_.clear();
    }
    followsBefore_ = true;
    if (parkedUsed_ == 0) return;
    const ObjectState current = applied_.object;
    const size_t used = parkedUsed_;
    parkedUsed_ = 0;
    // In the order they were begun: a run joined a collection only where
    // that order keeps every possible tie as it was submitted.
    for (size_t i = 0; i < used; ++i) {
        ParkedBatch& b = parked_[i];
        ApplyObject(b.object);
        if (!MakeCurrent() || !b.object.stream || !b.object.indices) continue;
        PrepareGl(true);
        IssueIndexed(b.key, b.worlds.data(), b.count);
    }
    ApplyObject(current);
}
