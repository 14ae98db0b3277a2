// Peak resident memory of a full run of the real game with the real data:
// start-up, the title flight, a lap's worth of driving, the ending, and the
// teardown; with the memory each start-up step added, so the largest holders
// show. Run under xvfb-run. The figures are in megabytes (MiB).
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "gfx/credits.h"
#include "platform/port/step_trace.h"
#include "tests/support/autopilot.h"
#include "tests/support/game_session.h"
#include "bench/quick.h"

namespace {

double Mb(long kb) { return double(kb) / 1024.0; }

}  // namespace

int main(int argc, char** argv) {
    const bool quick = QuickRun(argc, argv);
    const long atMain = ResidentKb();
    std::vector<std::pair<std::string, long>> grew;  // what each stage added
    long last = atMain;
    auto stage = [&](const std::string& name) {
        const long now = ResidentKb();
        grew.emplace_back(name, now - last);
        last = now;
    };
    {
        ResetStepTrace();
        KeepResidentMemoryInTrace(true);
        GameSession real(GameBackends::Desktop);
        real.Build();
        stage("game objects");
        if (!real.Start()) return 1;
        long before = atMain;
        for (const TracedStep& s : TracedSteps()) {
            // Each step's memory: what the process had grown by at its last mark.
            grew.emplace_back("start-up: " + s.name, s.residentKb - before);
            before = s.residentKb;
        }
        last = ResidentKb();
        Game& game = real.game();
        for (int i = 0; i < (quick ? 20 : 200); ++i) game.race.Frame();
        stage("title flight, 200 frames");
        game.race.titleShowing = 0;
        Autopilot pilot(game.course);
        for (int i = 0; i < (quick ? 50 : 1000); ++i) {
            ApplyAutopilot(game, pilot);
            game.race.Frame();
        }
        stage("driving, 1000 frames");
        game.car.position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        game.car.UpdatePose();
        BuildCreditsPage(game.credits, 0);
        game.race.endingShowing = 1;
        for (int i = 0; i < (quick ? 1 : 8) * 198; ++i) game.race.Frame();  // every credit page
        stage("ending, all pages");
    }
    stage("teardown");
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    std::printf("memory_at_main %.1f MB\n", Mb(atMain));
    std::sort(grew.begin(), grew.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    for (const auto& [name, kb] : grew) {
        std::string key = name;
        for (char& c : key)
            if (c == ' ' || c == ':' || c == ',') c = '_';
        std::printf("memory_added_by_%s %.1f MB\n", key.c_str(), Mb(kb));
    }
    std::printf("memory_peak_resident %.1f MB (target under 100)\n", Mb(u.ru_maxrss));
    return 0;
}
