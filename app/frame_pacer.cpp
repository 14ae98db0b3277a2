#include "app/frame_pacer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

void FramePacer::Reset() {
    started_ = false;
    frameScheduled_ = false;
    frameMs_ = 0.0;
}

int FramePacer::TicksDue(DWORD now) {
    if (!started_) {
        started_ = true;
        tickAt_ = now;
        return 1;
    }
    // Through the clock's wrap. Ticks to the nearest: the timer's messages
    // come a little early or late, and each is one tick unless frames held
    // it up by more than half a tick.
    const std::int32_t since = std::int32_t(now - tickAt_);
    if (since < std::int32_t(kTickMs / 2)) return 0;
    const int due = int((since + std::int32_t(kTickMs / 2)) / std::int32_t(kTickMs));
    if (due > kMostTicksAtOnce) {
        tickAt_ = now;
        return kMostTicksAtOnce;
    }
    tickAt_ += DWORD(due) * kTickMs;
    return due;
}

float FramePacer::Fraction(DWORD now) const {
    if (!started_) return 1.0f;
    const std::int32_t since = std::int32_t(now - tickAt_);
    return std::clamp(float(since) / float(kTickMs), 0.0f, 1.0f);
}

bool FramePacer::FrameFits(DWORD now) const {
    if (!started_) return true;
    const std::int32_t left = std::int32_t(kTickMs) - std::int32_t(now - tickAt_);
    // A millisecond to spare for the tick's own work.
    return double(left) > frameMs_ + 1.0;
}

void FramePacer::FrameDrawn(DWORD began, DWORD ended) {
    const double took = double(DWORD(ended - began));
    // Follows a slower frame at once and a faster one over a few frames, so
    // one quick frame does not let the next make a tick late.
    frameMs_ = took > frameMs_ ? took : frameMs_ * 0.75 + took * 0.25;
}

UINT FramePacer::NextFrameIn(DWORD now, int perSecond) {
    if (perSecond <= 0) return 1;
    const double period = 1000.0 / double(perSecond);
    // Where the schedule stands against now (negative: behind), through the
    // clock's wrap; back on it after a pause or a late frame, never a burst.
    double ahead = frameScheduled_ ? double(std::int32_t(nextFrameAt_ - now)) + nextFrameFraction_ : 0.0;
    if (ahead < -period || ahead > 2.0 * period) ahead = 0.0;
    ahead = std::max(0.0, ahead + period);
    frameScheduled_ = true;
    const double whole = std::floor(ahead);
    nextFrameAt_ = now + DWORD(whole);
    nextFrameFraction_ = ahead - whole;
    return UINT(std::max(1.0, std::round(ahead)));
}
