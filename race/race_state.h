// The game's own state beside the course and the car: the phase on show, the
// camera, and the progress of the race with its lap marks and read-outs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d8.h"
#include "util3d/d3dx_math.h"

class Car;
class Course;
class GameSounds;
class RaceView;
struct ControlState;

// One recorded line crossing; the list is kept newest first.
struct LapMark {
    LapMark* next;
    std::uint32_t time;
};

// The text and place of one read-out line as the driving frame draws it, in
// the pixels of the window the game opens with. A line keeps its distance to
// the right edge, or with `centred` to the middle, when the back buffer is
// wider.
struct ReadoutLine {
    std::string text;
    float x, y;
    bool centred = false;
};

// The parts of the game the race state works with, all owned by the game.
struct RaceParts {
    Car& car;
    const Course& course;
    const ControlState& controls;
    GameSounds& sounds;
    const D3DPRESENT_PARAMETERS& screen;  // the back buffer the read-outs are placed in
    RaceView& view;
};

class RaceState {
public:
    explicit RaceState(const RaceParts& parts);
    ~RaceState();
    RaceState(const RaceState&) = delete;
    RaceState& operator=(const RaceState&) = delete;

    bool InitGame();
    void ResetTitleCamera();
    void ApplyControls();
    void Frame();
    void UpdateProgress();
    // The title ends, by Space or by the end of its flight: the title sound
    // stops, the background loop starts and the sound switch reads on.
    void EndTitle();
    // A new race at once ("Neues Spiel" while driving): the car back at its
    // start, the laps, their marks, the gates and the clocks as start-up
    // leaves them. The phase, the sound and the debug read-out stay.
    void StartNewRace();
    // The pause of the race. While it lasts the car stands, the driving keys
    // do nothing, the lap clock stands and the background loop is held; on
    // its end every clock mark moves on by the time it lasted, so no lap and
    // no total counts it.
    void SetPaused(bool on);

    // The read-out lines of the driving frame in drawing order, each already
    // formatted; lines that are not shown in the current state are left out.
    std::vector<ReadoutLine> ReadoutLines(std::uint32_t now) const;
    // The time the lap clock shows: the clock, or the moment it was stopped.
    std::uint32_t LapClock(std::uint32_t now) const { return paused ? pauseStart : now; }
    // The last completed lap in seconds as line 2 shows it.
    float LastLapSeconds() const;
    // The fastest lap between two recorded marks, in milliseconds; false when
    // fewer than two marks exist or no lap is complete.
    bool FastestLap(std::uint32_t* milliseconds) const;
    // Drops every lap mark (teardown).
    void FreeLapMarks();

    // Phase and camera.
    std::int32_t titleShowing = 0;
    std::int32_t endingShowing = 0;
    D3DXVECTOR3 cameraEye;
    D3DXVECTOR3 cameraTarget;
    std::int32_t pauseFlag = 0;

    // Race progress.
    std::int32_t lapCount = 0;
    std::int32_t gatePhase = 0;
    LapMark* lapMarks = nullptr;
    std::int32_t lapRecorded = 0;
    std::uint32_t raceStart = 0;
    std::uint32_t clockStart = 0;
    std::uint8_t debugDisplay = 0;

    // The pause (pauseFlag above only keeps its own values: 1 from start-up,
    // flipped by every pause command). The menu's check mark shows this one.
    std::int32_t paused = 0;
    std::uint32_t pauseStart = 0;  // the lap clock when the pause began

    // The title and ending scenes' own state, each set once and never reset.
    float titleAngle = 0.0f;
    std::int32_t titleFlightPhase = 1;
    float dropPhase = -0.7f;
    float dropHeight = 10.0f;
    float dropBase = 4.0f;
    float endingAngle = 0.0f;
    std::int32_t creditsPage = 0;

private:
    RaceParts parts_;
};

// The gate rectangles, in world x and z of the car's position.
bool InStartZone(float x, float z);
bool InLineZone(float x, float z);
bool InHalfwayZone(float x, float z);
