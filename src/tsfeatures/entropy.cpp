#include "tsfeatures/entropy.hpp"

#include <fftw3.h>

#include <cmath>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

namespace quorlex::tsfeatures {

namespace {

// FFTW's planner is not thread-safe, while executing a plan on new arrays is.
// Plans are made with FFTW_ESTIMATE (deterministic for a length, and the
// arrays are never touched while planning) and kept in a small cache: a run
// over many series of one length plans once, and a cumulative run over
// thousands of lengths cannot grow the cache without bound. Recursive, so that
// a plan released while the cache holds the lock (a failed insertion) can
// still take it to destroy itself.
std::recursive_mutex planner_mutex;

struct PlanDeleter {
    void operator()(fftw_plan_s* plan) const {
        const std::lock_guard lock(planner_mutex);
        fftw_destroy_plan(plan);
    }
};
using Plan = std::shared_ptr<fftw_plan_s>;

struct ComplexFree {
    void operator()(fftw_complex* p) const { fftw_free(p); }
};
using ComplexBuffer = std::unique_ptr<fftw_complex[], ComplexFree>;

ComplexBuffer complex_buffer(std::size_t n) {
    auto* p = fftw_alloc_complex(n);
    if (p == nullptr) throw std::bad_alloc();
    return ComplexBuffer(p);
}

class PlanCache {
public:
    // Forward, unscaled transform of n points, out of place, for arrays that
    // come from fftw_alloc_complex (plans depend on the arrays' alignment).
    Plan forward(std::size_t n) {
        Plan evicted;  // destroyed after the lock is released
        const std::lock_guard lock(planner_mutex);
        if (const auto found = plans_.find(n); found != plans_.end()) return found->second;
        const auto in = complex_buffer(n);
        const auto out = complex_buffer(n);
        fftw_plan raw = fftw_plan_dft_1d(static_cast<int>(n), in.get(), out.get(), FFTW_FORWARD, FFTW_ESTIMATE);
        if (raw == nullptr) throw std::bad_alloc();
        Plan plan(raw, PlanDeleter{});
        if (order_.size() == capacity) {
            evicted = std::move(plans_.at(order_.front()));
            plans_.erase(order_.front());
            order_.pop_front();
        }
        plans_.emplace(n, plan);
        order_.push_back(n);
        return plan;
    }

private:
    static constexpr std::size_t capacity = 32;
    std::unordered_map<std::size_t, Plan> plans_;
    std::deque<std::size_t> order_;
};

PlanCache& plan_cache() {
    static PlanCache cache;
    return cache;
}

}  // namespace

double entropy(Series y) {
    const std::size_t n = y.size();
    if (!common::all_finite(y) || n < 2) return common::nan;

    const double mu = common::mean(y);
    const auto in = complex_buffer(n);
    const auto out = complex_buffer(n);
    for (std::size_t t = 0; t < n; ++t) {
        in[t][0] = y[t] - mu;
        in[t][1] = 0.0;
    }
    const Plan plan = plan_cache().forward(n);
    fftw_execute_dft(plan.get(), in.get(), out.get());

    const std::size_t half = n / 2;
    const std::size_t m = half + 1;
    const double inv = 1.0 / static_cast<double>(n);
    const auto power = [&](std::size_t k) { return out[k][0] * out[k][0] + out[k][1] * out[k][1]; };
    // The one-sided spectrum counts every frequency but 0 (and Nyquist for
    // even n) twice; reuse the input buffer's real parts to hold it.
    double* spectrum = &in[0][0];
    for (std::size_t k = 0; k < m; ++k) {
        const bool single = k == 0 || (k == half && n % 2 == 0);
        spectrum[2 * k] = single ? inv * power(k) : inv * (2.0 * power(k));
    }

    double total = 0.0;
    for (std::size_t k = 0; k < m; ++k) total += spectrum[2 * k];
    if (!(std::isfinite(total) && total > 0.0)) return common::nan;

    double s = 0.0;
    for (std::size_t k = 0; k < m; ++k) {
        const double p = spectrum[2 * k] / total;
        if (p > 0.0 && p <= 1.0) s += p * std::log2(p);
    }
    const double h = 0.0 - s;
    if (std::isnan(h)) return common::nan;
    double l = std::log2(static_cast<double>(m));
    if (!(l > 0.0)) l = 1.0;
    return h / l;
}

}  // namespace quorlex::tsfeatures
