#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "race/course.h"

namespace {

std::filesystem::path TempFile(const std::string& name, const std::string& content) {
    auto dir = std::filesystem::temp_directory_path() / ("tarvik_course_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    auto path = dir / name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

std::string Numbers(int count, int value, int perLine) {
    std::string s;
    for (int i = 0; i < count; ++i) {
        s += std::to_string(value);
        s += (i + 1) % perLine == 0 ? "\n" : " ";
    }
    return s;
}

// Every field of the loaded 70 x 70 area.
int CountOf(const Course& course, FieldType type) {
    int n = 0;
    for (int r = 0; r < 70; ++r)
        for (int c = 0; c < 70; ++c) n += course.FieldAt(c, r) == type;
    return n;
}

}  // namespace

TEST(CourseFile, LayoutAndSeparatorsDoNotMatter) {
    struct Case {
        const char* name;
        std::string content;
        int grass;  // fields expected to be grass
    } cases[] = {
        {"all_grass_70_per_line", Numbers(4900, 1, 70), 4900},
        {"all_grass_one_line", Numbers(4900, 1, 5000), 4900},
        {"all_grass_one_per_line", Numbers(4900, 1, 1), 4900},
        {"tabs_and_crlf", [] {
             std::string s;
             for (int i = 0; i < 4900; ++i) s += i % 3 == 0 ? "1\r\n" : "\t+1 ";
             return s;
         }(), 4900},
        {"first_row_only", Numbers(70, 1, 70), 70},
        {"extra_numbers_ignored", Numbers(4900, 1, 70) + "3 3 3 3\n", 4900},
        {"stops_at_first_word", Numbers(100, 1, 70) + " x " + Numbers(100, 1, 70), 100},
        {"empty", "", 0},
    };
    for (const Case& c : cases) {
        Course course(TempFile(c.name, c.content).string());
        EXPECT_TRUE(course.fileRead) << c.name;
        EXPECT_EQ(course.rows, 70);
        EXPECT_EQ(course.columns, 70);
        EXPECT_EQ(CountOf(course, Grass), c.grass) << c.name;
        EXPECT_EQ(CountOf(course, Wood), 4900 - c.grass) << c.name;
    }
}

TEST(CourseFile, RowMajorOrder) {
    std::string s;
    for (int r = 0; r < 70; ++r)
        for (int c = 0; c < 70; ++c) s += std::to_string((r == 3 && c == 37) ? 5 : (r == 0 && c == 69) ? 2 : 0) + " ";
    Course course(TempFile("row_major", s).string());
    EXPECT_EQ(course.FieldAt(37, 3), Start);
    EXPECT_EQ(course.FieldAt(69, 0), Stone);
    EXPECT_EQ(course.fields[3 * 100 + 37], Start);
}

TEST(CourseFile, MissingFileGivesAllWood) {
    Course course("/nonexistent/folder/course.txt");
    EXPECT_FALSE(course.fileRead);
    EXPECT_EQ(CountOf(course, Wood), 4900);
    EXPECT_EQ(course.rows, 70);
}

TEST(CourseFile, UnknownKindsAreKeptAndHugeNumbersClamped) {
    Course course(TempFile("unknown", "7 -1 99999999999999 -99999999999999 4").string());
    EXPECT_EQ(course.FieldAt(0, 0), 7);
    EXPECT_EQ(course.FieldAt(1, 0), -1);
    EXPECT_EQ(course.FieldAt(2, 0), 2147483647);
    EXPECT_EQ(course.FieldAt(3, 0), -2147483647 - 1);
    EXPECT_EQ(course.FieldAt(4, 0), Metal);
    EXPECT_FALSE(IsKnownFieldType(course.FieldAt(0, 0)));
}

TEST(CourseGeometry, FieldOfAPointAndCentres) {
    Course course("/nonexistent/course.txt");
    struct Case {
        float x, z;
        int column, row;
    } cases[] = {
        {8.0f, -126.0f, 37, 3},      // the car's start
        {-18.0f, -130.0f, 30, 2},    // corner of the start gate
        {-17.0f, -120.0f, 30, 5},
        {-2.0f, 110.0f, 34, 62},     // the half-way gate
        {10.0f, 133.0f, 37, 68},
        {-136.0f, -136.0f, 1, 1},    // a border belongs to the larger index
        {-1.0f, 0.0f, 34, 35},       // 34.75 truncated
        {-139.0f, 139.0f, 0, 69},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(course.ColumnOf(c.x), c.column) << c.x;
        EXPECT_EQ(course.RowOf(c.z), c.row) << c.z;
    }
    D3DXVECTOR3 first = course.FieldCentre(0, 0), last = course.FieldCentre(69, 69);
    EXPECT_FLOAT_EQ(first.x, -138.0f);
    EXPECT_FLOAT_EQ(first.z, -138.0f);
    EXPECT_FLOAT_EQ(last.x, 138.0f);
    EXPECT_FLOAT_EQ(last.z, 138.0f);
}

TEST(CourseGeometry, LookupsOutsideTheStorageAreWood) {
    Course course(TempFile("all_stone", Numbers(4900, 2, 70)).string());
    EXPECT_EQ(course.FieldAt(0, 0), Stone);
    EXPECT_EQ(course.FieldAt(70, 0), Wood);   // storage beyond the loaded area
    EXPECT_EQ(course.FieldAt(99, 99), Wood);
    EXPECT_EQ(course.FieldAt(-1, 5), Wood);   // outside the storage
    EXPECT_EQ(course.FieldAt(5, 100), Wood);
    EXPECT_EQ(course.FieldAt(-2147483647 - 1, 2147483647), Wood);
    EXPECT_EQ(course.ColumnOf(1e30f), 2147483647);
    EXPECT_EQ(course.ColumnOf(-1e30f), -2147483647 - 1);
    EXPECT_EQ(course.ColumnOf(std::numeric_limits<float>::quiet_NaN()), 0);
}
