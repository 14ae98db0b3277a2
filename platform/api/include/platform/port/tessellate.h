// Triangulating closed 2D contours with holes (the GLU tessellator on the CPU,
// no GL context needed). Used for the faces of the extruded text.
#pragma once

#include <cstdint>
#include <vector>

struct TessPoint {
    double x, y;
};

// Each contour is a closed polygon, its last point not repeating the first.
// Regions inside an odd number of contours are filled. On success `vertices`
// holds every input point in order (contour after contour) followed by the
// points made where contours cross, and `triangles` three indices into it per
// triangle, in no particular winding. False when the tessellator reports an
// error (for example for coordinates too large for it).
bool TessellateContours(const std::vector<std::vector<TessPoint>>& contours, std::vector<TessPoint>* vertices,
                        std::vector<std::uint32_t>* triangles);
