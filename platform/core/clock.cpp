#include "platform/clock.h"

#include <time.h>

#include "platform/core/win_core.h"

std::uint64_t MonotonicMilliseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

DWORD timeGetTime() { return Backend().Now(); }

void Sleep(DWORD milliseconds) { Backend().Sleep(milliseconds); }

DWORD ElapsedMillisecondsSinceStart() { return Backend().Elapsed(); }
