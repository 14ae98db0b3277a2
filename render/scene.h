// The frame steps shared by the game, title and ending scenes.
#pragma once

#include "platform/d3d8.h"
#include "util3d/d3dx_math.h"

class Game;

// Begin the frame's statistics, clear to black, begin the scene and set the
// view from the camera of the race state.
void SceneBegin(Game& game);
// The sky box around the camera, drawn first and without depth; the game
// scene draws it unlit, the title and ending scenes lit.
void SceneDrawSky(Game& game, bool gameScene);
// Every cell of the course.
void SceneDrawCourse(Game& game);
// Only the cells near the car's cell (cx, cz) that are not behind it.
void SceneDrawCourseWindow(Game& game, int cx, int cz, float dx, float dz);
void SceneDrawCar(Game& game);
// End the scene, present it and end the frame's statistics.
void SceneEnd(Game& game);

// The window test of the game scene for the cell in row i, column j.
bool IsCellInWindow(int i, int j, int cx, int cz, float dx, float dz);

// Diffuse and Ambient set to (r, g, b, a), everything else zero.
void InitMaterial(D3DMATERIAL8& material, float r, float g, float b, float a);

// The placement of the extruded texts: turned half round about the vertical
// axis, moved by (tx, ty, tz), and drawn ten times larger through w = 0.1.
D3DXMATRIX TextPlacement(float tx, float ty, float tz);
