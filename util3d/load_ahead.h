// Reading ahead: the textures named by the X files a program is about to load
// are read and decoded, with their mip levels, on a thread of their own while
// the program does other things (makes its window and device). The texture
// loader reads its file as ever and takes what was made ahead only for the
// very same bytes; an image still being made is waited for, one not begun is
// made by the loader itself. Results and errors are those without it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "util3d/image.h"

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

// The full mip chain of an image, as CreateTextureFromImage makes it.
std::vector<Image> MipChain(const Image& image);
