// Running a benchmark again as its own child, so that a figure counts the
// process's exec, dynamic linking and static set-up too. The child is started
// as `<self> --child <start>`, where <start> is the parent's NowMs() just
// before the fork (both read the same monotonic clock), and what it prints is
// handed to the parent line by line.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "bench/clock.h"

// One run of the child, with the environment variable `name` set to `value`
// in it when a name is given; true when the child ended with exit code 0.
inline bool RunSelfAsChild(const char* self, const std::function<void(const char* line)>& onLine,
                           const char* name = nullptr, const char* value = nullptr) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return false;
    char start[64];
    std::snprintf(start, sizeof start, "%.6f", NowMs());
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        if (name) setenv(name, value, 1);
        execl("/proc/self/exe", self, "--child", start, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    if (pid < 0) {
        close(pipeFds[0]);
        return false;
    }
    std::FILE* in = fdopen(pipeFds[0], "r");
    if (!in) close(pipeFds[0]);
    char line[256];
    while (in && std::fgets(line, sizeof line, in)) onLine(line);
    if (in) std::fclose(in);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
