// A long game: the real data folder, random keys from a fixed seed for
// 100000 ticks (20000 under the sanitizers), the game's state checked after
// every tick, then Esc through the exit dialogs and a look at high.dat.
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>

#include "hardening_fixture.h"

#if defined(__SANITIZE_ADDRESS__)
#define TARVIK_LONG_RUN_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARVIK_LONG_RUN_SANITIZED 1
#endif
#endif

namespace hardening {
namespace {

#ifdef TARVIK_LONG_RUN_SANITIZED
constexpr std::uint64_t kTicks = 20000;
#else
constexpr std::uint64_t kTicks = 100000;
#endif

// Reads a number printed with "%<width>.<decimals>f" (or "%<width>d" when
// decimals is 0) at text[from]; returns the characters used, 0 when there is
// no such number.
std::size_t Number(const std::string& text, std::size_t from, int width, int decimals) {
    std::size_t i = from;
    while (i < text.size() && text[i] == ' ') ++i;
    const std::size_t padding = i - from;
    if (i < text.size() && text[i] == '-') ++i;
    const std::size_t digitsFrom = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    if (i == digitsFrom) return 0;
    if (decimals > 0) {
        if (i >= text.size() || text[i] != '.') return 0;
        ++i;
        for (int d = 0; d < decimals; ++d, ++i)
            if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return 0;
    }
    // Padded to the width, wider only when the number needs it.
    const std::size_t own = i - from - padding;
    const std::size_t w = std::size_t(width);
    if (own >= w ? padding != 0 : own + padding != w) return 0;
    return i - from;
}

// The label, then a number of that format, and so on; nothing left over.
bool Shaped(const std::string& text, const std::vector<std::pair<std::string, std::pair<int, int>>>& parts) {
    std::size_t at = 0;
    for (const auto& [label, format] : parts) {
        if (text.compare(at, label.size(), label) != 0) return false;
        at += label.size();
        const std::size_t used = Number(text, at, format.first, format.second);
        if (used == 0) return false;
        at += used;
    }
    return at == text.size();
}

// What is wrong with the read-out lines, or "".
std::string ReadoutProblem(int lapCount, bool debugDisplay, const std::vector<ReadoutLine>& lines,
                           double runSeconds, bool paused = false) {
    std::vector<std::string> shapes;
    if (lapCount >= 0) shapes.push_back("time");
    shapes.push_back("lap");
    shapes.push_back("laps");
    if (debugDisplay) {
        shapes.push_back("pos");
        shapes.push_back("field");
        shapes.push_back("kind");
    }
    if (paused) shapes.push_back("pause");
    if (lines.size() != shapes.size()) return "expected " + std::to_string(shapes.size()) + " lines";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& text = lines[i].text;
        if (text.empty() || text.size() > 80) return "bad length: " + text;
        for (char c : text)
            if (c < 0x20 || c > 0x7E) return "unprintable: " + text;
        bool ok = false;
        if (shapes[i] == "time") ok = Shaped(text, {{"Time: ", {12, 3}}});
        if (shapes[i] == "lap") ok = Shaped(text, {{"Rundenzeit: ", {12, 3}}});
        if (shapes[i] == "laps") ok = Shaped(text, {{"Runden:        ", {1, 0}}});
        if (shapes[i] == "pos") ok = Shaped(text, {{"PosX : ", {12, 3}}, {" PosZ : ", {12, 3}}});
        if (shapes[i] == "field") ok = Shaped(text, {{"FeldX : ", {4, 0}}, {" FeldZ : ", {4, 0}}});
        if (shapes[i] == "kind") ok = Shaped(text, {{"FeldTyp: ", {1, 0}}});
        if (shapes[i] == "pause") ok = text == "Pause";
        if (!ok) return "not a " + shapes[i] + " line: " + text;
        if (!std::isfinite(lines[i].x) || !std::isfinite(lines[i].y)) return "bad place: " + text;
    }
    // Times are never negative and never longer than the game has run.
    for (const ReadoutLine& line : lines) {
        const std::size_t colon = line.text.find(':');
        if (line.text.rfind("Time:", 0) != 0 && line.text.rfind("Rundenzeit:", 0) != 0) continue;
        const double seconds = std::strtod(line.text.c_str() + colon + 1, nullptr);
        if (!(seconds >= 0.0 && seconds <= runSeconds + 0.001)) return "time out of range: " + line.text;
    }
    return "";
}

bool AllFinite(const float* values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        if (!std::isfinite(values[i])) return false;
    return true;
}

// What is wrong with the car, or "".
std::string CarProblem(const Game& game) {
    const Car& car = game.car;
    const float scalars[] = {car.heading, car.steerAngle, car.steerInput, car.speed, car.throttle,
                             car.direction.x, car.direction.y, car.direction.z, car.position.x,
                             car.position.y, car.position.z};
    if (!AllFinite(scalars, std::size(scalars))) return "not finite";
    for (const D3DXMATRIX* m : {&car.rotation, &car.translation, &car.world})
        if (!AllFinite(&m->m[0][0], 16)) return "matrix not finite";
    const int column = game.course.ColumnOf(car.position.x), row = game.course.RowOf(car.position.z);
    if (column < 0 || column >= Course::kColumns || row < 0 || row >= Course::kRows)
        return "off the course at field " + std::to_string(column) + ", " + std::to_string(row);
    if (car.position.y != 0.0f) return "off the ground";
    const int kind = IsKnownFieldType(car.fieldType) ? car.fieldType : Wood;
    if (car.speed > car.maxSpeed[kind] || car.speed < car.minSpeed[kind])
        return "speed " + std::to_string(car.speed) + " outside the limits of kind " + std::to_string(kind);
    if (std::fabs(car.steerAngle) > 0.1300001f) return "steering angle " + std::to_string(car.steerAngle);
    return "";
}

// The five lines of a high.dat as the game writes them; "" when well formed.
std::string HighscoreProblem(const std::string& content) {
    std::size_t at = 0;
    float previous = 0.0f;
    bool emptySeen = false;
    for (int row = 0; row < 5; ++row) {
        const std::size_t end = content.find("\r\n", at);
        if (end == std::string::npos) return "row " + std::to_string(row) + " has no CR LF";
        const std::string line = content.substr(at, end - at);
        at = end + 2;
        const std::size_t comma = line.find(',');
        if (comma == std::string::npos) return "no comma: " + line;
        const std::string number = line.substr(0, comma), name = line.substr(comma + 1);
        if (!Shaped(number, {{"", {1, 6}}})) return "bad time: " + line;
        if (name.size() > 38) return "name too long: " + line;
        for (char c : name)
            if (static_cast<unsigned char>(c) < 0x20) return "control character: " + line;
        const float time = std::strtof(number.c_str(), nullptr);
        if (!(time >= 0.0f)) return "negative time: " + line;
        if (time == 0.0f) {
            emptySeen = true;
        } else {
            if (emptySeen || time < previous) return "out of order: " + line;
            previous = time;
        }
    }
    if (at != content.size()) return "more than five rows";
    return "";
}

// The checks of the long run tell well-formed read-outs and tables from
// broken ones.
TEST(LongRun, TheChecksRejectWhatIsMalformed) {
    auto lines = [](std::vector<std::string> texts) {
        std::vector<ReadoutLine> out;
        for (const std::string& t : texts) out.push_back({t, 0.0f, 0.0f});
        return out;
    };
    const std::string good[] = {"Time:        1.250", "Rundenzeit:        0.000", "Runden:        0",
                                "PosX :        8.000 PosZ :     -126.000", "FeldX :   37 FeldZ :    3",
                                "FeldTyp: 0"};
    EXPECT_EQ(ReadoutProblem(0, true, lines(std::vector<std::string>(good, good + 6)), 2.0), "");
    EXPECT_EQ(ReadoutProblem(-1, false, lines({good[1], good[2]}), 2.0), "");
    EXPECT_EQ(ReadoutProblem(-1, false, lines({good[1], good[2], "Pause"}), 2.0, true), "");
    EXPECT_NE(ReadoutProblem(-1, false, lines({good[1], good[2]}), 2.0, true), "");  // the pause not shown
    EXPECT_NE(ReadoutProblem(-1, false, lines({good[1], good[2], "Pause"}), 2.0), "");
    const std::vector<std::string> bad[] = {
        {good[0], good[1], good[2]},                                     // debug lines missing
        {good[0], "Rundenzeit:       nan", good[2], good[3], good[4], good[5]},
        {good[0], good[1], "Runden:        -", good[3], good[4], good[5]},
        {good[0], good[1], good[2], "PosX :        8.000 PosZ : -126.000", good[4], good[5]},
        {good[0], good[1], good[2], good[3], "FeldX :   37 FeldZ :    3\x01", good[5]},
        {"Time:        9.000", good[1], good[2], good[3], good[4], good[5]},  // longer than played
        {"Time:        1.2500", good[1], good[2], good[3], good[4], good[5]},
    };
    for (const auto& b : bad) EXPECT_NE(ReadoutProblem(0, true, lines(b), 2.0), "") << b[0] << " / " << b[1];

    EXPECT_EQ(HighscoreProblem(kSeededTable), "");
    const std::string badTables[] = {
        "35.500000,Anna\r\n",                                                        // one row
        "60.000000,Bert\r\n35.500000,Anna\r\n0.000000,\r\n0.000000,\r\n0.000000,\r\n",  // out of order
        "-1.000000,X\r\n0.000000,\r\n0.000000,\r\n0.000000,\r\n0.000000,\r\n",
        "1.5,X\r\n0.000000,\r\n0.000000,\r\n0.000000,\r\n0.000000,\r\n",
        "1.500000," + std::string(39, 'n') + "\r\n0.000000,\r\n0.000000,\r\n0.000000,\r\n0.000000,\r\n",
        "1.500000,X\n0.000000,\r\n0.000000,\r\n0.000000,\r\n0.000000,\r\n",
    };
    for (const std::string& t : badTables) EXPECT_NE(HighscoreProblem(t), "") << t;
}

TEST(LongRun, RandomKeysKeepTheGameSound) {
    const std::string highscores = (TestFolder() / "long_run_high.dat").string();
    WriteBytes(highscores, kSeededTable);
    GameFiles files;
    files.highscores = highscores;

    std::mt19937 rng(20240611u);
    auto chance = [&](double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(rng) < p; };
    const BYTE others[] = {DIK_A, DIK_S, DIK_RETURN, DIK_TAB, DIK_LCONTROL, DIK_1, DIK_F1, DIK_F5};
    const UINT accelerators[] = {VK_F1, VK_F2, VK_F3, VK_F4};

    std::uint64_t checked = 0, failures = 0, drivingTicks = 0, debugTicks = 0, pausedTicks = 0, newRaces = 0;
    bool newRaceAsked = false;  // F1 was queued for the last tick
    bool wasPaused = false;
    std::uint64_t pausedSince = 0;
    std::int32_t lapCount = -1, maxLaps = -1;
    std::set<int> fieldsVisited;
    std::uint64_t atWall = 0, longestAtWall = 0;
    D3DXVECTOR3 lastPosition{};
    const auto began = std::chrono::steady_clock::now();
    {
        GameSession session(DataFolder(), files);
        ASSERT_TRUE(session.Start());
        // Long runs keep only counts on the device.
        session.Device()->recording = false;
        Game& game = session.game();
        RecordingPlatform& platform = session.platform;
        const DWORD startTime = platform.Now();
        // The player's intent changes now and then: throttle and steering.
        int throttle = 0, steer = 0;
        session.Play(kTicks, [&](std::uint64_t tick) {
            ++checked;
            if (checked != tick && failures++ < 5) ADD_FAILURE() << "tick " << tick << " was not looked at";
            checked = tick;
            // Check what the last tick left.
            std::string problem = CarProblem(game);
            // Only F1 starts the race anew, and then from the very start.
            if (problem.empty() && game.race.lapCount < lapCount) {
                if (!newRaceAsked) problem = "lap count fell";
                else if (game.race.lapCount != -1 || game.race.lapMarks || game.race.gatePhase != 0)
                    problem = "a new race that is not at its start";
                ++newRaces;
            }
            newRaceAsked = false;
            // A paused car stands.
            if (problem.empty() && wasPaused && game.race.paused &&
                (game.car.position.x != lastPosition.x || game.car.position.z != lastPosition.z))
                problem = "the car moved while paused";
            wasPaused = game.race.paused != 0;
            pausedTicks += wasPaused;
            if (problem.empty() && (game.race.gatePhase < 0 || game.race.gatePhase > 2)) problem = "gate phase";
            if (problem.empty() && game.race.endingShowing != 0) problem = "ending before Esc";
            if (problem.empty()) problem = ReadoutProblem(game.race.lapCount, game.race.debugDisplay == 1,
                                                           game.race.ReadoutLines(platform.Now()),
                                                           (platform.Now() - startTime) * 0.001,
                                                           game.race.paused != 0);
            if (!problem.empty() && failures++ < 5) ADD_FAILURE() << "tick " << tick << ": " << problem;
            // Stopped with its nose on stone, the car must get away again: the
            // keys change often enough that it is never held for long.
            const bool heldAtWall = !game.race.titleShowing && !game.race.paused && game.car.fieldType == Stone &&
                                    game.car.speed == 0.0f && game.car.position.x == lastPosition.x &&
                                    game.car.position.z == lastPosition.z;
            atWall = heldAtWall ? atWall + 1 : 0;
            longestAtWall = std::max(longestAtWall, atWall);
            if (atWall == 200 && failures++ < 5)
                ADD_FAILURE() << "tick " << tick << ": held at a wall at " << game.car.position.x << ", "
                              << game.car.position.z;
            lastPosition = game.car.position;
            lapCount = game.race.lapCount;
            maxLaps = std::max(maxLaps, lapCount);
            if (!game.race.titleShowing) {
                ++drivingTicks;
                fieldsVisited.insert(game.course.RowOf(game.car.position.z) * 100 +
                                     game.course.ColumnOf(game.car.position.x));
            }
            debugTicks += game.race.debugDisplay;

            // Then the keys for the next one.
            if (chance(0.08)) throttle = std::discrete_distribution<int>({2, 6, 2})(rng) - 1;
            if (chance(0.1)) steer = std::discrete_distribution<int>({3, 4, 3})(rng) - 1;
            platform.SetKeyDown(DIK_UP, throttle > 0);
            platform.SetKeyDown(DIK_DOWN, throttle < 0 || (throttle > 0 && chance(0.02)));
            platform.SetKeyDown(DIK_RIGHT, steer > 0);
            platform.SetKeyDown(DIK_LEFT, steer < 0 || (steer > 0 && chance(0.02)));
            platform.SetKeyDown(DIK_SPACE, chance(0.01));
            platform.SetKeyDown(DIK_F12, chance(0.005));
            for (BYTE key : others) platform.SetKeyDown(key, chance(0.002));
            if (chance(0.001)) {
                const UINT key = accelerators[rng() % std::size(accelerators)];
                platform.QueueKey(key);
                newRaceAsked = key == VK_F1;
            } else if (game.race.paused && tick - pausedSince >= 250) {
                platform.QueueKey(VK_F4);  // a player comes back after a while
            }
            if (!game.race.paused) pausedSince = tick;
        });
        EXPECT_EQ(checked, kTicks);
        EXPECT_GE(game.drawStats.frameCount, kTicks);
        EXPECT_EQ(game.race.endingShowing, 1);
        EXPECT_GE(session.listsShown, 1);
        EXPECT_FALSE(IsWindow(game.shell.mainWindow));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const std::string table = ReadBytes(highscores);
    EXPECT_EQ(HighscoreProblem(table), "") << table;
    for (const char* name : {"Anna", "Bert", "Carla, die Dritte"})
        EXPECT_NE(table.find(name), std::string::npos) << name;
    std::printf("long run: %llu ticks in %.1f s; %llu driving, %llu with the debug read-out, %llu paused, %llu "
                "new races, %zu fields visited, %d laps, at most %llu ticks stopped at a wall\n",
                static_cast<unsigned long long>(kTicks), seconds, static_cast<unsigned long long>(drivingTicks),
                static_cast<unsigned long long>(debugTicks), static_cast<unsigned long long>(pausedTicks),
                static_cast<unsigned long long>(newRaces), fieldsVisited.size(), std::max(maxLaps, 0),
                static_cast<unsigned long long>(longestAtWall));
}

}  // namespace
}  // namespace hardening
