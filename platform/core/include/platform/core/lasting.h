// Storage for the platform's process-wide tables that is never torn down.
//
// The game's own objects have static lifetime and give their handles back in
// their destructors, which run among the exit handlers. A table they reach then
// (the live devices, the windows, the open sound outputs) must still be there,
// whatever order the statics happened to be built in. A `Lasting<T>` builds its
// object on first use and never destroys it: the process ends and takes the
// memory with it, and leak checkers still see it reachable.
//
//     std::set<Device*>& Devices() {
//         static Lasting<std::set<Device*>> devices;
//         return *devices;
//     }
#pragma once

#include <new>
#include <utility>

template <class T>
class Lasting {
public:
    template <class... Args>
    explicit Lasting(Args&&... args) {
        ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
    }
    Lasting(const Lasting&) = delete;
    Lasting& operator=(const Lasting&) = delete;
    ~Lasting() = default;  // on purpose: the object outlives every destructor

    T& operator*() { return *std::launder(reinterpret_cast<T*>(storage_)); }
    T* operator->() { return &**this; }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};
