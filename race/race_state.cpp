#include "race/race_state.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <new>

#include "platform/win.h"
#include "race/car.h"
#include "race/keyboard.h"
#include "race/race_view.h"
#include "sound/game_sounds.h"

bool InStartZone(float x, float z) { return x > -18.0f && x <= -17.0f && z >= -130.0f && z <= -120.0f; }

// The upper z bound of the line zone is +120, reaching far up the course; a lap
// still needs the start zone first, so only the crossing at the line counts.
bool InLineZone(float x, float z) { return x >= -19.0f && x <= -18.0f && z >= -130.0f && z <= 120.0f; }

bool InHalfwayZone(float x, float z) { return x >= -2.0f && x <= 10.0f && z >= 110.0f && z <= 133.0f; }

RaceState::RaceState(const RaceParts& parts) : parts_(parts) {}

RaceState::~RaceState() { FreeLapMarks(); }

void RaceState::FreeLapMarks() {
    while (lapMarks) {
        LapMark* next = lapMarks->next;
        delete lapMarks;
        lapMarks = next;
    }
}

bool RaceState::InitGame() {
    if (!parts_.view.CreateGraphics()) return false;
    pauseFlag = 1;
    titleShowing = 1;
    endingShowing = 0;
    return true;
}

void RaceState::ResetTitleCamera() {
    cameraEye = D3DXVECTOR3(0.0f, 2.5f, -3.5f);
    cameraTarget = D3DXVECTOR3(0.0f, 3.5f, 0.0f);
}

void RaceState::ApplyControls() {
    const ControlState& keys = parts_.controls;
    Car& car = parts_.car;
    if (paused) {
        // The debug read-out is no part of the race: it still answers.
        if (keys.debugKey) debugDisplay = debugDisplay ? 0 : 1;
        return;
    }
    if (keys.rightKey) car.SteerRight();
    if (keys.leftKey) car.SteerLeft();
    if (keys.debugKey) debugDisplay = debugDisplay ? 0 : 1;
    if (keys.accelerateKey) car.Accelerate();
    if (keys.brakeKey) car.Brake();
    if (keys.startKey && titleShowing == 1) EndTitle();
}

void RaceState::EndTitle() {
    titleShowing = 0;
    GameSounds& sounds = parts_.sounds;
    if (sounds.sounds[SOUND_TITLE]) sounds.sounds[SOUND_TITLE]->Stop();
    sounds.Play(SOUND_BACKGROUND, 1);
    sounds.soundOn = 1;
}

void RaceState::Frame() {
    if (titleShowing == 1) {
        parts_.view.DrawTitleScene();
        return;
    }
    if (endingShowing == 1) {
        parts_.view.DrawEndingScene();
        return;
    }
    // The window of visible fields and the view use the car and camera from
    // before this step: the camera trails the car by one step.
    parts_.view.DrawBeforeStep();
    if (!paused) {
        parts_.car.Step();
        parts_.car.UpdatePose();
    }
    parts_.view.DrawAfterStep();
}

void RaceState::StartNewRace() {
    parts_.car.ResetToStart();
    lapCount = -1;
    gatePhase = 0;
    FreeLapMarks();
    lapRecorded = 0;
    // Before the line the clocks follow the time on every step anyway.
    clockStart = raceStart = timeGetTime();
}

void RaceState::SetPaused(bool on) {
    if (on == (paused != 0)) return;
    GameSounds& sounds = parts_.sounds;
    const std::uint32_t now = timeGetTime();
    if (on) {
        paused = 1;
        pauseStart = now;
        sounds.HoldBackground();
        return;
    }
    paused = 0;
    // Unsigned differences, so a pause across the clock's wrap moves them right too.
    const std::uint32_t lasted = now - pauseStart;
    raceStart += lasted;
    clockStart += lasted;
    for (LapMark* m = lapMarks; m; m = m->next) m->time += lasted;
    sounds.ReleaseBackground();
}

void RaceState::UpdateProgress() {
    const D3DXVECTOR3& p = parts_.car.position;
    if (InStartZone(p.x, p.z)) {
        if (gatePhase == 0) {
            gatePhase = 1;
            lapCount = lapCount + 1;
        }
        if (lapCount == 0) clockStart = raceStart = timeGetTime();
    }
    if (gatePhase == 1 && InLineZone(p.x, p.z)) {
        gatePhase = 2;
        std::uint32_t t = timeGetTime();
        if (lapCount >= 1) {
            // A mark that cannot be allocated is not recorded; the lap still counts.
            if (auto* mark = new (std::nothrow) LapMark{lapMarks, t}) {
                lapMarks = mark;
                if (lapRecorded == 0) lapRecorded = 1;
            }
        } else {
            FreeLapMarks();
            lapMarks = new (std::nothrow) LapMark{nullptr, raceStart};
            clockStart = timeGetTime();
        }
    }
    if (gatePhase == 2 && InHalfwayZone(p.x, p.z)) gatePhase = 0;
    if (lapCount < 0) clockStart = raceStart = timeGetTime();
}

float RaceState::LastLapSeconds() const {
    if (lapCount >= 2 && lapRecorded == 1 && lapMarks && lapMarks->next)
        return float(lapMarks->time - lapMarks->next->time) * 0.001f;
    if (lapCount == 1 && lapRecorded == 1 && lapMarks) return float(lapMarks->time - raceStart) * 0.001f;
    // Before the first crossing of the line and while the first lap has been
    // counted but not yet timed there is no completed lap: show zero.
    return 0.0f;
}

bool RaceState::FastestLap(std::uint32_t* milliseconds) const {
    if (lapCount < 1 || !lapMarks || !lapMarks->next) return false;
    std::uint32_t best = 0;
    bool found = false;
    for (const LapMark* m = lapMarks; m->next; m = m->next) {
        std::uint32_t lap = m->time - m->next->time;
        if (!found || lap < best) best = lap;
        found = true;
    }
    *milliseconds = best;
    return found;
}

namespace {
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}
}  // namespace

std::vector<ReadoutLine> RaceState::ReadoutLines(std::uint32_t now) const {
    const float width = float(parts_.screen.BackBufferWidth);
    const Car& car = parts_.car;
    const Course& course = parts_.course;
    std::vector<ReadoutLine> lines;
    now = LapClock(now);
    if (lapCount >= 0)
        lines.push_back({Format("Time: %12.3f", double(float(now - clockStart) * 0.001f)), width - 130.0f, 10.0f});
    lines.push_back({Format("Rundenzeit: %12.3f", double(LastLapSeconds())), width - 180.0f, 25.0f});
    lines.push_back({Format("Runden:        %d", lapCount >= 0 ? lapCount : 0), width - 153.0f, 40.0f});
    if (debugDisplay == 1) {
        int column = course.ColumnOf(car.position.x);
        int row = course.RowOf(car.position.z);
        lines.push_back({Format("PosX : %12.3f PosZ : %12.3f", double(car.position.x), double(car.position.z)),
                         width - 280.0f, 70.0f});
        lines.push_back({Format("FeldX : %4d FeldZ : %4d", column, row), width - 180.0f, 85.0f});
        lines.push_back({Format("FeldTyp: %d", course.FieldAt(column, row)), width - 180.0f, 55.0f});
    }
    // Over the middle of the picture, on the sky, where the player looks.
    if (paused) lines.push_back({"Pause", std::floor(width * 0.5f) - 18.0f, 40.0f, true});
    return lines;
}
