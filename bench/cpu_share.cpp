// The share of one core the real game uses in its own message loop, on the
// title flight and while driving, against what its frames alone cost: the
// same frames drawn back to back, their processor time per frame times the
// frames per second the loop drew. The difference is what the loop costs
// beyond drawing (waiting, polling, messages); the target is 2 % of a core.
// Run under xvfb-run. Processor time counts every thread of the process,
// the rasterizer's included.
#include <sys/resource.h>

#include <cstdio>

#include "tests/support/real_game.h"

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

void CALLBACK StopLoop(HWND window, UINT, UINT_PTR id, DWORD) {
    KillTimer(window, id);
    PostQuitMessage(0);
}

// The game's own loop for `milliseconds`, then `frames` frames back to back.
void Measure(Game& game, const char* scene, DWORD milliseconds, int frames) {
    const unsigned long long framesBefore = game.drawStats.frameCount;
    const double wallStart = NowMs(), cpuStart = CpuSeconds();
    SetTimer(game.shell.mainWindow, 77, milliseconds, &StopLoop);
    RunMessageLoop();
    const double wall = (NowMs() - wallStart) / 1000.0, cpu = CpuSeconds() - cpuStart;
    const double loopFrames = double(game.drawStats.frameCount - framesBefore);

    const double cpuFramesStart = CpuSeconds();
    for (int i = 0; i < frames; ++i) game.race.Frame();
    GlFinish(game.graphics.device);
    const double perFrame = (CpuSeconds() - cpuFramesStart) / frames;

    const double loopShare = 100.0 * cpu / wall;
    const double framesShare = 100.0 * perFrame * loopFrames / wall;
    std::printf("%s_loop_cpu %.2f %% of a core\n", scene, loopShare);
    std::printf("%s_loop_frames_per_second %.1f 1/s\n", scene, loopFrames / wall);
    std::printf("%s_frame_cpu %.2f ms\n", scene, 1000.0 * perFrame);
    std::printf("%s_frames_cpu %.2f %% of a core\n", scene, framesShare);
    std::printf("%s_loop_beyond_frames %.2f %% of a core (target at most 2)\n", scene, loopShare - framesShare);
}

}  // namespace

int main(int argc, char** argv) {
    const DWORD seconds = argc > 1 ? DWORD(std::max(1, std::atoi(argv[1]))) : 4;
    RealGame real;
    if (!real.Start()) return 1;
    Game& game = real.game();
    // The title ends by itself after 214 frames: the loop and the frames
    // drawn back to back stay inside it.
    Measure(game, "title", std::min<DWORD>(seconds, 5) * 1000, 50);
    game.race.titleShowing = 0;
    Measure(game, "driving", seconds * 1000, 100);
    return 0;
}
