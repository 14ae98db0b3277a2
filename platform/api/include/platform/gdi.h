// The small part of GDI the game uses: a device context into which a font is
// selected, for the extruded text meshes and the texture font. Faces are found
// with fontconfig and rendered with FreeType behind this interface.
#pragma once

#include <vector>

#include "platform/d3d8.h"
#include "platform/wintypes.h"

struct DeviceContext;
using HDC = DeviceContext*;
using HANDLE = void*;
using COLORREF = DWORD;  // 0x00BBGGRR

constexpr COLORREF RGB(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;
constexpr UINT GDI_ERROR = 0xFFFFFFFFu;

struct SIZE {
    LONG cx, cy;
};

constexpr int LF_FACESIZE = 32;

struct LOGFONTA {
    LONG lfHeight;  // < 0: character (em) height in pixels; > 0: cell height; 0: default
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    char lfFaceName[LF_FACESIZE];
};

enum : int { FW_DONTCARE = 0, FW_NORMAL = 400, FW_BOLD = 700 };
enum : DWORD { ANSI_CHARSET = 0, DEFAULT_CHARSET = 1 };
enum : DWORD { OUT_DEFAULT_PRECIS = 0, OUT_TT_PRECIS = 4 };
enum : DWORD { CLIP_DEFAULT_PRECIS = 0 };
enum : DWORD { DEFAULT_QUALITY = 0, NONANTIALIASED_QUALITY = 3, ANTIALIASED_QUALITY = 4 };
enum : DWORD { DEFAULT_PITCH = 0, FIXED_PITCH = 1, VARIABLE_PITCH = 2 };
enum : int { LOGPIXELSX = 88, LOGPIXELSY = 90 };
enum : int { MM_TEXT = 1 };
enum : UINT { TA_LEFT = 0, TA_TOP = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_BOTTOM = 8, TA_BASELINE = 24 };
enum : UINT { ETO_OPAQUE = 2, ETO_CLIPPED = 4 };
enum : DWORD { BI_RGB = 0 };
enum : UINT { DIB_RGB_COLORS = 0 };

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // negative: rows top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct RGBQUAD {
    BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

// GDI objects. A DeleteObject of an object still selected into a context is
// carried out when the last context lets go of it (Windows would refuse it and
// leak the object).
struct FontFace;  // the platform's face behind a font
struct GdiObject {
    enum Kind { Font, Bitmap };
    explicit GdiObject(Kind k) : kind(k) {}
    virtual ~GdiObject() = default;
    const Kind kind;
    int selections = 0;
    bool deletePending = false;
    bool stock = false;
};
struct FontObject : GdiObject {
    FontObject() : GdiObject(Font) {}
    LOGFONTA logFont{};
    FontFace* face = nullptr;
    bool outlines = true;  // the contexts' default font is a raster font, as on Windows
    ~FontObject() override;
};
struct BitmapObject : GdiObject {
    BitmapObject() : GdiObject(Bitmap) {}
    LONG width = 0, height = 0;
    bool topDown = true;
    std::vector<DWORD> pixels;  // 0x00RRGGBB, in the row order of the DIB
};
using HGDIOBJ = GdiObject*;
using HFONT = FontObject*;
using HBITMAP = BitmapObject*;

// A memory context; `like` is ignored (every context is screen-compatible).
HDC CreateCompatibleDC(HDC like);
BOOL DeleteDC(HDC dc);

// Null when no face can be found for the name. "Arial" and "MS Sans Serif"
// resolve to an installed metric-compatible sans face.
HFONT CreateFontIndirectA(const LOGFONTA* logFont);
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, const char* faceName);
// Returns the previously selected object of the same kind, null on failure.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);

// Only 32-bit BI_RGB sections; `section` and `offset` are ignored.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);

int GetDeviceCaps(HDC dc, int index);  // LOGPIXELSX/Y: 96
int MulDiv(int number, int numerator, int denominator);

// Width of the string and height of the font's cell, in pixels.
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size);
// Draws anti-aliased text in the text colour into the selected DIB section,
// over the background colour: the text's cell is always filled (opaque
// background mode), and with ETO_OPAQUE the rectangle too.
BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, const char* text, UINT count, const INT* dx);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
UINT SetTextAlign(HDC dc, UINT align);
int SetMapMode(HDC dc, int mode);  // only MM_TEXT

// Glyph outlines of the selected font, for the extruded text meshes. Units are
// ems of the font, x to the right and y up, the origin on the baseline at the
// pen position.
struct GlyphPoint {
    double x, y;
};
struct GlyphSegment {
    enum Kind { Line, Quadratic, Cubic };
    Kind kind;
    GlyphPoint points[3];  // the control points, then the end point
    int PointCount() const { return kind == Line ? 1 : kind == Quadratic ? 2 : 3; }
    GlyphPoint End() const { return points[PointCount() - 1]; }
};
struct GlyphContour {
    GlyphPoint start;
    std::vector<GlyphSegment> segments;  // the last one ends at start
};
struct GlyphOutline {
    std::vector<GlyphContour> contours;
    double advance = 0.0;  // pen movement to the next glyph
};

// The outline of a Windows-1252 character in the font selected into dc. False
// when the font has no outlines (the contexts' default font) or the glyph
// cannot be loaded. A character the font lacks gets the font's missing glyph.
bool GetGlyphOutlineEm(HDC dc, unsigned char character, GlyphOutline* outline);
// Kerning between two characters, in ems (0 when the font has none).
double GetKerningEm(HDC dc, unsigned char left, unsigned char right);

// What the glyph metrics output of the text meshes holds, per character.
struct POINTFLOAT {
    float x, y;
};
struct GLYPHMETRICSFLOAT {
    float gmfBlackBoxX;
    float gmfBlackBoxY;
    POINTFLOAT gmfptGlyphOrigin;
    float gmfCellIncX;
    float gmfCellIncY;
};
