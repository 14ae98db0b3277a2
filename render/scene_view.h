// The race's view: the frames that RaceState::Frame draws through, and the
// device and meshes of a new game. The game builds one over its parts and
// hands it to its race state.
#pragma once

#include "race/race_view.h"
#include "race/race_state.h"
#include "render/scene.h"

// Where a read-out line is drawn in a back buffer `width` pixels wide with the
// read-outs grown by `scale`: at its distance to the right edge (or to the
// middle) times the scale, and never left of the picture.
ReadoutLine PlaceReadout(const ReadoutLine& line, float width, float scale);

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
