// The game's lighting dialog (menu "Beleuchtung") in a whole game on the
// recording back-ends: opened from the menu while the car drives, worked with
// the mouse as a player would, and its effect on the device's lights and on
// the materials of the course, the car and the sky box, at once and behind the
// open dialog.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <ostream>
#include <vector>

#include "platform/dinput.h"
#include "tests/support/game_session.h"
#include "tests/support/working_folder.h"

namespace {

// A reflection value as the materials hold it.
float Reflection(unsigned value) { return float(value) * 0.003921569f; }
// A light level as the lights hold it.
float Level(unsigned level) { return float(level) * 0.01f; }

using Colour = D3DCOLORVALUE D3DMATERIAL8::*;
constexpr Colour kColours[] = {&D3DMATERIAL8::Ambient, &D3DMATERIAL8::Diffuse, &D3DMATERIAL8::Emissive};

std::vector<D3DMATERIAL8> MaterialsOf(const MeshModel& model) {
    return std::vector<D3DMATERIAL8>(model.materials, model.materials + model.materialCount);
}

// Red, green and blue of that colour are `value` in every material of the
// model, and its alpha is what it was `before`.
testing::AssertionResult AllMaterials(const MeshModel& model, Colour colour, float value,
                                      const std::vector<D3DMATERIAL8>& before) {
    if (model.materialCount == 0 || model.materialCount != before.size())
        return testing::AssertionFailure() << model.materialCount << " materials";
    for (DWORD i = 0; i < model.materialCount; ++i) {
        const D3DCOLORVALUE& c = model.materials[i].*colour;
        for (float channel : {c.r, c.g, c.b})
            if (std::fabs(channel - value) > 1e-6f)
                return testing::AssertionFailure() << "material " << i << ": " << c.r << " " << c.g << " " << c.b
                                                   << " instead of " << value;
        if (c.a != (before[i].*colour).a)
            return testing::AssertionFailure() << "material " << i << ": alpha " << c.a << " changed";
    }
    return testing::AssertionSuccess();
}

bool SameMaterials(const MeshModel& model, const std::vector<D3DMATERIAL8>& before) {
    return model.materialCount == before.size() &&
           std::memcmp(model.materials, before.data(), before.size() * sizeof(D3DMATERIAL8)) == 0;
}

struct Sliders {
    int directional, headlight, ambient, diffuse, emission;
    bool operator==(const Sliders&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Sliders& s) {
    return out << "{" << s.directional << ", " << s.headlight << ", " << s.ambient << ", " << s.diffuse << ", "
               << s.emission << "}";
}

Sliders SlidersOf(const DialogDriver& d) {
    return {d.TrackbarPosition(IDC_DIRECTIONAL_LEVEL), d.TrackbarPosition(IDC_HEADLIGHT_LEVEL),
            d.TrackbarPosition(IDC_AMBIENT_REFLECTION), d.TrackbarPosition(IDC_DIFFUSE_REFLECTION),
            d.TrackbarPosition(IDC_EMISSION)};
}

// The whole game in its data folder. The player leaves the title, drives, and
// opens the lighting dialog from the menu `openings` times, a few ticks
// apart; `inDialog` works each opening. Then Esc ends the game.
class LightingDialogTest : public ::testing::Test {
protected:
    void Run(int openings, const std::function<void(DialogDriver&)>& inDialog) {
        session.platform.OnDialog(IDD_LIGHTING, [&](DialogDriver& d) {
            if (d.Calls() == 0) inDialog(d);
        });
        ASSERT_TRUE(session.Start());
        // The device keeps only counts until the test looks at frames.
        device = session.Device();
        device->recording = false;
        int posted = 0;
        session.Play(100, [&](std::uint64_t tick) {
            session.platform.SetKeyDown(DIK_SPACE, tick < 3);
            session.platform.SetKeyDown(DIK_UP, tick >= 3);
            if (posted < openings && tick >= 10 + 10 * std::uint64_t(posted)) {
                PostMessageA(game().shell.mainWindow, WM_COMMAND, IDM_LIGHTING, 0);
                ++posted;
            }
        });
        EXPECT_EQ(posted, openings);
        EXPECT_EQ(session.listsShown, 1);  // the game ended as usual
    }
    Game& game() { return session.game(); }
    std::vector<RecordedDialog> LightingDialogs() const {
        std::vector<RecordedDialog> shown;
        for (const RecordedDialog& d : session.platform.Dialogs())
            if (d.id == IDD_LIGHTING) shown.push_back(d);
        return shown;
    }

    GameSession session;
    RecordingDevice* device = nullptr;
};

TEST_F(LightingDialogTest, OpensWithTheLevelsAndTheGrassReflectionsAndEverySliderActsAtOnce) {
    Run(1, [&](DialogDriver& d) {
        SceneMeshes& meshes = game().meshes;
        GraphicsDevice& graphics = game().graphics;
        std::vector<std::vector<D3DMATERIAL8>> fields;
        for (const MeshModel& field : meshes.fields) fields.push_back(MaterialsOf(field));
        const std::vector<D3DMATERIAL8> car = MaterialsOf(meshes.car), sky = MaterialsOf(meshes.sky);

        // The directional light full, the headlight dark; the grass mesh is
        // white (ambient and diffuse) and emits nothing.
        EXPECT_EQ(SlidersOf(d), (Sliders{100, 0, 255, 255, 0}));
        for (int id : {IDC_DIRECTIONAL_LEVEL, IDC_HEADLIGHT_LEVEL, IDC_AMBIENT_REFLECTION, IDC_DIFFUSE_REFLECTION,
                       IDC_EMISSION}) {
            EXPECT_EQ(d.TrackbarMin(id), 0) << id;
            EXPECT_EQ(d.TrackbarMax(id), 255) << id;
        }
        EXPECT_TRUE(d.IsChecked(IDC_GROUP_FIELDS));
        EXPECT_FALSE(d.IsChecked(IDC_GROUP_CAR));
        // Until a slider moves the sky box keeps the reflection it was loaded with.
        EXPECT_TRUE(AllMaterials(meshes.sky, &D3DMATERIAL8::Ambient, 1.0f, sky));

        // The headlight's thumb taken and dragged: each position applies at
        // once, before the button is let go.
        d.PressTrackbar(IDC_HEADLIGHT_LEVEL);
        d.DragThumbTo(IDC_HEADLIGHT_LEVEL, 29);
        EXPECT_FLOAT_EQ(graphics.headlight.Diffuse.r, Level(29));
        D3DLIGHT8 light{};
        device->GetLight(1, &light);
        EXPECT_FLOAT_EQ(light.Diffuse.r, Level(29));
        EXPECT_FLOAT_EQ(light.Diffuse.g, Level(29));
        EXPECT_FLOAT_EQ(light.Diffuse.b, Level(29));
        device->GetLight(0, &light);
        EXPECT_FLOAT_EQ(light.Diffuse.r, Level(100));
        d.DragThumbTo(IDC_HEADLIGHT_LEVEL, 180);  // above 100 the headlight outshines white
        d.ReleaseTrackbar(IDC_HEADLIGHT_LEVEL);
        device->GetLight(1, &light);
        EXPECT_FLOAT_EQ(light.Diffuse.r, Level(180));
        // A light slider also applies the group's three reflections as the
        // sliders show them, and sets the sky box's to 100 each.
        for (size_t i = 0; i < 6; ++i) {
            EXPECT_TRUE(AllMaterials(meshes.fields[i], &D3DMATERIAL8::Ambient, Reflection(255), fields[i])) << i;
            EXPECT_TRUE(AllMaterials(meshes.fields[i], &D3DMATERIAL8::Diffuse, Reflection(255), fields[i])) << i;
            EXPECT_TRUE(AllMaterials(meshes.fields[i], &D3DMATERIAL8::Emissive, Reflection(0), fields[i])) << i;
        }
        for (Colour colour : kColours) EXPECT_TRUE(AllMaterials(meshes.sky, colour, Reflection(100), sky));
        EXPECT_TRUE(SameMaterials(meshes.car, car));

        // The ambient reflection of the fields: all six field meshes, not the car.
        d.DragTrackbar(IDC_AMBIENT_REFLECTION, 128);
        for (size_t i = 0; i < 6; ++i)
            EXPECT_TRUE(AllMaterials(meshes.fields[i], &D3DMATERIAL8::Ambient, Reflection(128), fields[i])) << i;
        EXPECT_TRUE(SameMaterials(meshes.car, car));

        // The game goes on behind the dialog and draws with the new values.
        device->recording = true;
        device->ClearLog();
        const std::uint32_t frames = game().drawStats.frameCount;
        d.RunFor(200);
        EXPECT_GE(game().drawStats.frameCount, frames + 4);
        size_t fieldDraws = 0;
        for (const DrawRecord& draw : device->draws)
            fieldDraws += std::fabs(draw.material.Ambient.r - Reflection(128)) < 1e-6f;
        EXPECT_GT(fieldDraws, 400u);
        device->GetLight(1, &light);
        EXPECT_FLOAT_EQ(light.Diffuse.r, Level(180));
        device->recording = false;
        device->ClearLog();
        d.Click(IDOK);
    });
    const std::vector<RecordedDialog> dialogs = LightingDialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(dialogs[0].closed);
    EXPECT_EQ(dialogs[0].result, IDOK);
}

TEST_F(LightingDialogTest, TheCarGroupReloadsAllFiveSlidersAndSetsOnlyTheCarAndNothingIsUndone) {
    std::vector<Sliders> opened;
    std::vector<D3DMATERIAL8> carAtFirst;
    Run(2, [&](DialogDriver& d) {
        SceneMeshes& meshes = game().meshes;
        opened.push_back(SlidersOf(d));
        EXPECT_TRUE(d.IsChecked(IDC_GROUP_FIELDS)) << "every opening starts with the fields";
        EXPECT_FALSE(d.IsChecked(IDC_GROUP_CAR));
        if (opened.size() == 2) {
            d.PressKey(VK_ESCAPE);
            return;
        }
        carAtFirst = MaterialsOf(meshes.car);
        d.DragTrackbar(IDC_HEADLIGHT_LEVEL, 29);
        std::vector<std::vector<D3DMATERIAL8>> fields;
        for (const MeshModel& field : meshes.fields) fields.push_back(MaterialsOf(field));

        // "Auto": the car's reflections (white, no emission) and the light
        // levels read back, the headlight one step lower than it was set.
        d.Click(IDC_GROUP_CAR);
        EXPECT_TRUE(d.IsChecked(IDC_GROUP_CAR));
        EXPECT_FALSE(d.IsChecked(IDC_GROUP_FIELDS));
        EXPECT_EQ(SlidersOf(d), (Sliders{100, 28, 255, 255, 0}));
        EXPECT_FLOAT_EQ(game().graphics.headlight.Diffuse.r, Level(29)) << "reloading applies nothing";

        // The car's diffuse reflection sets the car only; the move applies the
        // lower headlight level the slider now shows as well.
        d.DragTrackbar(IDC_DIFFUSE_REFLECTION, 50);
        EXPECT_TRUE(AllMaterials(meshes.car, &D3DMATERIAL8::Diffuse, Reflection(50), carAtFirst));
        EXPECT_TRUE(AllMaterials(meshes.car, &D3DMATERIAL8::Ambient, Reflection(255), carAtFirst));
        EXPECT_TRUE(AllMaterials(meshes.car, &D3DMATERIAL8::Emissive, Reflection(0), carAtFirst));
        for (size_t i = 0; i < 6; ++i) EXPECT_TRUE(SameMaterials(meshes.fields[i], fields[i])) << i;
        EXPECT_FLOAT_EQ(game().graphics.headlight.Diffuse.r, Level(28));

        // Each radio button loads its group's values.
        d.Click(IDC_GROUP_FIELDS);
        EXPECT_EQ(SlidersOf(d).diffuse, 255);
        d.Click(IDC_GROUP_CAR);
        EXPECT_EQ(SlidersOf(d).diffuse, 50);
        d.PressKey(VK_ESCAPE);
    });
    // Esc ends the dialog with IDCANCEL, and every change stays.
    const std::vector<RecordedDialog> dialogs = LightingDialogs();
    ASSERT_EQ(dialogs.size(), 2u);
    for (const RecordedDialog& d : dialogs) {
        EXPECT_TRUE(d.closed);
        EXPECT_EQ(d.result, IDCANCEL);
    }
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], (Sliders{100, 0, 255, 255, 0}));
    // Opened again: the fields' group, the headlight as it was left (28 reads
    // back as 28).
    EXPECT_EQ(opened[1], (Sliders{100, 28, 255, 255, 0}));
    EXPECT_TRUE(AllMaterials(game().meshes.car, &D3DMATERIAL8::Diffuse, Reflection(50), carAtFirst));
    EXPECT_FLOAT_EQ(game().graphics.headlight.Diffuse.r, Level(28));
}

// What the sliders set is kept in the player's settings and put back at the
// next start, over the values the game starts with: the lights, the sky, and
// each group whose sliders were moved; the rest stays as the meshes load.
TEST(LightingKept, TheNextGameStartsWithTheLightingThePlayerLeft) {
    const std::filesystem::path folder = TestFolder() / "lighting-kept";
    std::filesystem::remove_all(folder);
    GameFiles files;
    files.highscores = (folder / "high.dat").string();
    files.settings = (folder / "config/settings.ini").string();

    struct Scene {
        std::vector<std::vector<D3DMATERIAL8>> materials;  // the six fields, the car, the sky
        float directional = 0.0f, headlight = 0.0f;
    };
    auto sceneOf = [](Game& game) {
        Scene scene;
        for (const MeshModel& field : game.meshes.fields) scene.materials.push_back(MaterialsOf(field));
        scene.materials.push_back(MaterialsOf(game.meshes.car));
        scene.materials.push_back(MaterialsOf(game.meshes.sky));
        scene.directional = game.graphics.directionalLight.Diffuse.r;
        scene.headlight = game.graphics.headlight.Diffuse.r;
        return scene;
    };
    auto same = [](const Scene& a, const Scene& b) {
        if (a.directional != b.directional || a.headlight != b.headlight) return false;
        for (size_t m = 0; m < a.materials.size(); ++m) {
            if (a.materials[m].size() != b.materials[m].size() ||
                std::memcmp(a.materials[m].data(), b.materials[m].data(),
                            a.materials[m].size() * sizeof(D3DMATERIAL8)) != 0)
                return false;
        }
        return true;
    };

    Scene untouched, left;
    {
        GameSession session(DataFolder(), files);
        session.platform.OnDialog(IDD_LIGHTING, [&](DialogDriver& d) {
            d.DragTrackbar(IDC_HEADLIGHT_LEVEL, 29);
            d.DragTrackbar(IDC_DIRECTIONAL_LEVEL, 140);
            d.Click(IDC_GROUP_CAR);
            d.DragTrackbar(IDC_DIFFUSE_REFLECTION, 50);
            d.DragTrackbar(IDC_EMISSION, 7);
            left = sceneOf(session.game());
            d.PressKey(VK_ESCAPE);  // nothing is undone, whichever way the dialog ends
        });
        ASSERT_TRUE(session.Start());
        untouched = sceneOf(session.game());
        session.Play(30, [&](std::uint64_t tick) {
            if (tick == 10) PostMessageA(session.game().shell.mainWindow, WM_COMMAND, IDM_LIGHTING, 0);
        });
    }
    ASSERT_FALSE(same(untouched, left));
    std::vector<std::string> problems;
    const LightingSettings kept = LoadSettings(files.settings, &problems).lighting;
    EXPECT_TRUE(problems.empty());
    EXPECT_TRUE(kept.lights && kept.fields && kept.car);
    // The positions as the sliders were set; the headlight's reads back a step
    // lower (28) when the group changes, and that is what the last move applied.
    EXPECT_EQ(kept.directional, 139);
    EXPECT_EQ(kept.headlight, 28);

    GameSession next(DataFolder(), files);
    ASSERT_TRUE(next.Start());
    EXPECT_TRUE(same(sceneOf(next.game()), left));
    next.Play(5);
}

// A game whose player never moved a slider keeps the lighting it starts with,
// and writes none into the settings.
TEST(LightingKept, UntouchedLightingIsNotWritten) {
    const std::filesystem::path folder = TestFolder() / "lighting-untouched";
    std::filesystem::remove_all(folder);
    GameFiles files;
    files.highscores = (folder / "high.dat").string();
    files.settings = (folder / "config/settings.ini").string();
    GameSession session(DataFolder(), files);
    session.platform.OnDialog(IDD_LIGHTING, [](DialogDriver& d) { d.Click(IDOK); });
    ASSERT_TRUE(session.Start());
    session.Play(30, [&](std::uint64_t tick) {
        if (tick == 10) PostMessageA(session.game().shell.mainWindow, WM_COMMAND, IDM_LIGHTING, 0);
        if (tick == 12) PostMessageA(session.game().shell.mainWindow, WM_COMMAND, IDM_FULLSCREEN, 0);
    });
    std::ifstream in(files.settings);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("fullscreen = yes"), std::string::npos) << text;
    EXPECT_EQ(text.find("[lighting]"), std::string::npos) << text;
}

}  // namespace
