// The clocks of the platform: the multimedia clock the race is timed with and
// an elapsed-time clock. Both follow the active backend, so under the
// recording backend they run on the test's virtual milliseconds.
#pragma once

#include "platform/wintypes.h"

// Milliseconds of a monotonic clock as an unsigned 32-bit value; it wraps after
// about 49.7 days, and differences taken in unsigned 32-bit arithmetic stay right.
DWORD timeGetTime();

// Suspends the thread (under the recording backend: lets the virtual clock run on).
void Sleep(DWORD milliseconds);

// Real (or virtual) milliseconds elapsed since the backend started.
DWORD ElapsedMillisecondsSinceStart();

// The monotonic clock of the machine in milliseconds, not truncated; the SDL
// backend's timeGetTime is its low 32 bits.
std::uint64_t MonotonicMilliseconds();
