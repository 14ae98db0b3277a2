// Reading ahead: the X files a program is about to load are read and parsed,
// and the textures their materials name are read and decoded with their mip
// levels, on a thread of their own while the program does other things (makes
// its window and device). The loaders read their files as ever and take what
// was made ahead only for the very same bytes; what is still being made is
// waited for, what was not begun is made by the loader itself. Results and
// errors are those without it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "util3d/image.h"
#include "util3d/xfile.h"

class LoadAhead {
public:
    // Begins with the X files in the order they will be loaded (names as
    // D3DXLoadMeshFromX takes them). One at a time: a second one started
    // while this one lives reads nothing ahead.
    explicit LoadAhead(std::vector<std::string> meshFiles);
    // Finishes the image at hand and forgets what was not taken.
    ~LoadAhead();
    // Waits until every file has been read ahead (for tests).
    void Finish();
    LoadAhead(const LoadAhead&) = delete;
    LoadAhead& operator=(const LoadAhead&) = delete;

    struct State;

private:
    std::shared_ptr<State> state_;
};

// For the texture loader: the mip levels made ahead from exactly `bytes`,
// read from the file at `path`. False when there are none.
bool TakeImageMadeAhead(const std::string& path, const std::vector<std::uint8_t>& bytes, std::vector<Image>* levels);
// For the mesh loader: the X file parsed ahead from exactly `bytes`, read from
// `path` (the name as the loader was given it).
bool TakeXFileMadeAhead(const std::string& path, const std::vector<std::uint8_t>& bytes, XFile* file);

// The full mip chain of an image, as CreateTextureFromImage makes it.
std::vector<Image> MipChain(const Image& image);
