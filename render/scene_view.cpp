#include "render/scene_view.h"

#include <cmath>

#include "gfx/graphics_device.h"
#include "platform/clock.h"
#include "race/car.h"
#include "race/course.h"
#include "race/race_state.h"
#include "render/mesh_model.h"

namespace {

// A car or camera that moved this far in one tick was put there: a new race,
// the ending. A frame between is no sight of it.
constexpr float kJump = 8.0f;

D3DXVECTOR3 Blend(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float t) {
    return D3DXVECTOR3(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t);
}

float Distance(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    const float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

bool Same(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

bool SameFlight(const FlightPicture& a, const FlightPicture& b) {
    return Same(a.eye, b.eye) && Same(a.target, b.target) && Same(a.carAt, b.carAt) && Same(a.carAlong, b.carAlong) &&
           a.subtitle == b.subtitle && a.subtitleHeight == b.subtitleHeight && a.creditsPage == b.creditsPage;
}

// The car's world matrix as the car makes it from its place and heading.
D3DXMATRIX CarWorld(const D3DXVECTOR3& position, float heading) {
    D3DXMATRIX translation, rotation, world;
    D3DXMatrixTranslation(&translation, position.x, position.y + 1.0f, position.z);
    D3DXMatrixRotationY(&rotation, 1.55f - heading);
    D3DXMatrixMultiply(&world, &rotation, &translation);
    return world;
}

}  // namespace

bool SamePicture(const TickPicture& a, const TickPicture& b) {
    if (a.scene != b.scene || !SameFlight(a.flight, b.flight)) return false;
    if (a.scene != TickPicture::Scene::Driving) return true;
    if (a.windowColumn != b.windowColumn || a.windowRow != b.windowRow || a.windowDx != b.windowDx ||
        a.windowDz != b.windowDz || !Same(a.carPosition, b.carPosition) || a.carHeading != b.carHeading ||
        a.readouts.size() != b.readouts.size())
        return false;
    for (size_t i = 0; i < a.readouts.size(); ++i) {
        const ReadoutLine& x = a.readouts[i];
        const ReadoutLine& y = b.readouts[i];
        if (x.text != y.text || x.x != y.x || x.y != y.y || x.centred != y.centred) return false;
    }
    return true;
}

TickPicture PictureBetween(const TickPicture& a, const TickPicture& b, float t) {
    if (t >= 1.0f || a.scene != b.scene || a.scene == TickPicture::Scene::None) return b;
    if (t <= 0.0f) {
        // The frame at the tick before, but what is the last tick's own.
        TickPicture at = a;
        at.readouts = b.readouts;
        at.windowColumn = b.windowColumn;
        at.windowRow = b.windowRow;
        at.windowDx = b.windowDx;
        at.windowDz = b.windowDz;
        return at;
    }
    const FlightPicture& fa = a.flight;
    const FlightPicture& fb = b.flight;
    if (fa.creditsPage != fb.creditsPage || fa.subtitle != fb.subtitle || Distance(fa.eye, fb.eye) > kJump ||
        Distance(a.carPosition, b.carPosition) > kJump)
        return b;
    TickPicture between = b;
    FlightPicture& f = between.flight;
    f.eye = Blend(fa.eye, fb.eye, t);
    f.target = Blend(fa.target, fb.target, t);
    f.carAt = Blend(fa.carAt, fb.carAt, t);
    f.carAlong = Blend(fa.carAlong, fb.carAlong, t);
    f.subtitleHeight = fa.subtitleHeight + (fb.subtitleHeight - fa.subtitleHeight) * t;
    if (b.scene == TickPicture::Scene::Driving) {
        between.carPosition = Blend(a.carPosition, b.carPosition, t);
        between.carHeading = a.carHeading + (b.carHeading - a.carHeading) * t;
        between.carWorld = CarWorld(between.carPosition, between.carHeading);
    }
    return between;
}

bool SceneView::CreateGraphics() {
    if (!parts_.graphics.Create()) return false;
    parts_.meshes.LoadAll(parts_.graphics.device);
    return true;
}

void SceneView::DrawTitleScene() {
    if (!smooth_) {
        ::DrawTitleScene(parts_);
        return;
    }
    TitleFlightStep(parts_);
    TickPicture picture;
    picture.scene = TickPicture::Scene::Title;
    picture.flight = TitlePicture(parts_);
    Keep(picture);
    TitleDropStep(parts_);
}

void SceneView::DrawEndingScene() {
    if (!smooth_) {
        ::DrawEndingScene(parts_);
        return;
    }
    EndingFlightStep(parts_);
    TickPicture picture;
    picture.scene = TickPicture::Scene::Ending;
    picture.flight = EndingPicture(parts_);
    Keep(picture);
}

void SceneView::DrawBeforeStep() {
    const Car& car = parts_.car;
    const Course& course = parts_.course;
    const int column = course.ColumnOf(car.position.x), row = course.RowOf(car.position.z);
    if (smooth_) {
        // The camera of the race (which trails the car by one step), the
        // headlight and the course around the car, all from before the step.
        pending_ = TickPicture{};
        pending_.scene = TickPicture::Scene::Driving;
        pending_.flight.eye = parts_.race.cameraEye;
        pending_.flight.target = parts_.race.cameraTarget;
        pending_.flight.carAt = car.position;
        pending_.flight.carAlong = car.direction;
        pending_.windowColumn = column;
        pending_.windowRow = row;
        pending_.windowDx = car.direction.x;
        pending_.windowDz = car.direction.z;
        return;
    }
    SceneBegin(parts_);
    parts_.graphics.PlaceHeadlight(car.position.x, car.position.y, car.position.z, car.direction.x,
                                   car.direction.y, car.direction.z);
    SceneDrawSky(parts_, true);
    SceneDrawCourseWindow(parts_, column, row, car.direction.x, car.direction.z);
}

void SceneView::DrawAfterStep() {
    if (smooth_) {
        const Car& car = parts_.car;
        pending_.carPosition = car.position;
        pending_.carHeading = car.heading;
        pending_.carWorld = car.world;
        pending_.readouts = parts_.race.ReadoutLines(timeGetTime());
        Keep(pending_);
        return;
    }
    SceneDrawCar(parts_);
    DrawReadouts(parts_.race.ReadoutLines(timeGetTime()));
    SceneEnd(parts_);
}

void SceneView::SetSmooth(bool on) {
    smooth_ = on;
    previous_ = latest_ = drawn_ = pending_ = TickPicture{};
    anyDrawn_ = false;
}

void SceneView::Keep(const TickPicture& picture) {
    previous_ = std::move(latest_);
    latest_ = picture;
}

bool SceneView::Moving() const {
    return previous_.scene != TickPicture::Scene::None && !SamePicture(PictureBetween(previous_, latest_, 0.0f), latest_);
}

bool SceneView::DrawBetweenTicks(float t, bool evenIfSame) {
    if (latest_.scene == TickPicture::Scene::None) return false;
    TickPicture picture = previous_.scene == TickPicture::Scene::None ? latest_ : PictureBetween(previous_, latest_, t);
    if (!evenIfSame && anyDrawn_ && SamePicture(picture, drawn_)) return false;
    DrawPicture(picture);
    drawn_ = std::move(picture);
    anyDrawn_ = true;
    return true;
}

void SceneView::DrawPicture(const TickPicture& picture) {
    switch (picture.scene) {
        case TickPicture::Scene::Title:
            DrawTitlePicture(parts_, picture.flight);
            return;
        case TickPicture::Scene::Ending:
            DrawEndingPicture(parts_, picture.flight);
            return;
        case TickPicture::Scene::Driving: {
            const FlightPicture& f = picture.flight;
            SceneBeginAt(parts_, f.eye, f.target);
            parts_.graphics.PlaceHeadlight(f.carAt.x, f.carAt.y, f.carAt.z, f.carAlong.x, f.carAlong.y, f.carAlong.z);
            SceneDrawSky(parts_, true);
            SceneDrawCourseWindow(parts_, picture.windowColumn, picture.windowRow, picture.windowDx, picture.windowDz);
            SceneDrawCarAt(parts_, picture.carWorld);
            DrawReadouts(picture.readouts);
            SceneEnd(parts_);
            return;
        }
        default:
            return;
    }
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

void SceneView::DrawReadouts(const std::vector<ReadoutLine>& lines) {
    GraphicsDevice& graphics = parts_.graphics;
    const float width = float(graphics.presentParams.BackBufferWidth);
    const float scale = graphics.ReadoutScale();
    const bool outlined = graphics.ReadoutOutlined();
    for (const ReadoutLine& line : lines) {
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
