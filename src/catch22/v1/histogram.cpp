#include "catch22/v1/histogram.hpp"

#include <cmath>
#include <utility>

#include "helpers/order_statistics.hpp"

namespace quorlex::catch22::v1 {

namespace {

struct Extremes {
    double lo, hi;
};

// The first smallest and first largest value, scanning in index order.
Extremes extremes(Series y) {
    Extremes e{y[0], y[0]};
    for (std::size_t i = 1; i < y.size(); ++i) {
        if (y[i] < e.lo) e.lo = y[i];
        if (y[i] > e.hi) e.hi = y[i];
    }
    return e;
}

// The interquartile range with MATLAB's percentile convention: the sorted
// values are the 100 (i - 0.5) / n percentiles, interpolated linearly between
// them and held at the extremes beyond them.
double iqr_matlab(Series y) {
    // Only the order statistics read below are selected, not the whole sort.
    const double n = static_cast<double>(y.size());
    std::vector<std::size_t> ranks{0, y.size() - 1};
    for (const double p : {0.25, 0.75}) {
        const double r = n * p - 0.5;
        if (r > 0 && r < n - 1) {
            const auto i = static_cast<std::size_t>(std::floor(r));
            ranks.push_back(i);
            ranks.push_back(i + 1);
        }
    }
    const std::vector<double> s = common::selected_copy(y, std::move(ranks));
    double q[2];
    const double p[2] = {0.25, 0.75};
    for (int k = 0; k < 2; ++k) {
        const double r = n * p[k] - 0.5;
        if (r <= 0) {
            q[k] = s[0];
        } else if (r >= n - 1) {
            q[k] = s[s.size() - 1];
        } else {
            const auto i = static_cast<std::size_t>(std::floor(r));
            const double frac = r - static_cast<double>(i);
            q[k] = frac == 0 ? s[i] : s[i] + frac * (s[i + 1] - s[i]);
        }
    }
    return q[1] - q[0];
}

}  // namespace

Edges hist_edges(Series y, std::size_t bins) {
    const auto [lo, hi] = extremes(y);
    if (hi - lo <= 1e-12 * std::fmax(std::fabs(lo), std::fabs(hi))) return {{lo - 0.5, lo + 0.5}, 1, 1.0};
    const double width = (hi - lo) / static_cast<double>(bins);
    const double tol = 1e-6 * width;
    Edges out{std::vector<double>(bins + 1), bins, 1.0 / width};
    for (std::size_t i = 0; i <= bins; ++i) out.edges[i] = (lo + static_cast<double>(i) * width) - tol;
    out.edges[0] = lo - tol;
    out.edges[bins] = hi + tol;
    return out;
}

std::ptrdiff_t bin_index(double x, const Edges& e) {
    if (x < e.edges[0] || x > e.edges[e.bins]) return -1;
    return static_cast<std::ptrdiff_t>(bin_of(x, e));
}

std::vector<std::uint32_t> hist_counts(Series y, const Edges& e) {
    std::vector<std::uint32_t> counts(e.bins, 0);
    for (const double v : y) ++counts[bin_of(v, e)];
    return counts;
}

std::size_t num_bins_auto(Series y) {
    const auto [lo, hi] = extremes(y);
    const double n = static_cast<double>(y.size());
    const double range = hi - lo;
    const double max_abs = std::fmax(std::fabs(hi), std::fabs(lo));
    const double sturges = std::ceil(std::log2(n) + 1);
    double fd_width = 0;
    const double q = iqr_matlab(y);
    if (range > 0 && q > 1e-12 * max_abs) fd_width = 2 * q * std::pow(n, -1.0 / 3.0);
    // In doubles: a rounding-level range gives a count far beyond any integer
    // type before it is capped at n.
    const double fd = fd_width > 0 ? std::ceil(range / fd_width) : sturges;
    const double bins = std::fmax(1, std::fmin(std::fmax(sturges, fd), n));
    return static_cast<std::size_t>(bins);
}

}  // namespace quorlex::catch22::v1
