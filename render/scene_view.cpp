#include "render/scene_view.h"

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

void SceneView::DrawReadouts() {
    for (const ReadoutLine& line : parts_.race.ReadoutLines(timeGetTime()))
        parts_.graphics.DrawTextFormatted(line.x, line.y, 255, 255, 0, "%s", line.text.c_str());
}
