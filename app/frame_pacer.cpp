#include "app/frame_pacer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

void FramePacer::Reset() {
    started_ = false;
    frameMs_ = 0.0;
    recentCount_ = recentNext_ = 0;
    owed_ = 0.0;
    framesPlanned_ = 1;
    framesLeft_ = 0;
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
    // A step of the way ahead: the tick's own frame already shows the first
    // of its frames' steps towards the last tick, and the last frame before
    // the next tick shows the last tick itself. A frame shows what a key
    // did at its tick as soon as without smooth frames, never a guess
    // beyond the last tick.
    return std::clamp((float(since) / float(kTickMs)) + 1.0f / float(framesPlanned_), 0.0f, 1.0f);
}

bool FramePacer::FrameFits(DWORD now) const {
    if (!started_) return true;
    const std::int32_t left = std::int32_t(kTickMs) - std::int32_t(now - tickAt_);
    // A millisecond to spare for the tick's own work.
    return double(left) > frameMs_ + 1.0;
}

void FramePacer::FrameDrawn(DWORD began, DWORD ended) {
    recentMs_[recentNext_] = double(DWORD(ended - began));
    recentNext_ = (recentNext_ + 1) % kFramesKept;
    recentCount_ = std::min(recentCount_ + 1, kFramesKept);
    // The time of the slower frames among the last ones (the upper quarter):
    // frames that grew slower count after a few, one odd frame not at all,
    // so a frame that would make a tick late is seldom begun.
    double sorted[kFramesKept];
    std::copy(recentMs_, recentMs_ + recentCount_, sorted);
    std::sort(sorted, sorted + recentCount_);
    frameMs_ = sorted[(recentCount_ * 3 + 3) / 4 - 1];
}

void FramePacer::PlanFrames(int perSecond) {
    // The most that fit before the next tick, a millisecond apart at least,
    // with time to spare for a frame slower than most and the tick's own work.
    const double frame = std::max(frameMs_, 1.0);
    const int most = std::clamp(int((double(kTickMs) - kSpareMs + 1.0) / (frame + 1.0)), 1, 12);
    int wanted = most;
    if (perSecond > 0) {
        owed_ += double(perSecond) * kTickMs / 1000.0;
        wanted = std::max(1, int(owed_ + 1e-6));  // 2.4 five times is 12, not 11.99
        owed_ -= wanted;
        // What cannot be drawn is not owed on: a slow machine does not catch up.
        owed_ = std::clamp(owed_, 0.0, 1.0);
    }
    framesPlanned_ = std::min(wanted, most);
    framesLeft_ = framesPlanned_ - 1;
    // Evenly over the tick, or closer (never back to back) where the last
    // would end less than kQuietMs before the next tick: the window system
    // then still takes in the last picture while the tick's own frame is
    // drawn, which makes that frame, and a key's first sight, later.
    spacingMs_ = double(kTickMs) / framesPlanned_;
    if (framesPlanned_ > 1) {
        const double closer = (double(kTickMs) - frameMs_ - kQuietMs) / (framesPlanned_ - 1);
        spacingMs_ = std::min(spacingMs_, std::max(closer, frameMs_ + 1.0));
    }
}

UINT FramePacer::NextFrameIn(DWORD now) const {
    if (framesLeft_ <= 0) return 0;
    const int next = framesPlanned_ - framesLeft_;
    const double ahead = spacingMs_ * next - double(std::int32_t(now - tickAt_));
    return UINT(std::max(1.0, std::round(ahead)));
}
