#include "helpers/fftw_plans.hpp"

#include <climits>
#include <deque>
#include <map>
#include <mutex>
#include <new>
#include <utility>

#include "helpers/failure.hpp"

namespace quorlex::fftw {

namespace {

// Recursive, so that a plan released while the cache holds the lock (a failed
// insertion) can still take it to destroy itself.
std::recursive_mutex planner_mutex;

struct PlanDeleter {
    void operator()(fftw_plan_s* p) const {
        const std::lock_guard lock(planner_mutex);
        fftw_destroy_plan(p);
    }
};

// A run over many series of one length plans once, and a cumulative run over
// thousands of lengths cannot grow the cache without bound: the oldest plan is
// dropped first.
class PlanCache {
public:
    Plan get(std::size_t n, Direction direction) {
        const Key key{n, direction};
        Plan evicted;  // destroyed after the lock is released
        const std::lock_guard lock(planner_mutex);
        if (const auto found = plans_.find(key); found != plans_.end()) return found->second;
        if (n > static_cast<std::size_t>(INT_MAX)) fail("FFT length " + std::to_string(n) + " exceeds the planner's limit");
        const auto in = complex_buffer(n);
        const auto out = complex_buffer(n);
        const int sign = direction == Direction::forward ? FFTW_FORWARD : FFTW_BACKWARD;
        fftw_plan raw = fftw_plan_dft_1d(static_cast<int>(n), in.get(), out.get(), sign, FFTW_ESTIMATE);
        if (raw == nullptr) throw std::bad_alloc();
        Plan made(raw, PlanDeleter{});
        if (order_.size() == capacity) {
            evicted = std::move(plans_.at(order_.front()));
            plans_.erase(order_.front());
            order_.pop_front();
        }
        plans_.emplace(key, made);
        order_.push_back(key);
        return made;
    }

private:
    using Key = std::pair<std::size_t, Direction>;
    static constexpr std::size_t capacity = 64;
    std::map<Key, Plan> plans_;
    std::deque<Key> order_;
};

PlanCache& cache() {
    static PlanCache instance;
    return instance;
}

}  // namespace

ComplexBuffer complex_buffer(std::size_t n) {
    auto* p = fftw_alloc_complex(n);
    if (p == nullptr) throw std::bad_alloc();
    return ComplexBuffer(p);
}

Plan plan(std::size_t n, Direction direction) { return cache().get(n, direction); }

}  // namespace quorlex::fftw
