#include <cstdio>
// jpeglib.h needs stdio's types first.
#include <jpeglib.h>
#include <png.h>

#include <cstring>

#include "platform/recording/call_names.h"
#include "tests/util3d/util3d_fixture.h"
#include "util3d/image.h"

namespace {

using namespace util3d_test;

// 3 x 2 pixels, 0xAARRGGBB, with alpha that varies.
const std::uint32_t kPixels[6] = {0xFFFF0000, 0x8000FF00, 0x000000FF, 0xFF102030, 0xFFFFFFFF, 0x40808080};

Bytes EncodePng(bool alpha) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = 3;
    image.height = 2;
    image.format = alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
    std::vector<std::uint8_t> pixels;
    for (std::uint32_t p : kPixels) {
        pixels.insert(pixels.end(), {std::uint8_t(p), std::uint8_t(p >> 8), std::uint8_t(p >> 16)});
        if (alpha) pixels.push_back(std::uint8_t(p >> 24));
    }
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    Bytes out(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr));
    out.resize(size);
    return out;
}

// A flat-coloured JPEG: lossy coding keeps a flat colour within a few steps.
Bytes EncodeJpeg(unsigned width, unsigned height, std::uint8_t r, std::uint8_t g, std::uint8_t b, bool grey) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = grey ? 1 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row;
    for (unsigned x = 0; x < width; ++x) {
        if (grey) {
            row.push_back(r);
        } else {
            row.insert(row.end(), {r, g, b});
        }
    }
    while (info.next_scanline < height) {
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&info, &p, 1);
    }
    jpeg_finish_compress(&info);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

// BMP with a 40-byte header, bottom-up rows padded to four bytes.
Bytes MakeBmp(unsigned bits, unsigned compression, const Bytes& pixelData, const std::vector<std::uint32_t>& palette,
              int width, int height) {
    Bytes out = {'B', 'M'};
    std::uint32_t offset = 14 + 40 + std::uint32_t(palette.size()) * 4;
    Put32(out, offset + std::uint32_t(pixelData.size()));
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, std::uint32_t(width));
    Put32(out, std::uint32_t(height));
    Put16(out, 1);
    Put16(out, bits);
    Put32(out, compression);
    Put32(out, std::uint32_t(pixelData.size()));
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, std::uint32_t(palette.size()));
    Put32(out, 0);
    for (std::uint32_t c : palette) Put32(out, c);
    out.insert(out.end(), pixelData.begin(), pixelData.end());
    return out;
}

Image Decode(const Bytes& bytes, bool* ok, std::string* error = nullptr) {
    Image image;
    std::string ignored;
    *ok = DecodeImage(bytes.data(), bytes.size(), &image, error ? error : &ignored);
    return image;
}

TEST(ImageDecode, PngWithAndWithoutAlpha) {
    bool ok = false;
    Image withAlpha = Decode(EncodePng(true), &ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(withAlpha.hasAlpha);
    ASSERT_EQ(withAlpha.width, 3u);
    ASSERT_EQ(withAlpha.height, 2u);
    EXPECT_EQ(withAlpha.pixels, std::vector<std::uint32_t>(kPixels, kPixels + 6));

    Image opaque = Decode(EncodePng(false), &ok);
    ASSERT_TRUE(ok);
    EXPECT_FALSE(opaque.hasAlpha);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(opaque.pixels[i], kPixels[i] | 0xFF000000u) << i;
}

TEST(ImageDecode, JpegColourAndGrey) {
    struct Case {
        bool grey;
        std::uint32_t expected;
    } cases[] = {{false, 0xFFC86432}, {true, 0xFFC8C8C8}};
    for (const Case& c : cases) {
        bool ok = false;
        Image image = Decode(EncodeJpeg(16, 8, 200, 100, 50, c.grey), &ok);
        ASSERT_TRUE(ok);
        EXPECT_FALSE(image.hasAlpha);
        ASSERT_EQ(image.width, 16u);
        ASSERT_EQ(image.height, 8u);
        for (std::uint32_t p : image.pixels)
            for (int shift : {0, 8, 16, 24})
                EXPECT_NEAR(int((p >> shift) & 0xFF), int((c.expected >> shift) & 0xFF), 3) << std::hex << p;
    }
}

// How many warnings libjpeg gives on the way through a whole file.
long JpegWarnings(const Bytes& bytes) {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    errors.output_message = [](j_common_ptr) {};
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    std::vector<std::uint8_t> row(std::size_t(info.output_width) * std::size_t(info.output_components));
    while (info.output_scanline < info.output_height) {
        JSAMPROW p = row.data();
        jpeg_read_scanlines(&info, &p, 1);
    }
    jpeg_finish_decompress(&info);
    const long warnings = errors.num_warnings;
    jpeg_destroy_decompress(&info);
    return warnings;
}

std::size_t MarkerAt(const Bytes& jpeg, std::uint8_t marker) {
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == marker) return i;
    return jpeg.size();
}

// Warnings are no failures: the image decodes as image viewers show it.
TEST(ImageDecode, JpegWarningsKeepTheDecodedImage) {
    const Bytes jpeg = EncodeJpeg(16, 256, 200, 100, 50, false);
    bool ok = false;
    const Image whole = Decode(jpeg, &ok);
    ASSERT_TRUE(ok);
    const std::size_t scan = MarkerAt(jpeg, 0xDA);
    const std::size_t end = jpeg.size() - 2;  // the end-of-image marker
    ASSERT_LT(scan, end);
    ASSERT_EQ(MarkerAt(jpeg, 0xD9), end);
    const Bytes junk = {0x12, 0x34, 0x56, 0x78, 0x9A};
    auto insert = [&](std::size_t at) {
        Bytes b = jpeg;
        b.insert(b.begin() + long(at), junk.begin(), junk.end());
        return b;
    };
    // Cut in the middle of the coded picture: no end of image, half the rows.
    const Bytes cut(jpeg.begin(), jpeg.begin() + long(scan + (end - scan) / 2));

    struct Case {
        const char* name;
        Bytes bytes;
        bool whole;  // the same image as the whole file gives
    } cases[] = {
        {"stray bytes before the start of scan", insert(scan), true},
        {"stray bytes before the end of image", insert(end), true},
        {"cut short inside the picture", cut, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_GT(JpegWarnings(c.bytes), 0);  // the fixture does what it says
        std::string error;
        const Image image = Decode(c.bytes, &ok, &error);
        ASSERT_TRUE(ok) << error;
        ASSERT_EQ(image.width, 16u);
        ASSERT_EQ(image.height, 256u);
        if (c.whole) {
            EXPECT_EQ(image.pixels, whole.pixels);
            continue;
        }
        // The rows that were there keep their colour; the rest come out grey.
        const std::vector<std::uint32_t> firstRow(whole.pixels.begin(), whole.pixels.begin() + 16);
        EXPECT_EQ(std::vector<std::uint32_t>(image.pixels.begin(), image.pixels.begin() + 16), firstRow);
        EXPECT_NE(image.pixels.back(), whole.pixels.back());
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(int((image.pixels.back() >> shift) & 0xFF), 128, 3) << std::hex << image.pixels.back();
    }
}

TEST(ImageDecode, BmpDepthsAndRunLengths) {
    // Expected 2 x 2: top row red, green; bottom row blue, white.
    const std::vector<std::uint32_t> expected = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    const std::vector<std::uint32_t> palette = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFFFF};
    struct Case {
        const char* name;
        Bytes bytes;
        bool alpha;
    } cases[] = {
        {"24-bit bottom-up", MakeBmp(24, 0, {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0}, {}, 2, 2),
         false},
        {"32-bit top-down", MakeBmp(32, 0, {0, 0, 255, 9, 0, 255, 0, 9, 255, 0, 0, 9, 255, 255, 255, 9}, {}, 2, -2),
         false},
        {"8-bit palette", MakeBmp(8, 0, {2, 3, 0, 0, 0, 1, 0, 0}, palette, 2, 2), false},
        {"4-bit palette", MakeBmp(4, 0, {0x23, 0, 0, 0, 0x01, 0, 0, 0}, palette, 2, 2), false},
        {"1-bit palette", MakeBmp(1, 0, {0x40, 0, 0, 0, 0x80, 0, 0, 0}, {0x0000FF00, 0x00FF0000}, 2, 2), false},
        {"8-bit runs", MakeBmp(8, 1, {1, 2, 1, 3, 0, 0, 1, 0, 1, 1, 0, 1}, palette, 2, 2), false},
        {"8-bit literal run", MakeBmp(8, 1, {0, 4, 2, 3, 0, 1, 0, 1}, palette, 2, 2), false},
        {"4-bit runs", MakeBmp(4, 2, {2, 0x23, 0, 0, 2, 0x01, 0, 1}, palette, 2, 2), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MaybeWriteCorpus("image", std::string("bmp ") + c.name, c.bytes);
        bool ok = false;
        std::string error;
        Image image = Decode(c.bytes, &ok, &error);
        ASSERT_TRUE(ok) << error;
        EXPECT_EQ(image.hasAlpha, c.alpha);
        if (std::string(c.name) == "1-bit palette") {
            EXPECT_EQ(image.pixels, (std::vector<std::uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF00FF00, 0xFFFF0000}));
        } else if (std::string(c.name) == "8-bit literal run") {
            // Four pixels in one literal run wrap nothing: the first row gets
            // two, the rest fall outside and the top row keeps the first colour.
            EXPECT_EQ(image.pixels[2], expected[2]);
            EXPECT_EQ(image.pixels[3], expected[3]);
        } else {
            EXPECT_EQ(image.pixels, expected);
        }
    }
    // 32 bits with an alpha mask in the bit fields carry alpha.
    Bytes fields = MakeBmp(32, 3, {0x80, 0x40, 0x20, 0x10}, {}, 1, 1);
    Bytes masks;
    for (std::uint32_t m : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) Put32(masks, m);
    // A V3 header (56 bytes) holds the four masks in the header itself.
    Bytes v3 = {'B', 'M'};
    Put32(v3, 14 + 56 + 4);
    Put32(v3, 0);
    Put32(v3, 14 + 56);
    Put32(v3, 56);
    Put32(v3, 1);
    Put32(v3, 1);
    Put16(v3, 1);
    Put16(v3, 32);
    Put32(v3, 3);
    for (int i = 0; i < 5; ++i) Put32(v3, 0);
    v3.insert(v3.end(), masks.begin(), masks.end());
    v3.insert(v3.end(), {0x80, 0x40, 0x20, 0x10});
    bool ok = false;
    Image withAlpha = Decode(v3, &ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(withAlpha.hasAlpha);
    EXPECT_EQ(withAlpha.pixels[0], 0x10204080u);
}

TEST(ImageDecode, TgaPlainAndRunLengthInBothRowOrders) {
    // 2 x 2, top row red, green; bottom row blue, half-transparent white.
    const std::vector<std::uint32_t> expected = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFFFF};
    Bytes bottomUp = {255, 0, 0, 255, 255, 255, 255, 128, 0, 0, 255, 255, 0, 255, 0, 255};
    Bytes topDown = {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 255, 255, 255, 128};
    Bytes runs = {0x01, 0, 0, 255, 255, 0, 255, 0, 255, 0x80, 255, 0, 0, 255, 0x00, 255, 255, 255, 128};
    struct Case {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"plain bottom-up", MakeTga(2, 32, 0x08, 2, 2, bottomUp)},
        {"plain top-down", MakeTga(2, 32, 0x28, 2, 2, topDown)},
        {"runs top-down", MakeTga(10, 32, 0x28, 2, 2, runs)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MaybeWriteCorpus("image", std::string("tga ") + c.name, c.bytes);
        bool ok = false;
        std::string error;
        Image image = Decode(c.bytes, &ok, &error);
        ASSERT_TRUE(ok) << error;
        EXPECT_TRUE(image.hasAlpha);
        EXPECT_EQ(image.pixels, expected);
    }
    bool ok = false;
    Image rgb = Decode(MakeTga(10, 24, 0x20, 3, 1, {0x82, 10, 20, 30}), &ok);
    ASSERT_TRUE(ok);
    EXPECT_FALSE(rgb.hasAlpha);
    EXPECT_EQ(rgb.pixels, (std::vector<std::uint32_t>(3, 0xFF1E140A)));
    Image grey = Decode(MakeTga(3, 8, 0x20, 2, 1, {7, 200}), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(grey.pixels, (std::vector<std::uint32_t>{0xFF070707, 0xFFC8C8C8}));
}

TEST(ImageDecode, BrokenAndAbsurdImagesFailWithoutAllocating) {
    Bytes png = EncodePng(true);
    Bytes jpeg = EncodeJpeg(64, 64, 10, 20, 30, false);
    Bytes hugePng = png;
    // Width in the IHDR chunk (offset 16): 100000, beyond the limit; the CRC
    // no longer matches either, and both must fail cleanly.
    hugePng[16] = 0x00;
    hugePng[17] = 0x01;
    hugePng[18] = 0x86;
    hugePng[19] = 0xA0;
    Bytes hugeJpeg = jpeg;
    for (std::size_t i = 0; i + 8 < hugeJpeg.size(); ++i)
        if (hugeJpeg[i] == 0xFF && hugeJpeg[i + 1] == 0xC0) {  // start of frame: height, width
            hugeJpeg[i + 5] = 0xFF;
            hugeJpeg[i + 6] = 0xFF;
            hugeJpeg[i + 7] = 0xFF;
            hugeJpeg[i + 8] = 0xFF;
            break;
        }
    struct Case {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"empty", {}},
        {"PNG truncated", Bytes(png.begin(), png.begin() + long(png.size() / 2))},
        {"PNG data corrupted", [&] {
             Bytes b = png;
             for (std::size_t i = 40; i < b.size() - 12; ++i) b[i] ^= 0x5A;
             return b;
         }()},
        {"PNG claims 100000 pixels wide", hugePng},
        {"JPEG cut short inside its header", Bytes(jpeg.begin(), jpeg.begin() + long(jpeg.size() / 2))},
        {"JPEG header only", Bytes(jpeg.begin(), jpeg.begin() + 4)},
        {"JPEG claims 65535 x 65535", hugeJpeg},
        {"BMP claims more rows than it has", MakeBmp(24, 0, {1, 2, 3, 0}, {}, 1, 8000)},
        {"BMP claims 100000 wide", MakeBmp(24, 0, {1, 2, 3, 0}, {}, 100000, 1)},
        {"BMP bad depth", MakeBmp(7, 0, {1, 2, 3, 0}, {}, 1, 1)},
        {"BMP literal run beyond data", MakeBmp(8, 1, {0, 200, 1, 2}, {0, 0}, 2, 2)},
        {"TGA claims more pixels than it has", MakeTga(2, 24, 0x20, 8000, 8000, {1, 2, 3})},
        {"TGA run data ends early", MakeTga(10, 24, 0x20, 4, 4, {0x83, 1, 2, 3, 0x05, 1})},
        {"TGA bad type", MakeTga(5, 24, 0x20, 1, 1, {1, 2, 3})},
        {"TGA zero size", MakeTga(2, 24, 0x20, 0, 1, {1, 2, 3})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool ok = true;
        std::string error;
        Image image = Decode(c.bytes, &ok, &error);
        EXPECT_FALSE(ok);
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(image.pixels.empty());
    }
}

TEST(ImageDecode, MipLevelsAverageWhatTheyCover) {
    Image source;
    source.width = 3;
    source.height = 2;
    source.pixels = {0xFF000000, 0xFF0000FF, 0xFF0000FF, 0xFF000000, 0xFF0000FF, 0xFF000000};
    Image half = HalveImage(source);
    ASSERT_EQ(half.width, 1u);
    ASSERT_EQ(half.height, 1u);
    EXPECT_EQ(half.pixels[0], 0xFF000080u) << "three of six blue pixels";
    Image square;
    square.width = square.height = 2;
    square.pixels = {0x00000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    EXPECT_EQ(HalveImage(square).pixels[0], 0xBFBFBFBFu);
    // Even sides: every channel of every pixel is its square's rounded mean,
    // extremes included.
    Image even;
    even.width = 6;
    even.height = 4;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 24; ++i) {
        seed = seed * 1103515245u + 12345u;
        even.pixels.push_back(i < 4 ? 0xFFFFFFFFu : seed);
    }
    even.pixels[6] = even.pixels[7] = 0xFFFFFFFFu;  // a square of white on the left
    const Image halved = HalveImage(even);
    ASSERT_EQ(halved.width, 3u);
    ASSERT_EQ(halved.height, 2u);
    for (std::uint32_t y = 0; y < 2; ++y)
        for (std::uint32_t x = 0; x < 3; ++x)
            for (int k = 0; k < 4; ++k) {
                std::uint32_t sum = 0;
                for (std::uint32_t dy = 0; dy < 2; ++dy)
                    for (std::uint32_t dx = 0; dx < 2; ++dx)
                        sum += (even.pixels[(2 * y + dy) * 6 + 2 * x + dx] >> (8 * k)) & 0xFF;
                EXPECT_EQ((halved.pixels[y * 3 + x] >> (8 * k)) & 0xFF, (sum + 2) / 4) << x << "," << y << " " << k;
            }
    EXPECT_EQ(halved.pixels[0], 0xFFFFFFFFu);
}

class TextureTest : public DeviceTest {};

TEST_F(TextureTest, TextureHasTheImageSizeFormatAndFullMipChain) {
    struct Case {
        const char* name;
        Bytes bytes;
        D3DFORMAT format;
        std::vector<std::pair<UINT, UINT>> levels;
    } cases[] = {
        {"alpha.png", EncodePng(true), D3DFMT_A8R8G8B8, {{3, 2}, {1, 1}}},
        {"opaque.png", EncodePng(false), D3DFMT_X8R8G8B8, {{3, 2}, {1, 1}}},
        {"flat.jpg", EncodeJpeg(20, 12, 1, 2, 3, false), D3DFMT_X8R8G8B8,
         {{20, 12}, {10, 6}, {5, 3}, {2, 1}, {1, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MaybeWriteCorpus("image", c.name, c.bytes);
        std::string path = WriteTemp(c.name, c.bytes);
        device->ClearLog();
        IDirect3DTexture8* texture = nullptr;
        ASSERT_EQ(D3DXCreateTextureFromFileA(device, path.c_str(), &texture), S_OK);
        EXPECT_EQ(device->calls[0], "CreateTexture " + std::to_string(c.levels[0].first) + " " +
                                        std::to_string(c.levels[0].second) + " 0 " + FormatName(c.format) +
                                        " MANAGED");
        ASSERT_EQ(texture->GetLevelCount(), c.levels.size());
        for (UINT i = 0; i < c.levels.size(); ++i) {
            D3DSURFACE_DESC desc{};
            texture->GetLevelDesc(i, &desc);
            EXPECT_EQ(desc.Width, c.levels[i].first);
            EXPECT_EQ(desc.Height, c.levels[i].second);
            EXPECT_EQ(desc.Format, c.format);
            EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
        }
        D3DLOCKED_RECT locked{};
        texture->LockRect(0, &locked, nullptr, 0);
        auto* first = static_cast<std::uint32_t*>(locked.pBits);
        if (c.format == D3DFMT_A8R8G8B8) {
            EXPECT_EQ(first[1], kPixels[1]);
            auto* secondRow = reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(locked.pBits) + locked.Pitch);
            EXPECT_EQ(secondRow[2], kPixels[5]);
        } else {
            EXPECT_EQ(first[0] >> 24, 0xFFu) << "opaque formats carry full alpha";
        }
        texture->UnlockRect(0);
        texture->Release();
    }
}

TEST_F(TextureTest, FailuresLeaveTheSlotEmpty) {
    IDirect3DTexture8* texture = reinterpret_cast<IDirect3DTexture8*>(0x1);
    std::string missing = FixturePath("no_such_texture.png");
    EXPECT_EQ(D3DXCreateTextureFromFileA(device, missing.c_str(), &texture), E_FAIL);
    EXPECT_EQ(texture, nullptr);
    std::string broken = WriteTemp("broken.png", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0});
    EXPECT_EQ(D3DXCreateTextureFromFileA(device, broken.c_str(), &texture), E_FAIL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device, nullptr, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(nullptr, missing.c_str(), &texture), D3DERR_INVALIDCALL);
    std::string good = WriteTemp("good.png", EncodePng(true));
    device->failTextureCreation = true;
    EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileA(device, good.c_str(), &texture)));
    EXPECT_EQ(texture, nullptr);
}

}  // namespace
