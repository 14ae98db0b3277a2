#include "scores/codepage.h"

namespace {

// Code points of the bytes 0x80 to 0x9F, where Windows-1252 differs from
// Latin-1. The unassigned bytes keep their own number.
constexpr char32_t kHighRange[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

constexpr char32_t kInvalid = 0xFFFFFFFF;

char32_t CodePointOfByte(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return kHighRange[byte - 0x80];
    return byte;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        // Windows-1252 has nothing beyond the Basic Multilingual Plane.
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes one character at text[i] and moves i past it. A broken sequence
// gives kInvalid and moves i past its longest valid beginning (at least one
// byte), so the bytes after it are decoded on their own.
char32_t NextCodePoint(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    int more = 0;
    char32_t cp = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        cp = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        return kInvalid;
    }
    for (int k = 0; k < more; ++k) {
        if (i >= text.size()) return kInvalid;
        const auto next = static_cast<unsigned char>(text[i]);
        if (next < low || next > high) return kInvalid;
        low = 0x80;
        high = 0xBF;
        cp = (cp << 6) | (next & 0x3F);
        ++i;
    }
    return cp;
}

char Cp1252OfCodePoint(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (unsigned k = 0; k < 32; ++k) {
        if (kHighRange[k] == cp) return static_cast<char>(0x80 + k);
    }
    return '?';
}

}  // namespace

std::string Utf8FromCp1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) AppendUtf8(out, CodePointOfByte(static_cast<unsigned char>(c)));
    return out;
}

std::string Cp1252FromUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char32_t cp = NextCodePoint(text, i);
        out.push_back(cp == kInvalid ? '?' : Cp1252OfCodePoint(cp));
    }
    return out;
}

std::size_t Cp1252FromUtf8(std::string_view text, char* out, std::size_t outSize) {
    if (outSize == 0) return 0;
    std::size_t written = 0;
    for (std::size_t i = 0; i < text.size() && written + 1 < outSize;) {
        const char32_t cp = NextCodePoint(text, i);
        out[written++] = cp == kInvalid ? '?' : Cp1252OfCodePoint(cp);
    }
    out[written] = '\0';
    return written;
}
