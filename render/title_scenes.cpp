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

void DrawTitleScene(SceneParts& scene) {
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
    const Car& car = scene.car;
    scene.graphics.PlaceHeadlight(car.position.x, car.position.y, car.position.z, car.direction.x, car.direction.y,
                                 car.direction.z);
    SceneBegin(scene);
    SceneDrawSky(scene, false);
    SceneDrawCourse(scene);

    IDirect3DDevice8* device = scene.graphics.device;
    const D3DMATERIAL8 material = TextMaterial();
    DrawText(device, scene.graphics.titleMesh, material, 2.0f, 0.0f, 0.0f);
    if (scene.graphics.subtitleMesh) {
        DrawText(device, scene.graphics.subtitleMesh, material, 1.0f, race.dropHeight, 1.0f);
        race.dropPhase -= 0.04f;
        if (race.dropBase >= 0.0f) race.dropBase -= 0.2f;
        race.dropHeight = 2.0f * std::exp(race.dropPhase) * std::sin(-4.0f * race.dropPhase) + race.dropBase;
    }
    SceneEnd(scene);
}

void DrawEndingScene(SceneParts& scene) {
    RaceState& race = scene.race;
    race.endingAngle += 0.05f;
    if (race.endingAngle >= kFlightEnd) {
        race.endingAngle = 0.0f;
        race.creditsPage += 1;
        BuildCreditsPage(scene.credits, race.creditsPage);
    }
    race.cameraEye = D3DXVECTOR3(85.0f * std::cos(0.8f * race.endingAngle), 4.0f, 85.0f * std::sin(0.8f * race.endingAngle));
    const Car& car = scene.car;
    scene.graphics.PlaceHeadlight(car.position.x, car.position.y, car.position.z, car.direction.x, car.direction.y,
                                 car.direction.z);
    SceneBegin(scene);
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
