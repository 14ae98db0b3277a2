// Where the read-out lines go in a back buffer of another size: their distance
// to the right edge (or, for "Pause", to the middle) grows with the font, and
// no line starts left of the picture.
#include <gtest/gtest.h>

#include "render/scene_view.h"

namespace {

TEST(ReadoutPlace, LinesKeepTheirEdgeGrowWithTheFontAndStayOnScreen) {
    struct Case {
        const char* label;
        ReadoutLine line;  // as the race places it for the width below
        float width, scale;
        float x, y;
    };
    const Case cases[] = {
        {"the first size: as placed", {"Time", 1024 - 130.0f, 10.0f}, 1024, 1.0f, 894.0f, 10.0f},
        {"full screen: right edge", {"Time", 1920 - 130.0f, 10.0f}, 1920, 1.5f, 1725.0f, 15.0f},
        {"full screen: the middle", {"Pause", 960 - 18.0f, 40.0f, true}, 1920, 1.5f, 933.0f, 60.0f},
        {"odd width: the middle rounds down", {"Pause", 100 - 18.0f, 40.0f, true}, 201, 2.0f, 64.0f, 80.0f},
        {"a narrow window", {"PosX", 200 - 280.0f, 70.0f}, 200, 1.0f, 0.0f, 70.0f},
        {"narrow and grown", {"Rundenzeit", 150 - 180.0f, 25.0f}, 150, 1.4375f, 0.0f, 35.9375f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const ReadoutLine placed = PlaceReadout(c.line, c.width, c.scale);
        EXPECT_FLOAT_EQ(placed.x, c.x);
        EXPECT_FLOAT_EQ(placed.y, c.y);
        EXPECT_EQ(placed.text, c.line.text);
    }
}

}  // namespace
