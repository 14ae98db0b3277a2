// The quick run of a benchmark, for the tests: `--quick` anywhere on its
// command line makes it do the least work that still prints every figure
// once, so that a benchmark that can no longer run fails the tests and not
// only ./bench.sh. Its figures then mean little; only that they come.
#pragma once

#include <cstring>

// Takes `--quick` out of the arguments and says whether it was there.
inline bool QuickRun(int& argc, char** argv) {
    bool quick = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0)
            quick = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
    return quick;
}
