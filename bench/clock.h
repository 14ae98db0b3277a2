// Milliseconds on a steady clock, for the benchmarks' own timings, and the
// median they report of several.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

inline double NowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The middle value (the upper of the two middle ones for an even count); 0 for none.
inline double Median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
