// Shows what the 3D utility layer makes of an X file, or of a text string as
// an extruded text mesh: the joined mesh and its materials, or the error.
//
//   xinfo FILE.x
//   xinfo --text "Tarvik" [--face Arial] [--deviation 0.001] [--extrusion 0.4]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/recording/recording_device.h"
#include "util3d/d3dx.h"
#include "util3d/mesh.h"
#include "util3d/xfile.h"

namespace {

const char* ResultName(HRESULT hr) {
    switch (hr) {
        case S_OK: return "S_OK";
        case E_FAIL: return "E_FAIL";
        case D3DERR_INVALIDCALL: return "D3DERR_INVALIDCALL";
        case E_OUTOFMEMORY: return "E_OUTOFMEMORY";
        default: return "error";
    }
}

std::string FormatName(DWORD fvf) {
    std::string s;
    if ((fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZ) s += " XYZ";
    if ((fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW) s += " XYZRHW";
    if (fvf & D3DFVF_NORMAL) s += " NORMAL";
    if (fvf & D3DFVF_DIFFUSE) s += " DIFFUSE";
    if (fvf & D3DFVF_SPECULAR) s += " SPECULAR";
    if (DWORD tex = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT) s += " TEX" + std::to_string(tex);
    return s;
}

void PrintColor(const char* name, const D3DCOLORVALUE& c) {
    std::printf(" %s (%g, %g, %g, %g)", name, c.r, c.g, c.b, c.a);
}

void PrintMesh(ID3DXMesh* mesh) {
    MeshData data;
    if (FAILED(ReadMeshData(mesh, &data))) {
        std::printf("mesh cannot be read back\n");
        return;
    }
    FvfLayout layout = FvfLayout::Of(data.fvf);
    std::size_t count = data.vertices.size() / layout.stride;
    float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    for (std::size_t v = 0; v < count; ++v) {
        float p[3];
        std::memcpy(p, &data.vertices[v * layout.stride], sizeof p);
        for (int k = 0; k < 3; ++k) {
            if (v == 0 || p[k] < lo[k]) lo[k] = p[k];
            if (v == 0 || p[k] > hi[k]) hi[k] = p[k];
        }
    }
    std::printf("vertices: %zu\n", count);
    std::printf("triangles: %zu\n", data.attributes.size());
    std::printf("vertex format: 0x%03X%s\n", unsigned(data.fvf), FormatName(data.fvf).c_str());
    std::printf("options: 0x%03X\n", unsigned(mesh->GetOptions()));
    std::printf("bounding box: (%g, %g, %g) - (%g, %g, %g)\n", lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]);
    std::printf("subsets:");
    for (std::size_t f = 0; f < data.attributes.size();) {
        std::size_t end = f;
        while (end < data.attributes.size() && data.attributes[end] == data.attributes[f]) ++end;
        std::printf(" %u: %zu triangles%s", unsigned(data.attributes[f]), end - f,
                    end < data.attributes.size() ? "," : "");
        f = end;
    }
    std::printf("\n");
}

int ShowFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::printf("%s: cannot open the file\n", path);
        return 1;
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto* device = new RecordingDevice();
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* list = nullptr;
    DWORD count = 0;
    std::string error;
    HRESULT hr = LoadMeshFromXMemory(bytes.data(), bytes.size(), D3DXMESH_SYSTEMMEM, device, nullptr, &list, &count,
                                     &mesh, &error);
    int status = 0;
    if (FAILED(hr)) {
        std::printf("%s: %s (%s)\n", path, ResultName(hr), error.c_str());
        status = 1;
    } else {
        std::printf("file: %s\n", path);
        PrintMesh(mesh);
        std::printf("materials: %u\n", unsigned(count));
        auto* entries = static_cast<D3DXMATERIAL*>(list->GetBufferPointer());
        for (DWORD i = 0; i < count; ++i) {
            const D3DMATERIAL8& m = entries[i].MatD3D;
            std::printf("  %u:", unsigned(i));
            PrintColor("diffuse", m.Diffuse);
            PrintColor("ambient", m.Ambient);
            PrintColor("specular", m.Specular);
            PrintColor("emissive", m.Emissive);
            std::printf(" power %g", m.Power);
            if (entries[i].pTextureFilename) {
                std::printf(" texture \"%s\"\n", entries[i].pTextureFilename);
            } else {
                std::printf(" no texture\n");
            }
        }
    }
    SafeRelease(list);
    SafeRelease(mesh);
    device->Release();
    return status;
}

int ShowText(const char* text, const char* face, float deviation, float extrusion) {
    auto* device = new RecordingDevice();
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTA lf;
    std::memset(&lf, 0, sizeof lf);
    lf.lfHeight = 1;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    ID3DXMesh* mesh = nullptr;
    HRESULT hr = D3DXCreateTextMeshA(device, dc, text, deviation, extrusion, &mesh, nullptr, nullptr);
    int status = 0;
    if (!font) {
        std::printf("no font for the face \"%s\"; the context's own font is used\n", face);
    }
    if (FAILED(hr)) {
        std::printf("text \"%s\": %s\n", text, ResultName(hr));
        status = 1;
    } else {
        std::printf("text: \"%s\" (face %s, deviation %g, extrusion %g)\n", text, face, deviation, extrusion);
        PrintMesh(mesh);
    }
    SafeRelease(mesh);
    if (previous) SelectObject(dc, previous);
    if (font) DeleteObject(font);
    DeleteDC(dc);
    device->Release();
    return status;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: xinfo FILE.x\n"
                 "       xinfo --text STRING [--face NAME] [--deviation D] [--extrusion E]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* text = nullptr;
    const char* file = nullptr;
    const char* face = "Arial";
    float deviation = 0.001f, extrusion = 0.4f;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--text" && hasValue) {
            text = argv[++i];
        } else if (arg == "--face" && hasValue) {
            face = argv[++i];
        } else if (arg == "--deviation" && hasValue) {
            deviation = std::strtof(argv[++i], nullptr);
        } else if (arg == "--extrusion" && hasValue) {
            extrusion = std::strtof(argv[++i], nullptr);
        } else if (!arg.empty() && arg[0] != '-' && !file) {
            file = argv[i];
        } else {
            return Usage();
        }
    }
    if (text) return ShowText(text, face, deviation, extrusion);
    if (file) return ShowFile(file);
    return Usage();
}
