// The title flight with the extruded "Tarvik" and the dropping "3D", and the
// ending flight with the credit pages.
#include <cmath>

#include "gfx/credits.h"
#include "gfx/graphics_device.h"
#include "race/car.h"
#include "race/race_state.h"
#include "render/scene.h"

namespace {

// 3.15 pi as a 32-bit float: both flights turn once per 198 frames.
constexpr float kFlightEnd = 9.896017f;

D3DMATERIAL8 TextMaterial() {
    D3DMATERIAL8 material;
    InitMaterial(material, 0.0f, 1.0f, 1.0f, 1.0f);
    return material;
}

void DrawText(IDirect3DDevice8* device, ID3DXMesh* mesh, const D3DMATERIAL8& material, float tx, float ty,
              float tz) {
    if (!device || !mesh) return;
    device->SetMaterial(&material);
    D3DXMATRIX w = TextPlacement(tx, ty, tz);
    device->SetTransform(D3DTS_WORLD, &w);
    mesh->DrawSubset(0);
}

}  // namespace

void TitleFlightStep(SceneParts& scene) {
    RaceState& race = scene.race;
    race.titleAngle += 0.05f;
    if (race.titleAngle < kFlightEnd) {
        if (race.titleFlightPhase == 1)
            race.cameraEye = D3DXVECTOR3(30.0f * std::cos(0.8f * race.titleAngle), 4.0f, 30.0f * std::sin(0.8f * race.titleAngle));
    } else if (race.titleFlightPhase == 1) {
        race.titleFlightPhase = 2;
    }
    if (race.titleFlightPhase == 2) {
        float dx = 0.3f * (race.cameraTarget.x - race.cameraEye.x);
        float dz = 0.3f * (race.cameraTarget.z - race.cameraEye.z);
        race.cameraEye.x += dx;
        race.cameraEye.z += dz;
        race.cameraTarget.x += dx;
        race.cameraTarget.z += dz;
        if (race.cameraEye.x >= 3.0f) {
            race.EndTitle();
            scene.graphics.ApplyLights();
            scene.graphics.SetAmbientLevel(150);
        }
    }
}

FlightPicture TitlePicture(const SceneParts& scene) {
    FlightPicture picture;
    picture.eye = scene.race.cameraEye;
    picture.target = scene.race.cameraTarget;
    picture.carAt = scene.car.position;
    picture.carAlong = scene.car.direction;
    picture.subtitle = scene.graphics.subtitleMesh != nullptr;
    picture.subtitleHeight = scene.race.dropHeight;
    return picture;
}

void TitleDropStep(SceneParts& scene) {
    if (!scene.graphics.subtitleMesh) return;
    RaceState& race = scene.race;
    race.dropPhase -= 0.04f;
    if (race.dropBase >= 0.0f) race.dropBase -= 0.2f;
    race.dropHeight = 2.0f * std::exp(race.dropPhase) * std::sin(-4.0f * race.dropPhase) + race.dropBase;
}

void DrawTitlePicture(SceneParts& scene, const FlightPicture& picture) {
    scene.graphics.PlaceHeadlight(picture.carAt.x, picture.carAt.y, picture.carAt.z, picture.carAlong.x,
                                  picture.carAlong.y, picture.carAlong.z);
    SceneBeginAt(scene, picture.eye, picture.target);
    SceneDrawSky(scene, false);
    SceneDrawCourse(scene);

    IDirect3DDevice8* device = scene.graphics.device;
    const D3DMATERIAL8 material = TextMaterial();
    DrawText(device, scene.graphics.titleMesh, material, 2.0f, 0.0f, 0.0f);
    if (picture.subtitle) DrawText(device, scene.graphics.subtitleMesh, material, 1.0f, picture.subtitleHeight, 1.0f);
    SceneEnd(scene);
}

void DrawTitleScene(SceneParts& scene) {
    TitleFlightStep(scene);
    DrawTitlePicture(scene, TitlePicture(scene));
    TitleDropStep(scene);
}

void EndingFlightStep(SceneParts& scene) {
    RaceState& race = scene.race;
    race.endingAngle += 0.05f;
    if (race.endingAngle >= kFlightEnd) {
        race.endingAngle = 0.0f;
        race.creditsPage += 1;
        BuildCreditsPage(scene.credits, race.creditsPage);
    }
    race.cameraEye = D3DXVECTOR3(85.0f * std::cos(0.8f * race.endingAngle), 4.0f, 85.0f * std::sin(0.8f * race.endingAngle));
}

FlightPicture EndingPicture(const SceneParts& scene) {
    FlightPicture picture;
    picture.eye = scene.race.cameraEye;
    picture.target = scene.race.cameraTarget;
    picture.carAt = scene.car.position;
    picture.carAlong = scene.car.direction;
    picture.creditsPage = scene.race.creditsPage;
    return picture;
}

void DrawEndingPicture(SceneParts& scene, const FlightPicture& picture) {
    scene.graphics.PlaceHeadlight(picture.carAt.x, picture.carAt.y, picture.carAt.z, picture.carAlong.x,
                                  picture.carAlong.y, picture.carAlong.z);
    SceneBeginAt(scene, picture.eye, picture.target);
    SceneDrawSky(scene, false);
    SceneDrawCourse(scene);
    IDirect3DDevice8* device = scene.graphics.device;
    const D3DMATERIAL8 material = TextMaterial();
    const CreditLines& credits = scene.credits;
    DrawText(device, credits.firstLineMesh, material, credits.firstLinePosition.x, credits.firstLinePosition.y,
             credits.firstLinePosition.z);
    DrawText(device, credits.secondLineMesh, material, credits.secondLinePosition.x, credits.secondLinePosition.y,
             credits.secondLinePosition.z);
    SceneEnd(scene);
}

void DrawEndingScene(SceneParts& scene) {
    EndingFlightStep(scene);
    DrawEndingPicture(scene, EndingPicture(scene));
}
