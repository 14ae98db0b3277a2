// Start-up time of the real game with the real data: from the moment the
// process is started to the window being shown and to the first presented
// frame, broken down into its steps. The benchmark starts itself again as a
// child for each run, so exec, linking and static set-up are counted too;
// the child reports its steps against the parent's clock (both read the
// same monotonic clock). The software device's message boxes are answered at
// once (see tests/support/game_session.h). Run under xvfb-run; one line per
// figure, the medians of the runs; then the same start without the driver's
// shader cache ("cold"), as on a machine where the game never ran.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "bench/clock.h"
#include "platform/gl/gl_diagnostics.h"
#include "platform/port/step_trace.h"
#include "tests/support/game_session.h"
#include "bench/quick.h"

namespace {

int Child(double parentStart) {
    const double mainEntered = NowMs();
    ResetStepTrace();
    double shown = 0.0, first = 0.0;
    {
        GameSession real(GameBackends::Desktop);
        real.Build();
        TraceStep("game objects");
        if (!real.Start()) return 1;
        shown = NowMs();
        real.game().race.Frame();
        GlFinish(real.game().graphics.device);
        TraceStep("first frame");
        first = NowMs();
        std::printf("step process_to_main %.3f\n", mainEntered - parentStart);
        for (const TracedStep& s : TracedSteps()) {
            std::string name = s.name;
            std::replace(name.begin(), name.end(), ' ', '_');
            std::printf("step %s %.3f\n", name.c_str(), s.milliseconds);
        }
        std::printf("step driver_probe_within_device %.3f\n", ProbeGlDriver().probeMilliseconds);
        std::printf("total to_window_shown %.3f\n", shown - parentStart);
        std::printf("total to_first_frame %.3f\n", first - parentStart);
        std::printf("message_boxes %d\n", real.quiet.messageBoxes);
        std::fflush(stdout);
    }
    return 0;
}

// Starts the game `runs` times as a child and collects its figures by name,
// in the order first seen. A cold start has no shader cache of the driver's:
// the first start on a machine, every shader compiled.
bool RunChildren(const char* self, int runs, bool cold, std::map<std::string, std::vector<double>>& figures,
                 std::vector<std::string>& order, int& boxes) {
    for (int run = 0; run < runs; ++run) {
        const auto collect = [&](const char* line) {
            char kind[32], name[96];
            double value = 0;
            if (std::sscanf(line, "%31s %95s %lf", kind, name, &value) == 3) {
                std::string key = std::string(cold ? "startup_cold_" : "startup_") +
                                  (std::string(kind) == "total" ? "" : "step_") + name;
                if (!figures.count(key)) order.push_back(key);
                figures[key].push_back(value);
            } else {
                std::sscanf(line, "message_boxes %d", &boxes);
            }
        };
        if (!RunSelfAsChild(self, collect, cold ? "MESA_SHADER_CACHE_DISABLE" : nullptr, "true")) {
            std::fprintf(stderr, "bench_startup: the game did not start (run %d)\n", run);
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--child") return Child(std::atof(argv[2]));
    const bool quick = QuickRun(argc, argv);
    const int runs = quick ? 1 : argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::map<std::string, std::vector<double>> figures;
    std::vector<std::string> order;
    int boxes = 0;
    if (!RunChildren(argv[0], runs, false, figures, order, boxes)) return 1;
    // Fewer cold starts: each compiles every shader again, and only the
    // whole and its two largest steps are reported.
    std::map<std::string, std::vector<double>> cold;
    std::vector<std::string> coldOrder;
    if (!RunChildren(argv[0], std::max(1, runs / 2), true, cold, coldOrder, boxes)) return 1;
    for (const char* key : {"startup_cold_step_device", "startup_cold_step_first_frame", "startup_cold_to_first_frame"}) {
        order.push_back(key);
        figures[key] = cold[key];
    }
    for (const std::string& key : order) {
        const double ms = Median(figures[key]);
        if (key == "startup_to_first_frame")
            std::printf("%s %.1f ms (target under 200)\n", key.c_str(), ms);
        else
            std::printf("%s %.1f ms\n", key.c_str(), ms);
    }
    std::printf("startup_message_boxes_answered %d count\n", boxes);
    return 0;
}
