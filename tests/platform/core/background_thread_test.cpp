// Threads of the start's work on the side: their owner waits for them, and so
// does a fork, whose child must not inherit a lock one of them holds.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>

#include "platform/port/background_thread.h"

namespace {

using namespace std::chrono_literals;

TEST(BackgroundThreadTest, AForkWaitsUntilTheWorkOnTheSideIsDone) {
    std::atomic<bool> done{false};
    BackgroundThread side([&] {
        std::this_thread::sleep_for(200ms);
        done = true;
    });
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(done ? 0 : 3);  // the child sees what the parent had at the fork
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the fork did not wait for the side thread";
    EXPECT_TRUE(done);
    side.Join();  // already joined by the fork: returns at once
}

TEST(BackgroundThreadTest, ItsOwnerWaitsForItOnceAndAForkLaterWaitsForNothing) {
    int runs = 0;
    {
        BackgroundThread side([&] {
            std::this_thread::sleep_for(50ms);
            ++runs;
        });
        side.Join();
        EXPECT_EQ(runs, 1);
        side.Join();
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(runs, 1);
}

}  // namespace
