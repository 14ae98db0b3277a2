#include "platform/port/step_trace.h"

#include "platform/core/lasting.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

struct Trace {
    std::vector<TracedStep> steps;
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
    bool keepMemory = false;
};

Trace& TheTrace() {
    static Lasting<Trace> trace;
    return *trace;
}

}  // namespace

long ResidentKb() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    long size = 0, resident = 0;
    const bool ok = std::fscanf(f, "%ld %ld", &size, &resident) == 2;
    std::fclose(f);
    return ok ? resident * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

void TraceStep(const char* name) {
    Trace& t = TheTrace();
    const auto now = std::chrono::steady_clock::now();
    const double ms = std::chrono::duration<double, std::milli>(now - t.last).count();
    TracedStep* step = nullptr;
    for (TracedStep& s : t.steps)
        if (s.name == name) step = &s;
    if (!step) {
        t.steps.push_back(TracedStep{name});
        step = &t.steps.back();
    }
    step->milliseconds += ms;
    if (t.keepMemory) step->residentKb = ResidentKb();
    ++step->marks;
    t.last = std::chrono::steady_clock::now();  // the mark's own cost goes to no step
}

const std::vector<TracedStep>& TracedSteps() { return TheTrace().steps; }

void KeepResidentMemoryInTrace(bool keep) { TheTrace().keepMemory = keep; }

void ResetStepTrace() {
    Trace& t = TheTrace();
    t.steps.clear();
    t.last = std::chrono::steady_clock::now();
}
