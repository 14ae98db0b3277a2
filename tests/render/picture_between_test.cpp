// A frame between two ticks blends what moves; it never blends across a cut
// (another scene, another credits page, a car or camera put elsewhere), and
// what only the last tick knows (the read-outs) is the last tick's.
#include <gtest/gtest.h>

#include "render/scene_view.h"

namespace {

TickPicture Driving(float z, const char* readout) {
    TickPicture p;
    p.scene = TickPicture::Scene::Driving;
    p.flight.eye = D3DXVECTOR3(8.0f, 3.0f, z - 5.0f);
    p.flight.target = D3DXVECTOR3(8.0f, 2.0f, z);
    p.flight.carAt = D3DXVECTOR3(8.0f, 0.0f, z);
    p.flight.carAlong = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    p.carPosition = D3DXVECTOR3(8.0f, 0.0f, z + 0.5f);
    p.carHeading = 1.0f + z * 0.01f;
    p.readouts = {{readout, 900.0f, 10.0f}};
    return p;
}

TickPicture Flight(TickPicture::Scene scene, float eyeX, int page, float drop) {
    TickPicture p;
    p.scene = scene;
    p.flight.eye = D3DXVECTOR3(eyeX, 4.0f, 0.0f);
    p.flight.creditsPage = page;
    p.flight.subtitleHeight = drop;
    return p;
}

}  // namespace

TEST(PictureBetween, BlendsWhatMovesAndCutsWhereTheGameCut) {
    struct Case {
        const char* label;
        TickPicture a, b;
        float t;
        float eyeX, eyeZ;  // of the picture given
        bool blended;      // or b as it is
    };
    const Case cases[] = {
        {"driving, halfway", Driving(0, "1.000"), Driving(2, "1.040"), 0.5f, 8.0f, -4.0f, true},
        {"driving, a quarter", Driving(0, "1.000"), Driving(2, "1.040"), 0.25f, 8.0f, -4.5f, true},
        {"the tick itself", Driving(0, "1.000"), Driving(2, "1.040"), 1.0f, 8.0f, -3.0f, false},
        {"a new race puts the car back", Driving(40, "9.000"), Driving(0, "0.000"), 0.5f, 8.0f, -5.0f, false},
        {"the title flight", Flight(TickPicture::Scene::Title, 10, 0, 4), Flight(TickPicture::Scene::Title, 12, 0, 2),
         0.5f, 11.0f, 0.0f, true},
        {"from the title to the race", Flight(TickPicture::Scene::Title, 10, 0, 4), Driving(0, "0.000"), 0.5f, 8.0f,
         -5.0f, false},
        {"the ending's next page", Flight(TickPicture::Scene::Ending, 10, 1, 0),
         Flight(TickPicture::Scene::Ending, 12, 2, 0), 0.5f, 12.0f, 0.0f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const TickPicture p = PictureBetween(c.a, c.b, c.t);
        EXPECT_EQ(p.scene, c.b.scene);
        EXPECT_FLOAT_EQ(p.flight.eye.x, c.eyeX);
        EXPECT_FLOAT_EQ(p.flight.eye.z, c.eyeZ);
        EXPECT_EQ(p.flight.creditsPage, c.b.flight.creditsPage);
        EXPECT_EQ(p.readouts.size(), c.b.readouts.size());
        if (!c.b.readouts.empty()) {
            EXPECT_EQ(p.readouts[0].text, c.b.readouts[0].text);
        }
        if (!c.blended) {
            EXPECT_TRUE(SamePicture(p, c.b));
            continue;
        }
        const float t = c.t;
        EXPECT_FLOAT_EQ(p.flight.subtitleHeight,
                        c.a.flight.subtitleHeight + (c.b.flight.subtitleHeight - c.a.flight.subtitleHeight) * t);
        EXPECT_FLOAT_EQ(p.flight.carAt.z, c.a.flight.carAt.z + (c.b.flight.carAt.z - c.a.flight.carAt.z) * t);
        if (p.scene != TickPicture::Scene::Driving) continue;
        EXPECT_FLOAT_EQ(p.carPosition.z, c.a.carPosition.z + (c.b.carPosition.z - c.a.carPosition.z) * t);
        EXPECT_FLOAT_EQ(p.carHeading, c.a.carHeading + (c.b.carHeading - c.a.carHeading) * t);
        // The car's world matrix follows its blended place.
        EXPECT_FLOAT_EQ(p.carWorld.m[3][2], p.carPosition.z);
        EXPECT_FLOAT_EQ(p.carWorld.m[3][1], p.carPosition.y + 1.0f);
    }
}

// The frame at the tick before shows that tick's camera and car, but the
// read-outs and the course around the car are the last tick's.
TEST(PictureBetween, AtTheTickBeforeTheReadoutsAreTheLastTicks) {
    TickPicture a = Driving(0, "1.000"), b = Driving(2, "1.040");
    b.windowColumn = 7;
    const TickPicture p = PictureBetween(a, b, 0.0f);
    EXPECT_FLOAT_EQ(p.flight.eye.z, a.flight.eye.z);
    EXPECT_FLOAT_EQ(p.carPosition.z, a.carPosition.z);
    EXPECT_EQ(p.readouts[0].text, "1.040");
    EXPECT_EQ(p.windowColumn, 7);
    EXPECT_FALSE(SamePicture(p, b));
    EXPECT_TRUE(SamePicture(PictureBetween(a, b, 1.0f), b));
}
