#include "parallel/pool.hpp"

#include <pthread.h>

#include <cstdlib>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <tbb/global_control.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

namespace quorlex::parallel {

namespace {

// A positive decimal integer (an optional leading '+', as Rust's integer
// parsing allows), or 0 when the variable is unset or holds anything else.
std::size_t positive_count(const char* variable) {
    const char* text = std::getenv(variable);
    if (text == nullptr) return 0;
    if (*text == '+') ++text;
    if (*text == '\0') return 0;
    std::size_t value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return 0;
        if (value > (std::numeric_limits<std::size_t>::max() - 9) / 10) return 0;
        value = value * 10 + static_cast<std::size_t>(*c - '0');
    }
    return value;
}

std::size_t configured_threads() {
    if (auto n = positive_count("RAYON_NUM_THREADS")) return n;
    if (auto n = positive_count("RAYON_RS_NUM_CPUS")) return n;
    const auto n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n;
}

struct Pool {
    std::size_t threads = configured_threads();
    // Held so that the workers can be joined before a fork.
    tbb::task_scheduler_handle handle{tbb::attach{}};
    // Lets the arena have more threads than the machine has cores.
    std::optional<tbb::global_control> limit{std::in_place, tbb::global_control::max_allowed_parallelism, threads};
    std::optional<tbb::task_arena> arena{std::in_place, static_cast<int>(threads)};

    // Joins every worker thread. Runs only while no parallel run is active.
    void shut_down() {
        arena.reset();
        limit.reset();
        tbb::finalize(handle, std::nothrow);
    }
};

std::mutex pool_mutex;
std::unique_ptr<Pool> pool;

// A forked child inherits the pool's bookkeeping but none of its threads. The
// workers are joined before the fork so that parent and child each start a
// pool of their own on their next parallel run. Every parallel run holds the
// interpreter lock, which os.fork also needs, so no run is active here.
void before_fork() {
    pool_mutex.lock();
    if (pool) {
        pool->shut_down();
        pool.reset();
    }
}
void after_fork() { pool_mutex.unlock(); }

Pool& the_pool() {
    static const bool fork_handlers = pthread_atfork(before_fork, after_fork, after_fork) == 0;
    (void)fork_handlers;
    std::lock_guard lock(pool_mutex);
    if (!pool) pool = std::make_unique<Pool>();
    return *pool;
}

}  // namespace

std::size_t thread_count() { return the_pool().threads; }

void for_each_index(std::size_t n, const std::function<void(std::size_t)>& body) {
    if (n == 0) return;
    auto& p = the_pool();
    // Every index runs even when one fails, and the failure of the lowest
    // index is the one reported: which failure reaches the caller must not
    // depend on scheduling when several bodies fail with different messages.
    std::mutex failure_mutex;
    std::size_t failed_at = n;
    std::exception_ptr failure;
    p.arena->execute([&] {
        tbb::parallel_for(std::size_t{0}, n, [&](std::size_t i) {
            try {
                body(i);
            } catch (...) {
                const std::lock_guard lock(failure_mutex);
                if (i < failed_at) {
                    failed_at = i;
                    failure = std::current_exception();
                }
            }
        });
    });
    if (failure) std::rethrow_exception(failure);
}

}  // namespace quorlex::parallel
