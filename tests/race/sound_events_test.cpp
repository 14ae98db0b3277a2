#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "tests/support/game_fixture.h"

namespace {

CourseLayout WaterAheadStoneBehind() {
    // Ahead of the car (towards falling x) water in column 33; stone in column 40 behind it.
    CourseLayout layout;
    for (int r = 0; r < 70; ++r) {
        layout.cells.push_back({33, r, Water});
        layout.cells.push_back({40, r, Stone});
    }
    return layout;
}

}  // namespace

class SoundEventsTest : public RaceTest {
protected:
    SoundEventsTest() : RaceTest(WaterAheadStoneBehind()) {}
    void SetUp() override {
        RaceTest::SetUp();
        ASSERT_GE(game.sounds.Init(nullptr), 0);
    }
    GameFolder folder;
};

TEST_F(SoundEventsTest, CrashSoundsOnceOnEveryEntryIntoWater) {
    Car& car = game.car;
    std::vector<FieldType> kinds;
    std::vector<size_t> crashes;
    for (int i = 0; i < 120; ++i) {
        size_t mark = sound->Mark();
        car.Accelerate();
        car.Step();
        kinds.push_back(car.fieldType);
        crashes.push_back(sound->Count("Play", "race_crash.wav", mark));
        sound->Advance(40);
    }
    size_t total = 0;
    for (size_t i = 0; i < kinds.size(); ++i) {
        bool entered = (kinds[i] == Water || kinds[i] == Stone) && (i == 0 || kinds[i - 1] != kinds[i]);
        EXPECT_EQ(crashes[i], entered ? 1u : 0u) << "step " << i;
        total += crashes[i];
    }
    // The water pushes the car back out, so a car that keeps accelerating
    // enters it again and again: one crash per entry, none while it stays.
    EXPECT_NE(std::find(kinds.begin(), kinds.end(), Water), kinds.end());
    EXPECT_GE(total, 2u);
}

TEST_F(SoundEventsTest, GoingFromWaterStraightToStoneCrashesAgain) {
    struct Case {
        FieldType last;
        bool crash;
    } cases[] = {{Wood, true}, {Water, true}, {Stone, false}};
    for (const Case& c : cases) {
        Car& car = game.car;
        // Standing in column 40 (x 20 to 24), heading towards rising x: the look-ahead is on its stone.
        car.heading = 0.0f;
        car.speed = 0.0f;
        car.position = D3DXVECTOR3(20.5f, 0.0f, 0.0f);
        car.lastFieldType = c.last;
        size_t mark = sound->Mark();
        car.Step();
        ASSERT_EQ(car.fieldType, Stone);
        EXPECT_EQ(sound->Count("Play", "race_crash.wav", mark), c.crash ? 1u : 0u) << c.last;
    }
}

TEST_F(SoundEventsTest, WithTheSwitchOffACrashStopsInsteadOfPlaying) {
    game.sounds.soundOn = 0;
    Car& car = game.car;
    for (int i = 0; i < 120 && car.fieldType != Water; ++i) {
        car.Accelerate();
        car.Step();
    }
    ASSERT_EQ(car.fieldType, Water);
    EXPECT_EQ(sound->Count("Play", "race_crash.wav"), 0u);
    EXPECT_GE(sound->Count("Stop", "race_crash.wav"), 1u);
}

TEST_F(SoundEventsTest, SpaceEndsTheTitleWithTheSoundActions) {
    RaceState& race = game.race;
    race.titleShowing = 1;
    game.sounds.Play(1, 0);
    game.controls.startKey = 1;
    size_t mark = sound->Mark();
    race.ApplyControls();
    EXPECT_EQ(race.titleShowing, 0);
    std::vector<std::string> lines = sound->Lines(mark);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_NE(lines[0].find("Stop media/race_boxenluder.wav"), std::string::npos) << lines[0];
    EXPECT_TRUE(sound->IsLooping("race_hintergrund.wav"));
    EXPECT_FALSE(sound->IsPlaying("race_boxenluder.wav"));

    // Outside the title, Space does nothing.
    mark = sound->Mark();
    race.ApplyControls();
    EXPECT_EQ(sound->Count("", "", mark), 0u);
}

TEST_F(SoundEventsTest, SwitchedOffDuringTheTitleSpaceGivesASilentBackgroundWithTheSwitchOn) {
    RaceState& race = game.race;
    race.titleShowing = 1;
    game.sounds.soundOn = 0;
    game.controls.startKey = 1;
    race.ApplyControls();
    EXPECT_EQ(game.sounds.soundOn, 1);
    EXPECT_FALSE(sound->IsPlaying("race_hintergrund.wav"));
}

TEST_F(SoundEventsTest, ControlsActInTheirOrder) {
    ControlState& keys = game.controls;
    keys = ControlState{};
    keys.leftKey = keys.rightKey = 1;
    keys.accelerateKey = keys.brakeKey = 1;
    game.race.ApplyControls();
    EXPECT_FLOAT_EQ(game.car.steerInput, 0.01f);  // left wins
    EXPECT_FLOAT_EQ(game.car.throttle, -5.0f);    // the brake wins (from rest: backwards)

    // F12 toggles on every tick it is held.
    keys = ControlState{};
    keys.debugKey = 1;
    for (int ticks = 1; ticks <= 4; ++ticks) {
        game.race.ApplyControls();
        EXPECT_EQ(game.race.debugDisplay, ticks % 2) << ticks;
    }
}
