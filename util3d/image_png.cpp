#include <png.h>

#include <csetjmp>
#include <cstring>

#include "util3d/image.h"

namespace {

struct PngSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
};

// Everything that changes after setjmp lives here, outside the frame that
// calls setjmp, so that it is still valid after libpng jumps back.
struct PngJob {
    PngSource source;
    Image* image;
    std::string* error;
    std::vector<png_bytep> rows;
    char message[128];
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->size - source->pos) png_error(png, "file truncated");
    std::memcpy(out, source->data + source->pos, length);
    source->pos += length;
}

void OnError(png_structp png, png_const_charp message) {
    auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Returns an empty string on success, else the reason.
bool Run(PngJob* job, png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, &job->source, ReadFromMemory);
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) {
        std::snprintf(job->message, sizeof job->message, "image size out of range");
        return false;
    }
    // Deflate packs at most about 1032 bytes into one, so an image whose rows
    // cannot come from this file is refused before its pixels are allocated.
    std::uint64_t rawBytes = (std::uint64_t(png_get_rowbytes(png, info)) + 1) * height;
    if (rawBytes > std::uint64_t(job->source.size) * 1100 + 4096) {
        std::snprintf(job->message, sizeof job->message, "image larger than its data");
        return false;
    }
    bool alpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS);
    if (depth == 16) png_set_strip_16(png);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t(width) * 4) {
        std::snprintf(job->message, sizeof job->message, "unsupported pixel layout");
        return false;
    }
    Image& image = *job->image;
    image.width = width;
    image.height = height;
    image.hasAlpha = alpha;
    image.pixels.assign(std::size_t(width) * height, 0);
    job->rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        job->rows[y] = reinterpret_cast<png_bytep>(image.pixels.data() + std::size_t(y) * width);
    png_read_image(png, job->rows.data());
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

bool DecodePng(const std::uint8_t* data, std::size_t size, Image* image, std::string* error) {
    *image = Image{};
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) {
        *error = "not a PNG file";
        return false;
    }
    PngJob job{PngSource{data, size, 0}, image, error, {}, "broken PNG file"};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job, OnError, OnWarning);
    if (!png) {
        *error = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        *error = "out of memory";
        return false;
    }
    bool ok = Run(&job, png, info);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) {
        *error = std::string("PNG: ") + job.message;
        *image = Image{};
    }
    return ok;
}
