// The pacer keeps the ticks at their real rate behind slow frames, up to a
// bound, lets a frame be drawn only where it leaves the next tick on time,
// and keeps frames on a steady schedule.
#include <gtest/gtest.h>

#include <vector>

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
    // One frame to the tick: it shows the tick itself.
    EXPECT_FLOAT_EQ(pacer.Fraction(1000), 1.0f);
    // Two: the tick's own shows half the way, the next the whole.
    pacer.PlanFrames(50);
    EXPECT_FLOAT_EQ(pacer.Fraction(1000), 0.5f);
    EXPECT_FLOAT_EQ(pacer.Fraction(1010), 0.75f);
    EXPECT_FLOAT_EQ(pacer.Fraction(1020), 1.0f);
    EXPECT_FLOAT_EQ(pacer.Fraction(1060), 1.0f);
    pacer.FrameDrawn(1000, 1008);  // frames take 8 ms
    EXPECT_TRUE(pacer.FrameFits(1020));
    EXPECT_TRUE(pacer.FrameFits(1030));
    EXPECT_FALSE(pacer.FrameFits(1032)) << "8 ms from 1032 reach the tick at 1040";
    pacer.FrameDrawn(1010, 1040);  // one slow frame counts at once
    EXPECT_FALSE(pacer.FrameFits(1010));
}

// Frames drawn in the five ticks of 200 ms at a rate, with frames that take
// `frameMs`, and the gaps between the frames of the first tick.
struct FiveTicks {
    int frames = 0;
    std::vector<UINT> firstGaps;
};

FiveTicks DrawFiveTicks(int perSecond, DWORD frameMs) {
    FramePacer pacer;
    FiveTicks out;
    for (DWORD tick = 0; tick < 5; ++tick) {
        DWORD now = 1000 + tick * 40;
        pacer.TicksDue(now);
        pacer.FrameDrawn(now, now + frameMs);  // the tick's own frame
        ++out.frames;
        now += frameMs;
        pacer.PlanFrames(perSecond);
        for (UINT in = pacer.NextFrameIn(now); in > 0; in = pacer.NextFrameIn(now)) {
            now += in;
            if (tick == 0) out.firstGaps.push_back(now - 1000);
            pacer.FrameSlotGone();
            if (!pacer.FrameFits(now)) continue;
            pacer.FrameDrawn(now, now + frameMs);
            ++out.frames;
            now += frameMs;
        }
    }
    return out;
}

TEST(FramePacer, FramesAreSpacedEvenlyFromEachTickAsTheRateAsksAndTheyFit) {
    struct Case {
        const char* label;
        int perSecond;
        DWORD frameMs;
        int frames;  // in 200 ms, the ticks' own included
    };
    const Case cases[] = {
        {"60 a second, quick frames: three and two to a tick in turn", 60, 5, 12},
        {"60 a second, frames of 11 ms still fit three to a tick", 60, 11, 12},
        {"60 a second, frames of 15 ms: two to a tick", 60, 15, 10},
        {"frames longer than half a tick: the ticks' own alone", 60, 25, 5},
        {"30 a second", 30, 5, 6},
        {"144 a second", 144, 3, 28},
        {"no limit: as many as fit", 0, 8, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(DrawFiveTicks(c.perSecond, c.frameMs).frames, c.frames);
    }
    // Evenly from the tick: at 60 a second the first tick has two frames, at 0 and 20 ms.
    EXPECT_EQ(DrawFiveTicks(60, 5).firstGaps, std::vector<UINT>{20});
    // Four frames of 8 ms evenly would end the last 2 ms before the next
    // tick: they come closer (9 ms apart, never back to back).
    EXPECT_EQ(DrawFiveTicks(0, 8).firstGaps, (std::vector<UINT>{9, 18, 27}));
}
