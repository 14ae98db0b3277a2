// Shared helpers of the game data checks: paths into the committed data, the
// course grid with its fixed places, and a small reader of text X files.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace data_test {

inline std::string SourcePath(const std::string& relative) { return std::string(TARVIK_SOURCE_DIR) + "/" + relative; }
inline std::string DataPath(const std::string& relative) { return SourcePath("data/" + relative); }

inline std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string ReadText(const std::string& path) {
    const auto bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// --- The course ------------------------------------------------------------

enum Kind : int { Wood = 0, Grass = 1, Stone = 2, Water = 3, Metal = 4, Start = 5 };
constexpr int kSize = 70;

struct Field {
    int column, row;
    bool operator==(const Field& o) const { return column == o.column && row == o.row; }
};

class Course {
public:
    Course() { fields.fill(Wood); }
    int At(int column, int row) const { return fields[static_cast<size_t>(row * kSize + column)]; }
    int At(Field f) const { return At(f.column, f.row); }
    void Set(int column, int row, int kind) { fields[static_cast<size_t>(row * kSize + column)] = kind; }
    static bool Inside(int column, int row) { return column >= 0 && row >= 0 && column < kSize && row < kSize; }
    // The field that holds a world point, as the game finds it.
    static Field FieldOf(float x, float z) {
        return {static_cast<int>(x * 0.25f + kSize * 0.5f), static_cast<int>(z * 0.25f + kSize * 0.5f)};
    }
    std::array<int, kSize * kSize> fields{};
};

// Reads a course file strictly: exactly 70 lines of 70 whitespace-separated
// decimal numbers. Returns false with a reason on anything else.
inline bool ParseCourse(const std::string& text, Course& course, std::string& why) {
    std::istringstream lines(text);
    std::string line;
    int row = 0;
    while (std::getline(lines, line)) {
        if (row >= kSize) {
            why = "more than 70 lines";
            return false;
        }
        std::istringstream numbers(line);
        std::string token;
        int column = 0;
        while (numbers >> token) {
            for (char ch : token) {
                if (!std::isdigit(static_cast<unsigned char>(ch))) {
                    why = "line " + std::to_string(row + 1) + ": not a field kind: " + token;
                    return false;
                }
            }
            if (column >= kSize) {
                why = "line " + std::to_string(row + 1) + " has more than 70 numbers";
                return false;
            }
            course.Set(column++, row, std::stoi(token));
        }
        if (column != kSize) {
            why = "line " + std::to_string(row + 1) + " has " + std::to_string(column) + " numbers";
            return false;
        }
        ++row;
    }
    if (row != kSize) {
        why = "only " + std::to_string(row) + " lines";
        return false;
    }
    return true;
}

inline Course LoadCourse() {
    Course course;
    std::string why;
    EXPECT_TRUE(ParseCourse(ReadText(DataPath("course.txt")), course, why)) << why;
    return course;
}

// The game's fixed places, in fields: the car's start (x = 8, z = -126), the
// start/finish gate (column 30, rows 2 to 5) and the half-way gate (columns
// 34 to 37, rows 62 to 68).
inline const Field kCarStart{37, 3};
inline bool InStartGate(Field f) { return f.column == 30 && f.row >= 2 && f.row <= 5; }
inline bool InHalfwayGate(Field f) { return f.column >= 34 && f.column <= 37 && f.row >= 62 && f.row <= 68; }

// --- Text X files ------------------------------------------------------------

// One data object: its template name, optional instance name, the numbers and
// strings it holds (separators dropped), and the objects nested in it.
struct XObject {
    std::string type, name;
    std::vector<double> numbers;
    std::vector<std::string> strings;
    std::vector<std::unique_ptr<XObject>> children;

    const XObject* Child(const std::string& childType) const {
        for (const auto& c : children) {
            if (c->type == childType) {
                return c.get();
            }
        }
        return nullptr;
    }
    std::vector<const XObject*> ChildrenOf(const std::string& childType) const {
        std::vector<const XObject*> found;
        for (const auto& c : children) {
            if (c->type == childType) {
                found.push_back(c.get());
            }
        }
        return found;
    }
};

class XReader {
public:
    explicit XReader(std::string text) : s(std::move(text)) {}

    // Parses "xof 0303txt 0032" followed by data objects.
    bool Parse(XObject& root, std::string& why) {
        if (s.compare(0, 16, "xof 0303txt 0032") != 0) {
            why = "not a text X file of version 3.3 with 32-bit floats";
            return false;
        }
        pos = 16;
        while (true) {
            std::string word = Word();
            if (word.empty()) {
                return AtEnd() || Fail(why, "unexpected character");
            }
            auto child = std::make_unique<XObject>();
            if (!Object(word, *child, why)) {
                return false;
            }
            root.children.push_back(std::move(child));
        }
    }

private:
    bool Fail(std::string& why, const std::string& what) {
        why = what + " at offset " + std::to_string(pos);
        return false;
    }
    void Skip() {
        while (pos < s.size()) {
            const char c = s[pos];
            if (std::isspace(static_cast<unsigned char>(c)) || c == ';' || c == ',') {
                ++pos;
            } else if (c == '#' || (c == '/' && pos + 1 < s.size() && s[pos + 1] == '/')) {
                while (pos < s.size() && s[pos] != '\n') {
                    ++pos;
                }
            } else {
                break;
            }
        }
    }
    bool AtEnd() {
        Skip();
        return pos >= s.size();
    }
    std::string Word() {
        Skip();
        const size_t start = pos;
        while (pos < s.size() && (std::isalnum(static_cast<unsigned char>(s[pos])) || s[pos] == '_')) {
            ++pos;
        }
        if (start < s.size() && std::isdigit(static_cast<unsigned char>(s[start]))) {
            pos = start;
            return "";
        }
        return s.substr(start, pos - start);
    }
    bool Object(const std::string& type, XObject& object, std::string& why) {
        object.type = type;
        Skip();
        if (pos < s.size() && s[pos] != '{') {
            object.name = Word();
            Skip();
        }
        if (pos >= s.size() || s[pos] != '{') {
            return Fail(why, "expected { after " + type);
        }
        ++pos;
        while (true) {
            Skip();
            if (pos >= s.size()) {
                return Fail(why, "unterminated " + type);
            }
            const char c = s[pos];
            if (c == '}') {
                ++pos;
                return true;
            }
            if (c == '"') {
                const size_t end = s.find('"', pos + 1);
                if (end == std::string::npos) {
                    return Fail(why, "unterminated string");
                }
                object.strings.push_back(s.substr(pos + 1, end - pos - 1));
                pos = end + 1;
            } else if (c == '-' || c == '.' || std::isdigit(static_cast<unsigned char>(c))) {
                char* end = nullptr;
                const double value = std::strtod(s.c_str() + pos, &end);
                if (end == s.c_str() + pos) {
                    return Fail(why, "bad number");
                }
                object.numbers.push_back(value);
                pos = static_cast<size_t>(end - s.c_str());
            } else {
                const std::string word = Word();
                if (word.empty()) {
                    return Fail(why, std::string("unexpected character '") + c + "'");
                }
                auto child = std::make_unique<XObject>();
                if (!Object(word, *child, why)) {
                    return false;
                }
                object.children.push_back(std::move(child));
            }
        }
    }

    std::string s;
    size_t pos = 0;
};

struct Vec3 {
    double x = 0, y = 0, z = 0;
};
inline Vec3 Sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

struct XMaterial {
    double r = 0, g = 0, b = 0, a = 0;
    std::string texture;  // empty when the material names none
};

// The one mesh of a game X file, checked for consistency while it is read.
struct XMesh {
    std::vector<Vec3> vertices;
    std::vector<std::array<int, 3>> faces;
    std::vector<int> faceMaterials;
    std::vector<XMaterial> materials;
    size_t normalCount = 0, textureCoordCount = 0;

    // The direction a face is seen from: the side its corners run clockwise
    // round in the game's left-handed world.
    Vec3 FaceNormal(size_t f) const {
        const Vec3 a = vertices[faces[f][0]], b = vertices[faces[f][1]], c = vertices[faces[f][2]];
        return Cross(Sub(b, a), Sub(c, a));
    }
    Vec3 FaceCentre(size_t f) const {
        Vec3 c;
        for (int i : faces[f]) {
            c = {c.x + vertices[i].x / 3, c.y + vertices[i].y / 3, c.z + vertices[i].z / 3};
        }
        return c;
    }
    // Signed volume: positive when the faces of closed parts look outwards.
    double SignedVolume() const {
        double sum = 0;
        for (const auto& f : faces) {
            sum += Dot(vertices[f[0]], Cross(vertices[f[1]], vertices[f[2]]));
        }
        return sum / 6.0;
    }
    Vec3 Min() const {
        Vec3 m{1e9, 1e9, 1e9};
        for (const Vec3& v : vertices) {
            m = {std::min(m.x, v.x), std::min(m.y, v.y), std::min(m.z, v.z)};
        }
        return m;
    }
    Vec3 Max() const {
        Vec3 m{-1e9, -1e9, -1e9};
        for (const Vec3& v : vertices) {
            m = {std::max(m.x, v.x), std::max(m.y, v.y), std::max(m.z, v.z)};
        }
        return m;
    }
};

// Reads the file's single Mesh, its triangles, materials and texture names,
// and checks that the counts and indices agree. Game meshes are triangles only.
inline bool ReadXMesh(const std::string& path, XMesh& mesh, std::string& why) {
    XObject root;
    XReader reader(ReadText(path));
    if (!reader.Parse(root, why)) {
        return false;
    }
    const auto meshes = root.ChildrenOf("Mesh");
    if (meshes.size() != 1) {
        why = "expected one Mesh, found " + std::to_string(meshes.size());
        return false;
    }
    const XObject& m = *meshes[0];
    const std::vector<double>& n = m.numbers;
    size_t i = 0;
    auto next = [&](double& out) {
        if (i >= n.size()) {
            return false;
        }
        out = n[i++];
        return true;
    };
    double count = 0;
    if (!next(count)) {
        why = "no vertex count";
        return false;
    }
    for (int k = 0; k < static_cast<int>(count); ++k) {
        Vec3 v;
        if (!next(v.x) || !next(v.y) || !next(v.z)) {
            why = "vertex list too short";
            return false;
        }
        mesh.vertices.push_back(v);
    }
    double faceCount = 0;
    if (!next(faceCount)) {
        why = "no face count";
        return false;
    }
    for (int k = 0; k < static_cast<int>(faceCount); ++k) {
        double corners = 0, a = 0, b = 0, c = 0;
        if (!next(corners) || corners != 3 || !next(a) || !next(b) || !next(c)) {
            why = "face " + std::to_string(k) + " is not a triangle";
            return false;
        }
        for (double index : {a, b, c}) {
            if (index < 0 || index >= count) {
                why = "face " + std::to_string(k) + " uses a vertex that does not exist";
                return false;
            }
        }
        mesh.faces.push_back({static_cast<int>(a), static_cast<int>(b), static_cast<int>(c)});
    }
    if (i != n.size()) {
        why = "numbers left over after the faces";
        return false;
    }
    if (const XObject* normals = m.Child("MeshNormals")) {
        mesh.normalCount = normals->numbers.empty() ? 0 : static_cast<size_t>(normals->numbers[0]);
    }
    if (const XObject* coords = m.Child("MeshTextureCoords")) {
        mesh.textureCoordCount = coords->numbers.empty() ? 0 : static_cast<size_t>(coords->numbers[0]);
        if (coords->numbers.size() != 1 + 2 * mesh.textureCoordCount) {
            why = "texture coordinate list does not match its count";
            return false;
        }
    }
    const XObject* list = m.Child("MeshMaterialList");
    if (!list || list->numbers.size() < 2) {
        why = "no MeshMaterialList";
        return false;
    }
    const size_t materialCount = static_cast<size_t>(list->numbers[0]);
    const size_t indexCount = static_cast<size_t>(list->numbers[1]);
    if (indexCount != mesh.faces.size() || list->numbers.size() != 2 + indexCount) {
        why = "material list does not give one material per face";
        return false;
    }
    for (size_t k = 0; k < indexCount; ++k) {
        const double id = list->numbers[2 + k];
        if (id < 0 || id >= static_cast<double>(materialCount)) {
            why = "face " + std::to_string(k) + " names a material that does not exist";
            return false;
        }
        mesh.faceMaterials.push_back(static_cast<int>(id));
    }
    const auto materials = list->ChildrenOf("Material");
    if (materials.size() != materialCount) {
        why = "material count " + std::to_string(materialCount) + " but " + std::to_string(materials.size()) +
              " Material objects";
        return false;
    }
    for (const XObject* mat : materials) {
        // faceColor (4), power (1), specularColor (3), emissiveColor (3).
        if (mat->numbers.size() != 11) {
            why = "a Material does not hold 11 numbers";
            return false;
        }
        XMaterial xm{mat->numbers[0], mat->numbers[1], mat->numbers[2], mat->numbers[3], ""};
        if (const XObject* tex = mat->Child("TextureFilename")) {
            if (tex->strings.size() != 1) {
                why = "TextureFilename without one name";
                return false;
            }
            xm.texture = tex->strings[0];
        }
        mesh.materials.push_back(xm);
    }
    return true;
}

}  // namespace data_test
