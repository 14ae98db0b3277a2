// Milliseconds on a steady clock, for the benchmarks' own timings.
#pragma once

#include <chrono>

inline double NowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
