#include "tsfeatures/hurst.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "parallel/pool.hpp"

namespace quorlex::tsfeatures {

namespace {

struct Range {
    double lo;
    double hi;
};

// Minimum and maximum of d_j = C_j - a (j + 1) over j < t, starting at d_0
// and replacing on strictly smaller or larger values. A NaN d_0 sticks and
// later NaNs are passed over.
Range ordered_range(const double* c, std::size_t t, double a) {
    double lo = c[0] - a * 1.0;
    double hi = lo;
    for (std::size_t j = 1; j < t; ++j) {
        const double d = c[j] - a * static_cast<double>(j + 1);
        if (d < lo) lo = d;
        if (d > hi) hi = d;
    }
    return {lo, hi};
}

// The same range when every C_j is finite: then no d_j is NaN (a NaN needs
// inf - inf), the extremes do not depend on the scan order, and four
// independent lanes run without waiting on each other. Only the sign of a
// zero extreme could differ, and it cannot change R or the sign test on it.
// j + 1 is carried as an exact double counter.
Range finite_range(const double* c, std::size_t t, double a) {
    double lo[4];
    double hi[4];
    for (int k = 0; k < 4; ++k) lo[k] = hi[k] = c[0] - a * 1.0;
    double x = 1.0;
    std::size_t j = 0;
    for (; j + 4 <= t; j += 4, x += 4.0) {
        const double d0 = c[j] - a * x;
        const double d1 = c[j + 1] - a * (x + 1.0);
        const double d2 = c[j + 2] - a * (x + 2.0);
        const double d3 = c[j + 3] - a * (x + 3.0);
        lo[0] = d0 < lo[0] ? d0 : lo[0];
        lo[1] = d1 < lo[1] ? d1 : lo[1];
        lo[2] = d2 < lo[2] ? d2 : lo[2];
        lo[3] = d3 < lo[3] ? d3 : lo[3];
        hi[0] = d0 > hi[0] ? d0 : hi[0];
        hi[1] = d1 > hi[1] ? d1 : hi[1];
        hi[2] = d2 > hi[2] ? d2 : hi[2];
        hi[3] = d3 > hi[3] ? d3 : hi[3];
    }
    for (; j < t; ++j, x += 1.0) {
        const double d = c[j] - a * x;
        lo[0] = d < lo[0] ? d : lo[0];
        hi[0] = d > hi[0] ? d : hi[0];
    }
    Range r{lo[0], hi[0]};
    for (int k = 1; k < 4; ++k) {
        r.lo = lo[k] < r.lo ? lo[k] : r.lo;
        r.hi = hi[k] > r.hi ? hi[k] : r.hi;
    }
    return r;
}

// Prefix lengths 2 .. n cut into blocks of roughly equal total length, few
// enough that short series stay in one block.
std::vector<std::size_t> balanced_blocks(std::size_t n) {
    constexpr double work_per_block = 1 << 20;
    const double total = 0.5 * static_cast<double>(n) * static_cast<double>(n);
    const auto blocks = static_cast<std::size_t>(std::min(64.0, std::max(1.0, total / work_per_block)));
    std::vector<std::size_t> bounds{2};
    for (std::size_t b = 1; b < blocks; ++b) {
        // Work up to length t grows as t^2, so equal shares end at n * sqrt(b / blocks).
        const auto t = static_cast<std::size_t>(static_cast<double>(n) * std::sqrt(static_cast<double>(b) / static_cast<double>(blocks)));
        if (t > bounds.back() && t <= n) bounds.push_back(t);
    }
    bounds.push_back(n + 1);
    return bounds;
}

}  // namespace

double hurst(Series y) {
    const std::size_t n = y.size();
    if (n < 2) return 0.0;
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    if (!common::all_finite(y)) return nan;

    const std::vector<double> c = common::cumsum(y);
    // Running sums of huge values can overflow even though y is finite.
    const bool finite = common::all_finite(c);
    // The running moments are sequential and cheap; the O(t) range of each
    // prefix is independent of the others, so the prefixes are spread over
    // the worker pool in blocks of similar work and gathered in order.
    std::vector<double> rs(n + 1, 0.0);
    std::vector<double> a(n + 1, 0.0);
    std::vector<double> sd(n + 1, 0.0);
    double s = y[0];
    double q = y[0] * y[0];
    for (std::size_t t = 2; t <= n; ++t) {
        const double v = y[t - 1];
        s += v;
        q += v * v;
        const double td = static_cast<double>(t);
        const double mean = s / td;
        const double var = q / td - mean * mean;
        if (var <= 0.0) continue;  // rs stays 0: no point
        a[t] = c[t - 1] / td;
        sd[t] = std::sqrt(var);
    }
    const std::vector<std::size_t> bounds = balanced_blocks(n);
    parallel::for_each_index(bounds.size() - 1, [&](std::size_t b) {
        for (std::size_t t = bounds[b]; t < bounds[b + 1]; ++t) {
            if (sd[t] == 0.0) continue;
            const auto [lo, hi] = finite ? finite_range(c.data(), t, a[t]) : ordered_range(c.data(), t, a[t]);
            rs[t] = (hi - lo) / sd[t];
        }
    });

    std::vector<double> log_t;
    std::vector<double> log_rs;
    log_t.reserve(n - 1);
    log_rs.reserve(n - 1);
    for (std::size_t t = 2; t <= n; ++t) {
        if (rs[t] > 0.0) {
            log_t.push_back(std::log(static_cast<double>(t)));
            log_rs.push_back(std::log(rs[t]));
        }
    }
    if (log_t.empty()) return nan;
    const auto fit = common::linear_fit(log_t, log_rs);
    return fit ? fit->slope : nan;
}

}  // namespace quorlex::tsfeatures
