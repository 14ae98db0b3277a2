#include "app/draw_stats.h"

#include <cstdio>

#include "app/game.h"
#include "platform/win.h"

void DrawStats::BeginFrame() { frameStart = ElapsedMillisecondsSinceStart(); }

void DrawStats::EndFrame() {
    totalTime += ElapsedMillisecondsSinceStart() - frameStart;
    frameCount += 1;
}

std::string DrawStats::ReportText() const {
    unsigned perCall = frameCount ? totalTime / frameCount : 0;
    char text[128];
    std::snprintf(text, sizeof text, "Gesamtzeit:      %d ms\rAnzahl Aufrufe: %d\rZeit pro Aufruf: %d ms",
                  int(totalTime), int(frameCount), int(perCall));
    return text;
}

void DrawStats::ShowReport(Game& game) const {
    MessageBoxA(game.shell.mainWindow, ReportText().c_str(), "game.name",
                MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}
