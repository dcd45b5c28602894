#include "parallel/pool.hpp"

// Fork handlers exist where fork does: Linux, macOS and the other POSIX systems.
#if defined(__unix__) || defined(__APPLE__)
#define QUORLEX_FORK_HANDLERS 1
#include <pthread.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <tbb/blocked_range.h>
#include <tbb/global_control.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>
#include <tbb/task_arena.h>
#include <tbb/task_group.h>

namespace quorlex::parallel {

const char* Interrupted::what() const noexcept { return "the run was interrupted"; }

namespace {

// More threads than this serve no machine this runs on; the bound keeps the
// arena's int-sized concurrency and the thread demand finite.
constexpr std::size_t max_threads = 1024;

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
    // The RAYON_* names are the interface users already set: kept as they are.
    std::size_t n = positive_count("RAYON_NUM_THREADS");
    if (n == 0) n = positive_count("RAYON_RS_NUM_CPUS");
    if (n == 0) n = std::thread::hardware_concurrency();
    return std::clamp<std::size_t>(n, 1, max_threads);
}

struct Pool {
    std::size_t threads = configured_threads();
    // Held so that the workers can be joined before a fork.
    tbb::task_scheduler_handle handle{tbb::attach{}};
    // The library starts at most default_concurrency - 1 workers for the whole
    // process. When the pool wants more, the cap is raised (never lowered, so
    // other users of the library keep their own concurrency).
    std::optional<tbb::global_control> raised_cap;
    // No slot is reserved for callers: every slot is open to the workers, so a
    // run whose caller only waits still gets `threads` threads, also for 1.
    std::optional<tbb::task_arena> arena;

    Pool() {
        if (threads + 1 > static_cast<std::size_t>(tbb::info::default_concurrency())) {
            raised_cap.emplace(tbb::global_control::max_allowed_parallelism, threads + 1);
        }
        arena.emplace(static_cast<int>(threads), 0);
    }

    // Joins every worker thread; false when the library could not (another
    // user of it still holds it), in which case the workers live on.
    bool shut_down() {
        arena.reset();
        raised_cap.reset();
        return tbb::finalize(handle, std::nothrow);
    }
};

std::mutex pool_mutex;
std::unique_ptr<Pool> the_pool;
// Callers currently running work on the pool from outside it.
std::atomic<int> active_runs{0};
// Set in a child forked while the workers could not be joined: the library's
// bookkeeping names threads the child does not have, so it is never touched
// again and every run executes on the calling thread.
bool serial_only = false;
// Set once a finalize failed: the library's workers outlive the pool, so any
// later child would inherit them too.
bool workers_outlive_pool = false;

// A forked child inherits the pool's bookkeeping but none of its threads. When
// no run is active the workers are joined before the fork, so that parent and
// child each start a pool of their own on their next parallel run. A run active
// in another thread (callers may compute without the interpreter lock) keeps
// its pool in the parent, and the child then runs serially, as it does when the
// library refuses to join its workers.
bool child_must_run_serially = false;

void before_fork() {
    pool_mutex.lock();
    child_must_run_serially = serial_only || workers_outlive_pool;
    if (!the_pool) return;
    if (active_runs.load() == 0) {
        workers_outlive_pool = !the_pool->shut_down();
        child_must_run_serially = child_must_run_serially || workers_outlive_pool;
        the_pool.reset();
        return;
    }
    child_must_run_serially = true;
}
void after_fork_parent() { pool_mutex.unlock(); }
void after_fork_child() {
    if (child_must_run_serially) {
        serial_only = true;
        (void)the_pool.release();  // its threads are not in this process: never destroy it
    }
    active_runs.store(0);
    pool_mutex.unlock();
}

// Depth of pool work on this thread: nested calls run inside the current run
// (and inherit its cancellation) instead of entering the arena again.
thread_local int inside_pool = 0;
struct InsidePool {
    InsidePool() { ++inside_pool; }
    ~InsidePool() { --inside_pool; }
    InsidePool(const InsidePool&) = delete;
    InsidePool& operator=(const InsidePool&) = delete;
};

// A caller entering the pool from outside: counted, so that a fork knows.
class Entry {
public:
    Entry() {
#if defined(QUORLEX_FORK_HANDLERS)
        static const bool fork_handlers = pthread_atfork(before_fork, after_fork_parent, after_fork_child) == 0;
        (void)fork_handlers;
#endif
        const std::lock_guard lock(pool_mutex);
        if (serial_only) return;
        if (!the_pool) the_pool = std::make_unique<Pool>();
        pool_ = the_pool.get();
        active_runs.fetch_add(1);
    }
    ~Entry() {
        if (pool_ != nullptr) active_runs.fetch_sub(1);
    }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;
    // Null when runs execute serially on the calling thread.
    Pool* pool() const { return pool_; }

private:
    Pool* pool_ = nullptr;
};

using Clock = std::chrono::steady_clock;
constexpr auto poll_interval = std::chrono::milliseconds(20);

// The stop request of a serial interruptible run, polled between bodies.
struct SerialStop {
    const std::function<bool()>* should_stop;
    Clock::time_point next_poll;
    bool stopped = false;
};
thread_local SerialStop* serial_stop = nullptr;

void check_serial_stop() {
    SerialStop* s = serial_stop;
    if (s == nullptr) return;
    if (!s->stopped && Clock::now() >= s->next_poll) {
        s->stopped = (*s->should_stop)();
        s->next_poll = Clock::now() + poll_interval;
    }
    if (s->stopped) throw Interrupted();
}

void for_each_serially(std::size_t n, const std::function<void(std::size_t)>& body) {
    for (std::size_t i = 0; i < n; ++i) {
        check_serial_stop();
        body(i);
    }
}

void parallel_indices(std::size_t n, const std::function<void(std::size_t)>& body) {
    // Every index runs even when one fails, and the failure of the lowest
    // index is the one reported: which failure reaches the caller must not
    // depend on scheduling when several bodies fail with different messages.
    std::mutex failure_mutex;
    std::size_t failed_at = n;
    std::exception_ptr failure;
    tbb::parallel_for(std::size_t{0}, n, [&](std::size_t i) {
        const InsidePool inside;
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
    if (failure) std::rethrow_exception(failure);
    // A cancelled run skips bodies; unwinding here keeps callers from using
    // the unfilled results.
    if (tbb::is_current_task_group_canceling()) throw Interrupted();
}

void run_serially(const std::function<void()>& work, const std::function<bool()>& should_stop) {
    SerialStop stop{&should_stop, Clock::now() + poll_interval};
    SerialStop* const outer = serial_stop;
    serial_stop = &stop;
    try {
        work();
    } catch (...) {
        serial_stop = outer;
        throw;
    }
    serial_stop = outer;
    if (stop.stopped) throw Interrupted();
}

}  // namespace

std::size_t thread_count() {
    const Entry entry;
    return entry.pool() != nullptr ? entry.pool()->threads : 1;
}

void for_each_index(std::size_t n, const std::function<void(std::size_t)>& body) {
    if (n == 0) return;
    if (inside_pool > 0) return parallel_indices(n, body);
    if (serial_stop != nullptr) return for_each_serially(n, body);
    const Entry entry;
    if (entry.pool() == nullptr) return for_each_serially(n, body);
    // Failures are carried past oneTBB's own frames rather than thrown
    // through them: a build on another C++ runtime than the library's (libc++
    // beside a libstdc++ oneTBB) cannot capture the other's exceptions.
    std::exception_ptr failure;
    entry.pool()->arena->execute([&] {
        const InsidePool inside;
        try {
            parallel_indices(n, body);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    if (failure) std::rethrow_exception(failure);
}

void run_interruptible(const std::function<void()>& work, const std::function<bool()>& should_stop) {
    if (inside_pool > 0 || serial_stop != nullptr) return work();
    const Entry entry;
    if (entry.pool() == nullptr) return run_serially(work, should_stop);

    // Everything the run spawns binds to this context, so cancelling it skips
    // the run's pending bodies at every nesting depth and no other run's.
    tbb::task_group_context context(tbb::task_group_context::isolated);
    std::mutex mutex;
    std::condition_variable drained;
    bool done = false;
    std::exception_ptr failure;
    // The caller only waits, so the arena's workers run the root as well.
    entry.pool()->arena->enqueue([&] {
        try {
            const InsidePool inside;
            tbb::parallel_for(
                tbb::blocked_range<int>(0, 1),
                [&](const tbb::blocked_range<int>&) {
                    const InsidePool inside_root;  // the root may run on a thief
                    try {
                        work();
                    } catch (...) {  // kept out of oneTBB's frames, as in for_each_index
                        failure = std::current_exception();
                    }
                },
                tbb::simple_partitioner(), context);
        } catch (...) {
            failure = std::current_exception();
        }
        // Notified under the lock: the waiting caller owns these objects and
        // may return as soon as it sees `done`.
        const std::lock_guard lock(mutex);
        done = true;
        drained.notify_one();
    });

    bool stopped = false;
    std::exception_ptr poll_failure;
    std::unique_lock lock(mutex);
    while (!drained.wait_for(lock, poll_interval, [&] { return done; })) {
        if (stopped) continue;
        lock.unlock();
        try {
            stopped = should_stop();
        } catch (...) {
            poll_failure = std::current_exception();
            stopped = true;
        }
        if (stopped) context.cancel_group_execution();
        lock.lock();
    }
    lock.unlock();

    if (poll_failure) std::rethrow_exception(poll_failure);
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const Interrupted&) {
            if (!stopped) throw;
        }
    }
    if (stopped) throw Interrupted();
}

bool stop_requested() {
    if (inside_pool > 0) return tbb::is_current_task_group_canceling();
    check_serial_stop();
    return false;
}

}  // namespace quorlex::parallel
