// The player's formula car: a point with a heading, stepped once per driving frame.
#pragma once

#include <cstdint>

#include "race/course.h"
#include "util3d/d3dx_math.h"

class GameSounds;
class RaceState;

class Car {
public:
    // The car drives over `course`, runs the lap gates of `race` and moves its
    // camera, and sounds the crash with `sounds`.
    Car(const Course& course, RaceState& race, GameSounds& sounds);

    void SteerRight();
    void SteerLeft();
    void Accelerate();
    void Brake();

    void UpdateHeading();
    void Step();
    void UpdatePose();
    // Back to the start pose at rest, as the car is built, with the chase
    // camera behind it (for a new race).
    void ResetToStart();

    float heading = 3.1417f;
    float steerAngle = 0.0f;
    float steerInput = 0.0f;
    float speed = 0.0f;
    float acceleration = 5.0f;
    float braking = -10.0f;
    float throttle = 0.0f;
    float maxSpeed[kFieldTypeCount] = {1.0f, 0.5f, 0.0f, 0.2f, 0.8f, 1.0f};
    float minSpeed[kFieldTypeCount] = {-0.5f, -0.25f, -0.0f, -0.1f, -0.4f, -0.5f};
    FieldType fieldType = Wood;
    D3DXVECTOR3 direction{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 position{8.0f, 0.0f, -126.0f};
    D3DXMATRIX rotation;
    D3DXMATRIX translation;
    D3DXMATRIX world;
    FieldType lastFieldType = Wood;

private:
    // The field under the look-ahead point, 0.7 fields ahead of the nose.
    FieldType LookAheadField() const;

    const Course& course_;
    RaceState& race_;
    GameSounds& sounds_;
};
