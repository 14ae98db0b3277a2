// What the race state needs of the layers above it (render/ draws, gfx/ owns
// the device): RaceState calls through this where the game's order of effects
// puts a step of theirs inside one of its own operations. The game wires the
// scene of render/ in.
#pragma once

class RaceView {
public:
    // The device and the meshes for a new game; false when there is no device.
    virtual bool CreateGraphics() = 0;
    virtual void DrawTitleScene() = 0;
    virtual void DrawEndingScene() = 0;
    // A driving frame in two halves around the car's step: first everything
    // up to the course around the car, then the car, the read-outs and the
    // presentation.
    virtual void DrawBeforeStep() = 0;
    virtual void DrawAfterStep() = 0;

protected:
    ~RaceView() = default;
};
