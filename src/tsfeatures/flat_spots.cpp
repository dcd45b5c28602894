#include "tsfeatures/flat_spots.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace quorlex::tsfeatures {

namespace {
constexpr double machine_epsilon = 2.220446049250313e-16;
constexpr int bin_count = 10;
}  // namespace

double flat_spots(Series y) {
    const std::size_t n = y.size();
    if (n == 0) return common::nan;
    if (std::any_of(y.begin(), y.end(), [](double v) { return std::isinf(v); })) return common::nan;
    if (n == 1) return 1.0;

    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    bool any_value = false;
    for (double v : y) {
        if (std::isnan(v)) continue;
        any_value = true;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    if (!any_value) return common::nan;
    if (std::fabs(hi - lo) < machine_epsilon) return static_cast<double>(n);

    const double r = hi - lo;
    std::array<double, bin_count + 1> breaks{};
    for (int k = 0; k <= bin_count; ++k) breaks[k] = lo + (r * k) / 10.0;
    // Only the lowest break is widened, so that the minimum falls in bin 1.
    breaks[0] = breaks[0] + r * (-0.001);

    // Bin of a finite value: the first k >= 1 with v <= b_k (the breaks are
    // non-decreasing); a value beyond b_10 by rounding joins bin 1.
    const auto bin_of = [&](double v) {
        const auto it = std::lower_bound(breaks.begin() + 1, breaks.end(), v);
        return it == breaks.end() ? 1 : static_cast<int>(it - breaks.begin());
    };

    // A NaN ends the current run and never starts one that a neighbour can join.
    constexpr int no_bin = 0;
    std::size_t longest = 0;
    std::size_t run = 0;
    int previous = no_bin;
    for (double v : y) {
        const int bin = std::isnan(v) ? no_bin : bin_of(v);
        run = (bin != no_bin && bin == previous) ? run + 1 : 1;
        longest = std::max(longest, run);
        previous = bin;
    }
    return static_cast<double>(longest);
}

}  // namespace quorlex::tsfeatures
