#include "parallel/pool.hpp"

#include <pthread.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <tbb/global_control.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

namespace quorlex::parallel {

namespace {

// A positive decimal integer, or 0 when the variable is unset or anything else.
std::size_t positive_count(const char* variable) {
    const char* text = std::getenv(variable);
    if (text == nullptr || *text == '\0') return 0;
    std::size_t value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return 0;
        if (value > (std::size_t{1} << 32)) return 0;
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
    // Lets the arena have more threads than the machine has cores.
    tbb::global_control limit{tbb::global_control::max_allowed_parallelism, threads};
    tbb::task_arena arena{static_cast<int>(threads)};
};

std::mutex pool_mutex;
std::unique_ptr<Pool> pool;

Pool& the_pool() {
    std::lock_guard lock(pool_mutex);
    if (!pool) pool = std::make_unique<Pool>();
    return *pool;
}

}  // namespace

std::size_t thread_count() { return the_pool().threads; }

void for_each_index(std::size_t n, const std::function<void(std::size_t)>& body) {
    if (n == 0) return;
    auto& p = the_pool();
    p.arena.execute([&] {
        tbb::parallel_for(std::size_t{0}, n, [&](std::size_t i) { body(i); });
    });
}

}  // namespace quorlex::parallel
