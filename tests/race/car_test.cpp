#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/game_fixture.h"

namespace {

// Holds a key for n steps and returns the speed after each step.
template <class Request>
std::vector<float> Hold(Car& car, int steps, Request request) {
    std::vector<float> speeds;
    for (int i = 0; i < steps; ++i) {
        request(car);
        car.Step();
        speeds.push_back(car.speed);
    }
    return speeds;
}

}  // namespace

class CarTest : public ::testing::Test {
protected:
    // The car starts on wood at (8, -126) heading towards falling x, with a
    // clear run ahead on this all-wood course.
    Game game{TestFiles("car_wood")};
    Car& car = game.car;
};

TEST_F(CarTest, StartPose) {
    EXPECT_FLOAT_EQ(car.heading, 3.1417f);
    EXPECT_FLOAT_EQ(car.position.x, 8.0f);
    EXPECT_FLOAT_EQ(car.position.z, -126.0f);
    EXPECT_FLOAT_EQ(car.speed, 0.0f);
    // The constructor's pose: drawn 1.0 above the reference point, turned by 1.55 - heading.
    EXPECT_FLOAT_EQ(car.world.m[3][0], 8.0f);
    EXPECT_FLOAT_EQ(car.world.m[3][1], 1.0f);
    EXPECT_FLOAT_EQ(car.world.m[3][2], -126.0f);
    EXPECT_FLOAT_EQ(car.world.m[0][0], std::cos(1.55f - 3.1417f));
}

TEST_F(CarTest, AcceleratorFromRestReachesTopSpeedOnTheNineteenthStep) {
    std::vector<float> speeds = Hold(car, 25, [](Car& c) { c.Accelerate(); });
    EXPECT_FLOAT_EQ(speeds[0], 0.1f);
    EXPECT_FLOAT_EQ(speeds[1], 0.15f);
    EXPECT_FLOAT_EQ(speeds[2], 0.2f);
    for (int i = 1; i < 18; ++i) EXPECT_NEAR(speeds[i] - speeds[i - 1], 0.05f, 1e-5f) << i;
    EXPECT_LT(speeds[17], 1.0f);
    EXPECT_EQ(speeds[18], 1.0f);
    for (int i = 18; i < 25; ++i) EXPECT_EQ(speeds[i], 1.0f);
}

TEST_F(CarTest, BrakeFromRestReversesToItsLimitAndTheAcceleratorBrakesReversing) {
    std::vector<float> back = Hold(car, 12, [](Car& c) { c.Brake(); });
    EXPECT_FLOAT_EQ(back[0], -0.05f);
    EXPECT_FLOAT_EQ(back[1], -0.1f);
    EXPECT_EQ(back[9], -0.5f);
    EXPECT_EQ(back[11], -0.5f);
    // Reversing at -0.5: the accelerator adds 0.1 per step until above 0, then 0.05.
    std::vector<float> forward = Hold(car, 7, [](Car& c) { c.Accelerate(); });
    EXPECT_NEAR(forward[0], -0.4f, 1e-5f);
    EXPECT_NEAR(forward[4], 0.0f, 1e-5f);
    float above = forward[4] > 0.0f ? forward[5] - forward[4] : forward[6] - forward[5];
    EXPECT_NEAR(above, 0.05f, 1e-5f);
}

TEST_F(CarTest, BrakingAForwardCarTakesATenthPerStep) {
    Hold(car, 19, [](Car& c) { c.Accelerate(); });
    std::vector<float> speeds = Hold(car, 3, [](Car& c) { c.Brake(); });
    EXPECT_NEAR(speeds[0], 0.9f, 1e-5f);
    EXPECT_NEAR(speeds[1], 0.8f, 1e-5f);
}

TEST_F(CarTest, FrictionDecaysButNeverStops) {
    Hold(car, 19, [](Car& c) { c.Accelerate(); });
    std::vector<float> speeds = Hold(car, 300, [](Car&) {});
    EXPECT_FLOAT_EQ(speeds[0], 0.95f);
    EXPECT_FLOAT_EQ(speeds[1], 0.95f * 0.95f);
    EXPECT_GT(speeds.back(), 0.0f);
}

TEST_F(CarTest, SteeringLimitsAndSelfCentring) {
    // At rest the limit is 0.13 and a standing car keeps its angle.
    Hold(car, 20, [](Car& c) { c.SteerLeft(); });
    EXPECT_FLOAT_EQ(car.steerAngle, 0.13f);
    EXPECT_FLOAT_EQ(car.heading, 3.1417f);  // steering while standing does not turn
    Hold(car, 5, [](Car&) {});
    EXPECT_FLOAT_EQ(car.steerAngle, 0.13f);
    Hold(car, 30, [](Car& c) { c.SteerRight(); });
    EXPECT_FLOAT_EQ(car.steerAngle, -0.13f);

    // The limit uses the speed before the clamp: at 1.0 it is (1.3 - 1/1.3) * 0.1,
    // about 0.0531; a car accelerating at top speed sees 1.05 and a tighter limit.
    car.speed = 0.95f;
    car.steerAngle = 0.2f;
    float before = car.heading;
    Hold(car, 1, [](Car& c) {
        c.Accelerate();
        c.SteerLeft();
    });
    EXPECT_NEAR(car.steerAngle, 0.05307692f, 1e-6f);
    EXPECT_NEAR(car.heading - before, 1.0f * 0.05307692f, 1e-6f);
    Hold(car, 1, [](Car& c) {
        c.Accelerate();
        c.SteerLeft();
    });
    EXPECT_NEAR(car.steerAngle, (1.3f - 1.05f * 0.7692308f) * 0.1f, 1e-6f);

    // Released at speed, the angle centres by (1 - s / 1.8) per step.
    float angle = car.steerAngle;
    float s = car.speed;
    Hold(car, 1, [](Car&) {});
    EXPECT_NEAR(car.steerAngle, angle * (1.0f - s * 0.95f * 0.5555556f), 1e-6f);
}

TEST_F(CarTest, BothArrowsOrBothPedalsFollowTheOrderOfRequests) {
    // What ApplyControls does when both are held: the later request wins.
    car.SteerRight();
    car.SteerLeft();
    EXPECT_FLOAT_EQ(car.steerInput, 0.01f);
    car.Accelerate();
    car.Brake();
    EXPECT_FLOAT_EQ(car.throttle, -5.0f);
}

TEST_F(CarTest, ReversingTurnsTheOtherWay) {
    Hold(car, 10, [](Car& c) { c.Brake(); });
    float before = car.heading;
    Hold(car, 3, [](Car& c) {
        c.Brake();
        c.SteerLeft();
    });
    EXPECT_LT(car.heading, before);
}

TEST_F(CarTest, UpdatePoseMovesTheChaseCamera) {
    Hold(car, 5, [](Car& c) { c.Accelerate(); });
    car.UpdatePose();
    const D3DXVECTOR3& d = car.direction;
    EXPECT_FLOAT_EQ(game.race.cameraEye.x, car.position.x - 5.0f * d.x);
    EXPECT_FLOAT_EQ(game.race.cameraEye.y, 3.0f);
    EXPECT_FLOAT_EQ(game.race.cameraEye.z, car.position.z - 5.0f * d.z);
    EXPECT_FLOAT_EQ(game.race.cameraTarget.x, car.position.x);
    EXPECT_FLOAT_EQ(game.race.cameraTarget.y, 2.0f);
    EXPECT_FLOAT_EQ(game.race.cameraTarget.z, car.position.z);
    // The mesh's +z axis points very nearly along the heading (1.55 falls 0.0208 short of pi/2).
    D3DXVECTOR4 nose = TransformPoint(D3DXVECTOR3(0.0f, 0.0f, 1.0f), car.rotation);
    EXPECT_NEAR(nose.x, std::cos(car.heading + 0.0207963f), 1e-5f);
    EXPECT_NEAR(nose.z, std::sin(car.heading + 0.0207963f), 1e-5f);
}

// The look-ahead field in front of the car decides limits and push-back.
class CarFieldTest : public ::testing::Test {
protected:
    // Heading towards falling x from x = 8: columns 36 and below lie ahead.
    static CourseLayout WithColumnAhead(FieldType type, int column) {
        CourseLayout layout;
        for (int r = 0; r < 70; ++r) layout.cells.push_back({column, r, type});
        return layout;
    }
};

TEST_F(CarFieldTest, StoneStopsTheCarAndPushesItBack) {
    Game game(TestFiles("car_stone", WithColumnAhead(Stone, 33)));
    Car& car = game.car;
    int steps = 0;
    while (car.fieldType != Stone && steps < 200) {
        car.Accelerate();
        float x = car.position.x, speed = car.speed;
        car.Step();
        ++steps;
        if (car.fieldType == Stone) {
            // Moved by speed, then back by 1.3 times that: 0.3 of the step behind.
            EXPECT_NEAR(car.position.x, x + 0.3f * speed * 1.0f, 1e-3f);
            EXPECT_EQ(car.speed, 0.0f);
        }
    }
    ASSERT_EQ(car.fieldType, Stone);
    // The car can back away and drive on: the push-back took the look-ahead off the stone.
    for (int i = 0; i < 10; ++i) {
        car.Brake();
        car.Step();
    }
    EXPECT_NE(car.fieldType, Stone);
    EXPECT_LT(car.speed, 0.0f);
}

TEST_F(CarFieldTest, WaterCutsTopSpeedToAFifthInOneStep) {
    Game game(TestFiles("car_water", WithColumnAhead(Water, 20)));
    Car& car = game.car;
    float before = 0.0f;
    for (int i = 0; i < 200 && car.fieldType != Water; ++i) {
        car.Accelerate();
        before = car.speed;
        car.Step();
    }
    ASSERT_EQ(car.fieldType, Water);
    EXPECT_EQ(before, 1.0f);
    EXPECT_FLOAT_EQ(car.speed, 0.2f);
}

TEST_F(CarFieldTest, SpeedLimitsOfEveryKind) {
    struct Case {
        FieldType type;
        float top, reverse;
    } cases[] = {{Wood, 1.0f, -0.5f}, {Grass, 0.5f, -0.25f}, {Metal, 0.8f, -0.4f}, {Start, 1.0f, -0.5f},
                 {Water, 0.2f, -0.1f}, {17, 1.0f, -0.5f} /* unknown kinds drive like wood */};
    for (const Case& c : cases) {
        CourseLayout layout;
        layout.fill = c.type;
        Game game(TestFiles("car_limits", layout));
        Car& car = game.car;
        for (int i = 0; i < 40; ++i) {
            car.Accelerate();
            car.Step();
        }
        EXPECT_FLOAT_EQ(car.speed, c.top) << c.type;
        for (int i = 0; i < 60; ++i) {
            car.Brake();
            car.Step();
        }
        EXPECT_FLOAT_EQ(car.speed, c.reverse) << c.type;
    }
}

TEST_F(CarFieldTest, OnlyTheLookAheadInFrontOfTheNoseCounts) {
    // Stone right behind the car: reversing towards it is not stopped until the
    // point in front of the nose itself reaches stone.
    Game game(TestFiles("car_behind", WithColumnAhead(Stone, 39)));
    Car& car = game.car;
    for (int i = 0; i < 3; ++i) {
        car.Brake();
        car.Step();
        EXPECT_NE(car.fieldType, Stone);
    }
    EXPECT_LT(car.speed, -0.1f);
}

TEST_F(CarFieldTest, LeavingTheStorageDrivesOnWood) {
    Game game(TestFiles("car_far"));
    Car& car = game.car;
    car.position = D3DXVECTOR3(-5000.0f, 0.0f, 3000.0f);
    for (int i = 0; i < 5; ++i) {
        car.Accelerate();
        car.Step();
    }
    EXPECT_EQ(car.fieldType, Wood);
    EXPECT_GT(car.speed, 0.0f);
}
