// Counts the distinct pictures a region of a virtual X server's screen shows
// over a stretch of time: the screen that Xvfb keeps in a file with -fbdir
// (an XWD image, mapped so that what the server draws shows at once) is
// sampled every 2 ms. A picture counts once it was seen in two samples in a
// row, so that a sample taken while the server was writing a frame (half
// the old picture, half the new) is no picture. Some rows across the region
// stand for it: enough to see any camera or car move.
//   count_frames SCREEN_FILE X Y WIDTH HEIGHT MILLISECONDS
// prints "distinct N samples M".
#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <thread>

namespace {

std::uint32_t HeaderField(const unsigned char* file, int index) {
    std::uint32_t v;
    std::memcpy(&v, file + 4 * index, 4);
    return ntohl(v);  // XWD headers are big-endian
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: count_frames SCREEN_FILE X Y WIDTH HEIGHT MILLISECONDS\n");
        return 2;
    }
    const long x = std::atol(argv[2]), y = std::atol(argv[3]), w = std::atol(argv[4]), h = std::atol(argv[5]);
    const long ms = std::atol(argv[6]);
    const int fd = open(argv[1], O_RDONLY);
    struct stat st{};
    if (fd < 0 || fstat(fd, &st) != 0 || st.st_size < 100) {
        std::fprintf(stderr, "count_frames: cannot read %s\n", argv[1]);
        return 1;
    }
    const auto* file = static_cast<const unsigned char*>(mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_SHARED, fd, 0));
    if (file == MAP_FAILED) {
        std::fprintf(stderr, "count_frames: cannot map %s\n", argv[1]);
        return 1;
    }
    // header_size, ..., pixmap_width (4), pixmap_height (5), bits_per_pixel
    // (11), bytes_per_line (12), ncolors (19); the colour map's entries take
    // 12 bytes each before the pixels.
    const std::uint32_t headerSize = HeaderField(file, 0), width = HeaderField(file, 4), height = HeaderField(file, 5);
    const std::uint32_t bitsPerPixel = HeaderField(file, 11), bytesPerLine = HeaderField(file, 12);
    const std::uint32_t colours = HeaderField(file, 19);
    const std::uint64_t pixels = std::uint64_t(headerSize) + std::uint64_t(colours) * 12;
    if (bitsPerPixel != 32 || x < 0 || y < 0 || w <= 0 || h <= 0 || std::uint64_t(x + w) > width ||
        std::uint64_t(y + h) > height || pixels + std::uint64_t(bytesPerLine) * height > std::uint64_t(st.st_size)) {
        std::fprintf(stderr, "count_frames: the region %ldx%ld+%ld+%ld does not fit the %ux%u screen of %u bits\n", w,
                     h, x, y, width, height, bitsPerPixel);
        return 1;
    }
    constexpr int kRows = 32;
    auto sample = [&] {
        std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
        for (int r = 0; r < kRows; ++r) {
            const unsigned char* row = file + pixels + std::uint64_t(bytesPerLine) * std::uint64_t(y + h * r / kRows) +
                                       std::uint64_t(x) * 4;
            for (long i = 0; i < w * 4; ++i) hash = (hash ^ row[i]) * 1099511628211ull;
        }
        return hash;
    };
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::set<std::uint64_t> pictures;
    std::uint64_t last = 0;
    long samples = 0;
    while (std::chrono::steady_clock::now() < end) {
        const std::uint64_t now = sample();
        if (samples > 0 && now == last) pictures.insert(now);
        last = now;
        ++samples;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::printf("distinct %zu samples %ld\n", pictures.size(), samples);
    return 0;
}
