// Makes the race course: data/course.txt (70 rows of 70 field kinds) and a
// picture of it, docs/course.png, drawn from the written file.
//
//   make_course <data folder> <docs folder>
//
// The track is laid out as a centre line of straights and arcs. Fields within
// 6 units of the line are track, the next band is a grass verge, and every
// field touching the drivable band (also diagonally) becomes a stone wall, so
// the car can leave the track only into grass and never off the circuit.
// The car's start, the start/finish gate and the half-way gate are fixed
// places of the game; the centre line is drawn through them.
#include "tools/make_common.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 70;
constexpr double kPi = 3.14159265358979323846;

enum Field : int { Wood = 0, Grass = 1, Stone = 2, Water = 3, Metal = 4, Start = 5 };

// Field centres per the game's grid: column c lies at x = 4c - 138.
double CentreOf(int index) { return 4.0 * index - 2.0 * kSize + 2.0; }

struct Point {
    double x = 0, z = 0;
};

double Length(double x, double z) { return std::sqrt(x * x + z * z); }

// One piece of the centre line: a straight from p0 to p1, or an arc about
// centre from angle a0 sweeping by sweep radians (negative = clockwise seen
// from above, which is a right turn for the car).
struct Piece {
    bool arc = false;
    Point p0, p1;
    Point centre;
    double radius = 0, a0 = 0, sweep = 0;

    double Distance(const Point& p) const {
        if (!arc) {
            const double dx = p1.x - p0.x, dz = p1.z - p0.z;
            const double len2 = dx * dx + dz * dz;
            double t = ((p.x - p0.x) * dx + (p.z - p0.z) * dz) / len2;
            t = std::min(1.0, std::max(0.0, t));
            return Length(p.x - (p0.x + t * dx), p.z - (p0.z + t * dz));
        }
        const double angle = std::atan2(p.z - centre.z, p.x - centre.x);
        // Angle of p measured from a0 in the sweep's direction, in [0, 2pi).
        double rel = (sweep >= 0 ? angle - a0 : a0 - angle);
        rel = std::fmod(rel, 2 * kPi);
        if (rel < 0) {
            rel += 2 * kPi;
        }
        const double r = Length(p.x - centre.x, p.z - centre.z);
        if (rel <= std::fabs(sweep)) {
            return std::fabs(r - radius);
        }
        const double e0x = centre.x + radius * std::cos(a0), e0z = centre.z + radius * std::sin(a0);
        const double e1x = centre.x + radius * std::cos(a0 + sweep), e1z = centre.z + radius * std::sin(a0 + sweep);
        return std::min(Length(p.x - e0x, p.z - e0z), Length(p.x - e1x, p.z - e1z));
    }
    // True when p lies on the outer side of an arc (away from its centre).
    bool Outside(const Point& p) const { return arc && Length(p.x - centre.x, p.z - centre.z) > radius; }
};

// Builds the centre line by "turtle" moves from a point and heading.
class CentreLine {
public:
    CentreLine(Point start, double heading) : pos(start), dir(heading) {}

    void Straight(double length) {
        Piece piece;
        piece.p0 = pos;
        pos.x += length * std::cos(dir);
        pos.z += length * std::sin(dir);
        piece.p1 = pos;
        pieces.push_back(piece);
    }
    // Turn by degrees (positive = left, negative = right) on a circle of radius r.
    void Turn(double radius, double degrees) {
        const double sweep = degrees * kPi / 180.0;
        const double side = sweep >= 0 ? 1.0 : -1.0;
        Piece piece;
        piece.arc = true;
        piece.radius = radius;
        // The centre lies to the left of the heading for a left turn.
        piece.centre = {pos.x - side * radius * std::sin(dir), pos.z + side * radius * std::cos(dir)};
        piece.a0 = std::atan2(pos.z - piece.centre.z, pos.x - piece.centre.x);
        piece.sweep = sweep;
        pos = {piece.centre.x + radius * std::cos(piece.a0 + sweep), piece.centre.z + radius * std::sin(piece.a0 + sweep)};
        dir += sweep;
        pieces.push_back(piece);
    }
    // Turns by acos(cosine), in degrees, for chicanes laid out by their offset.
    static double DegreesOfCosine(double cosine) { return std::acos(cosine) * 180.0 / kPi; }

    Point pos;
    double dir;
    std::vector<Piece> pieces;
};

// Indices of the pieces that carry special surfaces; see BuildLine.
constexpr int kBottomLeftCorner = 1;
constexpr int kBridgeStraight = 5;
constexpr int kTopRightCorner = 8;
constexpr int kHairpin = 12;

CentreLine BuildLine() {
    // Clockwise seen from above: west along the start straight, north up the
    // west side, east over the top through the half-way gate, then down the
    // east side with a metal hairpin looping into the infield.
    CentreLine line({74.0, -126.0}, kPi);
    line.Straight(164.0);            // 0: start/finish straight, past the car's start and the line
    line.Turn(28.0, -90.0);          // 1: bottom-left corner
    line.Straight(48.0);             // 2
    const double chicane = CentreLine::DegreesOfCosine(0.6);
    line.Turn(20.0, -chicane);       // 3: chicane, 16 units to the right ...
    line.Turn(20.0, chicane);        // 4: ... and straight on again
    line.Straight(78.0);             // 5: west straight with the bridge
    line.Turn(62.0, -90.0);          // 6: long sweeper onto the top straight
    line.Straight(80.0);             // 7: top straight through the half-way gate
    line.Turn(30.0, -90.0);          // 8: top-right corner
    line.Straight(50.0);             // 9
    line.Turn(16.0, -90.0);          // 10: into the infield
    line.Straight(40.0);             // 11
    line.Turn(16.0, 180.0);          // 12: metal hairpin
    line.Straight(60.0);             // 13
    line.Turn(24.0, -90.0);          // 14
    line.Straight(72.0);             // 15: east straight
    line.Turn(24.0, -90.0);          // 16: onto the start straight
    return line;
}

using Grid = std::array<std::array<int, kSize>, kSize>;  // [row][column]

bool InsideCircle(double x, double z, double cx, double cz, double r) { return Length(x - cx, z - cz) < r; }

bool BuildCourse(Grid& grid) {
    const CentreLine line = BuildLine();
    if (Length(line.pos.x - 74.0, line.pos.z + 126.0) > 1e-6) {
        return tools::Fail("make_course: the centre line does not close");
    }

    enum Band { Background, Track, Verge, Wall };
    std::array<std::array<Band, kSize>, kSize> band{};
    std::array<std::array<int, kSize>, kSize> nearest{};
    for (int r = 0; r < kSize; ++r) {
        for (int c = 0; c < kSize; ++c) {
            const Point p{CentreOf(c), CentreOf(r)};
            double best = 1e9;
            for (size_t i = 0; i < line.pieces.size(); ++i) {
                const double d = line.pieces[i].Distance(p);
                if (d < best) {
                    best = d;
                    nearest[r][c] = static_cast<int>(i);
                }
            }
            band[r][c] = best < 6.0 ? Track : best < 10.0 ? Verge : Background;
        }
    }
    // Walls: every other field that touches the drivable band, diagonals
    // included, so no gap between two wall corners lets the car through.
    for (int r = 0; r < kSize; ++r) {
        for (int c = 0; c < kSize; ++c) {
            if (band[r][c] != Background) {
                continue;
            }
            for (int dr = -1; dr <= 1; ++dr) {
                for (int dc = -1; dc <= 1; ++dc) {
                    const int rr = r + dr, cc = c + dc;
                    if (rr >= 0 && rr < kSize && cc >= 0 && cc < kSize &&
                        (band[rr][cc] == Track || band[rr][cc] == Verge)) {
                        band[r][c] = Wall;
                    }
                }
            }
        }
    }
    // The circuit must not touch the border: past it the car would drive on
    // undrawn fields.
    for (int i = 0; i < kSize; ++i) {
        if (band[0][i] == Track || band[kSize - 1][i] == Track || band[i][0] == Track || band[i][kSize - 1] == Track) {
            return tools::Fail("make_course: the track runs off the course");
        }
    }

    tools::Rng rng(1707);
    for (int r = 0; r < kSize; ++r) {
        for (int c = 0; c < kSize; ++c) {
            const Point p{CentreOf(c), CentreOf(r)};
            const Piece& piece = line.pieces[nearest[r][c]];
            const int which = nearest[r][c];
            const bool onBridge = which == kBridgeStraight && p.z > 14.0 && p.z < 42.0;
            int kind = Grass;
            switch (band[r][c]) {
            case Track:
                kind = (onBridge || which == kHairpin) ? Metal : Wood;
                break;
            case Verge:
                // The river runs under the bridge; run-off pools catch cars
                // that go wide in two corners.
                kind = onBridge ? Water
                       : ((which == kBottomLeftCorner || which == kTopRightCorner) && piece.Outside(p)) ? Water
                                                                                                       : Grass;
                break;
            case Wall:
                kind = Stone;
                break;
            case Background: {
                // Scenery beyond the walls: a lake fed by the river, ponds,
                // a paddock, rocks. None of it can be reached by car.
                const bool river = p.z > 18.0 && p.z < 34.0 && (p.x < -110.0 || (p.x > -96.0 && p.x < -50.0));
                const bool lake = InsideCircle(p.x, p.z, -52.0, 30.0, 21.0) || InsideCircle(p.x, p.z, -40.0, 44.0, 12.0);
                const bool ponds = InsideCircle(p.x, p.z, -30.0, -58.0, 15.0) ||
                                   InsideCircle(p.x, p.z, 122.0, 62.0, 13.0) ||
                                   InsideCircle(p.x, p.z, -124.0, 118.0, 10.0);
                const bool paddock = p.x > -62.0 && p.x < 50.0 && p.z > -106.0 && p.z < -90.0;
                if (river || lake || ponds) {
                    kind = Water;
                } else if (paddock) {
                    kind = Metal;
                } else if (rng.Uniform() < 0.025) {
                    kind = Stone;
                }
                break;
            }
            }
            grid[r][c] = kind;
        }
    }

    // Start/finish gate (column 30): the drivable track narrows to rows 3 and
    // 4, which lie wholly inside the start zone (z from -130 to -120), and
    // stone posts stand beside it, so no lap can pass the line by.
    for (int c = 29; c <= 31; ++c) {
        for (int r = 0; r <= 8; ++r) {
            if (r == 3 || r == 4) {
                grid[r][c] = c == 30 ? Start : Wood;
            } else if (grid[r][c] != Stone && band[r][c] != Background) {
                grid[r][c] = Stone;
            }
        }
    }
    // Half-way gate (columns 34 to 37, z from 110 to 133): the top straight
    // runs through rows 63 to 67 only; rows 62 and 68 are its walls.
    for (int c = 34; c <= 37; ++c) {
        for (int r = 50; r < kSize; ++r) {
            if ((r < 63 || r > 67) && band[r][c] != Background && grid[r][c] != Stone) {
                grid[r][c] = Stone;
            }
        }
    }
    // The start grid: the car's box (column 37, row 3) and three more behind it.
    grid[3][37] = Start;
    grid[4][39] = Start;
    grid[3][41] = Start;
    grid[4][43] = Start;
    // The marshal's post in the far corner. It is the last field the title and
    // the credits draw before their extruded letters, which have no texture
    // coordinates of their own and so take the first texel of the texture left
    // set: the chequer's near-white keeps the letters their own cyan.
    grid[69][69] = Start;
    return true;
}

std::string CourseText(const Grid& grid) {
    std::string text;
    for (int r = 0; r < kSize; ++r) {
        for (int c = 0; c < kSize; ++c) {
            text += std::to_string(grid[r][c]);
            text += c + 1 < kSize ? ' ' : '\n';
        }
    }
    return text;
}

bool ReadCourse(const std::string& path, Grid& grid) {
    std::ifstream in(path);
    for (int r = 0; r < kSize; ++r) {
        for (int c = 0; c < kSize; ++c) {
            if (!(in >> grid[r][c]) || grid[r][c] < 0 || grid[r][c] > 5) {
                return tools::Fail("make_course: " + path + " is not a 70 x 70 course");
            }
        }
    }
    return true;
}

// Picture of the course seen from above, +z up and +x right, one square per
// field, with the game's fixed places drawn over it: the start zone outlined
// in yellow, the line zone (reaching far up column 30) in magenta, the
// half-way zone in cyan, and the car's start as a red dot with a line
// pointing the way it faces.
bool DrawCourse(const Grid& grid, const std::string& path) {
    constexpr int kCell = 8;
    constexpr int kMargin = 8;
    constexpr int kPixels = kSize * kCell + 2 * kMargin;
    tools::Image image(kPixels, kPixels);
    const tools::Colour colours[6] = {
        {0.70, 0.47, 0.24, 1}, {0.30, 0.62, 0.22, 1}, {0.45, 0.45, 0.48, 1},
        {0.16, 0.40, 0.80, 1}, {0.78, 0.80, 0.84, 1}, {0.98, 0.98, 0.98, 1},
    };
    for (int y = 0; y < kPixels; ++y) {
        for (int x = 0; x < kPixels; ++x) {
            image.At(x, y) = {0.12, 0.12, 0.14, 1};
        }
    }
    for (int r = 0; r < kSize; ++r) {
        for (int c = 0; c < kSize; ++c) {
            const int kind = grid[r][c];
            for (int dy = 0; dy < kCell; ++dy) {
                for (int dx = 0; dx < kCell; ++dx) {
                    tools::Colour colour = colours[kind];
                    if (kind == Start && ((dx / 2 + dy / 2) % 2 == 1)) {
                        colour = {0.05, 0.05, 0.05, 1};
                    }
                    if (dx == 0 || dy == 0) {
                        colour = tools::Scale(colour, 0.85);  // faint grid lines
                    }
                    image.At(kMargin + c * kCell + dx, kMargin + (kSize - 1 - r) * kCell + dy) = colour;
                }
            }
        }
    }
    // World units to pixels: x = -140 is the left edge, z = +140 the top edge.
    const double scale = kCell / 4.0;
    auto px = [&](double x) { return kMargin + (x + 140.0) * scale; };
    auto pz = [&](double z) { return kMargin + (140.0 - z) * scale; };
    auto frame = [&](double x0, double x1, double z0, double z1, tools::Colour colour) {
        const int left = static_cast<int>(std::floor(px(x0))), right = static_cast<int>(std::ceil(px(x1)));
        const int top = static_cast<int>(std::floor(pz(z1))), bottom = static_cast<int>(std::ceil(pz(z0)));
        for (int y = top - 1; y <= bottom + 1; ++y) {
            for (int x = left - 1; x <= right + 1; ++x) {
                const bool edge = y <= top || y >= bottom || x <= left || x >= right;
                if (edge && x >= 0 && y >= 0 && x < kPixels && y < kPixels) {
                    image.At(x, y) = colour;
                }
            }
        }
    };
    frame(-19.0, -18.0, -130.0, 120.0, {0.85, 0.20, 0.85, 1});  // line zone
    frame(-18.0, -17.0, -130.0, -120.0, {1.0, 0.90, 0.10, 1});  // start zone
    frame(-2.0, 10.0, 110.0, 133.0, {0.10, 0.95, 0.95, 1});     // half-way zone
    // The car's start (x = 8, z = -126), heading towards falling x.
    for (int y = -3; y <= 3; ++y) {
        for (int x = -3; x <= 3; ++x) {
            if (x * x + y * y <= 9) {
                image.At(static_cast<int>(px(8.0)) + x, static_cast<int>(pz(-126.0)) + y) = {0.95, 0.10, 0.10, 1};
            }
        }
    }
    for (int i = 0; i < 14; ++i) {
        image.At(static_cast<int>(px(8.0)) - 3 - i, static_cast<int>(pz(-126.0))) = {0.95, 0.10, 0.10, 1};
    }
    return tools::WritePng(path, image, false);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_course <data folder> <docs folder>\n");
        return 2;
    }
    const std::string dataDir = argv[1];
    const std::string docsDir = argv[2];
    Grid grid{};
    if (!tools::MakeDirectory(dataDir) || !tools::MakeDirectory(docsDir) || !BuildCourse(grid)) {
        return 1;
    }
    const std::string coursePath = dataDir + "/course.txt";
    if (!tools::WriteText(coursePath, CourseText(grid))) {
        return 1;
    }
    Grid written{};
    if (!ReadCourse(coursePath, written) || !DrawCourse(written, docsDir + "/course.png")) {
        return 1;
    }
    return 0;
}
