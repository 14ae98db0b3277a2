// Shared helpers of the 3D utility layer's tests: fixture files, a recording
// device, and a small writer that turns a text X file into its binary and
// compressed forms.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/recording/recording_device.h"
#include "util3d/d3dx.h"
#include "util3d/mesh.h"

namespace util3d_test {

using Bytes = std::vector<std::uint8_t>;

inline std::string FixturePath(const std::string& name) {
    return std::string(TARVIK_SOURCE_DIR) + "/tests/util3d/fixtures/" + name;
}

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A file under the build folder, so that every test can go through the real
// file-name entry points.
inline std::string WriteTemp(const std::string& name, const Bytes& bytes) {
    std::filesystem::path dir = std::filesystem::path(TARVIK_BINARY_DIR) / "util3d_test_files";
    std::filesystem::create_directories(dir);
    std::string path = (dir / name).string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

// With TARVIK_WRITE_CORPUS set to a folder, tests that build sample files also
// leave them there as seeds for the fuzz targets (fuzz/corpus/<kind>/).
inline void MaybeWriteCorpus(const std::string& kind, const std::string& name, const Bytes& bytes) {
    const char* root = std::getenv("TARVIK_WRITE_CORPUS");
    if (!root || !*root) return;
    std::filesystem::path dir = std::filesystem::path(root) / kind;
    std::filesystem::create_directories(dir);
    std::string file = name;
    for (char& c : file)
        if (c == ' ') c = '_';
    std::ofstream out(dir / file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override { device = new RecordingDevice(); }
    void TearDown() override { SafeRelease(device); }
    RecordingDevice* device = nullptr;
};

// --- Binary and compressed X files, written from the text form -------------

inline void Put16(Bytes& out, unsigned v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
inline void Put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}

// A Targa file: image type (2 plain, 10 run-length, 3 grey), bits per pixel,
// descriptor (0x20: top-down rows), size and the pixel data as stored.
inline Bytes MakeTga(unsigned type, unsigned depth, unsigned descriptor, unsigned width, unsigned height, const Bytes& data) {
    Bytes out = {0, 0, std::uint8_t(type), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(out, width);
    Put16(out, height);
    out.push_back(std::uint8_t(depth));
    out.push_back(std::uint8_t(descriptor));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

struct BinaryOptions {
    bool doubles = false;               // "0064": float lists of 64-bit values
    bool wordStringTerminator = false;  // 16-bit terminator after strings instead of 32-bit
};

// Tokenizes the text form (after its 16-byte header) and writes the binary
// token stream: numbers become integer and float lists, separators inside data
// disappear, template declarations keep their tokens.
inline Bytes TextToBinary(const Bytes& text, BinaryOptions options = {}) {
    Bytes out(text.begin(), text.begin() + 16);
    std::memcpy(out.data() + 8, "bin ", 4);
    std::memcpy(out.data() + 12, options.doubles ? "0064" : "0032", 4);
    std::vector<double> list;
    bool listReal = false;
    auto flush = [&] {
        if (list.empty()) return;
        Put16(out, listReal ? 7 : 6);
        Put32(out, std::uint32_t(list.size()));
        for (double v : list) {
            if (!listReal) {
                Put32(out, std::uint32_t(v));
            } else if (options.doubles) {
                std::uint64_t bits;
                std::memcpy(&bits, &v, 8);
                Put32(out, std::uint32_t(bits));
                Put32(out, std::uint32_t(bits >> 32));
            } else {
                float f = float(v);
                std::uint32_t bits;
                std::memcpy(&bits, &f, 4);
                Put32(out, bits);
            }
        }
        list.clear();
    };
    auto name = [&](int token, const std::string& s) {
        Put16(out, unsigned(token));
        Put32(out, std::uint32_t(s.size()));
        out.insert(out.end(), s.begin(), s.end());
    };
    int templateDepth = 0;  // inside a template declaration
    bool templateNext = false;
    std::size_t i = 16;
    auto at = [&](std::size_t k) { return k < text.size() ? char(text[k]) : '\0'; };
    // Names may hold bytes above 127 and start with a digit ("3DS_Box").
    auto nameStart = [&](std::size_t k) {
        unsigned char u = static_cast<unsigned char>(at(k));
        return std::isalpha(u) || u == '_' || u >= 0x80;
    };
    auto nameChar = [&](std::size_t k) {
        return nameStart(k) || std::isdigit(static_cast<unsigned char>(at(k))) || at(k) == '-' || at(k) == '.';
    };
    auto numberEnd = [&](std::size_t k, bool* real) {
        std::size_t end = k + 1;
        auto exponent = [&](std::size_t e) { return at(e) == 'e' || at(e) == 'E'; };
        while (std::isdigit(static_cast<unsigned char>(at(end))) || at(end) == '.' || exponent(end) ||
               ((at(end) == '-' || at(end) == '+') && exponent(end - 1))) {
            *real |= at(end) == '.' || at(end) == 'e' || at(end) == 'E';
            ++end;
        }
        return end;
    };
    while (i < text.size()) {
        char c = at(i);
        bool real = false;
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '#' || (c == '/' && at(i + 1) == '/')) {
            while (i < text.size() && at(i) != '\n') ++i;
        } else if (c == '<') {
            flush();
            std::size_t end = i;
            while (at(end) != '>') ++end;
            std::string g(text.begin() + long(i) + 1, text.begin() + long(end));
            i = end + 1;
            std::string hex;
            for (char h : g)
                if (h != '-') hex += h;
            Put16(out, 5);
            Put32(out, std::uint32_t(std::stoul(hex.substr(0, 8), nullptr, 16)));
            Put16(out, unsigned(std::stoul(hex.substr(8, 4), nullptr, 16)));
            Put16(out, unsigned(std::stoul(hex.substr(12, 4), nullptr, 16)));
            for (int b = 0; b < 8; ++b) out.push_back(std::uint8_t(std::stoul(hex.substr(16 + b * 2, 2), nullptr, 16)));
        } else if (c == '"') {
            flush();
            std::size_t end = i + 1;
            while (at(end) != '"') ++end;
            name(2, std::string(text.begin() + long(i) + 1, text.begin() + long(end)));
            if (options.wordStringTerminator) {
                Put16(out, 20);
            } else {
                Put32(out, 20);
            }
            i = end + 1;
        } else if ((std::isdigit(static_cast<unsigned char>(c)) && !nameStart(numberEnd(i, &real))) || c == '-' ||
                   (c == '.' && std::isdigit(static_cast<unsigned char>(at(i + 1))))) {
            real = false;
            std::size_t end = numberEnd(i, &real);
            double v = std::stod(std::string(text.begin() + long(i), text.begin() + long(end)));
            i = end;
            if (templateDepth > 0) {
                Put16(out, 3);
                Put32(out, std::uint32_t(v));
            } else {
                if (!list.empty() && listReal != real) flush();
                listReal = real;
                list.push_back(v);
            }
        } else if (nameStart(i) || std::isdigit(static_cast<unsigned char>(c))) {
            flush();
            std::size_t end = i;
            while (nameChar(end)) ++end;
            std::string word(text.begin() + long(i), text.begin() + long(end));
            i = end;
            static const std::pair<const char*, int> kTypes[] = {
                {"WORD", 40},  {"DWORD", 41},  {"FLOAT", 42},  {"DOUBLE", 43},   {"CHAR", 44},
                {"UCHAR", 45}, {"SWORD", 46},  {"SDWORD", 47}, {"VOID", 48},     {"LPSTR", 49},
                {"STRING", 49}, {"UNICODE", 50}, {"CSTRING", 51}, {"array", 52},
            };
            int type = 0;
            if (templateDepth > 0)
                for (const auto& [w, t] : kTypes)
                    if (word == w) type = t;
            if (word == "template") {
                Put16(out, 31);
                templateNext = true;
            } else if (type) {
                Put16(out, unsigned(type));
            } else {
                name(1, word);
            }
        } else {
            flush();
            ++i;
            switch (c) {
                case '{':
                    Put16(out, 10);
                    if (templateNext || templateDepth > 0) ++templateDepth;
                    templateNext = false;
                    break;
                case '}':
                    Put16(out, 11);
                    if (templateDepth > 0) --templateDepth;
                    break;
                case '[': if (templateDepth > 0) Put16(out, 14); break;
                case ']': if (templateDepth > 0) Put16(out, 15); break;
                case '.': if (templateDepth > 0) Put16(out, 18); break;
                case ',': if (templateDepth > 0) Put16(out, 19); break;
                case ';': if (templateDepth > 0) Put16(out, 20); break;
                default: break;
            }
        }
    }
    flush();
    return out;
}

// The MSZIP form: header with "tzip" or "bzip", the total size, then blocks of
// at most blockSize bytes, each deflated with the block before as dictionary.
inline Bytes Compress(const Bytes& file, std::size_t blockSize) {
    Bytes out(file.begin(), file.begin() + 16);
    bool text = std::memcmp(file.data() + 8, "txt ", 4) == 0;
    std::memcpy(out.data() + 8, text ? "tzip" : "bzip", 4);
    Put32(out, std::uint32_t(file.size()));
    for (std::size_t start = 16; start < file.size(); start += blockSize) {
        std::size_t n = std::min(blockSize, file.size() - start);
        z_stream z{};
        deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        if (start > 16) {
            std::size_t dict = std::min<std::size_t>(start - 16, 32768);
            deflateSetDictionary(&z, file.data() + start - dict, uInt(dict));
        }
        Bytes packed(deflateBound(&z, uLong(n)) + 16);
        z.next_in = const_cast<Bytef*>(file.data() + start);
        z.avail_in = uInt(n);
        z.next_out = packed.data();
        z.avail_out = uInt(packed.size());
        deflate(&z, Z_FINISH);
        packed.erase(packed.end() - long(z.avail_out), packed.end());
        deflateEnd(&z);
        Put16(out, unsigned(n));
        Put16(out, unsigned(packed.size() + 2));
        out.push_back('C');
        out.push_back('K');
        out.insert(out.end(), packed.begin(), packed.end());
    }
    return out;
}

// --- Reading results back ----------------------------------------------------

struct MaterialEntry {
    D3DMATERIAL8 material;
    bool hasName;
    std::string name;
};

struct Loaded {
    HRESULT hr = E_FAIL;
    MeshData data;
    DWORD fvf = 0;
    std::vector<MaterialEntry> materials;
    bool meshNull = true, listNull = true;
};

inline Loaded LoadX(IDirect3DDevice8* device, const std::string& path, DWORD options = D3DXMESH_SYSTEMMEM) {
    Loaded r;
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* list = nullptr;
    DWORD count = 12345;
    r.hr = D3DXLoadMeshFromX(path.c_str(), options, device, nullptr, &list, &count, &mesh);
    r.meshNull = mesh == nullptr;
    r.listNull = list == nullptr;
    if (mesh) {
        ReadMeshData(mesh, &r.data);
        r.fvf = mesh->GetFVF();
        mesh->Release();
    }
    if (list) {
        auto* entries = static_cast<D3DXMATERIAL*>(list->GetBufferPointer());
        for (DWORD i = 0; i < count; ++i)
            r.materials.push_back(MaterialEntry{entries[i].MatD3D, entries[i].pTextureFilename != nullptr,
                                                entries[i].pTextureFilename ? entries[i].pTextureFilename : ""});
        list->Release();
    } else if (count != 0) {
        r.materials.resize(count);  // a count without a list shows up as garbage entries
    }
    return r;
}

// Position, normal, colour and coordinates of vertex v of a loaded mesh.
struct VertexView {
    float pos[3] = {0, 0, 0}, normal[3] = {0, 0, 0}, uv[2] = {0, 0};
    DWORD color = 0;
};
inline VertexView VertexAt(const MeshData& data, std::size_t v) {
    FvfLayout l = FvfLayout::Of(data.fvf);
    const BYTE* p = &data.vertices[v * l.stride];
    VertexView out;
    std::memcpy(out.pos, p, 12);
    if (l.normal >= 0) std::memcpy(out.normal, p + l.normal, 12);
    if (l.diffuse >= 0) std::memcpy(&out.color, p + l.diffuse, 4);
    if (l.tex >= 0) std::memcpy(out.uv, p + l.tex, 8);
    return out;
}

inline std::size_t VertexCount(const MeshData& data) { return data.vertices.size() / FvfLayout::Of(data.fvf).stride; }

}  // namespace util3d_test
