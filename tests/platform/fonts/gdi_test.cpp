#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/gdi.h"
#include "platform/port/tessellate.h"

namespace {

SIZE Extent(const char* face, int height, int weight, const char* text) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, face);
    EXPECT_NE(font, nullptr) << face;
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{0, 0};
    EXPECT_TRUE(GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &size));
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    return size;
}

TEST(Gdi, WindowsSansFacesResolveToTheMetricCompatibleFace) {
    const char* text = "Tarvik 3D: Runde 1";
    SIZE liberation = Extent("Liberation Sans", -16, FW_BOLD, text);
    SIZE arial = Extent("Arial", -16, FW_BOLD, text);
    SIZE msSans = Extent("MS Sans Serif", -16, FW_BOLD, text);
    SIZE dejavu = Extent("DejaVu Sans", -16, FW_BOLD, text);
    EXPECT_EQ(arial.cx, liberation.cx);
    EXPECT_EQ(msSans.cx, liberation.cx);
    EXPECT_NE(dejavu.cx, liberation.cx) << "a face of other metrics measures differently";
}

TEST(Gdi, TextureFontSizesAndDrawing) {
    // The texture font's recipe: 12 points at 96 dots per inch give 16 pixels.
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
    int height = -MulDiv(12, GetDeviceCaps(dc, LOGPIXELSY), 72);
    EXPECT_EQ(height, -16);
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 64;
    info.bmiHeader.biHeight = -32;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    DWORD* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_NE(bits, nullptr);
    for (int i = 0; i < 64 * 32; ++i) bits[i] = 0x00123456;  // marks pixels nothing drew on
    HFONT font = CreateFontA(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, "Arial");
    ASSERT_NE(font, nullptr);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HGDIOBJ oldFont = SelectObject(dc, font);
    ASSERT_NE(oldBitmap, nullptr);
    ASSERT_NE(oldFont, nullptr);
    EXPECT_EQ(SetMapMode(dc, MM_TEXT), MM_TEXT);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, 0x00000000);
    SetTextAlign(dc, TA_TOP);
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32A(dc, "H", 1, &size));
    EXPECT_GE(size.cy, 17);
    EXPECT_LE(size.cy, 20);
    EXPECT_GE(size.cx, 9);
    EXPECT_LE(size.cx, 14);
    ASSERT_TRUE(ExtTextOutA(dc, 5, 3, ETO_OPAQUE, nullptr, "H", 1, nullptr));
    int full = 0, partial = 0, outside = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            DWORD p = bits[y * 64 + x];
            bool inCell = x >= 5 && x < 5 + size.cx && y >= 3 && y < 3 + size.cy;
            if (!inCell) {
                outside += p != 0x00123456;
                continue;
            }
            EXPECT_EQ(p & 0xFF, (p >> 8) & 0xFF) << "white text on black stays grey";
            full += p == 0x00FFFFFF;
            partial += (p & 0xFF) > 0 && (p & 0xFF) < 255;
        }
    EXPECT_EQ(outside, 0) << "nothing drawn outside the character's cell";
    EXPECT_GT(full, 20) << "the stems of H are solid";
    EXPECT_EQ(bits[3 * 64 + 5] & 0xFF, 0u) << "the cell's corner is background";
    ASSERT_TRUE(ExtTextOutA(dc, 20, 3, ETO_OPAQUE, nullptr, "O", 1, nullptr));
    for (int y = 3; y < 3 + size.cy; ++y)
        for (int x = 20; x < 40; ++x) partial += (bits[y * 64 + x] & 0xFF) > 0 && (bits[y * 64 + x] & 0xFF) < 255;
    EXPECT_GT(partial, 4) << "curves are anti-aliased";

    EXPECT_EQ(SelectObject(dc, oldFont), font);
    EXPECT_EQ(SelectObject(dc, oldBitmap), bitmap);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(Gdi, ObjectsDeletedWhileSelectedGoWithTheirContext) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontA(-20, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, "Arial");
    ASSERT_NE(font, nullptr);
    SelectObject(dc, font);
    EXPECT_TRUE(DeleteObject(font));  // still selected: it goes when the context does
    SIZE size{};
    EXPECT_TRUE(GetTextExtentPoint32A(dc, "x", 1, &size));
    EXPECT_TRUE(DeleteDC(dc));  // the address sanitizer checks that nothing leaks or is used after
    EXPECT_EQ(SelectObject(nullptr, font), nullptr);
    EXPECT_FALSE(DeleteObject(nullptr));
}

TEST(Gdi, MulDivRoundsAndGuards) {
    struct Case {
        int a, b, c, expected;
    } cases[] = {
        {12, 96, 72, 16}, {10, 3, 4, 8}, {-5, 3, 2, -8}, {5, -3, 2, -8}, {7, 1, 0, -1}, {0x7FFFFFFF, 4, 2, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << " " << c.b << " " << c.c;
}

TEST(Gdi, DibSectionsAreThirtyTwoBitOnly) {
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biWidth = 4;
    info.bmiHeader.biHeight = 4;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biWidth = 100000;
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

TEST(Gdi, GlyphOutlinesInEms) {
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTA lf;
    std::memset(&lf, 0, sizeof lf);
    lf.lfHeight = 1;
    std::strcpy(lf.lfFaceName, "Arial");
    HFONT font = CreateFontIndirectA(&lf);
    ASSERT_NE(font, nullptr);
    GlyphOutline o;
    EXPECT_FALSE(GetGlyphOutlineEm(dc, 'o', &o)) << "the context's own font is a raster font";
    HGDIOBJ old = SelectObject(dc, font);
    ASSERT_TRUE(GetGlyphOutlineEm(dc, 'o', &o));
    EXPECT_EQ(o.contours.size(), 2u);
    ASSERT_TRUE(GetGlyphOutlineEm(dc, 'l', &o));
    EXPECT_EQ(o.contours.size(), 1u);
    ASSERT_TRUE(GetGlyphOutlineEm(dc, 'H', &o));
    double top = 0;
    for (const GlyphContour& c : o.contours) {
        for (const GlyphSegment& s : c.segments) top = std::max(top, s.End().y);
        EXPECT_NEAR(c.segments.back().End().x, c.start.x, 1e-9) << "contours close";
        EXPECT_NEAR(c.segments.back().End().y, c.start.y, 1e-9);
    }
    EXPECT_NEAR(top, 0.688, 0.01) << "cap height of the sans face, in ems";
    EXPECT_NEAR(o.advance, 0.722, 0.01);
    ASSERT_TRUE(GetGlyphOutlineEm(dc, 0xE4, &o)) << "Windows-1252 a-umlaut";
    EXPECT_GE(o.contours.size(), 3u);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
}

double Area(const std::vector<TessPoint>& v, const std::vector<std::uint32_t>& t) {
    double sum = 0;
    for (std::size_t i = 0; i < t.size(); i += 3) {
        const TessPoint &a = v[t[i]], &b = v[t[i + 1]], &c = v[t[i + 2]];
        sum += std::fabs((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y)) / 2;
    }
    return sum;
}

std::vector<TessPoint> Square(double x, double y, double size) {
    return {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}};
}

std::vector<TessPoint> Reversed(std::vector<TessPoint> v) { return {v.rbegin(), v.rend()}; }

TEST(Tessellate, OddWindingFillsRingsAndFindsCrossings) {
    std::vector<TessPoint> vertices;
    std::vector<std::uint32_t> triangles;
    struct Case {
        const char* name;
        std::vector<std::vector<TessPoint>> contours;
        double area;
        std::size_t vertices;
    } cases[] = {
        {"square", {Square(0, 0, 2)}, 4.0, 4},
        {"square with a hole", {Square(0, 0, 4), Square(1, 1, 2)}, 12.0, 8},
        {"three nested squares", {Square(0, 0, 6), Square(1, 1, 4), Square(2, 2, 2)}, 36.0 - 16.0 + 4.0, 12},
        {"hole wound against the outline", {Square(0, 0, 4), Reversed(Square(1, 1, 2))}, 12.0, 8},
        {"bow tie", {{{0, 0}, {2, 2}, {2, 0}, {0, 2}}}, 2.0, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(TessellateContours(c.contours, &vertices, &triangles));
        EXPECT_NEAR(Area(vertices, triangles), c.area, 1e-9);
        EXPECT_EQ(vertices.size(), c.vertices);
        for (std::uint32_t i : triangles) EXPECT_LT(i, vertices.size());
    }
}

}  // namespace
