#include "render/scene_view.h"

#include <cmath>

#include "gfx/graphics_device.h"
#include "platform/clock.h"
#include "race/car.h"
#include "race/course.h"
#include "race/race_state.h"
#include "render/mesh_model.h"

bool SceneView::CreateGraphics() {
    if (!parts_.graphics.Create()) return false;
    parts_.meshes.LoadAll(parts_.graphics.device);
    return true;
}

void SceneView::DrawTitleScene() { ::DrawTitleScene(parts_); }

void SceneView::DrawEndingScene() { ::DrawEndingScene(parts_); }

void SceneView::DrawBeforeStep() {
    const Car& car = parts_.car;
    const Course& course = parts_.course;
    SceneBegin(parts_);
    parts_.graphics.PlaceHeadlight(car.position.x, car.position.y, car.position.z, car.direction.x,
                                   car.direction.y, car.direction.z);
    SceneDrawSky(parts_, true);
    SceneDrawCourseWindow(parts_, course.ColumnOf(car.position.x), course.RowOf(car.position.z), car.direction.x,
                          car.direction.z);
}

void SceneView::DrawAfterStep() {
    SceneDrawCar(parts_);
    DrawReadouts();
    SceneEnd(parts_);
}

ReadoutLine PlaceReadout(const ReadoutLine& line, float width, float scale) {
    ReadoutLine placed = line;
    const float anchor = line.centred ? std::floor(width * 0.5f) : width;
    placed.x = anchor - (anchor - line.x) * scale;
    placed.y = line.y * scale;
    // A line never starts left of the picture, however narrow the window.
    if (placed.x < 0.0f) placed.x = 0.0f;
    return placed;
}

void SceneView::DrawReadouts() {
    GraphicsDevice& graphics = parts_.graphics;
    const float width = float(graphics.presentParams.BackBufferWidth);
    const float scale = graphics.ReadoutScale();
    const bool outlined = graphics.ReadoutOutlined();
    for (const ReadoutLine& line : parts_.race.ReadoutLines(timeGetTime())) {
        const ReadoutLine placed = PlaceReadout(line, width, scale);
        if (outlined) {
            // One pixel of dark all round, under the letters.
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (dx || dy)
                        graphics.DrawTextFormatted(placed.x + float(dx), placed.y + float(dy), 0, 0, 0, "%s",
                                                   placed.text.c_str());
        }
        graphics.DrawTextFormatted(placed.x, placed.y, 255, 255, 0, "%s", placed.text.c_str());
    }
}
