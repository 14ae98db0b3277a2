// The pacer keeps the ticks at their real rate behind slow frames, up to a
// bound, lets a frame be drawn only where it leaves the next tick on time,
// and keeps frames on a steady schedule.
#include <gtest/gtest.h>

#include "app/frame_pacer.h"

TEST(FramePacer, TicksCatchUpBehindSlowFramesUpToABound) {
    struct Case {
        const char* label;
        DWORD messageAt;  // the tick timer's message, after one at 1000
        int due;
    };
    const Case cases[] = {
        {"on time", 1040, 1},
        {"a little early", 1035, 1},
        {"a little late", 1052, 1},
        {"far too early: no tick", 1015, 0},
        {"behind a frame of 90 ms", 1090, 2},
        {"behind a frame of 400 ms", 1400, 10},
        {"beyond the bound, time dropped", 3000, FramePacer::kMostTicksAtOnce},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        FramePacer pacer;
        EXPECT_EQ(pacer.TicksDue(1000), 1) << "the first at once";
        EXPECT_EQ(pacer.TicksDue(c.messageAt), c.due);
    }
    // Time that was caught up is not counted twice; time dropped is gone.
    FramePacer pacer;
    pacer.TicksDue(0);
    EXPECT_EQ(pacer.TicksDue(130), 3);
    EXPECT_EQ(pacer.TicksDue(160), 1);
    EXPECT_EQ(pacer.TicksDue(2000), FramePacer::kMostTicksAtOnce);
    EXPECT_EQ(pacer.TicksDue(2040), 1);
    // Through the wrap of the millisecond clock.
    FramePacer wrapping;
    wrapping.TicksDue(0xFFFFFFF0u);
    EXPECT_EQ(wrapping.TicksDue(0x18u), 1);
}

TEST(FramePacer, AFrameThatWouldMakeATickLateIsNotDrawn) {
    FramePacer pacer;
    pacer.TicksDue(1000);
    EXPECT_FLOAT_EQ(pacer.Fraction(1010), 0.25f);
    EXPECT_FLOAT_EQ(pacer.Fraction(1060), 1.0f);
    pacer.FrameDrawn(1000, 1008);  // frames take 8 ms
    EXPECT_TRUE(pacer.FrameFits(1020));
    EXPECT_TRUE(pacer.FrameFits(1030));
    EXPECT_FALSE(pacer.FrameFits(1032)) << "8 ms from 1032 reach the tick at 1040";
    pacer.FrameDrawn(1010, 1040);  // one slow frame counts at once
    EXPECT_FALSE(pacer.FrameFits(1010));
}

TEST(FramePacer, FramesKeepASteadyScheduleAndNeverBurst) {
    FramePacer pacer;
    // 60 a second: 16 or 17 ms, 50 ms over three frames.
    EXPECT_EQ(pacer.NextFrameIn(0, 60), 17u);
    EXPECT_EQ(pacer.NextFrameIn(17, 60), 16u);
    EXPECT_EQ(pacer.NextFrameIn(33, 60), 17u);
    // A frame late by more than a period starts the schedule afresh.
    EXPECT_EQ(pacer.NextFrameIn(200, 60), 17u);
    // No limit: at once after the frame before.
    EXPECT_EQ(pacer.NextFrameIn(300, 0), 1u);
    pacer.StopFrames();
    EXPECT_EQ(pacer.NextFrameIn(1000, 30), 33u);
}
