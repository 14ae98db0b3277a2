// The share of one core the real game uses in its own message loop, on the
// title flight and while driving, against what its frames alone cost: the
// same number of frames drawn at the same pace of one per 40 ms without the
// loop (a sleep in between), so that both see the rasterizer's threads wake
// and the caches go cold alike. The difference is what the loop costs beyond
// drawing (waiting, polling, messages); the target is 2 % of a core. It is
// taken on the game's own thread, where the loop runs: the rasterizer's
// threads do the same work in both and, on this machine, only add noise of
// several per cent (their figure is printed too). The frames drawn back to
// back are timed as well, for the cost of a frame. Run under xvfb-run.
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench/clock.h"
#include "platform/gl/gl_diagnostics.h"
#include "tests/support/game_session.h"
#include "bench/quick.h"

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

struct Round {
    double loopShare, framesPerSecond, frameCpuMs, framesShare;
    double loopThreadShare, pacedThreadShare;  // the game's own thread only
};

// Processor time of the calling thread: the loop's own work happens there.
double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The game's own loop for `milliseconds`, then `frames` frames back to back.
Round Measure(Game& game, DWORD milliseconds, int frames) {
    const auto framesBefore = game.drawStats.frameCount;
    const double wallStart = NowMs(), cpuStart = CpuSeconds(), threadStart = ThreadCpuSeconds();
    SetTimer(game.shell.mainWindow, 77, milliseconds, &StopLoop);
    RunMessageLoop();
    const double wall = (NowMs() - wallStart) / 1000.0, cpu = CpuSeconds() - cpuStart;
    const double thread = ThreadCpuSeconds() - threadStart;
    const int loopFrames = int(game.drawStats.frameCount - framesBefore);

    // The loop's frames again, paced as the timer paces them.
    const double pacedStart = NowMs(), pacedCpuStart = CpuSeconds(), pacedThreadStart = ThreadCpuSeconds();
    for (int i = 0; i < loopFrames; ++i) {
        game.race.Frame();
        const double next = pacedStart + 40.0 * (i + 1);
        const double now = NowMs();
        if (next > now) std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(next - now));
    }
    const double pacedWall = (NowMs() - pacedStart) / 1000.0, pacedCpu = CpuSeconds() - pacedCpuStart;
    const double pacedThread = ThreadCpuSeconds() - pacedThreadStart;

    const double cpuFramesStart = CpuSeconds();
    for (int i = 0; i < frames; ++i) game.race.Frame();
    GlFinish(game.graphics.device);
    const double perFrame = (CpuSeconds() - cpuFramesStart) / frames;
    return Round{100.0 * cpu / wall,           loopFrames / wall,          1000.0 * perFrame,
                 100.0 * pacedCpu / pacedWall, 100.0 * thread / wall, 100.0 * pacedThread / pacedWall};
}

// Several rounds, each a stretch of the loop and then the frames alone, so
// that other work on the machine falls on both alike; the medians are printed.
void Report(const char* scene, const std::vector<Round>& rounds) {
    std::vector<double> loop, fps, frame, frames, beyondAll, loopThread, beyond;
    for (const Round& r : rounds) {
        loop.push_back(r.loopShare);
        fps.push_back(r.framesPerSecond);
        frame.push_back(r.frameCpuMs);
        frames.push_back(r.framesShare);
        beyondAll.push_back(r.loopShare - r.framesShare);
        loopThread.push_back(r.loopThreadShare);
        beyond.push_back(r.loopThreadShare - r.pacedThreadShare);
    }
    std::printf("%s_loop_cpu %.2f %% of a core\n", scene, Median(loop));
    std::printf("%s_loop_frames_per_second %.1f 1/s\n", scene, Median(fps));
    std::printf("%s_frame_cpu %.2f ms\n", scene, Median(frame));
    std::printf("%s_paced_frames_cpu %.2f %% of a core\n", scene, Median(frames));
    std::printf("%s_loop_beyond_frames_all_threads %.2f %% of a core\n", scene, Median(beyondAll));
    std::printf("%s_loop_game_thread_cpu %.2f %% of a core\n", scene, Median(loopThread));
    // The loop's own work runs on the game's thread; the rasterizer's threads
    // do the same work in both and only add their noise to the figure above.
    std::printf("%s_loop_beyond_frames %.2f %% of a core (game thread; target at most 2)\n", scene, Median(beyond));
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = QuickRun(argc, argv);
    const int rounds = quick ? 1 : argc > 1 ? std::max(1, std::atoi(argv[1])) : 12;
    const DWORD roundMs = quick ? 200 : 1000;
    GameSession real(GameBackends::Desktop);
    if (!real.Start()) return 1;
    Game& game = real.game();
    // The title ends by itself after 214 frames: each round starts its flight
    // again, so the loop and the frames drawn back to back stay inside it.
    std::vector<Round> title, driving;
    for (int i = 0; i < rounds; ++i) {
        game.race.titleAngle = 0.0f;
        game.race.titleFlightPhase = 1;
        title.push_back(Measure(game, roundMs, 25));
    }
    game.race.titleShowing = 0;
    for (int i = 0; i < rounds; ++i) driving.push_back(Measure(game, roundMs, 25));
    Report("title", title);
    Report("driving", driving);
    return 0;
}
