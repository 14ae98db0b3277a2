// Makes the game's textures in the media folder, all procedural: the six
// field surfaces, the sky, the car's paint, its tyres and its other parts.
//
//   make_textures <media folder>
//
// Field textures cover one 4 x 4 field and tile without a seam, since
// neighbouring fields repeat them. Sizes are powers of two.
#include "tools/make_common.h"

#include <cstdio>
#include <string>

namespace {

using tools::Colour;
using tools::Image;
using tools::Mix;
using tools::SmoothStep;
using tools::TileFractal;

constexpr double kPi = 3.14159265358979323846;

// Planks along v, four across the field, with staggered butt joints, grain,
// dark gaps and nail heads.
Image Wood() {
    constexpr int n = 128;
    constexpr int planks = 4;
    Image img(n, n);
    tools::Rng rng(11);
    double tint[planks], joint[planks];
    for (int i = 0; i < planks; ++i) {
        tint[i] = rng.Range(-0.07, 0.07);
        joint[i] = rng.Range(0.0, 1.0);
    }
    const Colour light{0.74, 0.50, 0.27}, dark{0.48, 0.29, 0.13};
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const double u = (x + 0.5) / n, v = (y + 0.5) / n;
            const int plank = x * planks / n;
            const double across = u * planks - plank;  // 0..1 over the plank
            double along = v - joint[plank];
            along -= std::floor(along);
            // Grain: long streaks along the plank, slightly wavy, with darker
            // late-wood lines.
            const double warp = TileFractal(u, v, 4, 2, 2, 30u + plank);
            const double streaks = TileFractal(u, v, 64, 2, 3, 40u + plank);
            const double lines = std::pow(std::fabs(std::sin((across * 2.5 + 0.8 * warp) * kPi * 2)), 6.0);
            const double shade = 0.62 + 0.45 * (streaks - 0.5) - 0.28 * lines + tint[plank];
            Colour c = tools::MixColour(dark, light, tools::Clamp01(shade));
            // Gaps between planks and at the joints, with a soft edge.
            const double edge = std::min(across, 1.0 - across) * n / planks;
            const double jointDist = std::min(along, 1.0 - along) * n;
            if (edge < 1.0 || jointDist < 0.8) {
                c = tools::Scale(c, 0.35);
            } else if (edge < 2.2 || jointDist < 1.8) {
                c = tools::Scale(c, 0.78);
            }
            // Two nails near each joint.
            for (double nx : {0.25, 0.75}) {
                const double dx = (across - nx) * n / planks, dy = jointDist - 3.5;
                if (dx * dx + dy * dy < 1.4) {
                    c = {0.30, 0.28, 0.27};
                }
            }
            img.At(x, y) = c;
        }
    }
    return img;
}

Image Grass() {
    constexpr int n = 128;
    Image img(n, n);
    const Colour base{0.26, 0.52, 0.16}, lush{0.36, 0.66, 0.22}, dry{0.50, 0.58, 0.25};
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const double u = (x + 0.5) / n, v = (y + 0.5) / n;
            const double patches = TileFractal(u, v, 3, 3, 3, 101u);
            const double fine = TileFractal(u, v, 32, 32, 2, 102u);
            const double blades = TileFractal(u, v, 64, 16, 1, 103u);
            Colour c = tools::MixColour(base, lush, SmoothStep(0.35, 0.7, patches));
            c = tools::MixColour(c, dry, 0.35 * SmoothStep(0.62, 0.8, TileFractal(u, v, 2, 2, 2, 104u)));
            c = tools::Scale(c, 0.78 + 0.3 * fine + 0.18 * (blades - 0.5));
            img.At(x, y) = c;
        }
    }
    // A sprinkle of small flowers, placed with wrap-around so the tile repeats.
    tools::Rng rng(105);
    for (int i = 0; i < 14; ++i) {
        const int fx = static_cast<int>(rng.Uniform() * n), fy = static_cast<int>(rng.Uniform() * n);
        const Colour petal = (i % 3 == 0) ? Colour{0.95, 0.92, 0.85} : Colour{0.98, 0.85, 0.25};
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (dx * dx + dy * dy <= 1) {
                    img.At(tools::WrapIndex(fx + dx, n), tools::WrapIndex(fy + dy, n)) = petal;
                }
            }
        }
    }
    return img;
}

// Wall blocks, eight courses per field, bricks one unit long, staggered,
// with bevelled edges and mortar joints.
Image Stone() {
    constexpr int n = 128;
    constexpr int courseHeight = 16, brickLength = 32;
    Image img(n, n);
    const Colour mortar{0.70, 0.67, 0.60};
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const int course = y / courseHeight;
            const int shifted = x + (course % 2) * (brickLength / 2);
            const int brick = (shifted / brickLength) % (n / brickLength);
            const double bx = (shifted % brickLength + 0.5) / brickLength;  // 0..1 within the brick
            const double by = (y % courseHeight + 0.5) / courseHeight;
            const double id = tools::LatticeValue(brick, course, 7u);
            const double u = (x + 0.5) / n, v = (y + 0.5) / n;
            const double grit = TileFractal(u, v, 16, 16, 3, 201u);
            const double tone = 0.50 + 0.14 * (id - 0.5) + 0.22 * (grit - 0.5);
            Colour c{tone, tone * 0.98, tone * (0.93 + 0.1 * id)};
            // Bevel: light from the top left.
            const double ex = std::min(bx, 1.0 - bx) * brickLength, ey = std::min(by, 1.0 - by) * courseHeight;
            if (ex < 1.2 || ey < 1.2) {
                c = mortar;
                c = tools::Scale(c, 0.9 + 0.2 * grit);
            } else if (ey < 2.5 && by < 0.5) {
                c = tools::Scale(c, 1.18);
            } else if (ex < 2.5 && bx < 0.5) {
                c = tools::Scale(c, 1.1);
            } else if (ey < 2.5 || ex < 2.5) {
                c = tools::Scale(c, 0.78);
            }
            img.At(x, y) = c;
        }
    }
    return img;
}

Image Water() {
    constexpr int n = 128;
    Image img(n, n);
    const Colour deep{0.06, 0.26, 0.48}, shallow{0.16, 0.46, 0.68}, sparkle{0.78, 0.90, 0.98};
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const double u = (x + 0.5) / n, v = (y + 0.5) / n;
            const double warp = TileFractal(u, v, 3, 3, 3, 301u);
            // Ripples from waves of whole periods per tile, so it repeats.
            const double ripple = 0.6 * std::sin(2 * kPi * (2 * u + 5 * v) + 2.5 * kPi * warp) +
                                  0.4 * std::sin(2 * kPi * (-3 * u + 4 * v) + 2.0 * kPi * warp);
            const double depth = TileFractal(u, v, 2, 2, 3, 302u);
            Colour c = tools::MixColour(deep, shallow, tools::Clamp01(0.25 + 0.45 * depth + 0.3 * ripple));
            c = tools::MixColour(c, sparkle, 0.55 * SmoothStep(0.7, 0.92, ripple));
            img.At(x, y) = c;
        }
    }
    return img;
}

// Brushed steel plates: fine streaks along u, a seam round the field and
// rivets at its corners and mid-sides.
Image Metal() {
    constexpr int n = 128;
    Image img(n, n);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const double u = (x + 0.5) / n, v = (y + 0.5) / n;
            const double streak = TileFractal(u, v, 2, 96, 2, 401u);
            const double sheen = 0.5 + 0.5 * std::cos(2 * kPi * (u + 0.5 * v));
            double tone = 0.60 + 0.16 * (streak - 0.5) + 0.08 * sheen;
            // Seam at the border of the plate.
            const double ex = std::min(u, 1.0 - u) * n, ey = std::min(v, 1.0 - v) * n;
            const double edge = std::min(ex, ey);
            if (edge < 1.0) {
                tone *= 0.45;
            } else if (edge < 2.0) {
                tone *= 1.2;
            }
            // Diamond tread bumps across the plate.
            const double du = u * 16 - std::floor(u * 16) - 0.5, dv = v * 16 - std::floor(v * 16) - 0.5;
            const int cell = static_cast<int>(std::floor(u * 16) + std::floor(v * 16));
            const double along = (cell % 2 == 0) ? du + dv : du - dv;
            const double across = (cell % 2 == 0) ? du - dv : du + dv;
            if (std::fabs(across) < 0.09 && std::fabs(along) < 0.38) {
                tone *= across > 0 ? 0.82 : 1.15;
            }
            Colour c{tone * 0.97, tone, tone * 1.04};
            for (double rx : {6.0, 64.0, 122.0}) {
                for (double ry : {6.0, 64.0, 122.0}) {
                    if (rx == 64.0 && ry == 64.0) {
                        continue;
                    }
                    const double dx = x + 0.5 - rx, dy = y + 0.5 - ry;
                    const double d2 = dx * dx + dy * dy;
                    if (d2 < 7.0) {
                        const double lit = 0.75 + 0.35 * (-(dx + dy) / std::sqrt(d2 + 0.01)) / 1.5;
                        c = {0.78 * lit, 0.79 * lit, 0.82 * lit};
                    }
                }
            }
            img.At(x, y) = c;
        }
    }
    return img;
}

// Chequered start field: 8 x 8 squares, slightly worn.
Image StartChecks() {
    constexpr int n = 64;
    Image img(n, n);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const double u = (x + 0.5) / n, v = (y + 0.5) / n;
            const double wear = TileFractal(u, v, 8, 8, 2, 501u);
            const bool white = ((x / 8) + (y / 8)) % 2 == 0;
            const double tone = white ? 0.86 + 0.12 * wear : 0.06 + 0.08 * wear;
            img.At(x, y) = {tone, tone, tone};
        }
    }
    return img;
}

const Colour kZenith{0.16, 0.34, 0.74};

// Clouds: soft-edged fractal noise lit from above.
double CloudDensity(double value, double cover) { return SmoothStep(cover, cover + 0.18, value); }

// Sky panorama for the four sides: blue fading to a pale horizon at mid
// height, clouds, a line of distant hills, hazy ground below. It tiles
// across u so the sides join.
Image SkySides() {
    constexpr int w = 512, h = 256;
    Image img(w, h);
    const Colour horizon{0.74, 0.84, 0.93}, hills{0.36, 0.48, 0.50}, nearHills{0.28, 0.40, 0.30};
    const Colour groundNear{0.22, 0.34, 0.17}, groundFar{0.46, 0.56, 0.46};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double u = (x + 0.5) / w, v = (y + 0.5) / h;
            Colour c;
            const double ridgeFar = 0.5 - 0.008 - 0.06 * SmoothStep(0.3, 0.72, TileFractal(u, 0.0, 5, 1, 3, 601u));
            const double ridgeNear = 0.5 - 0.003 - 0.03 * SmoothStep(0.3, 0.75, TileFractal(u, 0.5, 8, 1, 2, 602u));
            if (v < 0.5) {
                const double t = v / 0.5;  // 0 at the top, 1 at the horizon
                c = tools::MixColour(kZenith, horizon, std::pow(t, 2.2));
                // Clouds, flattened towards the horizon.
                const double squash = 1.0 + 5.0 * t * t;
                const double cloud = TileFractal(u, (v * squash) / 2.0, 8, 4, 5, 603u);
                const double band = SmoothStep(0.08, 0.35, t) * (1.0 - SmoothStep(0.85, 0.98, t));
                const double d = CloudDensity(cloud, 0.52) * band;
                const double shade = 0.82 + 0.18 * TileFractal(u, v * squash / 2.0 + 0.03, 8, 4, 3, 604u);
                c = tools::MixColour(c, Colour{shade, shade, shade * 1.02}, 0.9 * d);
                if (v > ridgeFar) {
                    // Distant hills, hazier towards their feet.
                    c = tools::MixColour(hills, horizon, 0.15 + 0.3 * SmoothStep(ridgeFar, 0.5, v));
                }
                if (v > ridgeNear) {
                    c = nearHills;
                }
            } else {
                const double t = (v - 0.5) / 0.5;
                c = tools::MixColour(groundFar, groundNear, std::pow(t, 0.5));
                c = tools::Scale(c, 0.92 + 0.12 * TileFractal(u, v, 32, 8, 2, 605u));
            }
            img.At(x, y) = c;
        }
    }
    return img;
}

// Sky straight up: the zenith blue, with clouds that thin out towards the
// edges so the top meets the sides without a seam.
Image SkyTop() {
    constexpr int n = 256;
    Image img(n, n);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const double u = (x + 0.5) / n, v = (y + 0.5) / n;
            const double edge = std::max(std::fabs(u - 0.5), std::fabs(v - 0.5)) * 2.0;  // 0 centre, 1 edge
            const double cloud = TileFractal(u, v, 4, 4, 5, 701u);
            const double d = CloudDensity(cloud, 0.55) * (1.0 - SmoothStep(0.55, 0.95, edge));
            const double shade = 0.86 + 0.14 * TileFractal(u + 0.02, v + 0.02, 4, 4, 3, 702u);
            img.At(x, y) = tools::MixColour(kZenith, Colour{shade, shade, shade * 1.02}, 0.85 * d);
        }
    }
    return img;
}

// A seven-segment digit, thick and rounded, for the car's number. (cx, cy)
// is the centre, size the height, all in pixels.
bool DigitCovers(int digit, double x, double y, double cx, double cy, double size) {
    static const unsigned char kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    const double hw = size * 0.28, hh = size * 0.5, t = size * 0.09;
    // Segment ends: a top, b top right, c bottom right, d bottom, e bottom left, f top left, g middle.
    const double ends[7][4] = {
        {cx - hw, cy - hh, cx + hw, cy - hh}, {cx + hw, cy - hh, cx + hw, cy},     {cx + hw, cy, cx + hw, cy + hh},
        {cx - hw, cy + hh, cx + hw, cy + hh}, {cx - hw, cy, cx - hw, cy + hh},     {cx - hw, cy - hh, cx - hw, cy},
        {cx - hw, cy, cx + hw, cy},
    };
    for (int s = 0; s < 7; ++s) {
        if (!(kSegments[digit] & (1 << s))) {
            continue;
        }
        const double ax = ends[s][0], ay = ends[s][1], bx = ends[s][2], by = ends[s][3];
        const double dx = bx - ax, dy = by - ay;
        double k = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy);
        k = tools::Clamp01(k);
        const double ex = x - (ax + k * dx), ey = y - (ay + k * dy);
        if (ex * ex + ey * ey < t * t) {
            return true;
        }
    }
    return false;
}

// Car paint: the upper half is the side livery (red, a white flash along
// the side, the number 3 in a white roundel), the lower half the view from
// above (a white centre stripe between two black pin stripes).
Image Paint() {
    constexpr int n = 256;
    Image img(n, n);
    const Colour red{0.82, 0.07, 0.05}, white{0.96, 0.96, 0.94}, black{0.05, 0.05, 0.06};
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const double u = (x + 0.5) / n;
            Colour c = red;
            if (y < n / 2) {
                const double v = (y + 0.5) / (n / 2.0);  // 0 = top of the car, 1 = its floor
                if (std::fabs(v - 0.40) < 0.05) {
                    c = white;
                } else if (std::fabs(v - 0.40) < 0.065) {
                    c = black;
                } else if (v > 0.9) {
                    c = tools::Scale(red, 0.55);
                }
                // Roundel with the number on the side of the nose. The side
                // livery spans 2.4 units along u and 0.6 units along v, so one
                // pixel across is worth two pixels down on the car: the
                // roundel and digit are drawn narrow to look round there.
                const double rx = 0.50 * n, ry = 0.65 * (n / 2.0);
                const double dx = (x + 0.5 - rx) * 2.0, dy = y + 0.5 - ry;
                const double r = std::sqrt(dx * dx + dy * dy);
                if (r < 21) {
                    c = white;
                    if (DigitCovers(3, rx + dx, y + 0.5, rx, ry, 26)) {
                        c = black;
                    }
                } else if (r < 23.5) {
                    c = black;
                }
            } else {
                const double d = std::fabs(u - 0.5);
                if (d < 0.035) {
                    c = white;
                } else if (d < 0.047) {
                    c = black;
                }
            }
            // A faint sheen so the paint is not flat.
            const double sheen = 0.94 + 0.08 * std::sin(kPi * (y % (n / 2)) / (n / 2.0));
            img.At(x, y) = tools::Scale(c, sheen);
        }
    }
    return img;
}

// Tyres: the upper half is the tread (u round the wheel), the lower half the
// side wall (v from the outside in) with a yellow band and lettering marks.
Image Tyre() {
    constexpr int w = 128, h = 64;
    Image img(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double u = (x + 0.5) / w, v = (y + 0.5) / h;
            const double rubber = 0.10 + 0.04 * TileFractal(u, v, 32, 8, 2, 801u);
            double tone = rubber;
            Colour c;
            if (v < 0.5) {
                const double across = v / 0.5;
                const double shoulder = std::min(across, 1.0 - across);
                tone *= 0.75 + 0.6 * SmoothStep(0.0, 0.2, shoulder);
                c = {tone, tone, tone};
            } else {
                const double radial = (v - 0.5) / 0.5;  // 0 outer edge, 1 at the rim
                c = {tone, tone, tone};
                if (std::fabs(radial - 0.45) < 0.06) {
                    c = {0.95, 0.80, 0.10};
                } else if (std::fabs(radial - 0.25) < 0.07 && std::fmod(u * 8.0, 1.0) < 0.45) {
                    c = {0.55, 0.55, 0.55};
                }
            }
            img.At(x, y) = c;
        }
    }
    return img;
}

// The car's plain-coloured parts, one quarter each, row by row: wings
// (graphite), helmet (yellow), dark parts (cockpit, visor, suspension) and
// wheel rims (silver).
Image Parts() {
    constexpr int n = 64;
    Image img(n, n);
    const Colour colours[4] = {{0.20, 0.20, 0.23}, {1.0, 0.80, 0.08}, {0.06, 0.06, 0.07}, {0.68, 0.69, 0.72}};
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            img.At(x, y) = colours[(x * 2 / n) + 2 * (y * 2 / n)];
        }
    }
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_textures <media folder>\n");
        return 2;
    }
    const std::string m = std::string(argv[1]) + "/";
    if (!tools::MakeDirectory(argv[1])) {
        return 1;
    }
    const bool ok = tools::WriteJpeg(m + "holz.jpg", Wood(), 88) && tools::WriteJpeg(m + "gras.jpg", Grass(), 85) &&
                    tools::WritePng(m + "stein.png", Stone(), false) &&
                    tools::WriteJpeg(m + "wasser.jpg", Water(), 88) &&
                    tools::WritePng(m + "metall.png", Metal(), false) &&
                    tools::WritePng(m + "start.png", StartChecks(), false) &&
                    tools::WriteJpeg(m + "himmel.jpg", SkySides(), 85) &&
                    tools::WriteJpeg(m + "himmel_oben.jpg", SkyTop(), 85) &&
                    tools::WritePng(m + "lack.png", Paint(), false) && tools::WritePng(m + "reifen.png", Tyre(), false) &&
                    tools::WritePng(m + "teile.png", Parts(), false);
    return ok ? 0 : 1;
}
