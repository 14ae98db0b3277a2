// A simple driver for whole-game tests: it follows the course by a cost map
// towards the next gate, lap after lap, and says which keys to hold.
#pragma once

#include <cmath>
#include <cstdint>
#include <queue>
#include <vector>

#include "app/game.h"
#include "race/car.h"
#include "race/course.h"

struct AutopilotKeys {
    bool up = false, down = false, left = false, right = false;
};

class Autopilot {
public:
    explicit Autopilot(const Course& course) : course_(course) {
        // Leg 0: from the start over the line; 1: round to the half-way gate with the
        // line closed behind; 2: on to the field just before the line, which may only
        // be reached from the far side; then over the line again and round.
        legs_.push_back(Map({{29, 2, 29, 5}}, {}));
        legs_.push_back(Map({{34, 62, 37, 68}}, {{30, 0, 32, 10}}));
        legs_.push_back(Map({{31, 2, 31, 5}}, {{30, 0, 30, 10}}));
    }

    int Leg() const { return leg_; }

    AutopilotKeys Drive(const Car& car) {
        int column = course_.ColumnOf(car.position.x), row = course_.RowOf(car.position.z);
        // Legs: 0 from the start over the line, 1 round to the half-way gate,
        // 2 to the field just before the line, 3 straight over it; then 1 again.
        if (leg_ == 3) {
            if (car.position.x < -20.0f) leg_ = 1;
            else return Steer(car, car.position.x - 8.0f, course_.FieldCentre(column, row).z);
        }
        if (Inside(column, row) && legs_[leg_][Index(column, row)] == 0) leg_ = leg_ + 1;
        if (leg_ == 3) return Steer(car, car.position.x - 8.0f, course_.FieldCentre(column, row).z);
        const std::vector<int>& map = legs_[leg_];
        // Follow the falling cost a few fields ahead.
        int c = column, r = row;
        for (int k = 0; k < 3; ++k) {
            int best = Inside(c, r) ? map[Index(c, r)] : -1, bc = c, br = r;
            for (int dr = -1; dr <= 1; ++dr)
                for (int dc = -1; dc <= 1; ++dc) {
                    int nc = c + dc, nr = r + dr;
                    if (!Inside(nc, nr) || map[Index(nc, nr)] < 0) continue;
                    if (best < 0 || map[Index(nc, nr)] < best) {
                        best = map[Index(nc, nr)];
                        bc = nc;
                        br = nr;
                    }
                }
            c = bc;
            r = br;
        }
        D3DXVECTOR3 aim = course_.FieldCentre(c, r);
        return Steer(car, aim.x, aim.z);
    }

private:
    struct Box {
        int c0, r0, c1, r1;
    };
    static bool Inside(int c, int r) { return c >= 0 && r >= 0 && c < 70 && r < 70; }
    static int Index(int c, int r) { return r * 70 + c; }

    bool Drivable(int c, int r) const {
        FieldType t = course_.FieldAt(c, r);
        return t != Stone && t != Water;
    }

    // Cost to reach the goal boxes from every field (-1: unreachable), fields
    // in `closed` blocked; fields near walls and grass cost more.
    std::vector<int> Map(const std::vector<Box>& goals, const std::vector<Box>& closed) const {
        std::vector<int> cost(70 * 70, -1);
        auto inBoxes = [](const std::vector<Box>& boxes, int c, int r) {
            for (const Box& b : boxes)
                if (c >= b.c0 && c <= b.c1 && r >= b.r0 && r <= b.r1) return true;
            return false;
        };
        using Item = std::pair<int, int>;  // cost, index
        std::priority_queue<Item, std::vector<Item>, std::greater<Item>> open;
        for (int r = 0; r < 70; ++r)
            for (int c = 0; c < 70; ++c)
                if (inBoxes(goals, c, r) && Drivable(c, r)) {
                    cost[Index(c, r)] = 0;
                    open.push({0, Index(c, r)});
                }
        while (!open.empty()) {
            auto [d, i] = open.top();
            open.pop();
            if (d > cost[i]) continue;
            int c = i % 70, r = i / 70;
            for (int dr = -1; dr <= 1; ++dr)
                for (int dc = -1; dc <= 1; ++dc) {
                    int nc = c + dc, nr = r + dr;
                    if ((!dc && !dr) || !Inside(nc, nr) || !Drivable(nc, nr) || inBoxes(closed, nc, nr)) continue;
                    // No cutting of corners past a wall.
                    if (dc && dr && (!Drivable(c + dc, r) || !Drivable(c, r + dr))) continue;
                    int step = (dc && dr) ? 14 : 10;
                    if (course_.FieldAt(nc, nr) == Grass) step *= 3;
                    for (int wr = -1; wr <= 1; ++wr)
                        for (int wc = -1; wc <= 1; ++wc)
                            if (Inside(nc + wc, nr + wr) && !Drivable(nc + wc, nr + wr)) step += 6;
                    int nd = d + step;
                    int ni = Index(nc, nr);
                    if (cost[ni] < 0 || nd < cost[ni]) {
                        cost[ni] = nd;
                        open.push({nd, ni});
                    }
                }
        }
        return cost;
    }

    AutopilotKeys Steer(const Car& car, float x, float z) {
        AutopilotKeys keys;
        float want = std::atan2(z - car.position.z, x - car.position.x);
        float error = want - car.heading;
        while (error > 3.14159265f) error -= 6.2831853f;
        while (error < -3.14159265f) error += 6.2831853f;
        if (car.speed < 0.05f && car.fieldType == Stone) ++stuck_;
        if (stuck_ > 0) {
            // Back off a wall, then drive on.
            keys.down = true;
            if (++backing_ > 15) stuck_ = backing_ = 0;
            return keys;
        }
        if (error > 0.02f) keys.left = true;
        if (error < -0.02f) keys.right = true;
        float turn = std::fabs(error);
        if (turn > 0.6f && car.speed > 0.35f)
            keys.down = true;
        else
            keys.up = true;
        return keys;
    }

    const Course& course_;
    std::vector<std::vector<int>> legs_;
    int leg_ = 0;
    int stuck_ = 0, backing_ = 0;
};

// One tick's controls as the autopilot would hold the keys, applied as the
// game's timer tick applies the keyboard's: for programs that call the
// frames themselves instead of running the message loop.
inline void ApplyAutopilot(Game& game, Autopilot& pilot) {
    const AutopilotKeys keys = pilot.Drive(game.car);
    game.controls = ControlState{};
    game.controls.accelerateKey = keys.up;
    game.controls.brakeKey = keys.down;
    game.controls.leftKey = keys.left;
    game.controls.rightKey = keys.right;
    game.race.ApplyControls();
}
