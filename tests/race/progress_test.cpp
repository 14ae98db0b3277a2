#include <gtest/gtest.h>

#include "tests/support/game_fixture.h"

// Lap gates and marks, driven by placing the car and running the gate logic,
// with the clock set by the test.
class ProgressTest : public RaceTest {
protected:
    void SetUp() override {
        RaceTest::SetUp();
        race.lapCount = -1;  // as start-up leaves it
    }
    // Places the car at (x, z) at time t (ms) and runs the gates.
    void At(float x, float z, std::uint32_t t) {
        SetTime(t);
        game.car.position = D3DXVECTOR3(x, 0.0f, z);
        race.UpdateProgress();
    }
    // One lap the usual way: start zone, line zone, half-way zone.
    void Lap(std::uint32_t start, std::uint32_t line) {
        At(-17.5f, -125.0f, start);
        At(-18.5f, -125.0f, line);
        At(4.0f, 120.0f, line + 100);
    }
    std::vector<std::uint32_t> Marks() const {
        std::vector<std::uint32_t> times;
        for (const LapMark* m = race.lapMarks; m; m = m->next) times.push_back(m->time);
        return times;
    }
    RaceState& race = game.race;
};

TEST_F(ProgressTest, ZonesAreTheGateRectangles) {
    struct Case {
        float x, z;
        bool start, line, halfway;
    } cases[] = {
        {-17.5f, -125.0f, true, false, false},  {-17.0f, -130.0f, true, false, false},
        {-18.0f, -125.0f, false, true, false},  {-19.0f, 120.0f, false, true, false},
        {-18.5f, 119.0f, false, true, false},   {-19.01f, -125.0f, false, false, false},
        {-17.0f, -119.9f, false, false, false}, {-2.0f, 110.0f, false, false, true},
        {10.0f, 133.0f, false, false, true},    {10.1f, 120.0f, false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InStartZone(c.x, c.z), c.start) << c.x << "," << c.z;
        EXPECT_EQ(InLineZone(c.x, c.z), c.line) << c.x << "," << c.z;
        EXPECT_EQ(InHalfwayZone(c.x, c.z), c.halfway) << c.x << "," << c.z;
    }
}

TEST_F(ProgressTest, BeforeTheLineTheClocksFollowTheTime) {
    At(0.0f, -125.0f, 5000);
    EXPECT_EQ(race.lapCount, -1);
    EXPECT_EQ(race.raceStart, 5000u);
    EXPECT_EQ(race.clockStart, 5000u);
    EXPECT_EQ(race.lapMarks, nullptr);
}

TEST_F(ProgressTest, LapsAreCountedAndTimedInGateOrder) {
    At(-17.5f, -125.0f, 1000);  // start zone: lap count 0, clocks start
    EXPECT_EQ(race.lapCount, 0);
    EXPECT_EQ(race.gatePhase, 1);
    At(-17.5f, -125.0f, 1040);  // still in the zone: the start moves with it
    EXPECT_EQ(race.raceStart, 1040u);
    At(-18.5f, -125.0f, 1080);  // line zone: the first mark holds the start
    EXPECT_EQ(race.gatePhase, 2);
    EXPECT_EQ(Marks(), (std::vector<std::uint32_t>{1040}));
    EXPECT_EQ(race.clockStart, 1080u);
    EXPECT_EQ(race.lapRecorded, 0);

    At(-17.5f, -125.0f, 2000);  // back at the start without the half-way zone: nothing
    At(-18.5f, -125.0f, 2040);
    EXPECT_EQ(race.lapCount, 0);
    EXPECT_EQ(Marks().size(), 1u);
    EXPECT_EQ(race.raceStart, 2000u);  // while the count is 0 the start zone moves the start

    At(4.0f, 120.0f, 20000);  // half-way
    EXPECT_EQ(race.gatePhase, 0);
    Lap(45000, 45040);
    EXPECT_EQ(race.lapCount, 1);
    EXPECT_EQ(race.lapRecorded, 1);
    EXPECT_EQ(Marks(), (std::vector<std::uint32_t>{45040, 1040}));  // the oldest mark keeps the first start
    Lap(90000, 90080);
    Lap(130000, 130040);
    EXPECT_EQ(race.lapCount, 3);
    EXPECT_EQ(Marks(), (std::vector<std::uint32_t>{130040, 90080, 45040, 1040}));
}

TEST_F(ProgressTest, DrivingTheWrongWayCountsALapWithoutAMark) {
    At(-18.5f, -125.0f, 1000);  // line zone first, in phase 0: nothing
    EXPECT_EQ(race.lapCount, -1);
    At(-17.5f, -125.0f, 1040);  // then the start zone counts
    EXPECT_EQ(race.lapCount, 0);
    EXPECT_EQ(race.lapMarks, nullptr);
    At(-18.5f, 100.0f, 3000);  // any point of the long line zone records the mark
    EXPECT_EQ(Marks(), (std::vector<std::uint32_t>{1040}));
}

TEST_F(ProgressTest, ReadoutsInEachLapState) {
    game.graphics.presentParams.BackBufferWidth = 1000;
    auto texts = [&](std::uint32_t now) {
        std::vector<std::string> t;
        for (const ReadoutLine& l : race.ReadoutLines(now)) t.push_back(l.text);
        return t;
    };
    // Before the line: no "Time", zero lap time and laps.
    At(0.0f, 0.0f, 500);
    EXPECT_EQ(texts(600), (std::vector<std::string>{"Rundenzeit:        0.000", "Runden:        0"}));
    // First lap under way.
    At(-17.5f, -125.0f, 1000);
    At(-18.5f, -125.0f, 1500);
    EXPECT_EQ(texts(4000), (std::vector<std::string>{"Time:        2.500", "Rundenzeit:        0.000",
                                                     "Runden:        0"}));
    // Counted at the start zone, not yet timed at the line: still no lap time.
    At(4.0f, 120.0f, 20000);
    At(-17.5f, -125.0f, 43000);
    EXPECT_EQ(texts(43000)[1], "Rundenzeit:        0.000");
    At(-18.5f, -125.0f, 43040);
    EXPECT_EQ(texts(43040), (std::vector<std::string>{"Time:       41.540", "Rundenzeit:       42.040",
                                                      "Runden:        1"}));
    At(4.0f, 120.0f, 60000);
    Lap(90000, 90100);
    EXPECT_EQ(texts(90100)[1], "Rundenzeit:       47.060");  // the most recent lap, not the best
    EXPECT_EQ(texts(90100)[2], "Runden:        2");

    // Positions and the debug lines.
    std::vector<ReadoutLine> lines = race.ReadoutLines(90100);
    EXPECT_FLOAT_EQ(lines[0].x, 870.0f);
    EXPECT_FLOAT_EQ(lines[0].y, 10.0f);
    EXPECT_FLOAT_EQ(lines[1].x, 820.0f);
    EXPECT_FLOAT_EQ(lines[1].y, 25.0f);
    EXPECT_FLOAT_EQ(lines[2].x, 847.0f);
    EXPECT_FLOAT_EQ(lines[2].y, 40.0f);
    race.debugDisplay = 1;
    game.car.position = D3DXVECTOR3(8.0f, 0.0f, -126.0f);
    lines = race.ReadoutLines(90100);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3].text, "PosX :        8.000 PosZ :     -126.000");
    EXPECT_FLOAT_EQ(lines[3].x, 720.0f);
    EXPECT_FLOAT_EQ(lines[3].y, 70.0f);
    EXPECT_EQ(lines[4].text, "FeldX :   37 FeldZ :    3");
    EXPECT_FLOAT_EQ(lines[4].y, 85.0f);
    EXPECT_EQ(lines[5].text, "FeldTyp: 0");
    EXPECT_FLOAT_EQ(lines[5].y, 55.0f);
}

TEST_F(ProgressTest, TimesSpanTheClockWrap) {
    At(-17.5f, -125.0f, 0xFFFFF000u);
    At(-18.5f, -125.0f, 0xFFFFF000u);
    At(4.0f, 120.0f, 0xFFFFF100u);
    Lap(0x00001000u, 0x00001000u);  // 8192 ms after the wrap
    std::uint32_t best = 0;
    ASSERT_TRUE(race.FastestLap(&best));
    EXPECT_EQ(best, 0x2000u);
    EXPECT_FLOAT_EQ(race.LastLapSeconds(), 8.192f);
}

TEST_F(ProgressTest, FastestLapOffersTheBestOfAllLaps) {
    std::uint32_t best = 0;
    EXPECT_FALSE(race.FastestLap(&best));  // no lap at all
    At(-17.5f, -125.0f, 1000);
    At(-18.5f, -125.0f, 1000);
    EXPECT_FALSE(race.FastestLap(&best));  // timing started, no lap complete
    At(4.0f, 120.0f, 2000);
    Lap(50000, 50000);  // 49 s
    ASSERT_TRUE(race.FastestLap(&best));
    EXPECT_EQ(best, 49000u);
    Lap(95000, 95000);  // 45 s
    Lap(142000, 142000);  // 47 s
    ASSERT_TRUE(race.FastestLap(&best));
    EXPECT_EQ(best, 45000u);
}
