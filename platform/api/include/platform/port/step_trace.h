// Where the time of start-up goes. Each mark closes a step: the time since the
// previous mark (or since the trace was reset) is added to the named step.
// Always on: a mark costs a clock read, and the game makes a few dozen of
// them. The resident memory at each mark is kept only when asked for, as
// reading it is a file read.
#pragma once

#include <string>
#include <vector>

struct TracedStep {
    std::string name;
    double milliseconds = 0.0;  // summed over every mark of this name
    long residentKb = 0;        // resident memory at the last mark of this name, if kept
    int marks = 0;
};

void TraceStep(const char* name);
// The steps in the order of their first marks.
const std::vector<TracedStep>& TracedSteps();
void ResetStepTrace();
// Whether marks keep the resident memory (off at the start).
void KeepResidentMemoryInTrace(bool keep);
// Resident memory of the process now, in kilobytes (0 where it cannot be read).
long ResidentKb();
