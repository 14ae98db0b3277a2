// When smooth frames are drawn. The 40 ms tick stays what moves the game;
// the pacer counts the ticks that are due (more than one after a frame that
// took long, so the race keeps its real speed), says how far the time is
// from the last tick to the next (the blend of the frames between), and
// whether a frame fits before the next tick (ticks come first).
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
    // How far `now` is from the last tick to the next one, 0 to 1.
    float Fraction(DWORD now) const;
    // Whether a frame begun at `now` ends before the next tick is due, as
    // long as frames take what the last ones took.
    bool FrameFits(DWORD now) const;
    void FrameDrawn(DWORD began, DWORD ended);
    // Milliseconds from `now` to the next frame at `perSecond` frames a
    // second (0: as soon as the frame before is done), kept on a steady
    // schedule of its own.
    UINT NextFrameIn(DWORD now, int perSecond);
    // No frames are scheduled any more; the next schedule starts afresh.
    void StopFrames() { frameScheduled_ = false; }

private:
    bool started_ = false;
    DWORD tickAt_ = 0;        // when the last tick was due
    double frameMs_ = 0.0;    // what a frame takes, smoothed
    DWORD nextFrameAt_ = 0;            // when the next frame is due, and the part of a
    double nextFrameFraction_ = 0.0;   // millisecond beyond
    bool frameScheduled_ = false;
};

// Sees the game's loop from outside (the tests and the benchmarks): each
// tick once it has run, and each frame once it is shown.
class LoopWatch {
public:
    virtual ~LoopWatch() = default;
    virtual void Ticked() {}
    virtual void FrameShown() {}
};
