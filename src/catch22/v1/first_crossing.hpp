// The first crossing of a threshold by an autocorrelation, between lags.
#pragma once

#include <cmath>
#include <cstddef>

#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// The first crossing below `threshold` of the autocorrelation `ac` (lags
// 0 .. n-1 readable), interpolated linearly between the lags either side;
// n - 1 when it never crosses, NaN when the autocorrelation is undefined.
template <class Lags>
double first_crossing(Lags& ac, std::size_t n, double threshold) {
    if (n < 2 || !std::isfinite(ac[0])) return common::nan;
    for (std::size_t k = 1; k < n; ++k) {
        const double now = ac[k];
        if (now < threshold) {
            const double before = ac[k - 1];
            return static_cast<double>(k - 1) + (before - threshold) / (before - now);
        }
    }
    return static_cast<double>(n - 1);
}

}  // namespace quorlex::catch22::v1
