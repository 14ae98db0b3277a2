// Format detection, the BMP and TGA readers, and mip level filtering.
#include "util3d/image.h"

#include <cstring>

namespace {

std::uint16_t Le16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

bool Fail(std::string* error, const char* message) {
    *error = message;
    return false;
}

std::uint32_t Argb(unsigned a, unsigned r, unsigned g, unsigned b) {
    return (std::uint32_t(a) << 24) | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | std::uint32_t(b);
}

// A channel given by a bit mask, scaled to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0, bits = 0;
    explicit Channel(std::uint32_t m = 0) : mask(m) {
        if (!m) return;
        while (!((m >> shift) & 1)) ++shift;
        while (shift + bits < 32 && ((m >> (shift + bits)) & 1)) ++bits;
    }
    unsigned Get(std::uint32_t v) const {
        if (!mask) return 0;
        std::uint32_t x = (v & mask) >> shift;
        std::uint32_t max = bits >= 32 ? 0xFFFFFFFFu : ((1u << bits) - 1);
        return unsigned((std::uint64_t(x) * 255 + max / 2) / max);
    }
};

}  // namespace

bool DecodeImage(const std::uint8_t* data, std::size_t size, Image* image, std::string* error) {
    *image = Image{};
    if (!data || size == 0) return Fail(error, "empty file");
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) return DecodePng(data, size, image, error);
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return DecodeJpeg(data, size, image, error);
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return DecodeBmp(data, size, image, error);
    // TGA has no signature; its reader checks that the header is plausible.
    return DecodeTga(data, size, image, error);
}

bool DecodeBmp(const std::uint8_t* data, std::size_t size, Image* image, std::string* error) {
    *image = Image{};
    if (size < 26 || data[0] != 'B' || data[1] != 'M') return Fail(error, "not a BMP file");
    std::uint32_t offset = Le32(data + 10);
    std::uint32_t headerSize = Le32(data + 14);
    std::int64_t width, height;
    unsigned bitCount, compression = 0, colorsUsed = 0;
    std::uint32_t masks[4] = {0, 0, 0, 0};
    std::size_t paletteAt, paletteEntry;
    if (headerSize == 12) {  // OS/2 core header
        width = Le16(data + 18);
        height = std::int16_t(Le16(data + 20));
        bitCount = Le16(data + 24);
        paletteAt = 14 + 12;
        paletteEntry = 3;
    } else if (headerSize >= 40 && size >= 14 + std::size_t(40)) {
        width = std::int32_t(Le32(data + 18));
        height = std::int32_t(Le32(data + 22));
        bitCount = Le16(data + 28);
        compression = Le32(data + 30);
        colorsUsed = Le32(data + 46);
        paletteAt = 14 + std::size_t(headerSize);
        paletteEntry = 4;
        if (headerSize >= 52 && size >= 14 + std::size_t(52)) {
            masks[0] = Le32(data + 54);
            masks[1] = Le32(data + 58);
            masks[2] = Le32(data + 62);
        }
        if (headerSize >= 56 && size >= 14 + std::size_t(56)) masks[3] = Le32(data + 66);
        if (compression == 3 && headerSize == 40) {  // masks follow the short header
            if (size < 14 + 40 + 12) return Fail(error, "truncated BMP masks");
            masks[0] = Le32(data + 54);
            masks[1] = Le32(data + 58);
            masks[2] = Le32(data + 62);
            paletteAt += 12;
        }
    } else {
        return Fail(error, "unsupported BMP header");
    }
    bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide)
        return Fail(error, "BMP size out of range");
    if (compression != 0 && compression != 1 && compression != 2 && compression != 3)
        return Fail(error, "unsupported BMP compression");
    if ((compression == 1 && bitCount != 8) || (compression == 2 && bitCount != 4) ||
        (compression == 3 && bitCount != 16 && bitCount != 32))
        return Fail(error, "BMP compression does not match its depth");
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return Fail(error, "unsupported BMP depth");
    if (offset >= size) return Fail(error, "BMP pixel data outside the file");

    std::vector<std::uint32_t> palette;
    if (bitCount <= 8) {
        std::size_t count = colorsUsed ? colorsUsed : (std::size_t(1) << bitCount);
        if (count > 256) return Fail(error, "BMP palette too large");
        if (paletteAt > size || count > (size - paletteAt) / paletteEntry) return Fail(error, "truncated palette");
        palette.resize(256, 0xFF000000u);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* e = data + paletteAt + i * paletteEntry;
            palette[i] = Argb(0xFF, e[2], e[1], e[0]);
        }
    }
    std::size_t w = std::size_t(width), h = std::size_t(height);
    const std::uint8_t* pixels = data + offset;
    std::size_t available = size - offset;
    bool hasAlpha = false;
    Channel r, g, b, a;
    if (bitCount == 16 || bitCount == 32) {
        if (compression == 3) {
            r = Channel(masks[0]);
            g = Channel(masks[1]);
            b = Channel(masks[2]);
            a = Channel(masks[3]);
        } else if (bitCount == 16) {
            r = Channel(0x7C00);
            g = Channel(0x03E0);
            b = Channel(0x001F);
        } else {
            // The fourth byte of a plain 32-bit bitmap is unused.
            r = Channel(0x00FF0000);
            g = Channel(0x0000FF00);
            b = Channel(0x000000FF);
        }
        hasAlpha = a.mask != 0;
    }

    if (compression == 1 || compression == 2) {
        Image out;
        out.width = std::uint32_t(w);
        out.height = std::uint32_t(h);
        out.pixels.assign(w * h, palette[0]);
        // Run-length data: pixels left out by the end-of-line, delta and
        // end-of-bitmap codes keep the first palette colour.
        std::size_t x = 0, y = 0, p = 0;
        auto put = [&](unsigned index) {
            if (x < w && y < h) {
                std::size_t row = topDown ? y : h - 1 - y;
                out.pixels[row * w + x] = palette[index & 0xFF];
            }
            ++x;
        };
        while (p + 1 < available) {
            unsigned count = pixels[p], value = pixels[p + 1];
            p += 2;
            if (count > 0) {
                for (unsigned i = 0; i < count; ++i)
                    put(compression == 1 ? value : (i % 2 == 0 ? value >> 4 : value & 0x0F));
            } else if (value == 0) {
                x = 0;
                ++y;
            } else if (value == 1) {
                break;
            } else if (value == 2) {
                if (p + 1 >= available) return Fail(error, "truncated BMP run data");
                x += pixels[p];
                y += pixels[p + 1];
                p += 2;
            } else {
                std::size_t bytes = compression == 1 ? value : (value + 1) / 2;
                if (bytes > available - p) return Fail(error, "truncated BMP run data");
                for (unsigned i = 0; i < value; ++i)
                    put(compression == 1 ? pixels[p + i] : (i % 2 == 0 ? pixels[p + i / 2] >> 4
                                                                       : pixels[p + i / 2] & 0x0F));
                p += (bytes + 1) & ~std::size_t(1);  // runs are padded to whole words
            }
            if (y >= h) break;
        }
        *image = std::move(out);
        return true;
    }

    std::size_t stride = ((w * bitCount + 31) / 32) * 4;
    if (stride > available / h) return Fail(error, "BMP larger than its data");
    Image out;
    out.width = std::uint32_t(w);
    out.height = std::uint32_t(h);
    out.hasAlpha = hasAlpha;
    out.pixels.resize(w * h);
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* row = pixels + (topDown ? y : h - 1 - y) * stride;
        std::uint32_t* dst = out.pixels.data() + y * w;
        for (std::size_t x = 0; x < w; ++x) {
            switch (bitCount) {
                case 1: dst[x] = palette[(row[x / 8] >> (7 - x % 8)) & 1]; break;
                case 4: dst[x] = palette[(row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F]; break;
                case 8: dst[x] = palette[row[x]]; break;
                case 24: dst[x] = Argb(0xFF, row[x * 3 + 2], row[x * 3 + 1], row[x * 3]); break;
                default: {
                    std::uint32_t v = bitCount == 16 ? Le16(row + x * 2) : Le32(row + x * 4);
                    dst[x] = Argb(hasAlpha ? a.Get(v) : 0xFF, r.Get(v), g.Get(v), b.Get(v));
                    break;
                }
            }
        }
    }
    *image = std::move(out);
    return true;
}

bool DecodeTga(const std::uint8_t* data, std::size_t size, Image* image, std::string* error) {
    *image = Image{};
    if (size < 18) return Fail(error, "not a TGA file");
    unsigned idLength = data[0], mapType = data[1], type = data[2];
    unsigned mapFirst = Le16(data + 3), mapLength = Le16(data + 5), mapDepth = data[7];
    std::size_t w = Le16(data + 12), h = Le16(data + 14);
    unsigned depth = data[16], descriptor = data[17];
    bool rle = type >= 9;
    unsigned kind = rle ? type - 8 : type;  // 1 colour-mapped, 2 true colour, 3 grey
    if (mapType > 1 || (kind != 1 && kind != 2 && kind != 3) || (type > 3 && type < 9) || type > 11)
        return Fail(error, "not a TGA file");
    if (kind == 1 && (mapType != 1 || depth != 8)) return Fail(error, "unsupported TGA colour map");
    if (kind == 2 && depth != 15 && depth != 16 && depth != 24 && depth != 32)
        return Fail(error, "unsupported TGA depth");
    if (kind == 3 && depth != 8) return Fail(error, "unsupported TGA depth");
    if (w == 0 || h == 0 || w > kMaxImageSide || h > kMaxImageSide) return Fail(error, "TGA size out of range");
    unsigned alphaBits = descriptor & 0x0F;

    std::size_t p = 18 + std::size_t(idLength);
    std::vector<std::uint32_t> palette;
    bool paletteAlpha = false;
    if (mapType == 1) {
        unsigned entry = (mapDepth + 7) / 8;
        if (mapDepth != 15 && mapDepth != 16 && mapDepth != 24 && mapDepth != 32)
            return Fail(error, "unsupported TGA colour map");
        if (p > size || std::size_t(mapLength) * entry > size - p) return Fail(error, "truncated TGA colour map");
        palette.assign(256, 0xFF000000u);
        for (unsigned i = 0; i < mapLength; ++i) {
            const std::uint8_t* e = data + p + std::size_t(i) * entry;
            std::uint32_t c;
            if (entry == 2) {
                unsigned v = Le16(e);
                c = Argb(0xFF, ((v >> 10) & 31) * 255 / 31, ((v >> 5) & 31) * 255 / 31, (v & 31) * 255 / 31);
            } else {
                c = Argb(entry == 4 ? e[3] : 0xFF, e[2], e[1], e[0]);
            }
            if (mapFirst + i < 256) palette[mapFirst + i] = c;
        }
        paletteAlpha = mapDepth == 32;
        p += std::size_t(mapLength) * entry;
    }
    if (p > size) return Fail(error, "truncated TGA file");
    unsigned bytes = (depth + 7) / 8;
    std::size_t available = size - p;
    std::size_t count = w * h;
    // A run packet of 1 + bytes describes at most 128 pixels.
    if (rle ? count > available / (1 + bytes) * 128 + 128 : count > available / bytes)
        return Fail(error, "TGA larger than its data");

    bool hasAlpha = (kind == 2 && depth == 32 && alphaBits > 0) || (kind == 2 && depth == 16 && alphaBits > 0) ||
                    (kind == 1 && paletteAlpha);
    auto pixel = [&](const std::uint8_t* s) -> std::uint32_t {
        switch (kind) {
            case 1: return palette[s[0]];
            case 3: return Argb(0xFF, s[0], s[0], s[0]);
            default:
                if (bytes == 2) {
                    unsigned v = Le16(s);
                    unsigned alpha = hasAlpha ? ((v & 0x8000) ? 0xFF : 0) : 0xFF;
                    return Argb(alpha, ((v >> 10) & 31) * 255 / 31, ((v >> 5) & 31) * 255 / 31, (v & 31) * 255 / 31);
                }
                return Argb(bytes == 4 && hasAlpha ? s[3] : 0xFF, s[2], s[1], s[0]);
        }
    };
    std::vector<std::uint32_t> linear(count);
    const std::uint8_t* src = data + p;
    if (!rle) {
        for (std::size_t i = 0; i < count; ++i) linear[i] = pixel(src + i * bytes);
    } else {
        std::size_t i = 0, q = 0;
        while (i < count) {
            if (q >= available) return Fail(error, "truncated TGA run data");
            unsigned header = src[q++];
            std::size_t n = (header & 0x7F) + 1;
            if (header & 0x80) {
                if (bytes > available - q) return Fail(error, "truncated TGA run data");
                std::uint32_t c = pixel(src + q);
                q += bytes;
                for (std::size_t k = 0; k < n && i < count; ++k) linear[i++] = c;
            } else {
                if (n * bytes > available - q) return Fail(error, "truncated TGA run data");
                for (std::size_t k = 0; k < n && i < count; ++k, q += bytes) linear[i++] = pixel(src + q);
            }
        }
    }
    bool rightToLeft = (descriptor & 0x10) != 0, topDown = (descriptor & 0x20) != 0;
    Image out;
    out.width = std::uint32_t(w);
    out.height = std::uint32_t(h);
    out.hasAlpha = hasAlpha;
    out.pixels.resize(count);
    for (std::size_t y = 0; y < h; ++y) {
        std::size_t sy = topDown ? y : h - 1 - y;
        for (std::size_t x = 0; x < w; ++x) {
            std::size_t sx = rightToLeft ? w - 1 - x : x;
            out.pixels[y * w + x] = linear[sy * w + sx];
        }
    }
    *image = std::move(out);
    return true;
}

Image HalveImage(const Image& source) {
    Image out;
    out.width = source.width > 1 ? source.width / 2 : 1;
    out.height = source.height > 1 ? source.height / 2 : 1;
    out.hasAlpha = source.hasAlpha;
    out.pixels.resize(std::size_t(out.width) * out.height);
    if (source.width % 2 == 0 && source.height % 2 == 0) {
        // Every target pixel covers a square of four: the same average, per
        // channel in parallel (the bytes of a pair of channels never carry
        // into each other, as four bytes and the rounding sum to at most 1022).
        for (std::uint32_t y = 0; y < out.height; ++y) {
            const std::uint32_t* top = source.pixels.data() + std::size_t(2 * y) * source.width;
            const std::uint32_t* bottom = top + source.width;
            std::uint32_t* row = out.pixels.data() + std::size_t(y) * out.width;
            for (std::uint32_t x = 0; x < out.width; ++x) {
                const std::uint32_t a = top[2 * x], b = top[2 * x + 1], c = bottom[2 * x], d = bottom[2 * x + 1];
                const std::uint32_t evens = (a & 0x00FF00FFu) + (b & 0x00FF00FFu) + (c & 0x00FF00FFu) +
                                            (d & 0x00FF00FFu) + 0x00020002u;
                const std::uint32_t odds = ((a >> 8) & 0x00FF00FFu) + ((b >> 8) & 0x00FF00FFu) +
                                           ((c >> 8) & 0x00FF00FFu) + ((d >> 8) & 0x00FF00FFu) + 0x00020002u;
                row[x] = ((evens >> 2) & 0x00FF00FFu) | (((odds >> 2) & 0x00FF00FFu) << 8);
            }
        }
        return out;
    }
    for (std::uint32_t y = 0; y < out.height; ++y) {
        // Each target pixel covers the source rows and columns that fall into
        // its share; with odd sizes the last one takes the extra row or column.
        std::uint32_t y0 = std::uint32_t(std::uint64_t(y) * source.height / out.height);
        std::uint32_t y1 = std::uint32_t(std::uint64_t(y + 1) * source.height / out.height);
        for (std::uint32_t x = 0; x < out.width; ++x) {
            std::uint32_t x0 = std::uint32_t(std::uint64_t(x) * source.width / out.width);
            std::uint32_t x1 = std::uint32_t(std::uint64_t(x + 1) * source.width / out.width);
            std::uint32_t sum[4] = {0, 0, 0, 0};
            std::uint32_t n = 0;
            for (std::uint32_t sy = y0; sy < y1; ++sy)
                for (std::uint32_t sx = x0; sx < x1; ++sx, ++n) {
                    std::uint32_t c = source.pixels[std::size_t(sy) * source.width + sx];
                    for (int k = 0; k < 4; ++k) sum[k] += (c >> (8 * k)) & 0xFF;
                }
            std::uint32_t c = 0;
            for (int k = 0; k < 4; ++k) c |= ((sum[k] + n / 2) / n) << (8 * k);
            out.pixels[std::size_t(y) * out.width + x] = c;
        }
    }
    return out;
}
