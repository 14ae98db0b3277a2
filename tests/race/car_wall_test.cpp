// A car whose nose ends up on a stone field while it stands still: the wall
// stops it, and then it must still be able to get away.
#include <cmath>

#include "tests/support/game_fixture.h"

namespace {

// Column 33 (x from -8 to -4) is a stone wall along the whole course.
CourseLayout WallAtColumn33() {
    CourseLayout course;
    for (int r = 0; r < 70; ++r) course.cells.push_back({33, r, Stone});
    return course;
}

// The state a step left, with its turn already made: the nose was free when
// the step looked, and the turn swings it over the wall's edge.
struct Approach {
    const char* label;
    float x;            // the car's x beside the wall, at z = 0
    float heading;      // nose north (pi/2) plus the turn of the last step
    float speed;
    float steerAngle;   // speed * steerAngle is that turn
};

TEST(CarAtAWall, ANoseSwungOntoStoneDoesNotHoldTheCarForGood) {
    const float north = 1.5707964f;
    const Approach approaches[] = {
        {"driving on and turning into the wall", -3.9f, north + 0.05f, 1.0f, 0.05f},
        {"reversing while the nose swings into the wall", -3.95f, north + 0.04f, -0.5f, -0.08f},
    };
    for (const Approach& a : approaches) {
        SCOPED_TRACE(a.label);
        RecordingPlatform platform;
        auto sound = std::make_shared<SoundRecorder>();
        TestBackends backends(&platform, sound);
        Game game(TestFiles("wall", WallAtColumn33()));
        Car& car = game.car;
        car.position = D3DXVECTOR3(a.x, 0.0f, 0.0f);
        car.heading = a.heading;
        car.speed = a.speed;
        car.steerAngle = a.steerAngle;
        ASSERT_EQ(game.course.ColumnOf(a.x + 2.8f * std::cos(north)), 34);  // where the nose was last seen

        car.Step();
        // The wall stops the car in the step its nose reaches the stone.
        EXPECT_EQ(car.fieldType, Stone);
        EXPECT_EQ(car.speed, 0.0f);

        // Then the player backs away, steering, and drives on: the car moves.
        const D3DXVECTOR3 stopped = car.position;
        for (int i = 0; i < 30; ++i) {
            car.Brake();
            if (i > 10) car.SteerLeft();
            car.Step();
        }
        EXPECT_GT(std::hypot(car.position.x - stopped.x, car.position.z - stopped.z), 1.0f);
        EXPECT_NE(car.fieldType, Stone);
        const D3DXVECTOR3 backed = car.position;
        for (int i = 0; i < 30; ++i) {
            car.Accelerate();
            car.SteerRight();
            car.Step();
        }
        EXPECT_GT(std::hypot(car.position.x - backed.x, car.position.z - backed.z), 5.0f);
        // Never through the wall.
        EXPECT_GT(car.position.x, -4.0f);
    }
}

}  // namespace
