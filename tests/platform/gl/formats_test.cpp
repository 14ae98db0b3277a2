// Pieces of the OpenGL device that need no display: texel conversion and
// telling software renderers by name.
#include <gtest/gtest.h>

#include <vector>

#include "platform/gl/gl_diagnostics.h"
#include "platform/gl/gl_formats.h"

namespace {

struct ConversionCase {
    D3DFORMAT format;
    std::vector<BYTE> texel;  // little-endian, as Direct3D stores it
    BYTE r, g, b, a;
};

TEST(TexelConversion, EachFormatToRgba) {
    const ConversionCase cases[] = {
        {D3DFMT_A8R8G8B8, {0x44, 0x33, 0x22, 0x11}, 0x22, 0x33, 0x44, 0x11},
        {D3DFMT_X8R8G8B8, {0x44, 0x33, 0x22, 0x00}, 0x22, 0x33, 0x44, 0xFF},
        {D3DFMT_R8G8B8, {0x44, 0x33, 0x22}, 0x22, 0x33, 0x44, 0xFF},
        // 5 and 6 bits widen by repeating their top bits: full stays full.
        {D3DFMT_R5G6B5, {0xFF, 0xFF}, 255, 255, 255, 255},
        {D3DFMT_R5G6B5, {0x20, 0x84}, 0x84, 0x86, 0x00, 255},  // 10000 100001 00000
        {D3DFMT_A1R5G5B5, {0x1F, 0x80}, 0, 0, 255, 255},
        {D3DFMT_A1R5G5B5, {0x00, 0x7C}, 255, 0, 0, 0},
        {D3DFMT_X1R5G5B5, {0xE0, 0x03}, 0, 255, 0, 255},
        // The texture font's texels: white with a 4-bit alpha.
        {D3DFMT_A4R4G4B4, {0xFF, 0x7F}, 255, 255, 255, 119},
        {D3DFMT_A4R4G4B4, {0x00, 0x00}, 0, 0, 0, 0},
        {D3DFMT_A4R4G4B4, {0x4C, 0xF8}, 0x88, 0x44, 0xCC, 0xFF},
        {D3DFMT_L8, {0x5A}, 0x5A, 0x5A, 0x5A, 255},
        {D3DFMT_A8, {0x5A}, 0, 0, 0, 0x5A},
    };
    for (const ConversionCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format << " first byte " << int(c.texel[0]));
        ASSERT_TRUE(IsTextureFormatSupported(c.format));
        ASSERT_EQ(c.texel.size(), FormatBytesPerPixel(c.format));
        // Two texels in a row: the second must be read from the right place.
        std::vector<BYTE> source = c.texel;
        source.insert(source.end(), c.texel.begin(), c.texel.end());
        BYTE out[8] = {};
        ConvertToRgba8(c.format, source.data(), 2, out);
        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(out[4 * k + 0], c.r);
            EXPECT_EQ(out[4 * k + 1], c.g);
            EXPECT_EQ(out[4 * k + 2], c.b);
            EXPECT_EQ(out[4 * k + 3], c.a);
        }
    }
    EXPECT_FALSE(IsTextureFormatSupported(D3DFMT_D16));
    EXPECT_FALSE(IsTextureFormatSupported(D3DFMT_UNKNOWN));
}

TEST(SoftwareRenderer, KnownByItsName) {
    const std::pair<const char*, bool> cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
        {"softpipe", true},
        {"Mesa X11 swrast", true},
        {"Software Rasterizer", true},
        {"Google SwiftShader", true},
        {"zink (llvmpipe (LLVM 15.0.6, 256 bits))", true},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
        {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0)", false},
        {"NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2", false},
        {"", false},
    };
    for (auto [name, software] : cases) EXPECT_EQ(IsSoftwareRendererName(name), software) << name;
    EXPECT_FALSE(IsSoftwareRendererName(nullptr));
}

}  // namespace
