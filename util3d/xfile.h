// Reading DirectX X files (text and binary, plain or MSZIP-compressed) into a
// tree of data objects, and turning that tree into one joined mesh.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "util3d/d3dx.h"

// One data member as it appeared in the file. Text numbers without a point or
// exponent and binary integer lists are Integer; strings index XObject::strings.
struct XValue {
    enum Kind : std::uint8_t { Integer, Real, String };
    Kind kind;
    double number;
    std::uint32_t text;
};

struct XObject {
    std::string type;  // template name, e.g. "Mesh"
    std::string name;  // may be empty
    std::string guid;  // may be empty
    std::vector<XValue> values;
    std::vector<std::string> strings;
    std::vector<std::size_t> children;  // indices into XFile::objects, references resolved
    bool referenced = false;            // some reference names this object
};

struct XFile {
    std::vector<XObject> objects;
    std::vector<std::size_t> topLevel;
    std::vector<std::string> templates;  // names of the template declarations read
};

// Limits that keep a hostile file from taking the machine.
constexpr std::size_t kXMaxNesting = 64;
constexpr std::size_t kXMaxInflated = std::size_t(64) << 20;

// Parses a whole file. False, with a reason in *error, for anything that is not
// a well-formed X file (bad header, truncation, unbalanced braces, a reference
// to an object not defined before it, nesting deeper than kXMaxNesting).
bool ParseXFile(const std::uint8_t* data, std::size_t size, XFile* file, std::string* error);

// The loader behind D3DXLoadMeshFromX, from bytes in memory.
HRESULT LoadMeshFromXMemory(const std::uint8_t* data, std::size_t size, DWORD options, IDirect3DDevice8* device,
                            ID3DXBuffer** adjacency, ID3DXBuffer** materials, DWORD* materialCount,
                            ID3DXMesh** mesh, std::string* error = nullptr);
