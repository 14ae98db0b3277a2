#include "util3d/mesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <unordered_map>

FvfLayout FvfLayout::Of(DWORD fvf) {
    FvfLayout l;
    l.fvf = fvf;
    UINT offset = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
        case D3DFVF_XYZ: offset = 12; break;
        case D3DFVF_XYZRHW: offset = 16; break;
        default: break;
    }
    if (fvf & D3DFVF_NORMAL) {
        l.normal = int(offset);
        offset += 12;
    }
    if (fvf & D3DFVF_DIFFUSE) {
        l.diffuse = int(offset);
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        l.specular = int(offset);
        offset += 4;
    }
    l.texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (l.texCount > 0) l.tex = int(offset);
    offset += 8 * l.texCount;
    l.stride = offset;
    return l;
}

namespace {

class BufferObject : public RefCounted<ID3DXBuffer> {
public:
    explicit BufferObject(const std::vector<BYTE>& bytes) : bytes_(bytes) {}
    void* GetBufferPointer() override { return bytes_.data(); }
    DWORD GetBufferSize() override { return DWORD(bytes_.size()); }

private:
    std::vector<BYTE> bytes_;
};

struct Subset {
    DWORD attribId;
    DWORD faceStart, faceCount;
    DWORD vertexMin, vertexCount;
};

// Stable sort of the faces by attribute id, applied to indices and attributes together.
void SortFacesByAttribute(std::vector<DWORD>& indices, std::vector<DWORD>& attributes) {
    if (std::is_sorted(attributes.begin(), attributes.end())) return;
    std::vector<DWORD> order(attributes.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](DWORD a, DWORD b) { return attributes[a] < attributes[b]; });
    std::vector<DWORD> sortedIndices(indices.size()), sortedAttributes(attributes.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sortedAttributes[i] = attributes[order[i]];
        std::memcpy(&sortedIndices[i * 3], &indices[size_t(order[i]) * 3], 3 * sizeof(DWORD));
    }
    indices.swap(sortedIndices);
    attributes.swap(sortedAttributes);
}

std::vector<Subset> BuildSubsets(const std::vector<DWORD>& indices, const std::vector<DWORD>& attributes) {
    std::vector<Subset> subsets;
    DWORD maxIndex = 0;
    for (DWORD f = 0; f < attributes.size(); ++f) {
        if (subsets.empty() || subsets.back().attribId != attributes[f]) {
            subsets.push_back(Subset{attributes[f], f, 0, 0xFFFFFFFFu, 0});
            maxIndex = 0;
        }
        Subset& s = subsets.back();
        ++s.faceCount;
        for (int c = 0; c < 3; ++c) {
            DWORD v = indices[size_t(f) * 3 + c];
            s.vertexMin = std::min(s.vertexMin, v);
            maxIndex = std::max(maxIndex, v);
        }
        s.vertexCount = maxIndex - s.vertexMin + 1;
    }
    return subsets;
}

D3DPOOL PoolFor(DWORD options, DWORD systemBit, DWORD managedBit) {
    if (options & systemBit) return D3DPOOL_SYSTEMMEM;
    if (options & managedBit) return D3DPOOL_MANAGED;
    return D3DPOOL_DEFAULT;
}

class MeshObject : public RefCounted<ID3DXMesh> {
public:
    MeshObject(IDirect3DDevice8* device, DWORD options, DWORD fvf, DWORD numVertices, DWORD numFaces,
               IDirect3DVertexBuffer8* vb, IDirect3DIndexBuffer8* ib, std::vector<DWORD> attributes,
               std::vector<Subset> subsets)
        : device_(device), options_(options), fvf_(fvf), numVertices_(numVertices), numFaces_(numFaces),
          vb_(vb), ib_(ib), attributes_(std::move(attributes)), subsets_(std::move(subsets)) {
        device_->AddRef();
    }
    ~MeshObject() override {
        SafeRelease(vb_);
        SafeRelease(ib_);
        SafeRelease(device_);
    }

    DWORD GetFVF() override { return fvf_; }
    DWORD GetOptions() override { return options_; }
    DWORD GetNumFaces() override { return numFaces_; }
    DWORD GetNumVertices() override { return numVertices_; }
    HRESULT GetDevice(IDirect3DDevice8** device) override {
        if (!device) return D3DERR_INVALIDCALL;
        device_->AddRef();
        *device = device_;
        return S_OK;
    }

    HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice8* device, ID3DXMesh** clone) override {
        if (!clone) return D3DERR_INVALIDCALL;
        *clone = nullptr;
        if ((fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZ) return D3DERR_INVALIDCALL;
        MeshData source;
        HRESULT hr = ReadMeshData(this, &source);
        if (FAILED(hr)) return hr;
        FvfLayout from = FvfLayout::Of(fvf_), to = FvfLayout::Of(fvf);
        MeshData data;
        data.fvf = fvf;
        data.indices = std::move(source.indices);
        data.attributes = std::move(source.attributes);
        data.vertices.assign(size_t(numVertices_) * to.stride, 0);
        for (DWORD v = 0; v < numVertices_; ++v) {
            const BYTE* s = &source.vertices[size_t(v) * from.stride];
            BYTE* d = &data.vertices[size_t(v) * to.stride];
            std::memcpy(d, s, 12);
            if (from.normal >= 0 && to.normal >= 0) std::memcpy(d + to.normal, s + from.normal, 12);
            if (from.diffuse >= 0 && to.diffuse >= 0) std::memcpy(d + to.diffuse, s + from.diffuse, 4);
            if (from.specular >= 0 && to.specular >= 0) std::memcpy(d + to.specular, s + from.specular, 4);
            UINT sets = std::min(from.texCount, to.texCount);
            if (sets) std::memcpy(d + to.tex, s + from.tex, 8 * sets);
        }
        return CreateMeshObject(device ? device : device_, options, std::move(data), clone);
    }

    HRESULT DrawSubset(DWORD attribId) override {
        for (const Subset& s : subsets_) {
            if (s.attribId != attribId) continue;
            device_->SetVertexShader(fvf_);
            device_->SetStreamSource(0, vb_, FvfLayout::Of(fvf_).stride);
            device_->SetIndices(ib_, 0);
            return device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, s.vertexMin, s.vertexCount, s.faceStart * 3,
                                                 s.faceCount);
        }
        return S_OK;  // no face carries this id: nothing to draw
    }

    HRESULT LockVertexBuffer(DWORD flags, BYTE** data) override {
        if (!data) return D3DERR_INVALIDCALL;
        return vb_->Lock(0, 0, data, flags);
    }
    HRESULT UnlockVertexBuffer() override { return vb_->Unlock(); }
    HRESULT LockIndexBuffer(DWORD flags, BYTE** data) override {
        if (!data) return D3DERR_INVALIDCALL;
        HRESULT hr = ib_->Lock(0, 0, data, flags);
        if (SUCCEEDED(hr) && !(flags & D3DLOCK_READONLY)) indicesDirty_ = true;
        return hr;
    }
    HRESULT UnlockIndexBuffer() override {
        HRESULT hr = ib_->Unlock();
        if (indicesDirty_) {
            indicesDirty_ = false;
            Resort();
        }
        return hr;
    }
    HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) override {
        if (!data) return D3DERR_INVALIDCALL;
        *data = attributes_.data();
        if (!(flags & D3DLOCK_READONLY)) attributesDirty_ = true;
        return S_OK;
    }
    HRESULT UnlockAttributeBuffer() override {
        if (attributesDirty_) {
            attributesDirty_ = false;
            Resort();
        }
        return S_OK;
    }

private:
    // After the caller rewrote indices or attribute ids, the faces are sorted
    // again so that every subset stays one range of the index buffer.
    void Resort() {
        BYTE* bytes = nullptr;
        if (FAILED(ib_->Lock(0, 0, &bytes, 0))) return;
        std::vector<DWORD> indices(size_t(numFaces_) * 3);
        std::memcpy(indices.data(), bytes, indices.size() * sizeof(DWORD));
        for (DWORD& i : indices)
            if (i >= numVertices_) i = 0;  // an index outside the vertices would read past the buffer
        SortFacesByAttribute(indices, attributes_);
        std::memcpy(bytes, indices.data(), indices.size() * sizeof(DWORD));
        ib_->Unlock();
        subsets_ = BuildSubsets(indices, attributes_);
    }

    IDirect3DDevice8* device_;
    DWORD options_, fvf_, numVertices_, numFaces_;
    IDirect3DVertexBuffer8* vb_;
    IDirect3DIndexBuffer8* ib_;
    std::vector<DWORD> attributes_;
    std::vector<Subset> subsets_;
    bool indicesDirty_ = false, attributesDirty_ = false;
};

}  // namespace

HRESULT CreateMeshObject(IDirect3DDevice8* device, DWORD options, MeshData data, ID3DXMesh** mesh) {
    if (!mesh) return D3DERR_INVALIDCALL;
    *mesh = nullptr;
    if (!device) return D3DERR_INVALIDCALL;
    FvfLayout layout = FvfLayout::Of(data.fvf);
    if (layout.stride == 0 || data.vertices.size() % layout.stride != 0 || data.indices.size() % 3 != 0 ||
        data.attributes.size() != data.indices.size() / 3)
        return D3DERR_INVALIDCALL;
    size_t numVertices = data.vertices.size() / layout.stride;
    size_t numFaces = data.attributes.size();
    if (numVertices == 0 || numFaces == 0) return E_FAIL;
    if (numVertices > 0xFFFFFFFFu / layout.stride || numFaces > 0xFFFFFFFFu / 12) return E_OUTOFMEMORY;
    for (DWORD i : data.indices)
        if (i >= numVertices) return D3DERR_INVALIDCALL;

    SortFacesByAttribute(data.indices, data.attributes);
    std::vector<Subset> subsets = BuildSubsets(data.indices, data.attributes);

    // Indices are always 32-bit so that they can be handed out as they are stored.
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    HRESULT hr = device->CreateVertexBuffer(UINT(data.vertices.size()), 0, data.fvf,
                                            PoolFor(options, D3DXMESH_VB_SYSTEMMEM, 0x020), &vb);
    if (FAILED(hr)) return hr;
    hr = device->CreateIndexBuffer(UINT(data.indices.size() * sizeof(DWORD)), 0, D3DFMT_INDEX32,
                                   PoolFor(options, D3DXMESH_IB_SYSTEMMEM, 0x200), &ib);
    if (FAILED(hr)) {
        vb->Release();
        return hr;
    }
    BYTE* dst = nullptr;
    if (SUCCEEDED(hr = vb->Lock(0, 0, &dst, 0))) {
        std::memcpy(dst, data.vertices.data(), data.vertices.size());
        vb->Unlock();
        if (SUCCEEDED(hr = ib->Lock(0, 0, &dst, 0))) {
            std::memcpy(dst, data.indices.data(), data.indices.size() * sizeof(DWORD));
            ib->Unlock();
        }
    }
    if (FAILED(hr)) {
        vb->Release();
        ib->Release();
        return hr;
    }
    *mesh = new MeshObject(device, options, data.fvf, DWORD(numVertices), DWORD(numFaces), vb, ib,
                           std::move(data.attributes), std::move(subsets));
    return S_OK;
}

HRESULT CreateBufferObject(const std::vector<BYTE>& bytes, ID3DXBuffer** buffer) {
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = new BufferObject(bytes);
    return S_OK;
}

std::vector<DWORD> ComputeAdjacency(const std::vector<DWORD>& indices) {
    size_t faces = indices.size() / 3;
    std::vector<DWORD> adjacency(faces * 3, 0xFFFFFFFFu);
    // Directed edge a->b of one face meets b->a of its neighbour.
    std::unordered_multimap<unsigned long long, DWORD> edges;
    edges.reserve(faces * 3);
    auto key = [](DWORD a, DWORD b) { return (static_cast<unsigned long long>(a) << 32) | b; };
    for (size_t f = 0; f < faces; ++f)
        for (int c = 0; c < 3; ++c)
            edges.emplace(key(indices[f * 3 + c], indices[f * 3 + (c + 1) % 3]), DWORD(f * 3 + c));
    for (size_t f = 0; f < faces; ++f) {
        for (int c = 0; c < 3; ++c) {
            DWORD a = indices[f * 3 + c], b = indices[f * 3 + (c + 1) % 3];
            auto range = edges.equal_range(key(b, a));
            for (auto it = range.first; it != range.second; ++it) {
                DWORD other = it->second / 3;
                if (other != f) {
                    adjacency[f * 3 + c] = other;
                    break;
                }
            }
        }
    }
    return adjacency;
}

HRESULT ReadMeshData(ID3DXMesh* mesh, MeshData* data) {
    if (!mesh || !data) return D3DERR_INVALIDCALL;
    FvfLayout layout = FvfLayout::Of(mesh->GetFVF());
    DWORD numVertices = mesh->GetNumVertices(), numFaces = mesh->GetNumFaces();
    data->fvf = layout.fvf;
    BYTE* bytes = nullptr;
    HRESULT hr = mesh->LockVertexBuffer(D3DLOCK_READONLY, &bytes);
    if (FAILED(hr)) return hr;
    data->vertices.assign(bytes, bytes + size_t(numVertices) * layout.stride);
    mesh->UnlockVertexBuffer();
    if (FAILED(hr = mesh->LockIndexBuffer(D3DLOCK_READONLY, &bytes))) return hr;
    data->indices.resize(size_t(numFaces) * 3);
    std::memcpy(data->indices.data(), bytes, data->indices.size() * sizeof(DWORD));
    mesh->UnlockIndexBuffer();
    DWORD* attributes = nullptr;
    if (FAILED(hr = mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributes))) return hr;
    data->attributes.assign(attributes, attributes + numFaces);
    mesh->UnlockAttributeBuffer();
    return S_OK;
}

HRESULT D3DXComputeNormals(ID3DXMesh* mesh, const DWORD* /*adjacency*/) {
    if (!mesh) return D3DERR_INVALIDCALL;
    FvfLayout layout = FvfLayout::Of(mesh->GetFVF());
    if (layout.normal < 0 || (layout.fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZ) return D3DERR_INVALIDCALL;
    DWORD numVertices = mesh->GetNumVertices(), numFaces = mesh->GetNumFaces();
    std::vector<DWORD> indices(size_t(numFaces) * 3);
    BYTE* bytes = nullptr;
    HRESULT hr = mesh->LockIndexBuffer(D3DLOCK_READONLY, &bytes);
    if (FAILED(hr)) return hr;
    std::memcpy(indices.data(), bytes, indices.size() * sizeof(DWORD));
    mesh->UnlockIndexBuffer();
    if (FAILED(hr = mesh->LockVertexBuffer(0, &bytes))) return hr;

    auto position = [&](DWORD v) {
        float p[3];
        std::memcpy(p, bytes + size_t(v) * layout.stride, sizeof p);
        return D3DXVECTOR3(p[0], p[1], p[2]);
    };
    // The cross product's length is twice the face's area, so larger faces weigh more.
    std::vector<double> sums(size_t(numVertices) * 3, 0.0);
    for (size_t f = 0; f < numFaces; ++f) {
        DWORD i0 = indices[f * 3], i1 = indices[f * 3 + 1], i2 = indices[f * 3 + 2];
        if (i0 >= numVertices || i1 >= numVertices || i2 >= numVertices) continue;
        D3DXVECTOR3 a = position(i0), b = position(i1), c = position(i2);
        double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
        double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
        double n[3] = {uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx};
        for (DWORD v : {i0, i1, i2})
            for (int k = 0; k < 3; ++k) sums[size_t(v) * 3 + k] += n[k];
    }
    for (DWORD v = 0; v < numVertices; ++v) {
        double* s = &sums[size_t(v) * 3];
        double len = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        float n[3] = {0.0f, 0.0f, 0.0f};
        if (len > 0.0)
            for (int k = 0; k < 3; ++k) n[k] = float(s[k] / len);
        std::memcpy(bytes + size_t(v) * layout.stride + layout.normal, n, sizeof n);
    }
    mesh->UnlockVertexBuffer();
    return S_OK;
}
