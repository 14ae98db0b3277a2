// Helpers shared by the data tools: deterministic random numbers, tileable
// noise, and image and file writers. The tools must give the same bytes on
// every run, so nothing here reads the clock or writes time stamps.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <png.h>

namespace tools {

// A small, fully specified generator (xorshift64*), so results never depend
// on the standard library's implementation.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {
        if (state == 0) {
            state = 1;
        }
    }
    std::uint64_t Next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1Dull;
    }
    // Uniform in [0, 1).
    double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    double Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }

private:
    std::uint64_t state;
};

// Hash of an integer lattice point to [0, 1), for value noise.
inline double LatticeValue(int x, int y, std::uint32_t seed) {
    std::uint32_t h = seed * 0x27D4EB2Du;
    h ^= static_cast<std::uint32_t>(x) * 0x85EBCA6Bu;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<std::uint32_t>(y) * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return static_cast<double>(h) / 4294967296.0;
}

inline int WrapIndex(int i, int period) {
    int r = i % period;
    return r < 0 ? r + period : r;
}

// Smooth value noise in [0, 1) that repeats every periodX by periodY lattice
// cells, so a texture built from it tiles without a seam.
inline double TileNoise(double x, double y, int periodX, int periodY, std::uint32_t seed) {
    const int x0 = static_cast<int>(std::floor(x));
    const int y0 = static_cast<int>(std::floor(y));
    const double fx = x - x0;
    const double fy = y - y0;
    const double sx = fx * fx * (3.0 - 2.0 * fx);
    const double sy = fy * fy * (3.0 - 2.0 * fy);
    const int xa = WrapIndex(x0, periodX);
    const int xb = WrapIndex(x0 + 1, periodX);
    const int ya = WrapIndex(y0, periodY);
    const int yb = WrapIndex(y0 + 1, periodY);
    const double a = LatticeValue(xa, ya, seed);
    const double b = LatticeValue(xb, ya, seed);
    const double c = LatticeValue(xa, yb, seed);
    const double d = LatticeValue(xb, yb, seed);
    return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

// Fractal sum of tileable noise over [0, 1) x [0, 1) texture coordinates:
// octave k has baseCells * 2^k cells across, so every octave tiles too.
inline double TileFractal(double u, double v, int baseCellsX, int baseCellsY, int octaves, std::uint32_t seed) {
    double sum = 0.0;
    double amplitude = 1.0;
    double total = 0.0;
    int cellsX = baseCellsX;
    int cellsY = baseCellsY;
    for (int k = 0; k < octaves; ++k) {
        sum += amplitude * TileNoise(u * cellsX, v * cellsY, cellsX, cellsY, seed + 977u * static_cast<std::uint32_t>(k));
        total += amplitude;
        amplitude *= 0.5;
        cellsX *= 2;
        cellsY *= 2;
    }
    return sum / total;
}

inline double Clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }
inline double Mix(double a, double b, double t) { return a + (b - a) * t; }
inline double SmoothStep(double e0, double e1, double x) {
    const double t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0 - 2.0 * t);
}

struct Colour {
    double r = 0, g = 0, b = 0, a = 1;
};

inline Colour MixColour(const Colour& p, const Colour& q, double t) {
    return {Mix(p.r, q.r, t), Mix(p.g, q.g, t), Mix(p.b, q.b, t), Mix(p.a, q.a, t)};
}
inline Colour Scale(const Colour& c, double s) { return {c.r * s, c.g * s, c.b * s, c.a}; }

// An image of floating-point colours, written out as 8-bit PNG or JPEG.
class Image {
public:
    Image(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h) {}
    int Width() const { return width; }
    int Height() const { return height; }
    Colour& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    const Colour& At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // Samples in row-major order, top row first, channels 3 (RGB) or 4 (RGBA).
    std::vector<unsigned char> Bytes(int channels) const {
        std::vector<unsigned char> out;
        out.reserve(pixels.size() * channels);
        for (const Colour& c : pixels) {
            const double values[4] = {c.r, c.g, c.b, c.a};
            for (int i = 0; i < channels; ++i) {
                out.push_back(static_cast<unsigned char>(std::lround(Clamp01(values[i]) * 255.0)));
            }
        }
        return out;
    }

private:
    int width;
    int height;
    std::vector<Colour> pixels;
};

inline bool Fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return false;
}

inline bool WritePngBytes(const std::string& path, int width, int height, int channels,
                          const std::vector<unsigned char>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return Fail("cannot write " + path);
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(file);
        return Fail("libpng: out of memory writing " + path);
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return Fail("libpng: error writing " + path);
    }
    png_init_io(png, file);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, bytes.data() + static_cast<size_t>(y) * width * channels);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) {
        return Fail("cannot finish " + path);
    }
    return true;
}

inline bool WritePng(const std::string& path, const Image& image, bool withAlpha) {
    const int channels = withAlpha ? 4 : 3;
    return WritePngBytes(path, image.Width(), image.Height(), channels, image.Bytes(channels));
}

inline bool WriteJpeg(const std::string& path, const Image& image, int quality) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return Fail("cannot write " + path);
    }
    const std::vector<unsigned char> bytes = image.Bytes(3);
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(image.Width());
    cinfo.image_height = static_cast<JDIMENSION>(image.Height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.optimize_coding = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bytes.data() + static_cast<size_t>(cinfo.next_scanline) * image.Width() * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    if (std::fclose(file) != 0) {
        return Fail("cannot finish " + path);
    }
    return true;
}

inline bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        return Fail("cannot write " + path);
    }
    return true;
}

inline bool WriteBinary(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        return Fail("cannot write " + path);
    }
    return true;
}

inline bool MakeDirectory(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error) {
        return Fail("cannot create folder " + path + ": " + error.message());
    }
    return true;
}

}  // namespace tools
