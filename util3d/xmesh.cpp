// Joining the meshes of an X file into one mesh with one material list.
#include <cmath>
#include <cstring>
#include <iterator>
#include <map>

#include "util3d/file_name.h"
#include "util3d/load_ahead.h"
#include "util3d/mesh.h"
#include "util3d/xfile.h"

namespace {

// Caps on what one file may produce, so that frames referencing each other
// many times over cannot blow a small file up into gigabytes.
constexpr std::size_t kMaxVertices = std::size_t(1) << 21;
constexpr std::size_t kMaxFaces = std::size_t(1) << 21;
constexpr std::size_t kMaxVisits = std::size_t(1) << 20;

// Reads an object's data members in order.
class Members {
public:
    explicit Members(const XObject& o) : o_(o) {}

    bool Dword(std::uint32_t* v) {
        if (pos_ >= o_.values.size()) return false;
        const XValue& x = o_.values[pos_];
        if (x.kind != XValue::Integer || x.number < 0.0 || x.number > 4294967295.0) return false;
        *v = std::uint32_t(x.number);
        ++pos_;
        return true;
    }
    bool Float(float* v) {
        if (pos_ >= o_.values.size()) return false;
        const XValue& x = o_.values[pos_];
        if (x.kind == XValue::String) return false;
        *v = float(x.number);
        ++pos_;
        return true;
    }
    bool Floats(float* v, int n) {
        for (int i = 0; i < n; ++i)
            if (!Float(v + i)) return false;
        return true;
    }
    bool String(std::string* s) {
        if (pos_ >= o_.values.size() || o_.values[pos_].kind != XValue::String) return false;
        *s = o_.strings[o_.values[pos_].text];
        ++pos_;
        return true;
    }
    // Whether `count` items of `width` values each can still follow: checked
    // before anything is allocated for a count read from the file.
    bool Fits(std::uint64_t count, std::uint64_t width) const {
        return count * width <= o_.values.size() - pos_;
    }

private:
    const XObject& o_;
    std::size_t pos_ = 0;
};

struct Matrix {
    double m[4][4];
    static Matrix Identity() {
        Matrix r{};
        for (int i = 0; i < 4; ++i) r.m[i][i] = 1.0;
        return r;
    }
    // a first, then b (row vectors).
    static Matrix Multiply(const Matrix& a, const Matrix& b) {
        Matrix r{};
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
        return r;
    }
};

struct Piece {
    std::vector<float> positions;                  // 3 per vertex, already transformed
    std::vector<std::vector<std::uint32_t>> faces;  // corner vertex indices
    std::vector<float> normals;                    // 3 per normal, already transformed
    std::vector<std::vector<std::uint32_t>> faceNormals;
    std::vector<float> uvs;                        // 2 per vertex
    std::vector<D3DCOLOR> colors;                  // 1 per vertex
    std::vector<std::uint32_t> faceMaterials;      // global material index per face
};

struct Material {
    D3DMATERIAL8 material{};
    bool hasTexture = false;
    std::string texture;
};

Material DefaultMaterial() {
    Material m;
    m.material.Diffuse = D3DCOLORVALUE{0.5f, 0.5f, 0.5f, 0.0f};
    m.material.Specular = D3DCOLORVALUE{0.5f, 0.5f, 0.5f, 0.0f};
    return m;
}

D3DCOLOR ToColor(const float rgba[4]) {
    auto byte = [](float f) {
        if (!(f > 0.0f)) return 0u;
        if (f >= 1.0f) return 255u;
        return unsigned(f * 255.0f + 0.5f);
    };
    return D3DCOLOR_ARGB(byte(rgba[3]), byte(rgba[0]), byte(rgba[1]), byte(rgba[2]));
}

class Joiner {
public:
    explicit Joiner(const XFile& file) : file_(file) {}

    bool Run(std::string* error) {
        for (std::size_t i = 0; i < file_.topLevel.size(); ++i) {
            std::size_t index = file_.topLevel[i];
            // A top-level definition that a frame (or a top-level reference)
            // places is drawn there, not once more on its own. Animations name
            // the frames they move without placing them.
            if (!file_.topLevelIsReference[i] && file_.objects[index].placed) continue;
            if (!Visit(index, Matrix::Identity(), 0)) {
                *error = error_;
                return false;
            }
        }
        if (pieces_.empty()) {
            std::size_t meshes = 0;
            for (const XObject& o : file_.objects) meshes += o.type == "Mesh";
            *error = meshes == 0   ? "the file holds no mesh"
                     : meshes == 1 ? "the file's one mesh stands neither at the top level nor in a frame"
                                   : "none of the file's " + std::to_string(meshes) +
                                         " meshes stands at the top level or in a frame";
            return false;
        }
        return true;
    }

    std::vector<Piece> pieces_;
    std::vector<Material> materials_;

private:
    bool Fail(std::string message) {
        error_ = std::move(message);
        return false;
    }
    bool Fail(const XObject& o, const std::string& message) { return Fail(Label(o) + ": " + message); }

    // "Mesh Body", or "Mesh 3" for the third mesh read when it has no name.
    std::string Label(const XObject& o) const {
        std::string name = o.name.empty() && o.type == "Mesh" ? std::to_string(meshesRead_) : XShownName(o.name);
        return XShownName(o.type) + (name.empty() ? "" : " " + name);
    }

    // A reference the geometry needs must name an object defined before it.
    bool CheckResolved(const XObject& o) {
        if (o.unresolved.empty()) return true;
        const std::string& name = o.unresolved.front();
        bool later = false;
        for (const XObject& other : file_.objects) later |= other.name == name || other.guid == name;
        return Fail(o, "reference to " + XShownName(name) +
                           (later ? ", which is defined only after the reference"
                                  : ", which the file does not define"));
    }

    const XObject* Child(const XObject& o, const char* type) const {
        for (std::size_t c : o.children)
            if (file_.objects[c].type == type) return &file_.objects[c];
        return nullptr;
    }

    bool Visit(std::size_t index, const Matrix& parent, std::size_t depth) {
        if (++visits_ > kMaxVisits)
            return Fail("the frames place meshes more than " + std::to_string(kMaxVisits) + " times");
        if (depth > kXMaxNesting) return Fail("frames placed more than " + std::to_string(kXMaxNesting) + " deep");
        const XObject& o = file_.objects[index];
        if (o.type == "Mesh") return ReadMesh(o, parent);
        if (o.type != "Frame") return true;
        if (!CheckResolved(o)) return false;
        Matrix world = parent;
        if (const XObject* t = Child(o, "FrameTransformMatrix")) {
            Members m(*t);
            float v[16];
            if (!m.Floats(v, 16)) return Fail(o, "its FrameTransformMatrix holds fewer than 16 numbers");
            Matrix local{};
            for (int i = 0; i < 16; ++i) local.m[i / 4][i % 4] = v[i];
            world = Matrix::Multiply(local, parent);
        }
        for (std::size_t c : o.children)
            if (!Visit(c, world, depth + 1)) return false;
        return true;
    }

    // Reads a face list; false with the reason in *why.
    static bool ReadFaces(Members& m, std::uint32_t limit, std::vector<std::vector<std::uint32_t>>* faces,
                          const char* indexName, std::string* why) {
        std::uint32_t count = 0;
        if (!m.Dword(&count) || !m.Fits(count, 1)) {
            *why = "its face count is missing or exceeds its data";
            return false;
        }
        faces->resize(count);
        for (std::size_t f = 0; f < faces->size(); ++f) {
            auto& face = (*faces)[f];
            std::uint32_t n = 0;
            if (!m.Dword(&n) || !m.Fits(n, 1)) {
                *why = "face " + std::to_string(f) + ": its corner count is missing or exceeds its data";
                return false;
            }
            face.resize(n);
            for (std::uint32_t& i : face) {
                if (!m.Dword(&i)) {
                    *why = "face " + std::to_string(f) + ": a corner is no " + indexName;
                    return false;
                }
                if (i >= limit) {
                    *why = "face " + std::to_string(f) + ": " + indexName + " " + std::to_string(i) +
                           " is beyond the " + std::to_string(limit) + " there are";
                    return false;
                }
            }
        }
        return true;
    }

    bool ReadMesh(const XObject& o, const Matrix& world) {
        ++meshesRead_;
        if (!CheckResolved(o)) return false;
        Piece p;
        Members m(o);
        std::uint32_t vertexCount = 0;
        if (!m.Dword(&vertexCount) || !m.Fits(vertexCount, 3))
            return Fail(o, "its vertex count is missing or exceeds its data");
        if (totalVertices_ + vertexCount > kMaxVertices)
            return Fail(o, "the file's meshes hold more than " + std::to_string(kMaxVertices) + " vertices");
        p.positions.resize(std::size_t(vertexCount) * 3);
        for (std::uint32_t v = 0; v < vertexCount; ++v) {
            float q[3];
            if (!m.Floats(q, 3)) return Fail(o, "vertex " + std::to_string(v) + " is not three numbers");
            for (int k = 0; k < 3; ++k)
                p.positions[v * 3 + k] = float(q[0] * world.m[0][k] + q[1] * world.m[1][k] + q[2] * world.m[2][k] +
                                               world.m[3][k]);
        }
        std::string why;
        if (!ReadFaces(m, vertexCount, &p.faces, "vertex index", &why)) return Fail(o, why);
        std::uint64_t triangles = 0;
        for (const auto& f : p.faces) triangles += f.size() >= 3 ? f.size() - 2 : 0;
        if (totalFaces_ + triangles > kMaxFaces)
            return Fail(o, "the file's meshes hold more than " + std::to_string(kMaxFaces) + " triangles");

        if (const XObject* n = Child(o, "MeshNormals")) ReadNormals(*n, world, &p);
        if (const XObject* t = Child(o, "MeshTextureCoords")) {
            Members tm(*t);
            std::uint32_t count = 0;
            if (!tm.Dword(&count) || !tm.Fits(count, 2) || count < vertexCount)
                return Fail(o, "its MeshTextureCoords do not cover its " + std::to_string(vertexCount) + " vertices");
            p.uvs.resize(std::size_t(vertexCount) * 2);
            if (!tm.Floats(p.uvs.data(), int(p.uvs.size())))
                return Fail(o, "its MeshTextureCoords hold something other than numbers");
        }
        if (const XObject* c = Child(o, "MeshVertexColors")) {
            Members cm(*c);
            std::uint32_t count = 0;
            if (!cm.Dword(&count) || !cm.Fits(count, 5))
                return Fail(o, "its MeshVertexColors count is missing or exceeds its data");
            p.colors.assign(vertexCount, 0xFFFFFFFFu);
            for (std::uint32_t i = 0; i < count; ++i) {
                std::uint32_t index = 0;
                float rgba[4];
                if (!cm.Dword(&index) || !cm.Floats(rgba, 4))
                    return Fail(o, "its MeshVertexColors entry " + std::to_string(i) + " is no index and colour");
                if (index >= vertexCount)
                    return Fail(o, "its MeshVertexColors name vertex " + std::to_string(index) + " of " +
                                       std::to_string(vertexCount));
                p.colors[index] = ToColor(rgba);
            }
        }
        if (!ReadMaterials(o, &p)) return false;
        totalVertices_ += vertexCount;
        totalFaces_ += triangles;
        pieces_.push_back(std::move(p));
        return true;
    }

    // Normals that do not fit the mesh are dropped: the game computes its own
    // normals after loading anyway, so the mesh is worth more than they are.
    void ReadNormals(const XObject& o, const Matrix& world, Piece* p) {
        if (!ReadNormalsChecked(o, world, p)) {
            p->normals.clear();
            p->faceNormals.clear();
        }
    }

    bool ReadNormalsChecked(const XObject& o, const Matrix& world, Piece* p) {
        if (!o.unresolved.empty()) return false;
        Members m(o);
        std::uint32_t count = 0;
        if (!m.Dword(&count) || !m.Fits(count, 3)) return false;
        // Normals follow the inverse transpose of the frame's 3 x 3 part.
        const double(*a)[4] = world.m;
        double cof[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
                cof[i][j] = a[i1][j1] * a[i2][j2] - a[i1][j2] * a[i2][j1];
            }
        p->normals.resize(std::size_t(count) * 3);
        for (std::uint32_t i = 0; i < count; ++i) {
            float n[3];
            if (!m.Floats(n, 3)) return false;
            double r[3];
            for (int k = 0; k < 3; ++k) r[k] = n[0] * cof[0][k] + n[1] * cof[1][k] + n[2] * cof[2][k];
            double len = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
            for (int k = 0; k < 3; ++k) p->normals[i * 3 + k] = len > 0.0 ? float(r[k] / len) : 0.0f;
        }
        std::string why;
        if (!ReadFaces(m, count, &p->faceNormals, "normal index", &why)) return false;
        if (p->faceNormals.size() != p->faces.size()) return false;
        for (std::size_t f = 0; f < p->faces.size(); ++f)
            if (p->faceNormals[f].size() != p->faces[f].size()) return false;
        return true;
    }

    bool ReadMaterial(const XObject& o, Material* out) {
        if (!CheckResolved(o)) return false;
        Members m(o);
        float face[4], power, specular[3], emissive[3];
        if (!m.Floats(face, 4) || !m.Float(&power) || !m.Floats(specular, 3) || !m.Floats(emissive, 3))
            return Fail(o, "fewer than its 11 colour and power numbers");
        D3DMATERIAL8& d = out->material;
        d = D3DMATERIAL8{};
        d.Diffuse = D3DCOLORVALUE{face[0], face[1], face[2], face[3]};
        d.Specular = D3DCOLORVALUE{specular[0], specular[1], specular[2], 0.0f};
        d.Emissive = D3DCOLORVALUE{emissive[0], emissive[1], emissive[2], 0.0f};
        d.Power = power;
        const XObject* t = Child(o, "TextureFilename");
        if (!t) t = Child(o, "TextureFileName");
        if (t) {
            Members tm(*t);
            std::string name;
            if (!tm.String(&name)) return Fail(o, "its TextureFilename holds no string");
            out->hasTexture = !name.empty();
            out->texture = name;
        }
        return true;
    }

    bool ReadMaterials(const XObject& mesh, Piece* p) {
        const XObject* list = Child(mesh, "MeshMaterialList");
        std::uint32_t faceCount = std::uint32_t(p->faces.size());
        if (!list) {
            p->faceMaterials.assign(faceCount, SharedDefault());
            return true;
        }
        if (!list->unresolved.empty()) {
            CheckResolved(*list);
            return Fail(Label(mesh) + ": " + error_);
        }
        Members m(*list);
        std::uint32_t count = 0, indexCount = 0;
        if (!m.Dword(&count) || !m.Dword(&indexCount) || !m.Fits(indexCount, 1))
            return Fail(mesh, "its MeshMaterialList's index count is missing or exceeds its data");
        std::vector<const XObject*> found;
        for (std::size_t c : list->children)
            if (file_.objects[c].type == "Material") found.push_back(&file_.objects[c]);
        if (found.size() < count)
            return Fail(mesh, "its MeshMaterialList counts " + std::to_string(count) + " materials but holds " +
                                  std::to_string(found.size()));
        std::uint32_t first = std::uint32_t(materials_.size());
        for (std::uint32_t i = 0; i < count; ++i) {
            Material material;
            if (!ReadMaterial(*found[i], &material)) return Fail(Label(mesh) + ": " + error_);
            materials_.push_back(std::move(material));
        }
        if (count == 0) {
            p->faceMaterials.assign(faceCount, SharedDefault());
            return true;
        }
        // Fewer indices than faces: the last index goes on for the rest.
        p->faceMaterials.resize(faceCount);
        std::uint32_t last = 0;
        for (std::uint32_t f = 0; f < std::max(faceCount, indexCount); ++f) {
            std::uint32_t id = last;
            if (f < indexCount && !m.Dword(&id))
                return Fail(mesh, "its MeshMaterialList's index " + std::to_string(f) + " is no number");
            if (id >= count)
                return Fail(mesh, "its MeshMaterialList gives face " + std::to_string(f) + " material " +
                                      std::to_string(id) + " of " + std::to_string(count));
            if (f < faceCount) p->faceMaterials[f] = first + id;
            last = id;
        }
        return true;
    }

    std::uint32_t SharedDefault() {
        if (defaultIndex_ < 0) {
            defaultIndex_ = int(materials_.size());
            materials_.push_back(DefaultMaterial());
        }
        return std::uint32_t(defaultIndex_);
    }

    const XFile& file_;
    std::string error_;
    std::size_t visits_ = 0;
    std::size_t meshesRead_ = 0;
    std::uint64_t totalVertices_ = 0, totalFaces_ = 0;
    int defaultIndex_ = -1;
};

MeshData BuildMeshData(const std::vector<Piece>& pieces) {
    bool normals = false, colors = false, uvs = false;
    for (const Piece& p : pieces) {
        normals |= !p.normals.empty();
        colors |= !p.colors.empty();
        uvs |= !p.uvs.empty();
    }
    MeshData data;
    data.fvf = DWORD(D3DFVF_XYZ) | (normals ? DWORD(D3DFVF_NORMAL) : 0u) | (colors ? DWORD(D3DFVF_DIFFUSE) : 0u) |
               (uvs ? DWORD(D3DFVF_TEX1) : 0u);
    FvfLayout layout = FvfLayout::Of(data.fvf);
    for (const Piece& p : pieces) {
        std::size_t base = data.vertices.size() / layout.stride;
        std::size_t count = p.positions.size() / 3;
        auto append = [&](std::uint32_t v, const float* normal) {
            std::size_t at = data.vertices.size();
            data.vertices.resize(at + layout.stride, 0);
            BYTE* d = &data.vertices[at];
            std::memcpy(d, &p.positions[std::size_t(v) * 3], 12);
            if (layout.normal >= 0 && normal) std::memcpy(d + layout.normal, normal, 12);
            if (layout.diffuse >= 0) {
                D3DCOLOR c = p.colors.empty() ? 0xFFFFFFFFu : p.colors[v];
                std::memcpy(d + layout.diffuse, &c, 4);
            }
            if (layout.tex >= 0 && !p.uvs.empty()) std::memcpy(d + layout.tex, &p.uvs[std::size_t(v) * 2], 8);
        };
        for (std::uint32_t v = 0; v < count; ++v) append(v, nullptr);
        // With normals given per face corner, a vertex used with several
        // normals is split: its first use keeps the vertex, later uses with
        // another normal get a copy of their own.
        std::vector<std::int64_t> normalOf(count, -1);
        std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> copies;
        for (std::size_t f = 0; f < p.faces.size(); ++f) {
            const auto& face = p.faces[f];
            std::vector<std::uint32_t> ids(face.size());
            for (std::size_t c = 0; c < face.size(); ++c) {
                std::uint32_t v = face[c];
                std::uint32_t id = std::uint32_t(base + v);
                if (!p.normals.empty()) {
                    std::uint32_t n = p.faceNormals[f][c];
                    const float* normal = &p.normals[std::size_t(n) * 3];
                    if (normalOf[v] < 0) {
                        normalOf[v] = n;
                        std::memcpy(&data.vertices[(base + v) * layout.stride + layout.normal], normal, 12);
                    } else if (normalOf[v] != n) {
                        auto it = copies.find({v, n});
                        if (it == copies.end()) {
                            it = copies.emplace(std::make_pair(v, n),
                                                std::uint32_t(data.vertices.size() / layout.stride)).first;
                            append(v, normal);
                        }
                        id = it->second;
                    }
                }
                ids[c] = id;
            }
            // Polygons become fans, in the winding the file gives.
            for (std::size_t c = 2; c < ids.size(); ++c) {
                data.indices.insert(data.indices.end(), {ids[0], ids[c - 1], ids[c]});
                data.attributes.push_back(p.faceMaterials[f]);
            }
        }
    }
    return data;
}

std::vector<BYTE> MaterialListBytes(const std::vector<Material>& materials) {
    std::size_t size = materials.size() * sizeof(D3DXMATERIAL);
    for (const Material& m : materials)
        if (m.hasTexture) size += m.texture.size() + 1;
    return std::vector<BYTE>(size, 0);
}

void FillMaterialList(const std::vector<Material>& materials, BYTE* bytes) {
    auto* entries = reinterpret_cast<D3DXMATERIAL*>(bytes);
    char* names = reinterpret_cast<char*>(bytes + materials.size() * sizeof(D3DXMATERIAL));
    for (std::size_t i = 0; i < materials.size(); ++i) {
        entries[i].MatD3D = materials[i].material;
        entries[i].pTextureFilename = nullptr;
        if (materials[i].hasTexture) {
            std::memcpy(names, materials[i].texture.c_str(), materials[i].texture.size() + 1);
            entries[i].pTextureFilename = names;
            names += materials[i].texture.size() + 1;
        }
    }
}

// Every result slot empty, as a failed load leaves them; false (with the
// reason) when there is no device or no slot for the mesh.
bool StartLoad(IDirect3DDevice8* device, ID3DXBuffer** adjacency, ID3DXBuffer** materials, DWORD* materialCount,
               ID3DXMesh** mesh, std::string* error) {
    if (adjacency) *adjacency = nullptr;
    if (materials) *materials = nullptr;
    if (materialCount) *materialCount = 0;
    if (mesh) *mesh = nullptr;
    if (mesh && device) return true;
    *error = "no device or result slot";
    return false;
}

}  // namespace

HRESULT LoadMeshFromXMemory(const std::uint8_t* data, std::size_t size, DWORD options, IDirect3DDevice8* device,
                            ID3DXBuffer** adjacency, ID3DXBuffer** materials, DWORD* materialCount,
                            ID3DXMesh** mesh, std::string* error) {
    std::string ignored;
    if (!error) error = &ignored;
    if (!StartLoad(device, adjacency, materials, materialCount, mesh, error)) return D3DERR_INVALIDCALL;
    XFile file;
    if (!ParseXFile(data, size, &file, error)) return E_FAIL;
    return LoadMeshFromParsedX(file, options, device, adjacency, materials, materialCount, mesh, error);
}

HRESULT LoadMeshFromParsedX(const XFile& file, DWORD options, IDirect3DDevice8* device, ID3DXBuffer** adjacency,
                            ID3DXBuffer** materials, DWORD* materialCount, ID3DXMesh** mesh, std::string* error) {
    std::string ignored;
    if (!error) error = &ignored;
    if (!StartLoad(device, adjacency, materials, materialCount, mesh, error)) return D3DERR_INVALIDCALL;
    Joiner joiner(file);
    if (!joiner.Run(error)) return E_FAIL;
    MeshData meshData = BuildMeshData(joiner.pieces_);
    if (meshData.attributes.empty()) {
        *error = "the file's meshes have no faces";
        return E_FAIL;
    }
    ID3DXMesh* made = nullptr;
    HRESULT hr = CreateMeshObject(device, options, std::move(meshData), &made);
    if (FAILED(hr)) {
        *error = "the mesh could not be created";
        return hr == D3DERR_INVALIDCALL ? E_FAIL : hr;
    }
    ID3DXBuffer* list = nullptr;
    ID3DXBuffer* adjacent = nullptr;
    if (materials) {
        CreateBufferObject(MaterialListBytes(joiner.materials_), &list);
        FillMaterialList(joiner.materials_, static_cast<BYTE*>(list->GetBufferPointer()));
    }
    if (adjacency) {
        MeshData sorted;
        ReadMeshData(made, &sorted);
        std::vector<DWORD> adj = ComputeAdjacency(sorted.indices);
        std::vector<BYTE> bytes(adj.size() * sizeof(DWORD));
        std::memcpy(bytes.data(), adj.data(), bytes.size());
        CreateBufferObject(bytes, &adjacent);
    }
    *mesh = made;
    if (materials) *materials = list;
    if (materialCount) *materialCount = DWORD(joiner.materials_.size());
    if (adjacency) *adjacency = adjacent;
    return S_OK;
}

HRESULT D3DXLoadMeshFromX(const char* fileName, DWORD options, IDirect3DDevice8* device, ID3DXBuffer** adjacency,
                          ID3DXBuffer** materials, DWORD* materialCount, ID3DXMesh** mesh) {
    std::string error;
    if (!StartLoad(device, adjacency, materials, materialCount, mesh, &error) || !fileName) return D3DERR_INVALIDCALL;
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(fileName, &bytes)) return E_FAIL;
    XFile ahead;
    if (TakeXFileMadeAhead(fileName, bytes, &ahead))
        return LoadMeshFromParsedX(ahead, options, device, adjacency, materials, materialCount, mesh, nullptr);
    return LoadMeshFromXMemory(bytes.data(), bytes.size(), options, device, adjacency, materials, materialCount,
                               mesh);
}
