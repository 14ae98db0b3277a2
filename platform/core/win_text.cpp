#include "platform/core/win_text.h"

#include <cstdint>

namespace {

// Code points of the bytes 0x80 to 0x9F; the unassigned ones keep their own value.
constexpr std::uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

unsigned CodePointOf(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
    return byte;
}

void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The byte for a code point, or -1.
int ByteOf(unsigned cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] == cp) return 0x80 + i;
    return -1;
}

}  // namespace

std::string Utf8FromWindows1252(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char c : text) AppendUtf8(out, CodePointOf(static_cast<unsigned char>(c)));
    return out;
}

bool HasWindows1252Byte(unsigned codePoint) { return ByteOf(codePoint) >= 0; }

std::string Windows1252FromUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        unsigned cp = 0;
        size_t length = 0;
        if (lead < 0x80) {
            cp = lead;
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            cp = lead & 0x1F;
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            cp = lead & 0x0F;
            length = 3;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            cp = lead & 0x07;
            length = 4;
        }
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            unsigned char c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) valid = false;
            cp = (cp << 6) | (c & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are malformed too.
        if (valid && ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                      (cp >= 0xD800 && cp <= 0xDFFF)))
            valid = false;
        if (!valid) {
            out += '?';
            // Skip the lead byte and any continuation bytes that belong to it.
            ++i;
            while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80 && lead >= 0xC0) ++i;
            continue;
        }
        int byte = ByteOf(cp);
        out += byte >= 0 ? static_cast<char>(byte) : '?';
        i += length;
    }
    return out;
}

std::string UnixLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string WithoutMnemonic(std::string_view label) {
    std::string out;
    out.reserve(label.size());
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '&') {
            if (i + 1 < label.size() && label[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += label[i];
    }
    return out;
}
