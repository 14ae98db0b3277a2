// The race's view: the frames that RaceState::Frame draws through, and the
// device and meshes of a new game. The game builds one over its parts and
// hands it to its race state.
#pragma once

#include "race/race_view.h"
#include "render/scene.h"

class SceneView final : public RaceView {
public:
    explicit SceneView(const SceneParts& parts) : parts_(parts) {}
    SceneView(const SceneView&) = delete;
    SceneView& operator=(const SceneView&) = delete;

    bool CreateGraphics() override;
    void DrawTitleScene() override;
    void DrawEndingScene() override;
    void DrawBeforeStep() override;
    void DrawAfterStep() override;

private:
    void DrawReadouts();
    SceneParts parts_;
};
