// The worker pool with one thread, its tightest case: a caller that only waits
// must still see its work done, nested runs must not deadlock, and the pool must
// not limit other users of the threading library.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include <tbb/global_control.h>
#include <tbb/task_arena.h>
#include <tbb/info.h>

#include "parallel/pool.hpp"
#include "test_support.hpp"

using quorlex::parallel::for_each_index;
using quorlex::parallel::Interrupted;
using quorlex::parallel::run_interruptible;
using namespace std::chrono_literals;

namespace {

// Before any test touches the pool.
const bool one_thread = setenv("RAYON_NUM_THREADS", "1", 1) == 0;

const std::function<bool()> never = [] { return false; };

// Sums 0 .. n-1 through nested parallel loops.
long nested_sum(std::size_t outer, std::size_t inner) {
    std::vector<long> partial(outer, 0);
    for_each_index(outer, [&](std::size_t i) {
        std::vector<long> cell(inner, 0);
        for_each_index(inner, [&](std::size_t j) { cell[j] = static_cast<long>(i * inner + j); });
        for (long v : cell) partial[i] += v;
    });
    long total = 0;
    for (long v : partial) total += v;
    return total;
}

}  // namespace

TEST(pool_test, runs_complete_with_one_thread) {
    ASSERT_TRUE(one_thread);
    EXPECT_EQ(quorlex::parallel::thread_count(), 1u);
    EXPECT_EQ(nested_sum(20, 50), 999L * 1000 / 2);
    long total = 0;
    run_interruptible([&] { total = nested_sum(20, 50); }, never);
    EXPECT_EQ(total, 999L * 1000 / 2);
    // A run started from inside pool work joins the enclosing run.
    std::vector<long> inner(4, 0);
    run_interruptible([&] {
        for_each_index(4, [&](std::size_t i) { run_interruptible([&] { inner[i] = nested_sum(3, 4); }, never); });
    }, never);
    EXPECT_EQ(inner, std::vector<long>(4, 66));
}

TEST(pool_test, failures_reach_the_caller) {
    EXPECT_THROW_MSG(run_interruptible([] { for_each_index(8, [](std::size_t i) {
                                                if (i == 5) quorlex::fail("five");
                                            }); },
                                       never),
                     "five");
    EXPECT_THROW_MSG(for_each_index(3, [](std::size_t) { quorlex::fail("any"); }), "any");
    EXPECT_EQ(nested_sum(4, 4), 120);
}

TEST(pool_test, stop_skips_pending_work_and_leaves_the_pool_usable) {
    // 20 s of work on the one thread, stopped at the third poll: the bounds
    // below hold however slowly a loaded machine runs the polls.
    std::atomic<int> started{0};
    const auto begin = std::chrono::steady_clock::now();
    int polls = 0;
    EXPECT_THROW(run_interruptible(
                     [&] {
                         for_each_index(2000, [&](std::size_t) {
                             for_each_index(2, [&](std::size_t) {
                                 ++started;
                                 std::this_thread::sleep_for(5ms);
                             });
                         });
                     },
                     [&] { return ++polls == 3; }),
                 Interrupted);
    const auto elapsed = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(polls, 3);
    EXPECT_LT(started.load(), 2000);
    EXPECT_LT(elapsed, 10s);
    EXPECT_EQ(nested_sum(20, 50), 999L * 1000 / 2);
    // A stop request that comes after the work finished still reports the stop.
    EXPECT_THROW(run_interruptible([] { std::this_thread::sleep_for(60ms); }, [] { return true; }), Interrupted);
}

TEST(pool_test, other_library_users_keep_their_concurrency) {
    nested_sum(4, 4);
    EXPECT_GE(tbb::global_control::active_value(tbb::global_control::max_allowed_parallelism),
              static_cast<std::size_t>(tbb::info::default_concurrency()));
}

// Forks and expects the child to compute a parallel sum within 20 s.
void expect_working_child() {
    const pid_t child = fork();
    if (child == 0) {
        alarm(20);  // a hang kills the child and fails the test
        long total = 0;
        try {
            run_interruptible([&] { total = nested_sum(10, 10); }, never);
        } catch (...) {
            _exit(2);
        }
        _exit(total == 4950 ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
}

TEST(pool_test, fork_during_an_active_run_leaves_a_working_child) {
    // The run's tasks wait until the child is done, so the fork always meets an active run.
    std::atomic<bool> running{false};
    std::atomic<bool> released{false};
    std::thread runner([&] {
        run_interruptible([&] {
            for_each_index(4, [&](std::size_t) {
                running = true;
                while (!released) std::this_thread::sleep_for(1ms);
            });
        }, never);
    });
    while (!running) std::this_thread::yield();
    expect_working_child();
    released = true;
    runner.join();
    EXPECT_EQ(nested_sum(20, 50), 999L * 1000 / 2);
}

TEST(pool_test, fork_after_a_failed_finalize_leaves_a_working_child) {
    // Another holder of the library keeps its workers alive through the fork.
    tbb::task_scheduler_handle other{tbb::attach{}};
    EXPECT_EQ(nested_sum(20, 50), 999L * 1000 / 2);
    expect_working_child();
    EXPECT_EQ(nested_sum(20, 50), 999L * 1000 / 2);
    expect_working_child();
}
