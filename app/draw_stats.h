// Drawing statistics: frames drawn and the real time spent drawing them.
#pragma once

#include <cstdint>
#include <string>

#include "render/scene.h"

class Game;

class DrawStats final : public FrameObserver {
public:
    void BeginFrame() override;
    void EndFrame() override;
    // The report text, lines separated by single carriage returns.
    std::string ReportText() const;
    void ShowReport(Game& game) const;

    std::uint32_t frameCount = 0;
    std::uint32_t frameStart = 0;
    std::uint32_t totalTime = 0;
};
