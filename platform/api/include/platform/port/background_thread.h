// A thread for work on the side while the program starts (the OpenGL driver
// loaded, the dialog font rendered, textures decoded). A fork waits until
// every such thread has ended. Libraries fork and exec helpers: D-Bus, when
// no session bus is known, runs one to look for it while SDL starts its
// video. Until the child execs it may need a lock that was held by another
// thread at the fork (the dynamic loader's while a library loads, or a
// sanitizer's allocator's); such a child never gets to exec, and its parent
// waits on it for ever. With the side threads ended first, none is held.
#pragma once

#include <pthread.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace background_detail {

struct Registry {
    std::mutex mutex;
    std::vector<std::shared_ptr<std::thread>> running;  // started, not yet joined
};

// Never destroyed: a thread may still run while the program exits.
inline Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

inline void JoinAll() {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const std::shared_ptr<std::thread>& t : r.running)
        if (t->joinable() && t->get_id() != std::this_thread::get_id()) t->join();
    r.running.clear();
}

inline void WaitForThemAtFork() {
    static std::once_flag once;
    std::call_once(once, [] { pthread_atfork(&JoinAll, nullptr, nullptr); });
}

}  // namespace background_detail

class BackgroundThread {
public:
    explicit BackgroundThread(std::function<void()> work) {
        background_detail::WaitForThemAtFork();
        background_detail::Registry& r = background_detail::TheRegistry();
        std::lock_guard<std::mutex> lock(r.mutex);
        thread_ = std::make_shared<std::thread>(std::move(work));
        r.running.push_back(thread_);
    }
    ~BackgroundThread() { Join(); }
    BackgroundThread(const BackgroundThread&) = delete;
    BackgroundThread& operator=(const BackgroundThread&) = delete;

    // Waits until the work is done (at once if a fork waited for it already).
    void Join() {
        if (!thread_) return;
        background_detail::Registry& r = background_detail::TheRegistry();
        std::lock_guard<std::mutex> lock(r.mutex);
        if (thread_->joinable()) thread_->join();
        r.running.erase(std::remove(r.running.begin(), r.running.end(), thread_), r.running.end());
        thread_.reset();
    }

private:
    std::shared_ptr<std::thread> thread_;
};
