#include "hctsa/correlation/co_nonlinearautocorr.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace quorlex::hctsa {

double co_nonlinearautocorr(Series y, std::span<const std::size_t> lags, bool absolute) {
    const std::size_t n = y.size();
    const std::size_t tmax = *std::max_element(lags.begin(), lags.end());
    if (common::has_nan(y) || n <= tmax) return common::nan;
    const std::size_t m = n - tmax;
    std::vector<double> p(y.begin() + static_cast<std::ptrdiff_t>(tmax), y.end());
    for (std::size_t t : lags) {
        for (std::size_t i = 0; i < m; ++i) p[i] = p[i] * y[tmax - t + i];
    }
    double s = 0.0;
    for (double v : p) s += absolute ? std::fabs(v) : v;
    return s / static_cast<double>(m);
}

}  // namespace quorlex::hctsa
