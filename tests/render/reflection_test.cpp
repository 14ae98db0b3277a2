// The reflection factors of the scene meshes' materials, set and read back by
// group.
#include <gtest/gtest.h>

#include "tests/support/game_fixture.h"

class LightsTest : public RaceTest {};

TEST_F(LightsTest, EveryReflectionValueReadsBackUnchanged) {
    InstallFakeMeshes();
    for (unsigned v = 0; v <= 255; ++v) {
        game.meshes.SetAmbientReflection(Fields, v);
        game.meshes.SetDiffuseReflection(CarGroup, v);
        game.meshes.SetEmission(Fields, v);
        ASSERT_EQ(game.meshes.GetAmbientReflection(Fields), int(v));
        ASSERT_EQ(game.meshes.GetDiffuseReflection(CarGroup), int(v));
        ASSERT_EQ(game.meshes.GetEmission(Fields), int(v));
    }
    EXPECT_EQ(game.meshes.GetAmbientReflection(Sky), 0);
    EXPECT_EQ(game.meshes.GetAmbientReflection(7), 0);
    game.meshes.SetDiffuseReflection(Fields, 255);
    game.meshes.SetDiffuseReflection(CarGroup, 10);
    EXPECT_EQ(game.meshes.GetDiffuseReflection(Fields), 255);  // the car group leaves the fields alone
}
