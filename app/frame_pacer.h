// When smooth frames are drawn. The 40 ms tick stays what moves the game;
// the pacer counts the ticks that are due (more than one after a frame that
// took long, so the race keeps its real speed), says how far the time is
// from the last tick to the next (the blend of the frames between), and
// spaces the frames of each tick from the tick on: the tick's own frame,
// drawn at once, and as many after it as the rate asks and fit before the
// next tick (ticks come first), evenly where they can be. At 60 a second
// that is three frames to one tick and two to the next, in turn, 2.4 on
// average.
#pragma once

#include "platform/win.h"

class FramePacer {
public:
    static constexpr DWORD kTickMs = 40;
    // At most this many ticks at once; time beyond them is dropped rather
    // than have the game spiral into ever more ticks.
    static constexpr int kMostTicksAtOnce = 10;

    // Starts over: the next tick is due at once.
    void Reset();
    // How many ticks are due at `now`, the tick timer's message: one at the
    // first, then one for each 40 ms since the last, at most kMostTicksAtOnce.
    int TicksDue(DWORD now);
    // How far the frame at `now` shows the way from the tick before the last
    // to the last, 0 to 1: the time since the last tick plus one frame's
    // share, so that the frames of a tick show 1/n, 2/n, ... n/n of it.
    float Fraction(DWORD now) const;
    // Whether a frame begun at `now` ends before the next tick is due, as
    // long as frames take what the last ones took.
    bool FrameFits(DWORD now) const;
    void FrameDrawn(DWORD began, DWORD ended);
    // After the ticks, before their frame: plans the frames until the next
    // tick at `perSecond` frames a second (0: as many as fit).
    void PlanFrames(int perSecond);
    // Milliseconds from `now` to the next planned frame of this tick, at
    // least 1; 0 when none is left.
    UINT NextFrameIn(DWORD now) const;
    // The planned frame came (drawn or not, as it fitted).
    void FrameSlotGone() {
        if (framesLeft_ > 0) --framesLeft_;
    }

private:
    bool started_ = false;
    DWORD tickAt_ = 0;        // when the last tick was due
    double frameMs_ = 0.0;    // what a frame takes: see FrameDrawn
    static constexpr int kFramesKept = 16;
    double recentMs_[kFramesKept] = {};
    int recentCount_ = 0, recentNext_ = 0;
    double owed_ = 0.0;       // frames the rate asked for and no tick had yet
    int framesPlanned_ = 1;   // this tick's, its own included
    int framesLeft_ = 0;      // after the ones drawn
    double spacingMs_ = 0.0;  // between this tick's frames
    static constexpr double kSpareMs = 3.0;
    static constexpr double kQuietMs = 6.0;
};

// Sees the game's loop from outside (the tests and the benchmarks): each
// tick as it starts and once it has run (without smooth frames its frame
// is drawn in between), and each frame once it is shown.
class LoopWatch {
public:
    virtual ~LoopWatch() = default;
    virtual void TickStarts() {}
    virtual void Ticked() {}
    virtual void FrameShown() {}
};
