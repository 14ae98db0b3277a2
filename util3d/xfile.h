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
    // References whose name (or GUID) no object defined before them carries.
    // Kept rather than failing the parse: an animation that names a frame the
    // file lacks does not matter to the geometry, so the reader of the object
    // decides.
    std::vector<std::string> unresolved;
    bool referenced = false;  // some reference names this object
    // A reference inside a frame or at the top level names this object: it is
    // drawn where the reference stands. References elsewhere (an animation
    // naming the frame it moves, a material list naming a material) do not.
    bool placed = false;
};

struct XFile {
    std::vector<XObject> objects;
    // The top-level entries in file order: definitions, and references that
    // place an object there (topLevelIsReference tells them apart).
    std::vector<std::size_t> topLevel;
    std::vector<bool> topLevelIsReference;
    std::vector<std::string> templates;  // names of the template declarations read
};

// Limits that keep a hostile file from taking the machine.
constexpr std::size_t kXMaxNesting = 64;
constexpr std::size_t kXMaxInflated = std::size_t(64) << 20;

// Parses a whole file. False, with a reason and where it was met in *error, for
// anything that is not a well-formed X file (bad header, truncation, unbalanced
// braces, a top-level reference to an object not defined before it, nesting
// deeper than kXMaxNesting). Other references to objects not defined before
// them are kept in XObject::unresolved.
bool ParseXFile(const std::uint8_t* data, std::size_t size, XFile* file, std::string* error);

// A name from a file as a message shows it: bytes that are no printable ASCII
// become '?', and long names are cut.
std::string XShownName(const std::string& name);

// The loader behind D3DXLoadMeshFromX, from bytes in memory.
HRESULT LoadMeshFromXMemory(const std::uint8_t* data, std::size_t size, DWORD options, IDirect3DDevice8* device,
                            ID3DXBuffer** adjacency, ID3DXBuffer** materials, DWORD* materialCount,
                            ID3DXMesh** mesh, std::string* error = nullptr);
// The same from a file already parsed.
HRESULT LoadMeshFromParsedX(const XFile& file, DWORD options, IDirect3DDevice8* device, ID3DXBuffer** adjacency,
                            ID3DXBuffer** materials, DWORD* materialCount, ID3DXMesh** mesh,
                            std::string* error = nullptr);
