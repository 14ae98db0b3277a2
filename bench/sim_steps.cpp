// Car steps with the lap logic per second, without drawing, on the platform
// the whole-game tests use: the real course, the car driven lap after lap by
// the tests' autopilot (asked every 8 steps, as a player's hands change far
// more slowly than the car steps; the held keys act on every step, as in each
// tick of the game). Prints the rate and the laps driven, so it is clear the
// lap logic ran.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/game.h"
#include "platform/recording/win_recording.h"
#include "tests/support/autopilot.h"
#include "tests/support/test_backends.h"
#include "bench/quick.h"

int main(int argc, char** argv) {
    const bool quick = QuickRun(argc, argv);
    const long steps = quick ? 100'000L : argc > 1 ? std::max(1L, std::atol(argv[1])) : 20'000'000L;
    RecordingPlatform platform;
    TestBackends backends(&platform, nullptr);
    std::filesystem::current_path(std::string(TARVIK_SOURCE_DIR) + "/data");
    GameFiles files;
    files.highscores = (std::filesystem::temp_directory_path() / "tarvik-sim-steps-high.dat").string();
    double seconds = 0.0;
    int laps = 0;
    {
        Game game(files);
        game.race.titleShowing = 0;
        game.race.lapCount = -1;
        Autopilot pilot(game.course);
        Car& car = game.car;
        const auto start = std::chrono::steady_clock::now();
        AutopilotKeys keys;
        for (long i = 0; i < steps; ++i) {
            if ((i & 7) == 0) keys = pilot.Drive(car);
            // As each tick does: the held keys, then the step and the pose.
            if (keys.up) car.Accelerate();
            if (keys.down) car.Brake();
            if (keys.left) car.SteerLeft();
            if (keys.right) car.SteerRight();
            car.Step();
            car.UpdatePose();
            platform.AdvanceTime(40);
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        laps = game.race.lapCount;
        game.race.FreeLapMarks();
    }
    std::filesystem::remove(files.highscores);
    std::printf("sim_steps_per_second %.2f million/s (target over 10)\n", double(steps) / seconds / 1e6);
    std::printf("sim_laps_driven %d count\n", laps);
    return 0;
}
