// Drives the committed course with a simple simulated driver to estimate the
// lap time. The car follows the game's rules of motion (speed limits by the
// field ahead, push-back from water and stone, steering that tightens with
// speed) in a small point-mass copy kept here, and laps are counted by the
// game's gates.
#include <cmath>
#include <queue>

#include "tests/data/data_fixture.h"

namespace {

using namespace data_test;

constexpr double kPi = 3.14159265358979323846;

struct Point {
    double x, z;
};

bool FastTrack(int kind) { return kind == Wood || kind == Start || kind == Metal; }

Point Centre(Field f) { return {4.0 * f.column - 138.0, 4.0 * f.row - 138.0}; }

// The driver's line: the shortest way over track fields (no grass) from the
// start over the line and once round, smoothed, as field centres.
std::vector<Point> RacingLine(const Course& course) {
    const Field pastLine{29, 3};
    std::vector<double> dist(kSize * kSize, 1e18);
    std::vector<int> from(kSize * kSize, -1);
    using Item = std::pair<double, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> open;
    const int goal = kCarStart.row * kSize + kCarStart.column;
    dist[pastLine.row * kSize + pastLine.column] = 0;
    open.push({0, pastLine.row * kSize + pastLine.column});
    auto usable = [&](int c, int r) { return Course::Inside(c, r) && FastTrack(course.At(c, r)) && !InStartGate({c, r}); };
    while (!open.empty()) {
        const auto [d, at] = open.top();
        open.pop();
        if (d > dist[at] || at == goal) {
            continue;
        }
        const int c = at % kSize, r = at / kSize;
        for (int dr = -1; dr <= 1; ++dr) {
            for (int dc = -1; dc <= 1; ++dc) {
                if ((dr == 0 && dc == 0) || !usable(c + dc, r + dr)) {
                    continue;
                }
                // Diagonal steps only between two track fields, never past a wall corner.
                if (dr != 0 && dc != 0 && (!usable(c + dc, r) || !usable(c, r + dr))) {
                    continue;
                }
                const double nd = d + ((dr != 0 && dc != 0) ? std::sqrt(2.0) : 1.0);
                const int next = (r + dr) * kSize + c + dc;
                if (nd < dist[next]) {
                    dist[next] = nd;
                    from[next] = at;
                    open.push({nd, next});
                }
            }
        }
    }
    std::vector<Point> line;
    if (from[goal] < 0) {
        return line;
    }
    // From the start straight over the line ...
    for (int c = kCarStart.column; c >= pastLine.column; --c) {
        line.push_back(Centre({c, kCarStart.row}));
    }
    // ... and the long way back to the start.
    std::vector<Point> back;
    for (int at = from[goal]; at != pastLine.row * kSize + pastLine.column; at = from[at]) {
        back.push_back(Centre({at % kSize, at / kSize}));
    }
    line.insert(line.end(), back.rbegin(), back.rend());
    // Smooth the corners of the field path into curves.
    for (int pass = 0; pass < 4; ++pass) {
        std::vector<Point> smooth(line.size());
        const int n = static_cast<int>(line.size());
        for (int i = 0; i < n; ++i) {
            Point sum{0, 0};
            for (int k = -2; k <= 2; ++k) {
                const Point& p = line[(i + k + n) % n];
                sum = {sum.x + p.x / 5, sum.z + p.z / 5};
            }
            smooth[i] = sum;
        }
        line = smooth;
    }
    return line;
}

// The car's motion rules, in single precision as the game has them.
struct SimCar {
    float heading = 3.1417f, steerAngle = 0, steerInput = 0, speed = 0, throttle = 0;
    float x = 8.0f, z = -126.0f;
    int fieldType = 0;
    static constexpr float kMax[6] = {1.0f, 0.5f, 0.0f, 0.2f, 0.8f, 1.0f};
    static constexpr float kMin[6] = {-0.5f, -0.25f, -0.0f, -0.1f, -0.4f, -0.5f};

    void Accelerate() { throttle = speed > 0 ? 5.0f : 10.0f; }
    void Brake() { throttle = speed > 0 ? -10.0f : -5.0f; }
    void Step(const Course& course) {
        const float dx = std::cos(heading), dz = std::sin(heading);
        x += speed * dx;
        z += speed * dz;
        const int column = static_cast<int>(x * 0.25f + dx * 0.7f + 35.0f);
        const int row = static_cast<int>(z * 0.25f + dz * 0.7f + 35.0f);
        fieldType = Course::Inside(column, row) ? course.At(column, row) : Wood;
        if (fieldType == Water || fieldType == Stone) {
            x -= speed * dx * 1.3f;
            z -= speed * dz * 1.3f;
        }
        if (throttle == 0) {
            speed *= 0.95f;
        }
        speed += throttle * 0.01f;
        const float s = std::fabs(speed);
        if (speed >= kMax[fieldType]) {
            speed = kMax[fieldType];
        } else if (speed <= kMin[fieldType]) {
            speed = kMin[fieldType];
        }
        steerAngle += steerInput;
        throttle = 0;
        const float limit = (1.3f - s * 0.7692308f) * 0.1f;
        if (steerAngle > limit) {
            steerAngle = limit;
        }
        if (steerAngle < -limit) {
            steerAngle = -limit;
        }
        if (steerInput == 0) {
            steerAngle *= 1.0f - s * 0.5555556f;
        }
        heading += speed * steerAngle;
        steerInput = 0;
    }
};

// The game's lap gates, counting steps instead of milliseconds.
struct Gates {
    int lapCount = -1, gatePhase = 0;
    long raceStart = 0;
    std::vector<long> marks;  // oldest first

    void Update(float x, float z, long step) {
        if (x > -18 && x <= -17 && z >= -130 && z <= -120) {
            if (gatePhase == 0) {
                gatePhase = 1;
                ++lapCount;
            }
            if (lapCount == 0) {
                raceStart = step;
            }
        }
        if (gatePhase == 1 && x >= -19 && x <= -18 && z >= -130 && z <= 120) {
            gatePhase = 2;
            if (lapCount >= 1) {
                marks.push_back(step);
            } else {
                marks = {raceStart};
            }
        }
        if (gatePhase == 2 && x >= -2 && x <= 10 && z >= 110 && z <= 133) {
            gatePhase = 0;
        }
        if (lapCount < 0) {
            raceStart = step;
        }
    }
};

double WrapAngle(double a) {
    while (a > kPi) a -= 2 * kPi;
    while (a < -kPi) a += 2 * kPi;
    return a;
}

struct Result {
    std::vector<double> lapSeconds;
    int crashes = 0;  // steps on which the look-ahead field turned to water or stone
};

// A steady driver: pure pursuit of the racing line, braking to the speed at
// which the steering can still hold the sharpest bend coming up.
Result Drive(const Course& course, const std::vector<Point>& line, int laps) {
    Result result;
    SimCar car;
    Gates gates;
    const int n = static_cast<int>(line.size());
    auto at = [&](int i) { return line[((i % n) + n) % n]; };
    auto distance = [](Point a, Point b) { return std::hypot(a.x - b.x, a.z - b.z); };
    int nearest = 0;
    int lastType = Wood;
    for (long step = 1; step < 25 * 60 * (laps + 1) && static_cast<int>(gates.marks.size()) <= laps; ++step) {
        const Point here{car.x, car.z};
        for (int k = 1; k < 12; ++k) {
            if (distance(at(nearest + k), here) < distance(at(nearest), here)) {
                nearest += k;
                k = 0;
            }
        }
        // Target on the line ahead, further at speed.
        double lookAhead = 6.0 + 8.0 * car.speed;
        int target = nearest;
        while (lookAhead > 0) {
            lookAhead -= distance(at(target), at(target + 1));
            ++target;
        }
        const Point aim = at(target);
        const double error = WrapAngle(std::atan2(aim.z - car.z, aim.x - car.x) - car.heading);
        const double wanted = 2.0 * std::sin(error) / std::max(1.0, distance(aim, here));
        if (car.steerAngle < wanted - 0.004) {
            car.steerInput = 0.01f;
        } else if (car.steerAngle > wanted + 0.004) {
            car.steerInput = -0.01f;
        }
        // Sharpest bend within braking reach.
        double sharpest = 0, travelled = 0;
        for (int i = nearest; travelled < 12.0 + 30.0 * car.speed; ++i) {
            const double a1 = std::atan2(at(i + 1).z - at(i).z, at(i + 1).x - at(i).x);
            const double a2 = std::atan2(at(i + 2).z - at(i + 1).z, at(i + 2).x - at(i + 1).x);
            const double len = distance(at(i + 1), at(i + 2));
            sharpest = std::max(sharpest, std::fabs(WrapAngle(a2 - a1)) / std::max(0.5, len));
            travelled += len;
        }
        const double safeSpeed = std::min(1.0, (1.3 - 10.0 * sharpest * 1.15) / 0.7692308);
        if (car.speed > safeSpeed + 0.02) {
            car.Brake();
        } else {
            car.Accelerate();
        }
        car.Step(course);
        gates.Update(car.x, car.z, step);
        if ((car.fieldType == Water || car.fieldType == Stone) && car.fieldType != lastType) {
            ++result.crashes;
        }
        lastType = car.fieldType;
    }
    for (size_t i = 1; i < gates.marks.size(); ++i) {
        result.lapSeconds.push_back((gates.marks[i] - gates.marks[i - 1]) * 0.04);
    }
    return result;
}

TEST(LapEstimate, AGoodDriverLapsInFortyToSixtySeconds) {
    const Course course = LoadCourse();
    const std::vector<Point> line = RacingLine(course);
    ASSERT_GT(line.size(), 100u) << "no way round the course over track fields";
    const Result result = Drive(course, line, 2);
    ASSERT_EQ(result.lapSeconds.size(), 2u) << "the simulated driver did not complete two laps";
    std::printf("estimated lap times: %.2f s (from the first crossing), %.2f s (flying); %d crashes\n",
                result.lapSeconds[0], result.lapSeconds[1], result.crashes);
    ::testing::Test::RecordProperty("flying_lap_seconds", std::to_string(result.lapSeconds[1]));
    for (double seconds : result.lapSeconds) {
        EXPECT_GE(seconds, 38.0);
        EXPECT_LE(seconds, 60.0);
    }
    EXPECT_EQ(result.crashes, 0) << "the line cannot be driven cleanly";
}

}  // namespace
