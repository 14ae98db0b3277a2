// The real game loop's frames and ticks, with smooth frames off (one frame a
// tick, as the game was first made) and on, taken in one run:
// - in the title flight, driving (an autopilot on a virtual pad) and the
//   ending: the presented frames a second, the median and 99th percentile
//   interval between presents and between ticks, and the game thread's CPU;
// - paused: the game thread's and the whole process's CPU;
// - a frame made slow on purpose (a sleep in each frame): the distance the
//   car covers in 2 s with the accelerator held, against the same without;
// - input: from a press of the accelerator (the car standing; the presses'
//   moments spread evenly over the 40 ms between two ticks) to the first
//   frame presented after the tick that moved the car, and to the first
//   that shows at least half of that first step; medians over the presses.
// Run under xvfb-run from ./bench.sh. One line per figure: name, value, unit.
//   bench_frame_pacing [--size WIDTHxHEIGHT] [--seconds S] [--quick]
#include <SDL.h>
#include <time.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/config_dialog.h"
#include "bench/back_buffer.h"
#include "bench/clock.h"
#include "bench/quick.h"
#include "platform/port/frame_pacing.h"
#include "tests/support/autopilot.h"
#include "tests/support/game_session.h"
#include "tests/support/virtual_pad.h"

namespace {

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const size_t at = std::min(v.size() - 1, size_t(std::ceil(p / 100.0 * double(v.size())) - 1));
    return v[at];
}

std::vector<double> Intervals(const std::vector<double>& times) {
    std::vector<double> out;
    for (size_t i = 1; i < times.size(); ++i) out.push_back(times[i] - times[i - 1]);
    return out;
}

enum class Scene { Title, Driving, Ending, Standing };

// Watches the loop: the times of ticks and presents, and whatever the
// stretch being measured needs after each tick or frame.
class Watch : public LoopWatch {
public:
    Watch(Game& game, VirtualPad& pad) : game_(game), pad_(pad), pilot_(game.course) {}

    void TickStarts() override { ticks.push_back(NowMs()); }

    void Ticked() override {
        if (pressAfterTick >= 0) {
            // The game reads the pad at its ticks only: a press after this
            // tick's read is seen at the next, wherever it fell between.
            // Pressed now, it counts from its moment in between.
            pad_.Button(SDL_CONTROLLER_BUTTON_A, true);
            pressedAt = ticks.back() + pressAfterTick;
            pressAfterTick = -1;
        }
        RaceState& race = game_.race;
        if (scene == Scene::Title && ticks.size() % 150 == 0) {
            // Round again before the flight ends the title.
            race.titleAngle = 0.0f;
            race.titleFlightPhase = 1;
        }
        if (scene == Scene::Driving) pad_.Drive(pilot_.Drive(game_.car));
        if (trackFrom > 0) track.push_back({ticks.back() - trackFrom, game_.car.position});
        if (scene == Scene::Standing && pressedAt > 0 && movedTick < 0 && game_.car.position.z != standingZ) {
            movedTick = int(ticks.size());
            movedAt = ticks.back();
            firstStep = std::fabs(game_.car.position.z - standingZ);
        }
    }

    void FrameShown() override {
        presents.push_back(NowMs());
        if (slowFrameMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(slowFrameMs));
        if (scene != Scene::Standing || movedTick < 0) return;
        if (firstFrameAt < 0) firstFrameAt = presents.back();
        // How far the car drawn has come: the frame's blend of the last two
        // ticks' places, or the last tick's without smooth frames.
        const float t = game_.scene.Smooth() ? game_.pacer.Fraction(timeGetTime()) : 1.0f;
        if (halfFrameAt < 0 && (int(ticks.size()) > movedTick || t >= 0.5f)) halfFrameAt = presents.back();
    }

    void Clear() {
        ticks.clear();
        presents.clear();
    }

    Scene scene = Scene::Title;
    int slowFrameMs = 0;
    std::vector<double> ticks, presents;
    // Where the car is after each tick, from when.
    double trackFrom = -1;
    std::vector<std::pair<double, D3DXVECTOR3>> track;
    // The press being timed.
    double pressAfterTick = -1, pressedAt = -1, firstFrameAt = -1, halfFrameAt = -1;
    float standingZ = 0.0f, firstStep = 0.0f;
    int movedTick = -1;
    double movedAt = -1;

private:
    Game& game_;
    VirtualPad& pad_;
    Autopilot pilot_;
};

void CALLBACK StopLoop(HWND window, UINT, UINT_PTR id, DWORD) {
    KillTimer(window, id);
    PostQuitMessage(0);
}

// The game's own loop for `milliseconds`.
void RunLoop(Game& game, DWORD milliseconds) {
    SetTimer(game.shell.mainWindow, 77, milliseconds, &StopLoop);
    RunMessageLoop();
}

void SetSmooth(Game& game, bool on) {
    game.settings.smoothFrames = on;
    ApplySettings(game);
}

// A new race with the car standing at the start.
void NewRace(Game& game, VirtualPad& pad) {
    pad.Drive(AutopilotKeys{});
    game.race.titleShowing = 0;
    game.race.endingShowing = 0;
    game.race.SetPaused(false);
    game.race.StartNewRace();
}

void Measure(Game& game, Watch& watch, const std::string& name, DWORD milliseconds) {
    watch.Clear();
    const double cpu = ThreadCpuSeconds(), start = NowMs();
    RunLoop(game, milliseconds);
    const double wall = (NowMs() - start) / 1000.0;
    const std::vector<double> presents = Intervals(watch.presents), ticks = Intervals(watch.ticks);
    std::printf("%s_presented_frames_per_second %.1f 1/s\n", name.c_str(), double(watch.presents.size()) / wall);
    std::printf("%s_present_interval_median %.2f ms\n", name.c_str(), Percentile(presents, 50));
    std::printf("%s_present_interval_p99 %.2f ms\n", name.c_str(), Percentile(presents, 99));
    std::printf("%s_tick_interval_median %.2f ms\n", name.c_str(), Percentile(ticks, 50));
    std::printf("%s_tick_interval_p99 %.2f ms\n", name.c_str(), Percentile(ticks, 99));
    std::printf("%s_game_thread_cpu %.1f %% of a core\n", name.c_str(), 100.0 * (ThreadCpuSeconds() - cpu) / wall);
    std::fflush(stdout);
}

struct Covered {
    float distance = 0.0f;
    int ticks = 0;
};

// The distance the car covers from the start with the accelerator held, by
// the ticks that ran in the first 2 s (the loop runs on a little, for the
// stop may come late behind a slow frame).
Covered DistanceIn2s(Game& game, Watch& watch, VirtualPad& pad, int slowFrameMs) {
    NewRace(game, pad);
    watch.scene = Scene::Standing;
    watch.slowFrameMs = slowFrameMs;
    // The loop runs a while first: the ticks of the time it stood are run
    // then, not counted as the 2 s.
    RunLoop(game, 500);
    const D3DXVECTOR3 from = game.car.position;
    watch.track.clear();
    pad.Button(SDL_CONTROLLER_BUTTON_A, true);
    watch.trackFrom = NowMs();
    RunLoop(game, 2300);
    watch.trackFrom = -1;
    pad.Button(SDL_CONTROLLER_BUTTON_A, false);
    watch.slowFrameMs = 0;
    Covered out;
    D3DXVECTOR3 to = from;
    for (const auto& [ms, at] : watch.track) {
        if (ms > 2000.0) break;
        to = at;
        ++out.ticks;
    }
    out.distance = std::sqrt((to.x - from.x) * (to.x - from.x) + (to.z - from.z) * (to.z - from.z));
    return out;
}

// Presses the accelerator with the car standing, `presses` times, spread
// evenly over the time between two ticks (the same moments against the
// ticks however the frames fall); the medians of the waits.
void MeasureInput(Game& game, Watch& watch, VirtualPad& pad, const std::string& name, int presses) {
    std::mt19937 random(7);
    std::vector<double> first, half, moved, tickToFrame;
    for (int i = 0; i < presses; ++i) {
        NewRace(game, pad);
        watch.scene = Scene::Standing;
        RunLoop(game, 120 + DWORD(random() % 40));  // stands
        watch.standingZ = game.car.position.z;
        watch.firstFrameAt = watch.halfFrameAt = -1;
        watch.movedTick = -1;
        watch.pressAfterTick = 40.0 * i / presses;  // the press goes down after the next tick's poll
        RunLoop(game, 200);
        pad.Button(SDL_CONTROLLER_BUTTON_A, false);
        if (watch.firstFrameAt > 0) first.push_back(watch.firstFrameAt - watch.pressedAt);
        if (watch.halfFrameAt > 0) half.push_back(watch.halfFrameAt - watch.pressedAt);
        if (watch.movedTick >= 0) moved.push_back(watch.movedAt - watch.pressedAt);
        if (watch.movedTick >= 0 && watch.firstFrameAt > 0) tickToFrame.push_back(watch.firstFrameAt - watch.movedAt);
        watch.pressedAt = -1;
    }
    std::printf("%s_input_to_first_frame_median %.1f ms (%zu presses)\n", name.c_str(), Median(first), first.size());
    std::printf("%s_input_to_half_step_frame_median %.1f ms\n", name.c_str(), Median(half));
    std::printf("%s_input_to_tick_median %.1f ms (the start of the tick that moved the car)\n", name.c_str(),
                Median(moved));
    std::printf("%s_tick_to_first_frame_median %.1f ms\n", name.c_str(), Median(tickToFrame));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = QuickRun(argc, argv);
    unsigned width = 0, height = 0;
    double seconds = quick ? 0.3 : 10.0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--size" && i + 1 < argc && std::sscanf(argv[i + 1], "%ux%u", &width, &height) == 2 && width &&
            height) {
            ++i;
        } else if (arg == "--seconds" && i + 1 < argc && std::atof(argv[i + 1]) > 0) {
            seconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: bench_frame_pacing [--size WIDTHxHEIGHT] [--seconds S] [--quick]\n");
            return 2;
        }
    }
    VirtualPad pad;  // before the game, which takes the pads it finds
    if (!pad.Ready()) {
        std::fprintf(stderr, "bench_frame_pacing: no virtual pad: %s\n", SDL_GetError());
        return 1;
    }
    pad.ReleaseTriggers();
    GameSession real(GameBackends::Desktop);
    if (!real.Start()) return 1;
    Game& game = real.game();
    const D3DPRESENT_PARAMETERS& pp = game.graphics.presentParams;
    if (width && !ResizeBackBuffer(game, width, height)) {
        std::fprintf(stderr, "bench_frame_pacing: the back buffer stayed %ux%u, not %ux%u\n", pp.BackBufferWidth,
                     pp.BackBufferHeight, width, height);
        return 1;
    }
    const std::string size = std::to_string(pp.BackBufferWidth) + "x" + std::to_string(pp.BackBufferHeight);
    std::printf("back_buffer %s pixels, display rate %d 1/s (0: none said)\n", size.c_str(),
                DisplayRefreshRate(game.shell.mainWindow));
    Watch watch(game, pad);
    game.loopWatch = &watch;
    const DWORD stretch = DWORD(seconds * 1000.0);
    for (const bool smooth : {false, true}) {
        SetSmooth(game, smooth);
        const std::string mode = size + (smooth ? "_smooth" : "_ticks");

        game.race.titleShowing = 1;
        game.race.titleAngle = 0.0f;
        game.race.titleFlightPhase = 1;
        watch.scene = Scene::Title;
        Measure(game, watch, mode + "_title", stretch);

        NewRace(game, pad);
        watch.scene = Scene::Driving;
        Measure(game, watch, mode + "_driving", stretch);
        pad.Drive(AutopilotKeys{});

        game.race.endingShowing = 1;
        game.race.endingAngle = 0.0f;
        watch.scene = Scene::Ending;
        Measure(game, watch, mode + "_ending", stretch);

        NewRace(game, pad);
        watch.scene = Scene::Standing;
        game.race.SetPaused(true);
        RunLoop(game, 300);  // the last frames before the pause
        const double thread = ThreadCpuSeconds(), process = ProcessCpuSeconds(), start = NowMs();
        RunLoop(game, quick ? 300 : 3000);
        const double wall = (NowMs() - start) / 1000.0;
        std::printf("%s_paused_game_thread_cpu %.2f %% of a core\n", mode.c_str(),
                    100.0 * (ThreadCpuSeconds() - thread) / wall);
        std::printf("%s_paused_process_cpu %.2f %% of a core\n", mode.c_str(),
                    100.0 * (ProcessCpuSeconds() - process) / wall);
        std::fflush(stdout);
        game.race.SetPaused(false);

        const Covered normal = DistanceIn2s(game, watch, pad, 0);
        const Covered slow = DistanceIn2s(game, watch, pad, 100);
        std::printf("%s_2s_distance %.2f units (%d ticks)\n", mode.c_str(), normal.distance, normal.ticks);
        std::printf("%s_2s_distance_slow_frames %.2f units (%d ticks; each frame 100 ms longer)\n", mode.c_str(),
                    slow.distance, slow.ticks);

        MeasureInput(game, watch, pad, mode, quick ? 2 : 50);
    }
    game.loopWatch = nullptr;
    return 0;
}
