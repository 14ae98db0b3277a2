// Fuzzes the course reader: any file gives a course whose every look-up, in and
// around the storage, is defined, and the car can drive over it.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "race/course.h"

namespace {

std::string CourseFile() {
    static std::string path = [] {
        const char* base = std::getenv("TMPDIR");
        return std::string(base ? base : "/tmp") + "/tarvik_fuzz_course_" + std::to_string(getpid()) + ".txt";
    }();
    return path;
}

volatile long sink;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string path = CourseFile();
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    Course course(path);
    long sum = 0;
    for (int r = -2; r < 103; ++r)
        for (int c = -2; c < 103; ++c) sum += course.FieldAt(c, r);
    for (float v : {-1e38f, -140.0f, 0.0f, 139.99f, 1e38f}) sum += long(course.ColumnOf(v)) + long(course.RowOf(v));
    std::remove(path.c_str());
    sink = sum;  // keeps the look-ups from being optimised away
    return 0;
}
