// The process-wide worker pool. Created on the first parallel run with the
// thread count from RAYON_NUM_THREADS, then RAYON_RS_NUM_CPUS (positive decimal
// integers only), then the number of logical processors. Nested runs are fine:
// a waiting thread executes other pending work meanwhile. The pool limits only
// itself: other users of the same threading library keep their own concurrency.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>

namespace quorlex::parallel {

std::size_t thread_count();

// Runs body(i) for every i in [0, n) on the pool and returns when all are done.
// A failure thrown by any body reaches the caller (the first one wins).
void for_each_index(std::size_t n, const std::function<void(std::size_t)>& body);

// Thrown out of run_interruptible when the caller asked the run to stop.
struct Interrupted : std::exception {
    const char* what() const noexcept override;
};

// Runs `work` on the pool while the calling thread waits, calling `should_stop`
// from the calling thread about every 20 ms. Once should_stop() returns true,
// pool work of this run that has not started is skipped (tasks already running
// finish), and after the work has drained the call throws Interrupted. A
// failure thrown by `work` propagates as usual. Nested for_each_index calls
// inside `work` belong to the run. Called from inside pool work, `work` simply
// runs as part of the enclosing run (the caller is a worker and cannot wait).
void run_interruptible(const std::function<void()>& work, const std::function<bool()>& should_stop);

}  // namespace quorlex::parallel
