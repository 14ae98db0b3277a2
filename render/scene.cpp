#include "render/scene.h"

#include <cstdlib>

#include "gfx/graphics_device.h"
#include "race/car.h"
#include "race/course.h"
#include "race/race_state.h"
#include "render/mesh_model.h"

void InitMaterial(D3DMATERIAL8& material, float r, float g, float b, float a) {
    material = D3DMATERIAL8{};
    material.Diffuse = D3DCOLORVALUE{r, g, b, a};
    material.Ambient = D3DCOLORVALUE{r, g, b, a};
}

D3DXMATRIX TextPlacement(float tx, float ty, float tz) {
    D3DXMATRIX identity, translation, w;
    D3DXMatrixIdentity(&identity);
    D3DXMatrixTranslation(&translation, tx, ty, tz);
    D3DXMatrixMultiply(&w, &identity, &translation);
    w.m[0][0] = -w.m[0][0];
    w.m[2][2] = -w.m[2][2];
    w.m[3][3] = 0.1f;
    return w;
}

bool IsCellInWindow(int i, int j, int cx, int cz, float dx, float dz) {
    bool near = std::abs(cx - j) < 20 || std::abs(cz - i) < 20;
    if (!near) return false;
    return (dx > 0.0f && j + 2 > cx) || (dx < 0.0f && j - 2 < cx) || (dz > 0.0f && i + 2 > cz) ||
           (dz < 0.0f && i - 2 < cz);
}

void SceneBegin(SceneParts& scene) { SceneBeginAt(scene, scene.race.cameraEye, scene.race.cameraTarget); }

void SceneBeginAt(SceneParts& scene, const D3DXVECTOR3& eye, const D3DXVECTOR3& target) {
    IDirect3DDevice8* device = scene.graphics.device;
    scene.frames.BeginFrame();
    if (!device) return;
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    D3DXMATRIX view;
    D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMatrixLookAtLH(&view, &eye, &target, &up);
    device->SetTransform(D3DTS_VIEW, &view);
}

void SceneDrawSky(SceneParts& scene, bool gameScene) {
    IDirect3DDevice8* device = scene.graphics.device;
    if (!device) return;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device->SetTransform(D3DTS_WORLD, &identity);
    D3DXMATRIX view;
    device->GetTransform(D3DTS_VIEW, &view);
    // The sky turns with the camera but never moves relative to it.
    D3DXMATRIX skyView = view;
    skyView.m[3][0] = 0.0f;
    skyView.m[3][1] = -0.3f;
    skyView.m[3][2] = 0.0f;
    skyView.m[3][3] = 1.0f;
    device->SetTransform(D3DTS_VIEW, &skyView);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    if (gameScene) device->SetRenderState(D3DRS_LIGHTING, FALSE);
    scene.meshes.sky.Draw(device);
    if (gameScene) device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
}

namespace {

template <class Filter>
void DrawCells(SceneParts& scene, Filter&& filter) {
    IDirect3DDevice8* device = scene.graphics.device;
    if (!device) return;
    const Course& course = scene.course;
    for (int i = 0; i < course.rows; ++i) {
        for (int j = 0; j < course.columns; ++j) {
            if (!filter(i, j)) continue;
            FieldType type = course.FieldAt(j, i);
            // An unknown kind has no mesh: the cell stays empty.
            if (!IsKnownFieldType(type)) continue;
            D3DXMATRIX world;
            D3DXMatrixTranslation(&world, float(4 * j - 2 * course.columns + 2), 0.0f,
                                  float(4 * i - 2 * course.rows + 2));
            device->SetTransform(D3DTS_WORLD, &world);
            scene.meshes.fields[type].Draw(device);
        }
    }
}

}  // namespace

void SceneDrawCourse(SceneParts& scene) {
    DrawCells(scene, [](int, int) { return true; });
}

void SceneDrawCourseWindow(SceneParts& scene, int cx, int cz, float dx, float dz) {
    DrawCells(scene, [=](int i, int j) { return IsCellInWindow(i, j, cx, cz, dx, dz); });
}

void SceneDrawCar(SceneParts& scene) { SceneDrawCarAt(scene, scene.car.world); }

void SceneDrawCarAt(SceneParts& scene, const D3DXMATRIX& world) {
    IDirect3DDevice8* device = scene.graphics.device;
    if (!device) return;
    device->SetTransform(D3DTS_WORLD, &world);
    scene.meshes.car.Draw(device);
}

void SceneEnd(SceneParts& scene) {
    if (IDirect3DDevice8* device = scene.graphics.device) {
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    scene.frames.EndFrame();
}
