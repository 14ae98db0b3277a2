// The committed course: its file form, and that it fits the game's fixed
// places (the car's start, the start/finish gate, the half-way gate) so that
// laps can be driven and none can skip a gate.
#include <deque>
#include <functional>

#include "tests/data/data_fixture.h"

namespace {

using namespace data_test;

bool Drivable(int kind) { return kind != Stone && kind != Water; }

// Fields reachable from `from` over fields that `passable` accepts, moving to
// the four side neighbours, or also diagonally when `diagonal` is set.
std::vector<bool> Reach(Field from, const std::function<bool(Field)>& passable, bool diagonal) {
    std::vector<bool> seen(kSize * kSize, false);
    std::deque<Field> queue;
    if (passable(from)) {
        seen[from.row * kSize + from.column] = true;
        queue.push_back(from);
    }
    while (!queue.empty()) {
        const Field f = queue.front();
        queue.pop_front();
        for (int dr = -1; dr <= 1; ++dr) {
            for (int dc = -1; dc <= 1; ++dc) {
                if ((dr == 0 && dc == 0) || (!diagonal && dr != 0 && dc != 0)) {
                    continue;
                }
                const Field n{f.column + dc, f.row + dr};
                if (Course::Inside(n.column, n.row) && !seen[n.row * kSize + n.column] && passable(n)) {
                    seen[n.row * kSize + n.column] = true;
                    queue.push_back(n);
                }
            }
        }
    }
    return seen;
}

bool AnyReached(const std::vector<bool>& seen, const std::function<bool(Field)>& which) {
    for (int r = 0; r < kSize; ++r) {
        for (int c = 0; c < kSize; ++c) {
            if (seen[r * kSize + c] && which({c, r})) {
                return true;
            }
        }
    }
    return false;
}

// The fields just past the line, west of the start/finish gate.
bool PastTheLine(Field f) { return f.column == 29 && f.row >= 2 && f.row <= 5; }

// Can the car get from its start to the far side of the line without passing
// through either gate? Every field but stone counts as passable here, water
// too, and diagonal steps as well: a wall must hold against all of that.
bool BypassExists(const Course& course) {
    const auto seen = Reach(
        kCarStart,
        [&](Field f) { return course.At(f) != Stone && !InStartGate(f) && !InHalfwayGate(f); }, true);
    return AnyReached(seen, PastTheLine);
}

TEST(CourseFile, HoldsSeventyRowsOfSeventyFieldKinds) {
    Course course;
    std::string why;
    ASSERT_TRUE(ParseCourse(ReadText(DataPath("course.txt")), course, why)) << why;
    int counts[6] = {};
    for (int kind : course.fields) {
        ASSERT_GE(kind, 0);
        ASSERT_LE(kind, 5);
        ++counts[kind];
    }
    // Every kind of field appears, and the track is mostly wood.
    for (int kind = 0; kind < 6; ++kind) {
        EXPECT_GT(counts[kind], 0) << "field kind " << kind << " is never used";
    }
    EXPECT_GT(counts[Wood], counts[Metal] + counts[Start]);
}

TEST(CourseFile, TheStrictReaderRejectsMalformedCourses) {
    std::string good;
    for (int r = 0; r < kSize; ++r) {
        for (int c = 0; c < kSize; ++c) {
            good += c ? " 1" : "1";
        }
        good += "\n";
    }
    struct Case {
        const char* what;
        std::string text;
    } cases[] = {
        {"69 lines", good.substr(0, good.size() - 140)},
        {"a letter", "x" + good.substr(1)},
        {"a short line", good.substr(2)},
        {"a negative number", "-1" + good.substr(1)},
    };
    Course course;
    std::string why;
    ASSERT_TRUE(ParseCourse(good, course, why)) << why;
    for (const Case& c : cases) {
        EXPECT_FALSE(ParseCourse(c.text, course, why)) << c.what;
    }
}

TEST(CourseLayout, StartFieldsLieUnderTheStartFinishGateWithPostsBeside) {
    const Course course = LoadCourse();
    // The drivable part of the gate column at the start straight is rows 3
    // and 4, both start fields and wholly inside the start zone (z from -130
    // to -120); stone posts fill the rest of the gate and the verges beside.
    for (int row = 1; row <= 6; ++row) {
        EXPECT_EQ(course.At(30, row), (row == 3 || row == 4) ? Start : Stone) << "row " << row;
    }
}

TEST(CourseLayout, HalfwayGateIsWalledOnBothSides) {
    const Course course = LoadCourse();
    for (int column = 34; column <= 37; ++column) {
        EXPECT_EQ(course.At(column, 62), Stone) << "column " << column;
        EXPECT_EQ(course.At(column, 68), Stone) << "column " << column;
        for (int row = 63; row <= 67; ++row) {
            EXPECT_TRUE(Drivable(course.At(column, row))) << "column " << column << " row " << row;
        }
    }
}

TEST(CourseLayout, TheCarStartsOnTrackFacingAClearRunOverTheLine) {
    const Course course = LoadCourse();
    ASSERT_EQ(Course::FieldOf(8.0f, -126.0f), kCarStart);
    const int kind = course.At(kCarStart);
    EXPECT_TRUE(kind == Wood || kind == Start) << "the car's start field is " << kind;
    // Heading towards falling x, the look-ahead point (2.8 units ahead) and
    // everything up to well past the line is fast track.
    for (float x = 8.0f; x >= -30.0f; x -= 0.5f) {
        const int ahead = course.At(Course::FieldOf(x - 2.8f, -126.0f));
        EXPECT_TRUE(ahead == Wood || ahead == Start) << "x " << x;
    }
}

TEST(CourseRoute, ALapLeadsFromTheStartOverTheLineThroughTheHalfwayGateAndBack) {
    const Course course = LoadCourse();
    auto drivable = [&](Field f) { return Drivable(course.At(f)); };
    // Straight over the line from the start.
    const auto fromStart = Reach(kCarStart, drivable, false);
    EXPECT_TRUE(AnyReached(fromStart, PastTheLine));
    // The long way round, never crossing the line: from past the line back to
    // the start, and that way leads through the half-way gate.
    auto offLine = [&](Field f) { return drivable(f) && !InStartGate(f); };
    const auto roundTheCourse = Reach({29, 3}, offLine, false);
    EXPECT_TRUE(roundTheCourse[kCarStart.row * kSize + kCarStart.column]) << "the course is not a closed circuit";
    EXPECT_TRUE(AnyReached(roundTheCourse, InHalfwayGate));
}

TEST(CourseRoute, NoLapCanPassAGateBy) {
    const Course course = LoadCourse();
    EXPECT_FALSE(BypassExists(course));
}

TEST(CourseRoute, TheBypassSearchFindsAGapInAWall) {
    // Fixtures made from the real course: knock out the walls round one
    // gate, and the search must find the way round it.
    struct Case {
        const char* what;
        int rowFrom, rowTo, columnFrom, columnTo;
    } cases[] = {
        {"walls round the half-way gate", 58, 69, 30, 41},
        {"walls round the start/finish gate", 0, 9, 26, 34},
    };
    for (const Case& c : cases) {
        Course course = LoadCourse();
        for (int r = c.rowFrom; r <= c.rowTo; ++r) {
            for (int col = c.columnFrom; col <= c.columnTo; ++col) {
                if (course.At(col, r) == Stone) {
                    course.Set(col, r, Grass);
                }
            }
        }
        EXPECT_TRUE(BypassExists(course)) << c.what;
    }
}

}  // namespace
