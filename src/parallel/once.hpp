// A value that the tasks of one run compute at most once and then share.
#pragma once

#include <atomic>
#include <mutex>
#include <utility>

namespace quorlex::parallel {

// A value computed at most once per run. `make` must not start parallel work:
// a thread waiting here runs nothing else. If `make` fails, the failure
// propagates and a later call retries. Once a value is there, readers take no
// lock.
template <class T>
class Once {
public:
    template <class Make>
    const T& get(Make make) {
        if (ready_.load(std::memory_order_acquire)) return value_;
        const std::lock_guard lock(mutex_);
        if (!ready_.load(std::memory_order_relaxed)) {
            value_ = make();
            ready_.store(true, std::memory_order_release);
        }
        return value_;
    }

    // A value computed ahead of the tasks (the same one `make` would give),
    // kept unless a value is already there: one that a task may be reading is
    // never replaced.
    void put(T value) {
        const std::lock_guard lock(mutex_);
        if (!ready_.load(std::memory_order_relaxed)) {
            value_ = std::move(value);
            ready_.store(true, std::memory_order_release);
        }
    }

private:
    std::mutex mutex_;
    std::atomic<bool> ready_{false};
    T value_{};
};

}  // namespace quorlex::parallel
