// Extruded 3D text from the outlines of the font selected into a GDI context.
//
// Scale and orientation: one unit per em of the font. The outline lies in the
// x-y plane with x to the right and y up, the pen starting at the origin on the
// baseline; the front face lies at z = 0 facing -z and the extrusion goes to
// +z. Seen from -z (a camera looking along +z, as Direct3D's cameras usually
// do) the text reads left to right. The title and the credits are drawn with a
// placement matrix that negates x and z, which turns the text half round about
// the vertical axis: it then faces +z and reads correctly for the title camera
// where its circle crosses the +z side of the course (and for the ending camera
// likewise), its letters standing on the course at world height 0 to about 7.
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <unordered_map>

#include "platform/port/tessellate.h"
#include "util3d/d3dx.h"
#include "util3d/mesh.h"

namespace {

constexpr double kSmoothAngleCos = 0.866;  // side walls stay smooth across bends under 30 degrees
constexpr int kMaxCurvePieces = 512;
constexpr double kDesignUnit = 1.0 / 2048.0;  // deviation 0 stands for about one font design unit

void DebugLine(const char* line) { std::fputs(line, stderr); }

struct Point2 {
    double x, y;
    bool operator<(const Point2& o) const { return x < o.x || (x == o.x && y < o.y); }
    bool operator==(const Point2& o) const { return x == o.x && y == o.y; }
};

double Length(double x, double y) { return std::sqrt(x * x + y * y); }

int CurvePieces(const GlyphSegment& s, const GlyphPoint& start, double deviation) {
    // A piece of parameter length 1/n strays from its chord by at most
    // max|B''| / (8 n^2); solve for the smallest n within the deviation.
    double bound;
    if (s.kind == GlyphSegment::Quadratic) {
        double dx = start.x - 2 * s.points[0].x + s.points[1].x, dy = start.y - 2 * s.points[0].y + s.points[1].y;
        bound = Length(dx, dy) / 4.0;
    } else {
        double d1 = Length(start.x - 2 * s.points[0].x + s.points[1].x, start.y - 2 * s.points[0].y + s.points[1].y);
        double d2 = Length(s.points[0].x - 2 * s.points[1].x + s.points[2].x,
                           s.points[0].y - 2 * s.points[1].y + s.points[2].y);
        bound = 0.75 * std::max(d1, d2);
    }
    double n = std::ceil(std::sqrt(bound / deviation));
    if (!(n >= 1.0)) return 1;
    return n > kMaxCurvePieces ? kMaxCurvePieces : int(n);
}

GlyphPoint CurvePoint(const GlyphSegment& s, const GlyphPoint& a, double t) {
    double u = 1.0 - t;
    if (s.kind == GlyphSegment::Quadratic) {
        const GlyphPoint &c = s.points[0], &b = s.points[1];
        return GlyphPoint{u * u * a.x + 2 * u * t * c.x + t * t * b.x, u * u * a.y + 2 * u * t * c.y + t * t * b.y};
    }
    const GlyphPoint &c1 = s.points[0], &c2 = s.points[1], &b = s.points[2];
    return GlyphPoint{u * u * u * a.x + 3 * u * u * t * c1.x + 3 * u * t * t * c2.x + t * t * t * b.x,
                      u * u * u * a.y + 3 * u * u * t * c1.y + 3 * u * t * t * c2.y + t * t * t * b.y};
}

// The contour as a closed polygon, shifted by the pen position.
std::vector<TessPoint> Flatten(const GlyphContour& contour, double pen, double deviation) {
    std::vector<TessPoint> points;
    auto add = [&](const GlyphPoint& p) {
        TessPoint q{p.x + pen, p.y};
        if (points.empty() || points.back().x != q.x || points.back().y != q.y) points.push_back(q);
    };
    add(contour.start);
    GlyphPoint at = contour.start;
    for (const GlyphSegment& s : contour.segments) {
        if (s.kind != GlyphSegment::Line) {
            int n = CurvePieces(s, at, deviation);
            for (int i = 1; i < n; ++i) add(CurvePoint(s, at, double(i) / n));
        }
        add(s.End());
        at = s.End();
    }
    while (points.size() > 1 && points.back().x == points.front().x && points.back().y == points.front().y)
        points.pop_back();
    if (points.size() < 3) points.clear();
    return points;
}

struct Vertex {
    float position[3];
    float normal[3];
};

struct TextBuilder {
    std::vector<Vertex> vertices;
    std::vector<DWORD> indices;
    float depth = 0.0f;

    DWORD Add(double x, double y, double z, double nx, double ny, double nz) {
        vertices.push_back(Vertex{{float(x), float(y), float(z)}, {float(nx), float(ny), float(nz)}});
        return DWORD(vertices.size() - 1);
    }

    // One glyph's polygons: front and back faces and the walls between them.
    bool AddGlyph(const std::vector<std::vector<TessPoint>>& contours) {
        std::vector<TessPoint> points;
        std::vector<std::uint32_t> triangles;
        if (!TessellateContours(contours, &points, &triangles)) return false;
        // Points at the same place become one, so that edges can be matched.
        std::map<Point2, std::uint32_t> canonical;
        std::vector<std::uint32_t> index(points.size());
        std::vector<Point2> unique;
        for (std::size_t i = 0; i < points.size(); ++i) {
            auto [it, added] = canonical.emplace(Point2{points[i].x, points[i].y}, std::uint32_t(unique.size()));
            if (added) unique.push_back(it->first);
            index[i] = it->second;
        }
        std::vector<std::array<std::uint32_t, 3>> faces;
        double area = 0.0;
        for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
            std::array<std::uint32_t, 3> f{index[triangles[t]], index[triangles[t + 1]], index[triangles[t + 2]]};
            if (f[0] == f[1] || f[1] == f[2] || f[0] == f[2]) continue;
            const Point2 &a = unique[f[0]], &b = unique[f[1]], &c = unique[f[2]];
            area += (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
            faces.push_back(f);
        }
        if (faces.empty()) return true;
        // Front faces turn clockwise in x-y (y up), which is clockwise seen
        // from -z: Direct3D's front faces.
        if (area > 0.0)
            for (auto& f : faces) std::swap(f[1], f[2]);

        DWORD front = DWORD(vertices.size());
        for (const Point2& p : unique) Add(p.x, p.y, 0.0, 0.0, 0.0, -1.0);
        DWORD back = DWORD(vertices.size());
        for (const Point2& p : unique) Add(p.x, p.y, depth, 0.0, 0.0, 1.0);
        for (const auto& f : faces) {
            indices.insert(indices.end(), {front + f[0], front + f[1], front + f[2]});
            indices.insert(indices.end(), {back + f[0], back + f[2], back + f[1]});
        }

        // Edges that only one face uses are the outline; the filled side of a
        // clockwise face lies to the right of its edges, so outward is left.
        std::map<std::pair<std::uint32_t, std::uint32_t>, int> uses;
        for (const auto& f : faces)
            for (int c = 0; c < 3; ++c) {
                std::uint32_t a = f[c], b = f[(c + 1) % 3];
                ++uses[{std::min(a, b), std::max(a, b)}];
            }
        struct Edge {
            std::uint32_t a, b;
            double nx, ny;
        };
        std::vector<Edge> edges;
        std::unordered_map<std::uint32_t, std::size_t> startingAt, endingAt;
        for (const auto& f : faces)
            for (int c = 0; c < 3; ++c) {
                std::uint32_t a = f[c], b = f[(c + 1) % 3];
                if (uses[{std::min(a, b), std::max(a, b)}] != 1) continue;
                double dx = unique[b].x - unique[a].x, dy = unique[b].y - unique[a].y;
                double len = Length(dx, dy);
                startingAt[a] = edges.size();
                endingAt[b] = edges.size();
                edges.push_back(Edge{a, b, -dy / len, dx / len});
            }
        // Each wall has vertices of its own; at a gentle bend its normals lean
        // towards the neighbouring wall so curves look round, at a corner they
        // stay flat so the letters keep their edges.
        auto normalAt = [&](const Edge& e, const std::unordered_map<std::uint32_t, std::size_t>& neighbours,
                            std::uint32_t vertex, double* nx, double* ny) {
            *nx = e.nx;
            *ny = e.ny;
            auto it = neighbours.find(vertex);
            if (it == neighbours.end()) return;
            const Edge& o = edges[it->second];
            if (e.nx * o.nx + e.ny * o.ny < kSmoothAngleCos) return;
            double sx = e.nx + o.nx, sy = e.ny + o.ny, len = Length(sx, sy);
            if (len > 0.0) {
                *nx = sx / len;
                *ny = sy / len;
            }
        };
        for (const Edge& e : edges) {
            double anx, any, bnx, bny;
            normalAt(e, endingAt, e.a, &anx, &any);
            normalAt(e, startingAt, e.b, &bnx, &bny);
            const Point2 &a = unique[e.a], &b = unique[e.b];
            DWORD a0 = Add(a.x, a.y, 0.0, anx, any, 0.0), a1 = Add(a.x, a.y, depth, anx, any, 0.0);
            DWORD b0 = Add(b.x, b.y, 0.0, bnx, bny, 0.0), b1 = Add(b.x, b.y, depth, bnx, bny, 0.0);
            indices.insert(indices.end(), {a0, a1, b0, b0, a1, b1});
        }
        return true;
    }
};

}  // namespace

HRESULT D3DXCreateTextMeshA(IDirect3DDevice8* device, HDC dc, const char* text, float deviation, float extrusion,
                            ID3DXMesh** mesh, ID3DXBuffer** adjacency, void* glyphMetrics) {
    if (mesh) *mesh = nullptr;
    if (adjacency) *adjacency = nullptr;
    if (!device || !dc || !mesh) return D3DERR_INVALIDCALL;
    if (!text || !*text) {
        DebugLine("CreateTextMesh: No text specified\n");
        return D3DERR_INVALIDCALL;
    }
    if (!(deviation >= 0.0f) || std::isinf(deviation)) {
        DebugLine("CreateTextMesh: Invalid deviation parameter\n");
        return D3DERR_INVALIDCALL;
    }
    if (!(extrusion >= 0.0f) || std::isinf(extrusion)) {
        DebugLine("CreateTextMesh: Invalid extrusion parameter\n");
        return D3DERR_INVALIDCALL;
    }
    double chord = deviation > 0.0f ? deviation : kDesignUnit;
    auto* metrics = static_cast<GLYPHMETRICSFLOAT*>(glyphMetrics);

    TextBuilder builder;
    builder.depth = extrusion;
    double pen = 0.0;
    std::size_t length = std::strlen(text);
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (i > 0) pen += GetKerningEm(dc, static_cast<unsigned char>(text[i - 1]), c);
        GlyphOutline outline;
        if (!GetGlyphOutlineEm(dc, c, &outline)) {
            DebugLine("CreateTextMesh: GetGlyphOutline failed\n");
            return E_FAIL;
        }
        std::vector<std::vector<TessPoint>> contours;
        double minX = 0, minY = 0, maxX = 0, maxY = 0;
        bool any = false;
        for (const GlyphContour& contour : outline.contours) {
            std::vector<TessPoint> points = Flatten(contour, pen, chord);
            if (points.empty()) continue;
            for (const TessPoint& p : points) {
                if (!any) {
                    minX = maxX = p.x;
                    minY = maxY = p.y;
                    any = true;
                }
                minX = std::min(minX, p.x);
                maxX = std::max(maxX, p.x);
                minY = std::min(minY, p.y);
                maxY = std::max(maxY, p.y);
            }
            contours.push_back(std::move(points));
        }
        if (!contours.empty() && !builder.AddGlyph(contours)) {
            DebugLine("CreateTextMesh: GetGlyphOutline failed\n");
            return E_FAIL;
        }
        if (metrics) {
            GLYPHMETRICSFLOAT& m = metrics[i];
            m.gmfBlackBoxX = float(maxX - minX);
            m.gmfBlackBoxY = float(maxY - minY);
            m.gmfptGlyphOrigin = POINTFLOAT{float(any ? minX - pen : 0.0), float(maxY)};
            m.gmfCellIncX = float(outline.advance);
            m.gmfCellIncY = 0.0f;
        }
        pen += outline.advance;
    }
    if (builder.indices.empty()) {
        DebugLine("CreateTextMesh: Text has no visible glyphs\n");
        return E_FAIL;
    }

    MeshData data;
    data.fvf = D3DFVF_XYZ | D3DFVF_NORMAL;
    data.vertices.resize(builder.vertices.size() * sizeof(Vertex));
    std::memcpy(data.vertices.data(), builder.vertices.data(), data.vertices.size());
    data.attributes.assign(builder.indices.size() / 3, 0);
    data.indices = std::move(builder.indices);
    std::vector<DWORD> adjacent;
    if (adjacency) adjacent = ComputeAdjacency(data.indices);  // all faces are subset 0: the order stays
    HRESULT hr = CreateMeshObject(device, D3DXMESH_MANAGED, std::move(data), mesh);
    if (FAILED(hr)) return hr;
    if (adjacency) {
        std::vector<BYTE> bytes(adjacent.size() * sizeof(DWORD));
        std::memcpy(bytes.data(), adjacent.data(), bytes.size());
        CreateBufferObject(bytes, adjacency);
    }
    return S_OK;
}
