// Makes the game's eight meshes as text X files in the media folder: the six
// course field tiles, the formula car and the sky box.
//
//   make_meshes <media folder>
//
// Conventions of the game's renderer: left-handed world, y up; a face is
// visible from the side where its corners run clockwise, which is the side
// that cross(b - a, c - a) points to. Textures are named by paths relative to
// the game's working folder ("media/...").
#include "tools/make_common.h"

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Vec {
    double x = 0, y = 0, z = 0;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator*(Vec a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec Normalised(Vec a) {
    const double len = std::sqrt(Dot(a, a));
    return len > 0 ? a * (1.0 / len) : Vec{0, 1, 0};
}

struct Material {
    double r = 1, g = 1, b = 1, a = 1;
    double power = 0;
    double specular = 0;
    std::string texture;  // empty: untextured
};

struct Vertex {
    Vec p;
    double u = 0, v = 0;
};

// Which way a part's faces look: away from a reference point (solids), or
// towards it (the inside of the sky box), or straight up (floor tiles).
enum class Facing { Outward, Inward };

class MeshBuilder {
public:
    int AddVertex(Vec p, double u = 0, double v = 0) {
        vertices.push_back({p, u, v});
        return static_cast<int>(vertices.size()) - 1;
    }
    // Adds a triangle, turning it so that it faces away from (or towards)
    // ref; this keeps the winding right without hand-ordering every face.
    void Triangle(int a, int b, int c, int material, Vec ref, Facing facing = Facing::Outward) {
        const Vec pa = vertices[a].p, pb = vertices[b].p, pc = vertices[c].p;
        const Vec normal = Cross(pb - pa, pc - pa);
        const Vec centre = (pa + pb + pc) * (1.0 / 3.0);
        double side = Dot(normal, centre - ref);
        if (facing == Facing::Inward) {
            side = -side;
        }
        if (side < 0) {
            std::swap(b, c);
        }
        faces.push_back({a, b, c});
        faceMaterials.push_back(material);
    }
    void Quad(int a, int b, int c, int d, int material, Vec ref, Facing facing = Facing::Outward) {
        Triangle(a, b, c, material, ref, facing);
        Triangle(a, c, d, material, ref, facing);
    }
    std::vector<Vertex> vertices;
    std::vector<std::array<int, 3>> faces;
    std::vector<int> faceMaterials;
};

std::string Num(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", std::fabs(value) < 5e-7 ? 0.0 : value);
    return text;
}

// Text X file ("xof 0303txt 0032") with one Mesh and its normals, texture
// coordinates and material list. Normals are the averages of the faces at
// each vertex (the game computes its own anyway).
std::string XFileText(const std::string& name, const MeshBuilder& mesh, const std::vector<Material>& materials) {
    std::vector<Vec> normals(mesh.vertices.size());
    for (const auto& f : mesh.faces) {
        const Vec n = Normalised(Cross(mesh.vertices[f[1]].p - mesh.vertices[f[0]].p,
                                       mesh.vertices[f[2]].p - mesh.vertices[f[0]].p));
        for (int i : f) {
            normals[i] = normals[i] + n;
        }
    }
    std::string s = "xof 0303txt 0032\n\nMesh " + name + " {\n";
    const size_t nv = mesh.vertices.size();
    const size_t nf = mesh.faces.size();
    s += " " + std::to_string(nv) + ";\n";
    for (size_t i = 0; i < nv; ++i) {
        const Vec p = mesh.vertices[i].p;
        s += " " + Num(p.x) + ";" + Num(p.y) + ";" + Num(p.z) + ";" + (i + 1 < nv ? ",\n" : ";\n");
    }
    auto faceList = [&](std::string& out) {
        out += " " + std::to_string(nf) + ";\n";
        for (size_t i = 0; i < nf; ++i) {
            const auto& f = mesh.faces[i];
            out += " 3;" + std::to_string(f[0]) + "," + std::to_string(f[1]) + "," + std::to_string(f[2]) + ";" +
                   (i + 1 < nf ? ",\n" : ";\n");
        }
    };
    faceList(s);
    s += "\n MeshNormals {\n " + std::to_string(nv) + ";\n";
    for (size_t i = 0; i < nv; ++i) {
        const Vec n = Normalised(normals[i]);
        s += " " + Num(n.x) + ";" + Num(n.y) + ";" + Num(n.z) + ";" + (i + 1 < nv ? ",\n" : ";\n");
    }
    faceList(s);
    s += " }\n\n MeshTextureCoords {\n " + std::to_string(nv) + ";\n";
    for (size_t i = 0; i < nv; ++i) {
        s += " " + Num(mesh.vertices[i].u) + ";" + Num(mesh.vertices[i].v) + ";" + (i + 1 < nv ? ",\n" : ";\n");
    }
    s += " }\n\n MeshMaterialList {\n " + std::to_string(materials.size()) + ";\n " + std::to_string(nf) + ";\n";
    for (size_t i = 0; i < nf; ++i) {
        s += " " + std::to_string(mesh.faceMaterials[i]) + (i + 1 < nf ? ",\n" : ";\n");
    }
    for (const Material& m : materials) {
        s += "\n  Material {\n";
        s += "   " + Num(m.r) + ";" + Num(m.g) + ";" + Num(m.b) + ";" + Num(m.a) + ";;\n";
        s += "   " + Num(m.power) + ";\n";
        s += "   " + Num(m.specular) + ";" + Num(m.specular) + ";" + Num(m.specular) + ";;\n";
        s += "   0.000000;0.000000;0.000000;;\n";
        if (!m.texture.empty()) {
            s += "\n   TextureFilename {\n    \"" + m.texture + "\";\n   }\n";
        }
        s += "  }\n";
    }
    s += " }\n}\n";
    return s;
}

Material Textured(const std::string& texture) {
    Material m;
    m.r = m.g = m.b = 1.0;
    m.power = 10.0;
    m.specular = 0.2;
    m.texture = texture;
    return m;
}

// The sky takes no highlights: it only has to show its picture.
Material Sky(const std::string& texture) {
    Material m = Textured(texture);
    m.power = 0.0;
    m.specular = 0.0;
    return m;
}

// A flat 4 x 4 field tile at height y, texture across the whole tile with
// +z at the top of the image.
MeshBuilder FlatTile(double y) {
    MeshBuilder mesh;
    const int a = mesh.AddVertex({-2, y, -2}, 0, 1);
    const int b = mesh.AddVertex({-2, y, 2}, 0, 0);
    const int c = mesh.AddVertex({2, y, 2}, 1, 0);
    const int d = mesh.AddVertex({2, y, -2}, 1, 1);
    mesh.Quad(a, b, c, d, 0, {0, y - 1, 0});
    return mesh;
}

// The stone wall block: top and four sides of a 4 x 4 x 1.5 box (no bottom:
// it stands on the ground). The sides take the upper 1.5 / 4 of the texture,
// so the blocks keep the scale of the top.
MeshBuilder StoneBlock() {
    constexpr double h = 1.5;
    MeshBuilder mesh;
    const Vec centre{0, h / 2, 0};
    mesh.Quad(mesh.AddVertex({-2, h, -2}, 0, 1), mesh.AddVertex({-2, h, 2}, 0, 0), mesh.AddVertex({2, h, 2}, 1, 0),
              mesh.AddVertex({2, h, -2}, 1, 1), 0, centre);
    const double vBottom = h / 4.0;
    // Each side from corner p to corner q (counter-clockwise round the block seen from above).
    const std::array<Vec, 4> corners = {Vec{-2, 0, -2}, Vec{2, 0, -2}, Vec{2, 0, 2}, Vec{-2, 0, 2}};
    for (int i = 0; i < 4; ++i) {
        const Vec p = corners[i], q = corners[(i + 1) % 4];
        mesh.Quad(mesh.AddVertex({p.x, h, p.z}, 0, 0), mesh.AddVertex({q.x, h, q.z}, 1, 0),
                  mesh.AddVertex({q.x, 0, q.z}, 1, vBottom), mesh.AddVertex({p.x, 0, p.z}, 0, vBottom), 0, centre);
    }
    return mesh;
}

// Sky box: a cube of half size 200 seen from inside. The four sides share a
// panorama that repeats round the box (the image tiles across u), with the
// horizon at mid height; the bottom takes a plain ground row of the same
// image, the top its own image.
MeshBuilder SkyBox() {
    constexpr double h = 200.0;
    MeshBuilder mesh;
    const Vec centre{0, 0, 0};
    // For each side, the corner at its left and right as seen from inside.
    const std::array<std::array<Vec, 2>, 4> sides = {{
        {Vec{-h, 0, h}, Vec{h, 0, h}},    // north, looking along +z
        {Vec{h, 0, h}, Vec{h, 0, -h}},    // east
        {Vec{h, 0, -h}, Vec{-h, 0, -h}},  // south
        {Vec{-h, 0, -h}, Vec{-h, 0, h}},  // west
    }};
    for (const auto& side : sides) {
        const Vec l = side[0], r = side[1];
        mesh.Quad(mesh.AddVertex({l.x, h, l.z}, 0, 0), mesh.AddVertex({r.x, h, r.z}, 1, 0),
                  mesh.AddVertex({r.x, -h, r.z}, 1, 1), mesh.AddVertex({l.x, -h, l.z}, 0, 1), 0, centre,
                  Facing::Inward);
    }
    mesh.Quad(mesh.AddVertex({-h, h, -h}, 0, 1), mesh.AddVertex({-h, h, h}, 0, 0), mesh.AddVertex({h, h, h}, 1, 0),
              mesh.AddVertex({h, h, -h}, 1, 1), 1, centre, Facing::Inward);
    const double ground = 0.985;
    mesh.Quad(mesh.AddVertex({-h, -h, -h}, 0.1, ground), mesh.AddVertex({-h, -h, h}, 0.3, ground),
              mesh.AddVertex({h, -h, h}, 0.6, ground), mesh.AddVertex({h, -h, -h}, 0.9, ground), 0, centre,
              Facing::Inward);
    return mesh;
}

// --- The formula car -------------------------------------------------------
// Nose along +z, wheels standing on y = -1 (the game draws the mesh 1.0
// above the car's reference point), about 3 units long.

enum CarMaterial { Paint = 0, Tyre, Wing, Helmet, Dark, Rim, CarMaterialCount };

constexpr double kGround = -1.0;

// Side livery in the upper half of the paint image, seen from either side
// with the nose to the right (+x side) or left (-x side) so the number reads
// the right way round; the top livery (a centre stripe) in the lower half.
struct PaintProjection {
    // The roundel of the paint image sits at zCentre on both sides; the side
    // livery spans `length` units (make_textures draws it for 2.4 by 0.6).
    double zCentre = 0.35, length = 2.4;
    double zMin = -1.5, zMax = 1.5;
    double yTop = -0.35, yBottom = -0.95;
    double halfWidth = 0.6;
    void Apply(Vertex& vert, Vec normal) const {
        const Vec p = vert.p;
        if (std::fabs(normal.y) > 0.75) {
            vert.u = tools::Clamp01(0.5 + p.x / (2 * halfWidth));
            vert.v = 0.5 + 0.5 * tools::Clamp01((zMax - p.z) / (zMax - zMin));
        } else {
            const double along = (p.z - zCentre) / length;
            vert.u = tools::Clamp01(p.x >= 0 ? 0.5 + along : 0.5 - along);
            vert.v = 0.5 * tools::Clamp01((yTop - p.y) / (yTop - yBottom));
        }
    }
};

// A loft through cross-sections (chamfered rectangles) along z, closed at
// both ends. Faces are flat-shaded (own vertices), painted by projection.
struct Section {
    double z, halfWidth, bottom, top;
};

void Loft(MeshBuilder& mesh, const std::vector<Section>& sections, double centreX, int material,
          const PaintProjection* paint) {
    constexpr int kRing = 8;
    auto ring = [&](const Section& s) {
        const double cw = s.halfWidth * 0.7, ch = (s.top - s.bottom) * 0.22;
        const double x = centreX;
        return std::array<Vec, kRing>{
            Vec{x - cw, s.top, s.z},          Vec{x + cw, s.top, s.z},
            Vec{x + s.halfWidth, s.top - ch, s.z}, Vec{x + s.halfWidth, s.bottom + ch, s.z},
            Vec{x + cw, s.bottom, s.z},       Vec{x - cw, s.bottom, s.z},
            Vec{x - s.halfWidth, s.bottom + ch, s.z}, Vec{x - s.halfWidth, s.top - ch, s.z},
        };
    };
    auto face = [&](std::vector<Vec> pts, Vec ref) {
        const Vec normal = Normalised(Cross(pts[1] - pts[0], pts[2] - pts[0]));
        std::vector<int> ids;
        for (const Vec& p : pts) {
            const int id = mesh.AddVertex(p);
            if (paint) {
                paint->Apply(mesh.vertices[id], normal);
            }
            ids.push_back(id);
        }
        for (size_t i = 1; i + 1 < ids.size(); ++i) {
            mesh.Triangle(ids[0], ids[i], ids[i + 1], material, ref);
        }
    };
    for (size_t s = 0; s + 1 < sections.size(); ++s) {
        const auto a = ring(sections[s]);
        const auto b = ring(sections[s + 1]);
        const Section& sa = sections[s];
        const Section& sb = sections[s + 1];
        const Vec ref{centreX, (sa.top + sa.bottom + sb.top + sb.bottom) / 4, (sa.z + sb.z) / 2};
        for (int i = 0; i < kRing; ++i) {
            const int j = (i + 1) % kRing;
            face({a[i], a[j], b[j], b[i]}, ref);
        }
    }
    for (size_t end : {size_t{0}, sections.size() - 1}) {
        const auto r = ring(sections[end]);
        const Section& inner = sections[end == 0 ? 1 : end - 1];
        const Vec ref{centreX, (sections[end].top + sections[end].bottom) / 2, inner.z};
        face(std::vector<Vec>(r.begin(), r.end()), ref);
    }
}

void Box(MeshBuilder& mesh, Vec lo, Vec hi, int material) {
    const Vec centre = (lo + hi) * 0.5;
    auto corner = [&](int i) { return Vec{(i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z}; };
    const int quads[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
    for (const auto& q : quads) {
        mesh.Quad(mesh.AddVertex(corner(q[0])), mesh.AddVertex(corner(q[1])), mesh.AddVertex(corner(q[2])),
                  mesh.AddVertex(corner(q[3])), material, centre);
    }
}

// A thin bar between two points (suspension arms), a box of square section.
void Bar(MeshBuilder& mesh, Vec from, Vec to, double half, int material) {
    const Vec axis = Normalised(to - from);
    Vec side = Normalised(Cross(axis, {0, 1, 0}));
    if (Dot(side, side) < 0.5) {
        side = {1, 0, 0};
    }
    const Vec up = Normalised(Cross(side, axis));
    const Vec centre = (from + to) * 0.5;
    std::array<int, 8> ids{};
    for (int i = 0; i < 8; ++i) {
        const Vec end = (i & 4) ? to : from;
        ids[i] = mesh.AddVertex(end + side * ((i & 1) ? half : -half) + up * ((i & 2) ? half : -half));
    }
    const int quads[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
    for (const auto& q : quads) {
        mesh.Quad(ids[q[0]], ids[q[1]], ids[q[2]], ids[q[3]], material, centre);
    }
}

// A wheel: tyre tread round the outside (smooth, shared vertices), and on
// each side a tyre wall ring round a metal rim disc.
void Wheel(MeshBuilder& mesh, Vec centre, double radius, double halfWidth) {
    constexpr int kSegments = 14;
    const double rimRadius = radius * 0.56;
    std::array<int, kSegments + 1> left{}, right{};
    for (int k = 0; k <= kSegments; ++k) {
        const double a = 2 * kPi * k / kSegments;
        const double y = centre.y + radius * std::cos(a), z = centre.z + radius * std::sin(a);
        const double u = 2.0 * k / kSegments;
        left[k] = mesh.AddVertex({centre.x - halfWidth, y, z}, u, 0.0);
        right[k] = mesh.AddVertex({centre.x + halfWidth, y, z}, u, 0.5);
    }
    for (int k = 0; k < kSegments; ++k) {
        mesh.Quad(left[k], left[k + 1], right[k + 1], right[k], Tyre, centre);
    }
    for (double side : {-1.0, 1.0}) {
        const double x = centre.x + side * halfWidth;
        const Vec capRef{centre.x, centre.y, centre.z};
        const int hub = mesh.AddVertex({x + side * 0.01, centre.y, centre.z});
        std::array<int, kSegments + 1> outer{}, innerTyre{}, innerRim{};
        for (int k = 0; k <= kSegments; ++k) {
            const double a = 2 * kPi * k / kSegments;
            const double cy = std::cos(a), sz = std::sin(a);
            const double u = 4.0 * k / kSegments;
            outer[k] = mesh.AddVertex({x, centre.y + radius * cy, centre.z + radius * sz}, u, 0.52);
            innerTyre[k] = mesh.AddVertex({x, centre.y + rimRadius * cy, centre.z + rimRadius * sz}, u, 0.98);
            innerRim[k] = mesh.AddVertex({x, centre.y + rimRadius * cy, centre.z + rimRadius * sz});
        }
        for (int k = 0; k < kSegments; ++k) {
            mesh.Quad(outer[k], outer[k + 1], innerTyre[k + 1], innerTyre[k], Tyre, capRef);
            mesh.Triangle(hub, innerRim[k], innerRim[k + 1], Rim, capRef);
        }
    }
}

// A smooth sphere (the driver's helmet).
void Sphere(MeshBuilder& mesh, Vec centre, double radius, int material) {
    constexpr int kSlices = 10;
    constexpr int kStacks = 6;
    std::vector<std::vector<int>> rows;
    for (int i = 0; i <= kStacks; ++i) {
        const double polar = kPi * i / kStacks;
        std::vector<int> row;
        const int count = (i == 0 || i == kStacks) ? 1 : kSlices;
        for (int j = 0; j < count; ++j) {
            const double az = 2 * kPi * j / kSlices;
            row.push_back(mesh.AddVertex({centre.x + radius * std::sin(polar) * std::cos(az),
                                          centre.y + radius * std::cos(polar),
                                          centre.z + radius * std::sin(polar) * std::sin(az)}));
        }
        rows.push_back(row);
    }
    for (int i = 0; i < kStacks; ++i) {
        for (int j = 0; j < kSlices; ++j) {
            const int jn = (j + 1) % kSlices;
            if (i == 0) {
                mesh.Triangle(rows[0][0], rows[1][j], rows[1][jn], material, centre);
            } else if (i == kStacks - 1) {
                mesh.Triangle(rows[i][j], rows[i][jn], rows[kStacks][0], material, centre);
            } else {
                mesh.Quad(rows[i][j], rows[i][jn], rows[i + 1][jn], rows[i + 1][j], material, centre);
            }
        }
    }
}

MeshBuilder Car() {
    MeshBuilder mesh;
    PaintProjection paint;

    // Monocoque from the nose tip back to the gearbox.
    Loft(mesh,
         {{1.47, 0.06, -0.86, -0.78},
          {1.10, 0.13, -0.88, -0.72},
          {0.60, 0.20, -0.90, -0.62},
          {0.20, 0.25, -0.91, -0.55},
          {-0.35, 0.27, -0.91, -0.54},
          {-0.85, 0.17, -0.90, -0.62},
          {-1.22, 0.10, -0.88, -0.70}},
         0.0, Paint, &paint);
    // Sidepods.
    for (double side : {-1.0, 1.0}) {
        Loft(mesh,
             {{0.12, 0.10, -0.88, -0.70}, {-0.05, 0.13, -0.90, -0.64}, {-0.55, 0.12, -0.90, -0.66},
              {-0.80, 0.06, -0.88, -0.74}},
             side * 0.36, Paint, &paint);
    }
    // Engine cover and airbox behind the driver.
    Loft(mesh,
         {{-0.22, 0.11, -0.60, -0.38}, {-0.45, 0.12, -0.62, -0.40}, {-0.85, 0.08, -0.66, -0.55},
          {-1.12, 0.05, -0.72, -0.66}},
         0.0, Paint, &paint);
    // Cockpit opening, driver's helmet and visor.
    Box(mesh, {-0.15, -0.555, -0.26}, {0.15, -0.535, 0.22}, Dark);
    Sphere(mesh, {0.0, -0.47, -0.08}, 0.125, Helmet);
    Box(mesh, {-0.09, -0.49, 0.02}, {0.09, -0.44, 0.045}, Dark);

    // Front wing with end plates, low ahead of the front wheels.
    Box(mesh, {-0.74, -0.94, 1.20}, {0.74, -0.90, 1.46}, Wing);
    Box(mesh, {-0.70, -0.90, 1.22}, {0.70, -0.87, 1.34}, Wing);
    for (double side : {-1.0, 1.0}) {
        Box(mesh, {side * 0.745 - 0.02, -0.96, 1.14}, {side * 0.745 + 0.02, -0.80, 1.48}, Wing);
    }
    // Rear wing: two planes between end plates, on a pylon.
    Box(mesh, {-0.56, -0.34, -1.48}, {0.56, -0.30, -1.26}, Wing);
    Box(mesh, {-0.56, -0.27, -1.36}, {0.56, -0.24, -1.20}, Wing);
    for (double side : {-1.0, 1.0}) {
        Box(mesh, {side * 0.565 - 0.02, -0.66, -1.50}, {side * 0.565 + 0.02, -0.20, -1.14}, Wing);
    }
    Box(mesh, {-0.03, -0.72, -1.34}, {0.03, -0.32, -1.22}, Dark);

    // Wheels and suspension arms.
    constexpr double kFrontRadius = 0.25, kRearRadius = 0.31;
    constexpr double kFrontZ = 0.95, kRearZ = -0.92;
    constexpr double kFrontX = 0.60, kRearX = 0.58;
    for (double side : {-1.0, 1.0}) {
        const Vec front{side * kFrontX, kGround + kFrontRadius, kFrontZ};
        const Vec rear{side * kRearX, kGround + kRearRadius, kRearZ};
        Wheel(mesh, front, kFrontRadius, 0.11);
        Wheel(mesh, rear, kRearRadius, 0.14);
        Bar(mesh, {side * 0.12, -0.80, kFrontZ + 0.08}, {side * (kFrontX - 0.11), front.y + 0.05, kFrontZ}, 0.015, Dark);
        Bar(mesh, {side * 0.13, -0.86, kFrontZ - 0.12}, {side * (kFrontX - 0.11), front.y - 0.04, kFrontZ}, 0.015, Dark);
        Bar(mesh, {side * 0.12, -0.78, kRearZ + 0.10}, {side * (kRearX - 0.14), rear.y + 0.06, kRearZ}, 0.015, Dark);
        Bar(mesh, {side * 0.14, -0.86, kRearZ - 0.10}, {side * (kRearX - 0.14), rear.y - 0.05, kRearZ}, 0.015, Dark);
    }
    // The plain-coloured parts take their colour from a swatch of the parts
    // image rather than from the material: the game makes every material's
    // ambient white, and under its white ambient light an untextured part
    // would show plain white.
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
        const int material = mesh.faceMaterials[f];
        if (material == Paint || material == Tyre) {
            continue;
        }
        const int swatch = material - Wing;  // 0..3: the image's quarters, row by row
        for (int i : mesh.faces[f]) {
            mesh.vertices[i].u = 0.25 + 0.5 * (swatch % 2);
            mesh.vertices[i].v = 0.25 + 0.5 * (swatch / 2);
        }
    }
    return mesh;
}

std::vector<Material> CarMaterials() {
    std::vector<Material> m(CarMaterialCount);
    m[Paint] = Textured("media/lack.png");
    m[Paint].power = 30.0;
    m[Paint].specular = 0.6;
    m[Tyre] = Textured("media/reifen.png");
    m[Tyre].power = 4.0;
    m[Tyre].specular = 0.05;
    // Wings, helmet, dark parts and rims: one quarter each of the parts image.
    m[Wing] = Textured("media/teile.png");
    m[Helmet] = Textured("media/teile.png");
    m[Helmet].power = 40.0;
    m[Helmet].specular = 0.8;
    m[Dark] = Textured("media/teile.png");
    m[Rim] = Textured("media/teile.png");
    m[Rim].power = 50.0;
    m[Rim].specular = 0.9;
    return m;
}

bool Write(const std::string& folder, const std::string& file, const std::string& name, const MeshBuilder& mesh,
           const std::vector<Material>& materials) {
    return tools::WriteText(folder + "/" + file, XFileText(name, mesh, materials));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_meshes <media folder>\n");
        return 2;
    }
    const std::string media = argv[1];
    if (!tools::MakeDirectory(media)) {
        return 1;
    }
    Material water = Textured("media/wasser.jpg");
    water.power = 40.0;
    water.specular = 0.7;
    const bool ok = Write(media, "Holz.x", "Holz", FlatTile(0.0), {Textured("media/holz.jpg")}) &&
                    Write(media, "Gras.x", "Gras", FlatTile(0.0), {Textured("media/gras.jpg")}) &&
                    Write(media, "Stein.x", "Stein", StoneBlock(), {Textured("media/stein.png")}) &&
                    Write(media, "Wasser.x", "Wasser", FlatTile(-0.15), {water}) &&
                    Write(media, "Metall.x", "Metall", FlatTile(0.0), {Textured("media/metall.png")}) &&
                    Write(media, "Start.x", "Start", FlatTile(0.0), {Textured("media/start.png")}) &&
                    Write(media, "f1.x", "f1", Car(), CarMaterials()) &&
                    Write(media, "skybox2.x", "skybox2", SkyBox(),
                          {Sky("media/himmel.jpg"), Sky("media/himmel_oben.jpg")});
    return ok ? 0 : 1;
}
