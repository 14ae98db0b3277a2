#include "app/lighting_dialog.h"

#include "app/config_dialog.h"
#include "app/game.h"
#include "app/shell.h"
#include "resources/resource.h"

namespace {

constexpr int kSliders[] = {IDC_DIRECTIONAL_LEVEL, IDC_HEADLIGHT_LEVEL, IDC_AMBIENT_REFLECTION,
                            IDC_DIFFUSE_REFLECTION, IDC_EMISSION};

void LoadPositions(HWND dialog, Game& game) {
    int group = game.lightingGroup;
    const int positions[] = {game.graphics.GetDirectionalLevel(), game.graphics.GetHeadlightLevel(),
                             game.meshes.GetAmbientReflection(group), game.meshes.GetDiffuseReflection(group),
                             game.meshes.GetEmission(group)};
    for (int i = 0; i < 5; ++i) SendDlgItemMessageA(dialog, kSliders[i], TBM_SETPOS, TRUE, positions[i]);
}

unsigned Position(HWND dialog, int id) {
    return unsigned(SendDlgItemMessageA(dialog, id, TBM_GETPOS, 0, 0));
}

void SetReflection(Game& game, int group, const int (&levels)[3]) {
    game.meshes.SetAmbientReflection(group, unsigned(levels[0]));
    game.meshes.SetDiffuseReflection(group, unsigned(levels[1]));
    game.meshes.SetEmission(group, unsigned(levels[2]));
}

// The sky takes these whenever any slider moves.
constexpr int kSkyReflection[3] = {100, 100, 100};

// What the sliders applied, for the settings: the positions as they were
// set, not as the lights read them back a step lower.
void KeepPositions(HWND dialog, Game& game, int group) {
    LightingSettings& kept = game.settings.lighting;
    kept.lights = true;
    kept.directional = int(Position(dialog, IDC_DIRECTIONAL_LEVEL));
    kept.headlight = int(Position(dialog, IDC_HEADLIGHT_LEVEL));
    if (group != Fields && group != CarGroup) return;
    (group == Fields ? kept.fields : kept.car) = true;
    int(&levels)[3] = group == Fields ? kept.fieldsReflection : kept.carReflection;
    levels[0] = int(Position(dialog, IDC_AMBIENT_REFLECTION));
    levels[1] = int(Position(dialog, IDC_DIFFUSE_REFLECTION));
    levels[2] = int(Position(dialog, IDC_EMISSION));
}

// The lighting when the dialog opened; there is one dialog at a time.
LightingSettings atOpening;

// The dialog closes: what it changed is kept for the next start.
void Close(HWND dialog, Game& game, INT_PTR result) {
    if (!(game.settings.lighting == atOpening)) SaveGameSettings(game);
    EndDialog(dialog, result);
}

}  // namespace

INT_PTR LightingDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    Game& game = CurrentGame();
    switch (message) {
        case WM_INITDIALOG:
            game.lightingGroup = Fields;
            atOpening = game.settings.lighting;
            for (int id : kSliders) SendDlgItemMessageA(dialog, id, TBM_SETRANGE, FALSE, MAKELPARAM(0, 255));
            LoadPositions(dialog, game);
            CheckRadioButton(dialog, IDC_GROUP_FIELDS, IDC_GROUP_CAR, IDC_GROUP_FIELDS);
            return TRUE;
        case WM_COMMAND:
            switch (wParam) {
                case IDC_GROUP_FIELDS:
                    game.lightingGroup = Fields;
                    LoadPositions(dialog, game);
                    return TRUE;
                case IDC_GROUP_CAR:
                    game.lightingGroup = CarGroup;
                    LoadPositions(dialog, game);
                    return TRUE;
                case IDOK:
                case IDCANCEL:
                    Close(dialog, game, INT_PTR(wParam));
                    return TRUE;
                default: return FALSE;
            }
        case WM_HSCROLL: {
            int group = game.lightingGroup;
            game.graphics.SetDirectionalLevel(Position(dialog, IDC_DIRECTIONAL_LEVEL));
            game.graphics.SetHeadlightLevel(Position(dialog, IDC_HEADLIGHT_LEVEL));
            game.meshes.SetAmbientReflection(group, Position(dialog, IDC_AMBIENT_REFLECTION));
            game.meshes.SetDiffuseReflection(group, Position(dialog, IDC_DIFFUSE_REFLECTION));
            game.meshes.SetEmission(group, Position(dialog, IDC_EMISSION));
            SetReflection(game, Sky, kSkyReflection);
            KeepPositions(dialog, game, group);
            return TRUE;
        }
        default: return FALSE;
    }
}

void RestoreLighting(Game& game) {
    const LightingSettings& kept = game.settings.lighting;
    if (kept.lights) {
        game.graphics.SetDirectionalLevel(unsigned(kept.directional));
        game.graphics.SetHeadlightLevel(unsigned(kept.headlight));
        SetReflection(game, Sky, kSkyReflection);
    }
    if (kept.fields) SetReflection(game, Fields, kept.fieldsReflection);
    if (kept.car) SetReflection(game, CarGroup, kept.carReflection);
}
