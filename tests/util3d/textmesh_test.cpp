#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>

#include "tests/util3d/util3d_fixture.h"

namespace {

using namespace util3d_test;

struct Vec3 {
    double x, y, z;
};
Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

struct TextMesh {
    std::vector<Vec3> positions, normals;
    std::vector<std::array<DWORD, 3>> faces;
    DWORD fvf = 0;
};

// The font of the title and credits: a LOGFONT all zero but for height 1,
// strike-out 10 and the face name.
class TextMeshTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        dc = CreateCompatibleDC(nullptr);
        LOGFONTA lf;
        std::memset(&lf, 0, sizeof lf);
        lf.lfHeight = 1;
        lf.lfStrikeOut = 10;
        std::strcpy(lf.lfFaceName, "Arial");
        font = CreateFontIndirectA(&lf);
        ASSERT_NE(font, nullptr);
        previous = SelectObject(dc, font);
    }
    void TearDown() override {
        SelectObject(dc, previous);
        DeleteObject(font);
        DeleteDC(dc);
        DeviceTest::TearDown();
    }

    TextMesh Make(const char* text, float deviation = 0.001f, float extrusion = 0.4f) {
        TextMesh out;
        ID3DXMesh* mesh = nullptr;
        HRESULT hr = D3DXCreateTextMeshA(device, dc, text, deviation, extrusion, &mesh, nullptr, nullptr);
        EXPECT_EQ(hr, S_OK) << text;
        if (!mesh) return out;
        MeshData data;
        ReadMeshData(mesh, &data);
        out.fvf = mesh->GetFVF();
        mesh->Release();
        for (std::size_t v = 0; v < VertexCount(data); ++v) {
            VertexView view = VertexAt(data, v);
            out.positions.push_back({view.pos[0], view.pos[1], view.pos[2]});
            out.normals.push_back({view.normal[0], view.normal[1], view.normal[2]});
        }
        for (std::size_t f = 0; f < data.attributes.size(); ++f)
            out.faces.push_back({data.indices[f * 3], data.indices[f * 3 + 1], data.indices[f * 3 + 2]});
        return out;
    }

    HDC dc = nullptr;
    HFONT font = nullptr;
    HGDIOBJ previous = nullptr;
};

// Front faces: at z = 0 with the normal (0, 0, -1).
bool IsFront(const TextMesh& m, const std::array<DWORD, 3>& f) {
    for (DWORD v : f)
        if (m.positions[v].z != 0.0 || m.normals[v].z != -1.0) return false;
    return true;
}

bool Covered(const TextMesh& m, double x, double y) {
    for (const auto& f : m.faces) {
        if (!IsFront(m, f)) continue;
        const Vec3 &a = m.positions[f[0]], &b = m.positions[f[1]], &c = m.positions[f[2]];
        double d1 = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
        double d2 = (c.x - b.x) * (y - b.y) - (c.y - b.y) * (x - b.x);
        double d3 = (a.x - c.x) * (y - c.y) - (a.y - c.y) * (x - c.x);
        if ((d1 <= 0 && d2 <= 0 && d3 <= 0) || (d1 >= 0 && d2 >= 0 && d3 >= 0)) return true;
    }
    return false;
}

struct Box {
    Vec3 min{1e9, 1e9, 1e9}, max{-1e9, -1e9, -1e9};
};
Box Bounds(const TextMesh& m) {
    Box b;
    for (const Vec3& p : m.positions) {
        b.min = {std::min(b.min.x, p.x), std::min(b.min.y, p.y), std::min(b.min.z, p.z)};
        b.max = {std::max(b.max.x, p.x), std::max(b.max.y, p.y), std::max(b.max.z, p.z)};
    }
    return b;
}

TEST_F(TextMeshTest, MeshesAreClosedWithOutwardNormalsAndClockwiseFronts) {
    for (const char* text : {"Tarvik", "3D", "a", "D", "R", "e", "This was: Tarvik"}) {
        SCOPED_TRACE(text);
        TextMesh m = Make(text);
        ASSERT_FALSE(m.faces.empty());
        EXPECT_EQ(m.fvf, DWORD(D3DFVF_XYZ | D3DFVF_NORMAL));
        // Every edge, by position, belongs to exactly two triangles.
        std::map<std::array<double, 3>, int> ids;
        std::vector<int> id(m.positions.size());
        for (std::size_t v = 0; v < m.positions.size(); ++v)
            id[v] = ids.emplace(std::array<double, 3>{m.positions[v].x, m.positions[v].y, m.positions[v].z},
                                int(ids.size()))
                        .first->second;
        std::map<std::pair<int, int>, int> edges;
        for (const auto& f : m.faces)
            for (int c = 0; c < 3; ++c) {
                int a = id[f[c]], b = id[f[(c + 1) % 3]];
                ++edges[{std::min(a, b), std::max(a, b)}];
            }
        int open = 0;
        for (const auto& [edge, count] : edges) open += count != 2;
        EXPECT_EQ(open, 0) << "edges not shared by exactly two triangles";

        // Outward: the enclosed volume comes out positive, and each triangle's
        // own normal (Direct3D's clockwise front) agrees with its vertex normals.
        double volume = 0.0;
        int disagreeing = 0;
        for (const auto& f : m.faces) {
            const Vec3 &a = m.positions[f[0]], &b = m.positions[f[1]], &c = m.positions[f[2]];
            Vec3 n = Cross(Sub(b, a), Sub(c, a));
            volume += Dot(a, Cross(b, c)) / 6.0;
            if (std::sqrt(Dot(n, n)) < 1e-9) continue;
            for (DWORD v : f) disagreeing += Dot(n, m.normals[v]) <= 0.0;
        }
        EXPECT_GT(volume, 0.0);
        EXPECT_EQ(disagreeing, 0);
    }
}

TEST_F(TextMeshTest, HolesStayOpen) {
    for (char letter : {'D', 'R', 'a', 'e', 'o'}) {
        SCOPED_TRACE(std::string(1, letter));
        GlyphOutline outline;
        ASSERT_TRUE(GetGlyphOutlineEm(dc, static_cast<unsigned char>(letter), &outline));
        // The counter is the contour lying inside another; its box's centre is in the hole.
        std::vector<Box> boxes;
        for (const GlyphContour& c : outline.contours) {
            Box b;
            for (const GlyphSegment& s : c.segments)
                for (int i = 0; i < s.PointCount(); ++i) {
                    b.min = {std::min(b.min.x, s.points[i].x), std::min(b.min.y, s.points[i].y), 0};
                    b.max = {std::max(b.max.x, s.points[i].x), std::max(b.max.y, s.points[i].y), 0};
                }
            boxes.push_back(b);
        }
        ASSERT_GE(boxes.size(), 2u);
        std::size_t outer = 0;
        for (std::size_t i = 1; i < boxes.size(); ++i)
            if (boxes[i].max.x - boxes[i].min.x > boxes[outer].max.x - boxes[outer].min.x) outer = i;
        const Box& hole = boxes[outer == 0 ? 1 : 0];
        TextMesh m = Make(std::string(1, letter).c_str());
        double cx = (hole.min.x + hole.max.x) / 2, cy = (hole.min.y + hole.max.y) / 2;
        EXPECT_FALSE(Covered(m, cx, cy)) << "hole centre " << cx << ", " << cy;
        // Just outside the counter, on the letter's body, the face is there.
        EXPECT_TRUE(Covered(m, hole.min.x - 0.02, cy));
    }
}

TEST_F(TextMeshTest, BoundingBoxesAreInEmsOnTheBaselineAndExtrudedAlongZ) {
    struct Case {
        const char* text;
        double minX, maxX;  // bounds of the outline, with a little room for the face's side bearings
        double minY, maxY;
    } cases[] = {
        {"Tarvik", 0.0, 3.0, 0.0, 0.75},
        {"3D", 0.0, 1.3, -0.02, 0.72},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TextMesh m = Make(c.text);
        Box b = Bounds(m);
        // Expected from the font itself: the pen starts at 0 and advances by
        // each glyph's width; the letters stand on the baseline.
        double width = 0.0;
        for (const char* p = c.text; *p; ++p) {
            GlyphOutline o;
            GetGlyphOutlineEm(dc, static_cast<unsigned char>(*p), &o);
            width += o.advance;
        }
        EXPECT_GE(b.min.x, c.minX);
        EXPECT_LE(b.min.x, 0.1);
        EXPECT_LE(b.max.x, width + 1e-6);
        EXPECT_GE(b.max.x, width - 0.15);
        EXPECT_LE(b.max.x, c.maxX);
        EXPECT_NEAR(b.min.y, c.minY, 0.02);
        EXPECT_GE(b.max.y, 0.65);
        EXPECT_LE(b.max.y, c.maxY);
        EXPECT_EQ(b.min.z, 0.0);
        EXPECT_FLOAT_EQ(float(b.max.z), 0.4f);
    }
}

TEST_F(TextMeshTest, CurvesStayWithinTheDeviation) {
    for (float deviation : {0.001f, 0.02f}) {
        for (char letter : {'S', 'e', 'o', '3'}) {
            SCOPED_TRACE(std::string(1, letter) + " at " + std::to_string(deviation));
            TextMesh m = Make(std::string(1, letter).c_str(), deviation);
            // The outline of the front face: its edges that one front triangle uses.
            std::map<std::pair<DWORD, DWORD>, int> uses;
            for (const auto& f : m.faces)
                if (IsFront(m, f))
                    for (int c = 0; c < 3; ++c) {
                        DWORD a = f[c], b = f[(c + 1) % 3];
                        ++uses[{std::min(a, b), std::max(a, b)}];
                    }
            std::vector<std::pair<Vec3, Vec3>> outline;
            for (const auto& [e, n] : uses)
                if (n == 1) outline.push_back({m.positions[e.first], m.positions[e.second]});
            ASSERT_FALSE(outline.empty());
            auto distance = [&](double x, double y) {
                double best = std::numeric_limits<double>::max();
                for (const auto& [a, b] : outline) {
                    double dx = b.x - a.x, dy = b.y - a.y;
                    double t = std::clamp(((x - a.x) * dx + (y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
                    best = std::min(best, std::hypot(a.x + t * dx - x, a.y + t * dy - y));
                }
                return best;
            };
            GlyphOutline o;
            ASSERT_TRUE(GetGlyphOutlineEm(dc, static_cast<unsigned char>(letter), &o));
            double worst = 0.0;
            int curves = 0;
            for (const GlyphContour& c : o.contours) {
                GlyphPoint at = c.start;
                for (const GlyphSegment& s : c.segments) {
                    for (int k = 1; k < 40 && s.kind != GlyphSegment::Line; ++k) {
                        double t = k / 40.0, u = 1 - t, x, y;
                        if (s.kind == GlyphSegment::Quadratic) {
                            x = u * u * at.x + 2 * u * t * s.points[0].x + t * t * s.points[1].x;
                            y = u * u * at.y + 2 * u * t * s.points[0].y + t * t * s.points[1].y;
                        } else {
                            x = u * u * u * at.x + 3 * u * u * t * s.points[0].x + 3 * u * t * t * s.points[1].x +
                                t * t * t * s.points[2].x;
                            y = u * u * u * at.y + 3 * u * u * t * s.points[0].y + 3 * u * t * t * s.points[1].y +
                                t * t * t * s.points[2].y;
                        }
                        worst = std::max(worst, distance(x, y));
                    }
                    curves += s.kind != GlyphSegment::Line;
                    at = s.End();
                }
            }
            EXPECT_GT(curves, 0);
            EXPECT_LE(worst, deviation * 1.001 + 1e-6);
        }
    }
    EXPECT_GT(Make("o", 0.001f).faces.size(), 2 * Make("o", 0.02f).faces.size()) << "finer deviation, more pieces";
}

TEST_F(TextMeshTest, TitleReadsLeftToRightFromTheTitleCamera) {
    TextMesh m = Make("Tarvik");
    // Text placement W(2, 0, 0) and the title camera a quarter round its circle.
    D3DXMATRIX w;
    D3DXMatrixIdentity(&w);
    w(0, 0) = -1;
    w(2, 2) = -1;
    w(3, 0) = 2;
    w(3, 3) = 0.1f;
    D3DXMATRIX view, projection, wv, all;
    D3DXVECTOR3 eye(0, 4, 30), at(0, 3.5f, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, 3.14159265f / 4, 4.0f / 3.0f, 1.0f, 1000.0f);
    D3DXMatrixMultiply(&wv, &w, &view);
    D3DXMatrixMultiply(&all, &wv, &projection);
    auto screen = [&](const Vec3& p) {
        double v[4];
        for (int j = 0; j < 4; ++j) v[j] = p.x * all(0, j) + p.y * all(1, j) + p.z * all(2, j) + all(3, j);
        return std::pair<double, double>(v[0] / v[3], -v[1] / v[3]);  // y down, as on screen
    };
    // The pen's first letter lies left of its last.
    Box b = Bounds(m);
    EXPECT_LT(screen({b.min.x, 0.3, 0}).first, screen({b.max.x, 0.3, 0}).first);
    EXPECT_LT(screen({1.0, 0.7, 0}).second, screen({1.0, 0.0, 0}).second) << "upright";
    // Front faces turn clockwise on screen (kept by the default culling), back faces do not.
    int frontCw = 0, frontCcw = 0, backCw = 0;
    for (const auto& f : m.faces) {
        auto [ax, ay] = screen(m.positions[f[0]]);
        auto [bx, by] = screen(m.positions[f[1]]);
        auto [cx, cy] = screen(m.positions[f[2]]);
        double area = (bx - ax) * (cy - ay) - (cx - ax) * (by - ay);
        if (std::fabs(area) < 1e-12) continue;
        if (IsFront(m, f)) {
            (area > 0 ? frontCw : frontCcw)++;
        } else if (m.normals[f[0]].z == 1.0) {
            backCw += area > 0;
        }
    }
    EXPECT_GT(frontCw, 0);
    EXPECT_EQ(frontCcw, 0);
    EXPECT_EQ(backCw, 0);
}

TEST_F(TextMeshTest, BlanksAdvanceThePenAndMetricsFollowTheGlyphs) {
    Box together = Bounds(Make("aa"));
    Box apart = Bounds(Make("a a"));
    GlyphOutline space;
    ASSERT_TRUE(GetGlyphOutlineEm(dc, ' ', &space));
    EXPECT_TRUE(space.contours.empty());
    EXPECT_GT(space.advance, 0.2);
    EXPECT_NEAR(apart.max.x - together.max.x, space.advance, 0.01);

    GLYPHMETRICSFLOAT metrics[3];
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    ASSERT_EQ(D3DXCreateTextMeshA(device, dc, "a a", 0.001f, 0.4f, &mesh, &adjacency, metrics), S_OK);
    EXPECT_FLOAT_EQ(metrics[1].gmfCellIncX, float(space.advance));
    EXPECT_EQ(metrics[1].gmfBlackBoxX, 0.0f);
    EXPECT_GT(metrics[0].gmfBlackBoxX, 0.3f);
    EXPECT_GT(metrics[0].gmfBlackBoxY, 0.4f);
    ASSERT_NE(adjacency, nullptr);
    EXPECT_EQ(adjacency->GetBufferSize(), mesh->GetNumFaces() * 3 * sizeof(DWORD));
    adjacency->Release();
    mesh->Release();
}

TEST_F(TextMeshTest, BadArgumentsFailWithTheirDebugLine) {
    struct Case {
        const char* name;
        const char* text;
        float deviation, extrusion;
        bool defaultFont;
        HRESULT hr;
        const char* line;
    } cases[] = {
        {"no text", nullptr, 0.001f, 0.4f, false, D3DERR_INVALIDCALL, "CreateTextMesh: No text specified\n"},
        {"empty text", "", 0.001f, 0.4f, false, D3DERR_INVALIDCALL, "CreateTextMesh: No text specified\n"},
        {"negative deviation", "a", -0.5f, 0.4f, false, D3DERR_INVALIDCALL,
         "CreateTextMesh: Invalid deviation parameter\n"},
        {"deviation not a number", "a", std::numeric_limits<float>::quiet_NaN(), 0.4f, false, D3DERR_INVALIDCALL,
         "CreateTextMesh: Invalid deviation parameter\n"},
        {"negative extrusion", "a", 0.001f, -0.4f, false, D3DERR_INVALIDCALL,
         "CreateTextMesh: Invalid extrusion parameter\n"},
        {"context's default font has no outlines", "a", 0.001f, 0.4f, true, E_FAIL,
         "CreateTextMesh: GetGlyphOutline failed\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HGDIOBJ mine = nullptr;
        if (c.defaultFont) mine = SelectObject(dc, previous);
        ID3DXMesh* mesh = reinterpret_cast<ID3DXMesh*>(0x1);
        testing::internal::CaptureStderr();
        HRESULT hr = D3DXCreateTextMeshA(device, dc, c.text, c.deviation, c.extrusion, &mesh, nullptr, nullptr);
        std::string printed = testing::internal::GetCapturedStderr();
        if (mine) SelectObject(dc, mine);
        EXPECT_EQ(hr, c.hr);
        EXPECT_EQ(printed, c.line);
        EXPECT_EQ(mesh, nullptr);
    }
    ID3DXMesh* mesh = nullptr;
    EXPECT_EQ(D3DXCreateTextMeshA(device, nullptr, "a", 0.001f, 0.4f, &mesh, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextMeshA(nullptr, dc, "a", 0.001f, 0.4f, &mesh, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextMeshA(device, dc, "a", 0.001f, 0.4f, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    testing::internal::CaptureStderr();
    EXPECT_EQ(D3DXCreateTextMeshA(device, dc, "   ", 0.001f, 0.4f, &mesh, nullptr, nullptr), E_FAIL)
        << "blanks alone give no mesh";
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(mesh, nullptr);
}

}  // namespace
