// The icons of the desktop's icon theme: the window icon's own drawing at each
// size, 16 to 256 pixels, a flag on a see-through background (that the tool
// makes exactly these files is checked with the other data in tools_test.cpp).
#include <png.h>

#include <string>
#include <vector>

#include "tests/data/data_fixture.h"

namespace {

using namespace data_test;

struct Picture {
    unsigned width = 0, height = 0;
    std::vector<unsigned char> rgba;
    const unsigned char* At(unsigned x, unsigned y) const { return &rgba[(size_t(y) * width + x) * 4]; }
};

Picture ReadPng(const std::string& path) {
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << path << ": " << image.message;
        return picture;
    }
    image.format = PNG_FORMAT_RGBA;
    picture.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgba.data(), 0, nullptr)) {
        ADD_FAILURE() << path << ": " << image.message;
        return Picture{};
    }
    picture.width = image.width;
    picture.height = image.height;
    return picture;
}

TEST(IconTheme, EverySizeIsTheWindowIconsFlag) {
    const Picture window = ReadPng(SourcePath("resources/icon107.png"));
    for (unsigned size : {16u, 22u, 24u, 32u, 48u, 64u, 128u, 256u}) {
        SCOPED_TRACE(size);
        const std::string dims = std::to_string(size) + "x" + std::to_string(size);
        const Picture icon = ReadPng(SourcePath("resources/hicolor/" + dims + "/apps/tarvik3d.png"));
        ASSERT_EQ(icon.width, size);
        ASSERT_EQ(icon.height, size);
        if (size == 32) {
            EXPECT_EQ(icon.rgba, window.rgba) << "the window icon itself";
        }
        // See-through in the corners away from the pole's knob; the flag's
        // black and white squares solid in its middle.
        EXPECT_EQ(icon.At(size - 1, 0)[3], 0);
        EXPECT_EQ(icon.At(size - 1, size - 1)[3], 0);
        EXPECT_EQ(icon.At(0, size - 1)[3], 0);
        int white = 0, black = 0;
        for (unsigned y = size * 6 / 32; y < size * 19 / 32; ++y)
            for (unsigned x = size * 9 / 32; x < size * 28 / 32; ++x) {
                const unsigned char* p = icon.At(x, y);
                if (p[3] == 255 && p[0] > 180 && p[1] > 180) ++white;
                if (p[3] == 255 && p[0] < 70 && p[1] < 70) ++black;
            }
        const int area = int((size * 19 / 32 - size * 6 / 32) * (size * 28 / 32 - size * 9 / 32));
        EXPECT_GT(white, area / 10) << "white squares";
        EXPECT_GT(black, area / 10) << "black squares";
    }
}

}  // namespace
