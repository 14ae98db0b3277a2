#include <cstdio>
// jpeglib.h needs stdio's types first.
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>
#include <memory>

#include "util3d/image.h"

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

// Everything that changes after setjmp lives here, outside the frame that
// calls setjmp, so that it is still valid after libjpeg jumps back.
struct JpegJob {
    jpeg_decompress_struct info;
    ErrorManager errors;
    Image* image;
    std::vector<std::uint8_t> row;
    char message[JMSG_LENGTH_MAX];
};

void OnErrorExit(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    std::longjmp(errors->jump, 1);
}

// Warnings are no failures: stray bytes before a marker are skipped, and a
// stream that ends early leaves the rest of the picture grey, as image viewers
// show such files. Only errors fail the texture.
void OnMessage(j_common_ptr, int) {}

void OnOutput(j_common_ptr) {}

bool Run(JpegJob* job, const std::uint8_t* data, std::size_t size) {
    jpeg_decompress_struct& info = job->info;
    if (setjmp(job->errors.jump)) {
        job->errors.base.format_message(reinterpret_cast<j_common_ptr>(&info), job->message);
        return false;
    }
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (info.image_width == 0 || info.image_height == 0 || info.image_width > kMaxImageSide ||
        info.image_height > kMaxImageSide) {
        std::snprintf(job->message, sizeof job->message, "image size out of range");
        return false;
    }
    bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    if (info.output_components != 4) {
        std::snprintf(job->message, sizeof job->message, "unsupported colour layout");
        return false;
    }
    Image& image = *job->image;
    image.width = info.output_width;
    image.height = info.output_height;
    image.hasAlpha = false;
    image.pixels.assign(std::size_t(image.width) * image.height, 0);
    job->row.resize(std::size_t(image.width) * 4);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = job->row.data();
        std::uint32_t y = info.output_scanline;
        if (jpeg_read_scanlines(&info, &row, 1) != 1) break;
        std::uint32_t* out = image.pixels.data() + std::size_t(y) * image.width;
        const std::uint8_t* in = job->row.data();
        for (std::uint32_t x = 0; x < image.width; ++x, in += 4) {
            if (cmyk) {
                // Adobe writes CMYK inverted: each byte is already 255 - ink.
                unsigned k = in[3];
                unsigned r = in[0] * k / 255, g = in[1] * k / 255, b = in[2] * k / 255;
                out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
            } else {
                out[x] = 0xFF000000u | (std::uint32_t(in[2]) << 16) | (std::uint32_t(in[1]) << 8) | in[0];
            }
        }
    }
    jpeg_finish_decompress(&info);
    return true;
}

}  // namespace

bool DecodeJpeg(const std::uint8_t* data, std::size_t size, Image* image, std::string* error) {
    *image = Image{};
    if (size < 3 || data[0] != 0xFF || data[1] != 0xD8) {
        *error = "not a JPEG file";
        return false;
    }
    auto job = std::make_unique<JpegJob>();
    job->image = image;
    std::snprintf(job->message, sizeof job->message, "broken JPEG file");
    job->info.err = jpeg_std_error(&job->errors.base);
    job->errors.base.error_exit = OnErrorExit;
    job->errors.base.emit_message = OnMessage;
    job->errors.base.output_message = OnOutput;
    jpeg_create_decompress(&job->info);
    bool ok = Run(job.get(), data, size);
    jpeg_destroy_decompress(&job->info);
    if (!ok) {
        *error = std::string("JPEG: ") + job->message;
        *image = Image{};
    }
    return ok;
}
