// The frame steps shared by the game, title and ending scenes.
#pragma once

#include "platform/d3d8.h"
#include "util3d/d3dx_math.h"

class Car;
class Course;
class CreditLines;
class GraphicsDevice;
class RaceState;
class SceneMeshes;

// Told when each frame's drawing begins and ends (the drawing statistics of
// the game, above this folder).
class FrameObserver {
public:
    virtual void BeginFrame() = 0;
    virtual void EndFrame() = 0;

protected:
    ~FrameObserver() = default;
};

// What the scenes are drawn from: the parts of the game they read and move,
// all owned by the game.
struct SceneParts {
    GraphicsDevice& graphics;
    SceneMeshes& meshes;
    const Course& course;
    RaceState& race;  // the camera, and the title's and the ending's state
    Car& car;
    CreditLines& credits;
    FrameObserver& frames;
};

// Begin the frame's statistics, clear to black, begin the scene and set the
// view from the camera of the race state, or from the camera given.
void SceneBegin(SceneParts& scene);
void SceneBeginAt(SceneParts& scene, const D3DXVECTOR3& eye, const D3DXVECTOR3& target);
// The sky box around the camera, drawn first and without depth; the game
// scene draws it unlit, the title and ending scenes lit.
void SceneDrawSky(SceneParts& scene, bool gameScene);
// Every cell of the course.
void SceneDrawCourse(SceneParts& scene);
// Only the cells near the car's cell (cx, cz) that are not behind it.
void SceneDrawCourseWindow(SceneParts& scene, int cx, int cz, float dx, float dz);
void SceneDrawCar(SceneParts& scene);
void SceneDrawCarAt(SceneParts& scene, const D3DXMATRIX& world);
// End the scene, present it and end the frame's statistics.
void SceneEnd(SceneParts& scene);

// What one frame of the title or the ending flight shows, and the parts the
// frame reads from the game besides: the camera, where the headlight is
// placed from (the car's position and heading vector), the height of the
// dropping "3D" and the credits page.
struct FlightPicture {
    D3DXVECTOR3 eye{}, target{};
    D3DXVECTOR3 carAt{}, carAlong{};
    bool subtitle = false;
    float subtitleHeight = 0.0f;
    int creditsPage = 0;
};

// The title flight with the extruded "Tarvik" and the dropping "3D", which
// ends the title when the flight is over, and the ending's circling flight
// with the credit pages: each frame moves the flight a step and draws it.
void DrawTitleScene(SceneParts& scene);
void DrawEndingScene(SceneParts& scene);
// The same in parts, for frames drawn apart from the steps: a step of the
// title's camera (which may end the title), the picture it gives, and then
// the step of the dropping "3D"; a step of the ending (which may turn its
// page) and its picture; and the drawing of a picture.
void TitleFlightStep(SceneParts& scene);
FlightPicture TitlePicture(const SceneParts& scene);
void TitleDropStep(SceneParts& scene);
void EndingFlightStep(SceneParts& scene);
FlightPicture EndingPicture(const SceneParts& scene);
void DrawTitlePicture(SceneParts& scene, const FlightPicture& picture);
void DrawEndingPicture(SceneParts& scene, const FlightPicture& picture);

// The window test of the game scene for the cell in row i, column j.
bool IsCellInWindow(int i, int j, int cx, int cz, float dx, float dz);

// Diffuse and Ambient set to (r, g, b, a), everything else zero.
void InitMaterial(D3DMATERIAL8& material, float r, float g, float b, float a);

// The placement of the extruded texts: turned half round about the vertical
// axis, moved by (tx, ty, tz), and drawn ten times larger through w = 0.1.
D3DXMATRIX TextPlacement(float tx, float ty, float tz);
