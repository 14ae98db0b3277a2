#include "platform/gl/gl_formats.h"

namespace {

// Widens an n-bit channel to 8 bits by repeating its high bits, so that the
// largest value maps to 255 and zero to zero.
inline BYTE Expand(unsigned value, unsigned bits) {
    switch (bits) {
        case 1: return value ? 255 : 0;
        case 4: return BYTE(value * 17);
        case 5: return BYTE((value << 3) | (value >> 2));
        case 6: return BYTE((value << 2) | (value >> 4));
        default: return BYTE(value);
    }
}

inline unsigned Word(const BYTE* p) { return unsigned(p[0]) | (unsigned(p[1]) << 8); }

}  // namespace

bool IsTextureFormatSupported(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_R8G8B8:
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
        case D3DFMT_A4R4G4B4:
        case D3DFMT_A8:
        case D3DFMT_L8: return true;
        default: return false;
    }
}

void ConvertToRgba8(D3DFORMAT format, const BYTE* s, std::size_t count, BYTE* d) {
    for (std::size_t i = 0; i < count; ++i, d += 4) {
        switch (format) {
            case D3DFMT_R8G8B8:
                d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = 255;
                s += 3;
                break;
            case D3DFMT_A8R8G8B8:
                d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = s[3];
                s += 4;
                break;
            case D3DFMT_X8R8G8B8:
                d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = 255;
                s += 4;
                break;
            case D3DFMT_R5G6B5: {
                unsigned w = Word(s);
                d[0] = Expand((w >> 11) & 31, 5), d[1] = Expand((w >> 5) & 63, 6), d[2] = Expand(w & 31, 5);
                d[3] = 255;
                s += 2;
                break;
            }
            case D3DFMT_X1R5G5B5:
            case D3DFMT_A1R5G5B5: {
                unsigned w = Word(s);
                d[0] = Expand((w >> 10) & 31, 5), d[1] = Expand((w >> 5) & 31, 5), d[2] = Expand(w & 31, 5);
                d[3] = format == D3DFMT_A1R5G5B5 ? Expand(w >> 15, 1) : 255;
                s += 2;
                break;
            }
            case D3DFMT_A4R4G4B4: {
                unsigned w = Word(s);
                d[0] = Expand((w >> 8) & 15, 4), d[1] = Expand((w >> 4) & 15, 4), d[2] = Expand(w & 15, 4);
                d[3] = Expand(w >> 12, 4);
                s += 2;
                break;
            }
            case D3DFMT_A8:
                d[0] = d[1] = d[2] = 0, d[3] = s[0];
                s += 1;
                break;
            case D3DFMT_L8:
                d[0] = d[1] = d[2] = s[0], d[3] = 255;
                s += 1;
                break;
            default:
                d[0] = d[1] = d[2] = d[3] = 0;
                break;
        }
    }
}
