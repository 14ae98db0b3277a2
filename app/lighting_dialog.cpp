#include "app/lighting_dialog.h"

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

}  // namespace

INT_PTR LightingDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    Game& game = CurrentGame();
    switch (message) {
        case WM_INITDIALOG:
            game.lightingGroup = Fields;
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
                    EndDialog(dialog, INT_PTR(wParam));
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
            game.meshes.SetAmbientReflection(Sky, 100);
            game.meshes.SetDiffuseReflection(Sky, 100);
            game.meshes.SetEmission(Sky, 100);
            return TRUE;
        }
        default: return FALSE;
    }
}
