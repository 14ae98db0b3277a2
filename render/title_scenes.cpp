// The title flight with the extruded "Tarvik" and the dropping "3D", and the
// ending flight with the credit pages.
#include <cmath>

#include "app/game.h"
#include "gfx/credits.h"
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

void RaceState::DrawTitleScene() {
    Game& game = game_;
    titleAngle += 0.05f;
    if (titleAngle < kFlightEnd) {
        if (titleFlightPhase == 1)
            cameraEye = D3DXVECTOR3(30.0f * std::cos(0.8f * titleAngle), 4.0f, 30.0f * std::sin(0.8f * titleAngle));
    } else if (titleFlightPhase == 1) {
        titleFlightPhase = 2;
    }
    if (titleFlightPhase == 2) {
        float dx = 0.3f * (cameraTarget.x - cameraEye.x);
        float dz = 0.3f * (cameraTarget.z - cameraEye.z);
        cameraEye.x += dx;
        cameraEye.z += dz;
        cameraTarget.x += dx;
        cameraTarget.z += dz;
        if (cameraEye.x >= 3.0f) {
            titleShowing = 0;
            GameSounds& sounds = game.sounds;
            if (sounds.sounds[1]) sounds.sounds[1]->Stop();
            sounds.Play(0, 1);
            sounds.soundOn = 1;
            game.graphics.ApplyLights();
            game.graphics.SetAmbientLevel(150);
        }
    }
    const Car& car = game.car;
    game.graphics.PlaceHeadlight(car.position.x, car.position.y, car.position.z, car.direction.x, car.direction.y,
                                 car.direction.z);
    SceneBegin(game);
    SceneDrawSky(game, false);
    SceneDrawCourse(game);

    IDirect3DDevice8* device = game.graphics.device;
    const D3DMATERIAL8 material = TextMaterial();
    DrawText(device, game.graphics.titleMesh, material, 2.0f, 0.0f, 0.0f);
    if (game.graphics.subtitleMesh) {
        DrawText(device, game.graphics.subtitleMesh, material, 1.0f, dropHeight, 1.0f);
        dropPhase -= 0.04f;
        if (dropBase >= 0.0f) dropBase -= 0.2f;
        dropHeight = 2.0f * std::exp(dropPhase) * std::sin(-4.0f * dropPhase) + dropBase;
    }
    SceneEnd(game);
}

void RaceState::DrawEndingScene() {
    Game& game = game_;
    endingAngle += 0.05f;
    if (endingAngle >= kFlightEnd) {
        endingAngle = 0.0f;
        creditsPage += 1;
        BuildCreditsPage(game, creditsPage);
    }
    cameraEye = D3DXVECTOR3(85.0f * std::cos(0.8f * endingAngle), 4.0f, 85.0f * std::sin(0.8f * endingAngle));
    const Car& car = game.car;
    game.graphics.PlaceHeadlight(car.position.x, car.position.y, car.position.z, car.direction.x, car.direction.y,
                                 car.direction.z);
    SceneBegin(game);
    SceneDrawSky(game, false);
    SceneDrawCourse(game);
    IDirect3DDevice8* device = game.graphics.device;
    const D3DMATERIAL8 material = TextMaterial();
    const CreditLines& credits = game.credits;
    DrawText(device, credits.firstLineMesh, material, credits.firstLinePosition.x, credits.firstLinePosition.y,
             credits.firstLinePosition.z);
    DrawText(device, credits.secondLineMesh, material, credits.secondLinePosition.x, credits.secondLinePosition.y,
             credits.secondLinePosition.z);
    SceneEnd(game);
}
