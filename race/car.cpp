#include "race/car.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "race/race_state.h"
#include "sound/game_sounds.h"

namespace {
// Field kinds outside the known six drive like wood (see IsKnownFieldType).
int SpeedIndex(FieldType t) { return IsKnownFieldType(t) ? t : Wood; }
}  // namespace

Car::Car(const Course& course, RaceState& race, GameSounds& sounds)
    : course_(course), race_(race), sounds_(sounds) {
    UpdatePose();
}

void Car::SteerRight() { steerInput = -0.01f; }

void Car::SteerLeft() { steerInput = 0.01f; }

void Car::Accelerate() { throttle = speed > 0.0f ? acceleration : -braking; }

void Car::Brake() { throttle = speed > 0.0f ? braking : -acceleration; }

void Car::UpdateHeading() {
    direction.x = std::cos(heading);
    direction.z = std::sin(heading);
}

FieldType Car::LookAheadField() const {
    const Course& course = course_;
    int column = TruncToInt(position.x * 0.25f + direction.x * 0.7f + float(course.columns) * 0.5f);
    int row = TruncToInt(position.z * 0.25f + direction.z * 0.7f + float(course.rows) * 0.5f);
    return course.FieldAt(column, row);
}

void Car::Step() {
    const D3DXVECTOR3 start = position;
    const float lastTurn = speed * steerAngle;  // what the end of the last step added to the heading
    UpdateHeading();

    position.x += speed * direction.x;
    position.z += speed * direction.z;

    fieldType = LookAheadField();

    if (fieldType == Water || fieldType == Stone) {
        position.x -= speed * direction.x * 1.3f;
        position.z -= speed * direction.z * 1.3f;
    }
    // The push-back normally takes the look-ahead point off the stone. When the
    // last step's turn swung the nose over the wall's edge it may not; stopped
    // with its nose on stone the car could neither move nor turn again, and
    // would be held there for the rest of the game. Such a step is undone
    // together with that turn, which puts the nose back where it was last free.
    if (fieldType == Stone && LookAheadField() == Stone) {
        position = start;
        heading -= lastTurn;
        UpdateHeading();
    }

    if (throttle == 0.0f) speed = speed * 0.95f;
    speed = speed + throttle * 0.01f;
    float s = std::fabs(speed);

    int kind = SpeedIndex(fieldType);
    if (speed >= maxSpeed[kind])
        speed = maxSpeed[kind];
    else if (speed <= minSpeed[kind])
        speed = minSpeed[kind];

    steerAngle = steerAngle + steerInput;
    throttle = 0.0f;

    float limit = (1.3f - s * 0.7692308f) * 0.1f;
    if (steerAngle > limit) steerAngle = limit;
    if (steerAngle < -limit) steerAngle = -limit;

    if (steerInput == 0.0f) steerAngle = steerAngle * (1.0f - s * 0.5555556f);

    heading = heading + speed * steerAngle;
    steerInput = 0.0f;

    race_.UpdateProgress();

    if ((fieldType == Water && lastFieldType != Water) || (fieldType == Stone && lastFieldType != Stone))
        sounds_.Play(SOUND_CRASH, 0);
    lastFieldType = fieldType;
}

void Car::ResetToStart() {
    // A car as built, whose camera placing is undone by ours below.
    const Car start(course_, race_, sounds_);
    heading = start.heading;
    steerAngle = start.steerAngle;
    steerInput = start.steerInput;
    speed = start.speed;
    acceleration = start.acceleration;
    braking = start.braking;
    throttle = start.throttle;
    std::copy(std::begin(start.maxSpeed), std::end(start.maxSpeed), maxSpeed);
    std::copy(std::begin(start.minSpeed), std::end(start.minSpeed), minSpeed);
    fieldType = start.fieldType;
    position = start.position;
    lastFieldType = start.lastFieldType;
    // A built car has no direction until its first step, which gives it the
    // one of its heading before it moves; taken now, the camera of the first
    // frame looks along the car instead of straight down at it.
    UpdateHeading();
    UpdatePose();
}

void Car::UpdatePose() {
    D3DXMatrixTranslation(&translation, position.x, position.y + 1.0f, position.z);
    D3DXMatrixRotationY(&rotation, 1.55f - heading);
    D3DXMatrixMultiply(&world, &rotation, &translation);

    RaceState& race = race_;
    race.cameraEye = D3DXVECTOR3(position.x - 5.0f * direction.x, 3.0f, position.z - 5.0f * direction.z);
    race.cameraTarget = D3DXVECTOR3(position.x, 2.0f, position.z);
}
