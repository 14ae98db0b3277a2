// The race's view: the frames that RaceState::Frame draws through, and the
// device and meshes of a new game. The game builds one over its parts and
// hands it to its race state.
//
// With smooth frames the view draws nothing as the race steps: it keeps the
// picture each tick would have drawn (the last two of them), and frames
// between the ticks are drawn from those, blended. The race steps as it
// always does and knows nothing of it.
#pragma once

#include <vector>

#include "race/race_state.h"
#include "race/race_view.h"
#include "render/scene.h"

// Where a read-out line is drawn in a back buffer `width` pixels wide with the
// read-outs grown by `scale`: at its distance to the right edge (or to the
// middle) times the scale, and never left of the picture.
ReadoutLine PlaceReadout(const ReadoutLine& line, float width, float scale);

// What one tick's frame shows, kept to be drawn again or blended with the
// tick's before: the camera and the headlight, and by scene the title's
// dropping "3D", the ending's page, or the course around the car before its
// step, the car after it and the read-outs of the tick.
struct TickPicture {
    enum class Scene { None, Title, Ending, Driving };
    Scene scene = Scene::None;
    FlightPicture flight;
    int windowColumn = 0, windowRow = 0;
    float windowDx = 0.0f, windowDz = 0.0f;
    D3DXVECTOR3 carPosition{};
    float carHeading = 0.0f;
    D3DXMATRIX carWorld{};
    std::vector<ReadoutLine> readouts;
};

bool SamePicture(const TickPicture& a, const TickPicture& b);
// The picture `t` of the way from a to b (0 gives a, 1 gives b): the camera,
// the headlight, the car and the "3D" blended; the course window and the
// read-outs are b's. Where the two cannot be blended (another scene or
// credits page, a car or camera put elsewhere at once) it is b.
TickPicture PictureBetween(const TickPicture& a, const TickPicture& b, float t);

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

    // Smooth frames on or off; either way the pictures kept so far go.
    void SetSmooth(bool on);
    bool Smooth() const { return smooth_; }
    // Draws the frame `t` of the way (0 to 1) from the tick before the last
    // to the last one. Nothing when there is no tick yet, or when the frame
    // would be the one drawn last, unless `evenIfSame` (the window needs it
    // drawn again); false then.
    bool DrawBetweenTicks(float t, bool evenIfSame);
    // Whether frames between the last two ticks differ from each other:
    // something moves.
    bool Moving() const;

private:
    void DrawReadouts(const std::vector<ReadoutLine>& lines);
    void DrawPicture(const TickPicture& picture);
    void Keep(const TickPicture& picture);

    SceneParts parts_;
    bool smooth_ = false;
    TickPicture pending_;           // the driving tick's picture between its halves
    TickPicture previous_, latest_;  // the last two ticks'
    TickPicture drawn_;              // the frame drawn last
    bool anyDrawn_ = false;
};
