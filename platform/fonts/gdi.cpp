// GDI stand-in: device contexts, fonts found with fontconfig and drawn with
// FreeType, 32-bit DIB sections, and glyph outlines for the text meshes.
#include "platform/gdi.h"

#include "platform/core/lasting.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

struct FontFace {
    FT_Face face = nullptr;
    double unitsPerEm = 2048.0;
    int ascent = 0, descent = 0;  // cell above and below the baseline, pixels
};

struct DeviceContext {
    HFONT font = nullptr;
    HBITMAP bitmap = nullptr;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    UINT textAlign = TA_LEFT | TA_TOP;
    int mapMode = MM_TEXT;
};

namespace {

FT_Library Library() {
    // Kept for the whole run: fonts may outlive any owner we could give it.
    static FT_Library library = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0) l = nullptr;
        return l;
    }();
    return library;
}

// Windows faces the game may ask for and the face with the same metrics that
// fontconfig knows under another name.
std::string FamilyFor(const char* faceName) {
    std::string name = faceName ? std::string(faceName, strnlen(faceName, LF_FACESIZE)) : std::string();
    std::string lower = name;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (lower.empty() || lower == "ms sans serif" || lower == "microsoft sans serif" || lower == "ms shell dlg" ||
        lower == "ms shell dlg 2" || lower == "system")
        return "Arial";
    return name;
}

struct FontFile {
    std::string path;
    int index = 0;
};

bool FindFontFile(const std::string& family, bool bold, bool italic, FontFile* file) {
    static Lasting<std::map<std::tuple<std::string, bool, bool>, FontFile>> lastingCache;
    auto& cache = *lastingCache;
    auto key = std::make_tuple(family, bold, italic);
    if (auto it = cache.find(key); it != cache.end()) {
        *file = it->second;
        return true;
    }
    // Fontconfig's own tables go at exit, so leak checkers see none of them;
    // fonts already made keep their FreeType faces and need nothing of it.
    static bool initialised = [] {
        if (FcInit() != FcTrue) return false;
        std::atexit([] { FcFini(); });
        return true;
    }();
    if (!initialised) return false;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* path = nullptr;
    int index = 0;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
    if (ok) {
        file->path = reinterpret_cast<const char*>(path);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
        file->index = index;
        cache[key] = *file;
    }
    FcPatternDestroy(match);
    return ok;
}

FontFace* OpenFace(const LOGFONTA& lf) {
    FT_Library library = Library();
    if (!library) return nullptr;
    FontFile file;
    if (!FindFontFile(FamilyFor(lf.lfFaceName), lf.lfWeight >= 600, lf.lfItalic != 0, &file)) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(library, file.path.c_str(), file.index, &face) != 0) return nullptr;
    if (!FT_IS_SCALABLE(face)) {
        FT_Done_Face(face);
        return nullptr;
    }
    auto* f = new FontFace;
    f->face = face;
    f->unitsPerEm = face->units_per_EM > 0 ? face->units_per_EM : 2048.0;
    // GDI measures the cell with the Windows ascent and descent of the font.
    double winAscent = face->ascender, winDescent = -face->descender;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2)); os2 && os2->version != 0xFFFF) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            winAscent = os2->usWinAscent;
            winDescent = os2->usWinDescent;
        }
    }
    double cellUnits = std::max(1.0, winAscent + winDescent);
    double ppem;
    if (lf.lfHeight < 0) {
        ppem = -double(lf.lfHeight);
    } else {
        double cell = lf.lfHeight > 0 ? double(lf.lfHeight) : 16.0;
        ppem = cell * f->unitsPerEm / cellUnits;
    }
    ppem = std::clamp(ppem, 1.0, 2048.0);
    FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(ppem * 64.0)), 72, 72);
    double scale = ppem / f->unitsPerEm;
    f->ascent = int(std::ceil(winAscent * scale - 1e-6));
    f->descent = int(std::ceil(winDescent * scale - 1e-6));
    return f;
}

void CloseFace(FontFace* f) {
    if (!f) return;
    if (f->face) FT_Done_Face(f->face);
    delete f;
}

// Windows-1252 bytes 0x80 to 0x9F; the five unassigned ones stay as they are.
unsigned CodePoint(unsigned char c) {
    static const unsigned short kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    return c >= 0x80 && c <= 0x9F ? kHigh[c - 0x80] : c;
}

FontObject* StockFont() {
    static FontObject* font = [] {
        auto* f = new FontObject;
        f->stock = true;
        f->outlines = false;
        f->logFont.lfHeight = 16;
        f->logFont.lfWeight = FW_BOLD;
        std::strcpy(f->logFont.lfFaceName, "System");
        f->face = OpenFace(f->logFont);
        return f;
    }();
    return font;
}

BitmapObject* StockBitmap() {
    static BitmapObject* bitmap = [] {
        auto* b = new BitmapObject;
        b->stock = true;
        b->width = b->height = 1;
        b->pixels.assign(1, 0);
        return b;
    }();
    return bitmap;
}

void Release(GdiObject* object) {
    if (!object) return;
    --object->selections;
    if (object->selections <= 0 && object->deletePending && !object->stock) delete object;
}

HFONT CurrentFont(HDC dc) { return dc->font ? dc->font : StockFont(); }

// Hinted advance of a character in whole pixels.
int Advance(FontFace* f, unsigned char c) {
    if (!f || FT_Load_Char(f->face, CodePoint(c), FT_LOAD_DEFAULT) != 0) return 0;
    return int((f->face->glyph->advance.x + 32) >> 6);
}

DWORD ToPixel(COLORREF c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

DWORD Blend(DWORD under, DWORD over, unsigned coverage) {
    DWORD out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        unsigned a = (under >> shift) & 0xFF, b = (over >> shift) & 0xFF;
        out |= DWORD((a * (255 - coverage) + b * coverage + 127) / 255) << shift;
    }
    return out;
}

void FillRect(BitmapObject* b, long left, long top, long right, long bottom, DWORD pixel) {
    left = std::max(left, 0L);
    top = std::max(top, 0L);
    right = std::min(right, long(b->width));
    bottom = std::min(bottom, long(b->height));
    for (long y = top; y < bottom; ++y) {
        long row = b->topDown ? y : b->height - 1 - y;
        std::fill(b->pixels.begin() + row * b->width + left, b->pixels.begin() + row * b->width + right, pixel);
    }
}

struct OutlineBuilder {
    GlyphOutline* outline;
    double scale;
    GlyphPoint At(const FT_Vector* v) const { return GlyphPoint{v->x * scale, v->y * scale}; }
};

int MoveTo(const FT_Vector* to, void* user) {
    auto* b = static_cast<OutlineBuilder*>(user);
    b->outline->contours.push_back(GlyphContour{b->At(to), {}});
    return 0;
}
int LineTo(const FT_Vector* to, void* user) {
    auto* b = static_cast<OutlineBuilder*>(user);
    if (b->outline->contours.empty()) return 1;
    b->outline->contours.back().segments.push_back(GlyphSegment{GlyphSegment::Line, {b->At(to)}});
    return 0;
}
int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* b = static_cast<OutlineBuilder*>(user);
    if (b->outline->contours.empty()) return 1;
    b->outline->contours.back().segments.push_back(
        GlyphSegment{GlyphSegment::Quadratic, {b->At(control), b->At(to)}});
    return 0;
}
int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    auto* b = static_cast<OutlineBuilder*>(user);
    if (b->outline->contours.empty()) return 1;
    b->outline->contours.back().segments.push_back(
        GlyphSegment{GlyphSegment::Cubic, {b->At(c1), b->At(c2), b->At(to)}});
    return 0;
}

}  // namespace

FontObject::~FontObject() { CloseFace(face); }

HDC CreateCompatibleDC(HDC) { return new DeviceContext; }

BOOL DeleteDC(HDC dc) {
    if (!dc) return FALSE;
    Release(dc->font);
    Release(dc->bitmap);
    delete dc;
    return TRUE;
}

HFONT CreateFontIndirectA(const LOGFONTA* logFont) {
    if (!logFont) return nullptr;
    FontFace* face = OpenFace(*logFont);
    if (!face) return nullptr;
    auto* font = new FontObject;
    font->logFont = *logFont;
    font->logFont.lfFaceName[LF_FACESIZE - 1] = '\0';
    font->face = face;
    return font;
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, const char* faceName) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = BYTE(italic);
    lf.lfUnderline = BYTE(underline);
    lf.lfStrikeOut = BYTE(strikeOut);
    lf.lfCharSet = BYTE(charSet);
    lf.lfOutPrecision = BYTE(outPrecision);
    lf.lfClipPrecision = BYTE(clipPrecision);
    lf.lfQuality = BYTE(quality);
    lf.lfPitchAndFamily = BYTE(pitchAndFamily);
    if (faceName) std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
    return CreateFontIndirectA(&lf);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    if (!dc || !object) return nullptr;
    GdiObject* previous = nullptr;
    if (object->kind == GdiObject::Font) {
        auto* font = static_cast<FontObject*>(object);
        previous = dc->font ? static_cast<GdiObject*>(dc->font) : StockFont();
        dc->font = font == StockFont() ? nullptr : font;
    } else {
        auto* bitmap = static_cast<BitmapObject*>(object);
        previous = dc->bitmap ? static_cast<GdiObject*>(dc->bitmap) : StockBitmap();
        dc->bitmap = bitmap == StockBitmap() ? nullptr : bitmap;
    }
    if (!object->stock) ++object->selections;
    if (!previous->stock) Release(previous);
    return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (!object) return FALSE;
    if (object->stock) return TRUE;
    if (object->selections > 0) {
        object->deletePending = true;
        return TRUE;
    }
    delete object;
    return TRUE;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE, DWORD) {
    if (bits) *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS) return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    LONG height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    if (h.biBitCount != 32 || h.biCompression != BI_RGB || h.biWidth <= 0 || height <= 0 || h.biWidth > 16384 ||
        height > 16384)
        return nullptr;
    auto* bitmap = new BitmapObject;
    bitmap->width = h.biWidth;
    bitmap->height = height;
    bitmap->topDown = h.biHeight < 0;
    bitmap->pixels.assign(std::size_t(bitmap->width) * std::size_t(height), 0);
    if (bits) *bits = bitmap->pixels.data();
    return bitmap;
}

int GetDeviceCaps(HDC, int index) { return index == LOGPIXELSX || index == LOGPIXELSY ? 96 : 0; }

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    long long product = static_cast<long long>(number) * numerator;
    long long half = std::llabs(static_cast<long long>(denominator)) / 2;
    bool negative = (product < 0) != (denominator < 0);
    long long result = (std::llabs(product) + half) / std::llabs(static_cast<long long>(denominator));
    if (negative) result = -result;
    if (result > 0x7FFFFFFFLL || result < -0x7FFFFFFFLL - 1) return -1;
    return int(result);
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size) {
    if (!dc || !size || length < 0 || (!text && length > 0)) return FALSE;
    FontFace* f = CurrentFont(dc)->face;
    if (!f) return FALSE;
    long width = 0;
    for (int i = 0; i < length; ++i) width += Advance(f, static_cast<unsigned char>(text[i]));
    size->cx = LONG(width);
    size->cy = f->ascent + f->descent;
    return TRUE;
}

BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, const char* text, UINT count, const INT* dx) {
    if (!dc || (!text && count > 0)) return FALSE;
    FontFace* f = CurrentFont(dc)->face;
    if (!f) return FALSE;
    BitmapObject* target = dc->bitmap;
    DWORD background = ToPixel(dc->bkColor), foreground = ToPixel(dc->textColor);
    if (target && (options & ETO_OPAQUE) && rect) FillRect(target, rect->left, rect->top, rect->right, rect->bottom,
                                                          background);
    long width = 0;
    for (UINT i = 0; i < count; ++i) width += dx ? dx[i] : Advance(f, static_cast<unsigned char>(text[i]));
    long left = x, top = y;
    if ((dc->textAlign & TA_CENTER) == TA_CENTER) {
        left -= width / 2;
    } else if (dc->textAlign & TA_RIGHT) {
        left -= width;
    }
    if ((dc->textAlign & TA_BASELINE) == TA_BASELINE) {
        top -= f->ascent;
    } else if (dc->textAlign & TA_BOTTOM) {
        top -= f->ascent + f->descent;
    }
    if (!target) return TRUE;
    FillRect(target, left, top, left + width, top + f->ascent + f->descent, background);
    long pen = left, baseline = top + f->ascent;
    for (UINT i = 0; i < count; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (FT_Load_Char(f->face, CodePoint(c), FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) == 0) {
            FT_GlyphSlot g = f->face->glyph;
            const FT_Bitmap& bm = g->bitmap;
            if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
                for (unsigned row = 0; row < bm.rows; ++row) {
                    long py = baseline - g->bitmap_top + long(row);
                    if (py < 0 || py >= target->height) continue;
                    long line = target->topDown ? py : target->height - 1 - py;
                    for (unsigned col = 0; col < bm.width; ++col) {
                        long px = pen + g->bitmap_left + long(col);
                        if (px < 0 || px >= target->width) continue;
                        unsigned coverage = bm.buffer[long(row) * bm.pitch + col];
                        if (!coverage) continue;
                        DWORD& pixel = target->pixels[std::size_t(line) * target->width + px];
                        pixel = Blend(pixel, foreground, coverage);
                    }
                }
            }
        }
        pen += dx ? dx[i] : Advance(f, c);
    }
    return TRUE;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
    if (!dc) return CLR_INVALID;
    COLORREF old = dc->textColor;
    dc->textColor = color & 0x00FFFFFF;
    return old;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
    if (!dc) return CLR_INVALID;
    COLORREF old = dc->bkColor;
    dc->bkColor = color & 0x00FFFFFF;
    return old;
}

UINT SetTextAlign(HDC dc, UINT align) {
    if (!dc) return GDI_ERROR;
    UINT old = dc->textAlign;
    dc->textAlign = align;
    return old;
}

int SetMapMode(HDC dc, int mode) {
    if (!dc || mode != MM_TEXT) return 0;
    int old = dc->mapMode;
    dc->mapMode = mode;
    return old;
}

bool GetGlyphOutlineEm(HDC dc, unsigned char character, GlyphOutline* outline) {
    if (!dc || !outline) return false;
    *outline = GlyphOutline{};
    HFONT font = CurrentFont(dc);
    if (!font->outlines || !font->face) return false;
    FontFace* f = font->face;
    if (FT_Load_Char(f->face, CodePoint(character), FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0) return false;
    FT_GlyphSlot g = f->face->glyph;
    if (g->format != FT_GLYPH_FORMAT_OUTLINE) return false;
    OutlineBuilder builder{outline, 1.0 / f->unitsPerEm};
    FT_Outline_Funcs funcs{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
    if (FT_Outline_Decompose(&g->outline, &funcs, &builder) != 0) {
        *outline = GlyphOutline{};
        return false;
    }
    outline->advance = double(g->metrics.horiAdvance) / f->unitsPerEm;
    return true;
}

double GetKerningEm(HDC dc, unsigned char left, unsigned char right) {
    if (!dc) return 0.0;
    HFONT font = CurrentFont(dc);
    if (!font->outlines || !font->face || !FT_HAS_KERNING(font->face->face)) return 0.0;
    FT_Face face = font->face->face;
    FT_Vector kerning{0, 0};
    if (FT_Get_Kerning(face, FT_Get_Char_Index(face, CodePoint(left)), FT_Get_Char_Index(face, CodePoint(right)),
                       FT_KERNING_UNSCALED, &kerning) != 0)
        return 0.0;
    return double(kerning.x) / font->face->unitsPerEm;
}
