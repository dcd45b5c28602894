#include "helpers/nonlinear_autocorr.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace quorlex::common {

double nonlinear_autocorr(Series y, std::span<const std::size_t> lags, bool absolute) {
    const std::size_t tmax = *std::max_element(lags.begin(), lags.end());
    const std::size_t m = y.size() - tmax;
    // The products of a block of t at a time, one lag after another: each
    // product still takes its factors in the order of `lags`, and the sum
    // adds them in the order of t, so the block size changes no bit.
    constexpr std::size_t block = 256;
    std::array<double, block> p;
    double s = 0.0;
    for (std::size_t start = 0; start < m; start += block) {
        const std::size_t len = std::min(block, m - start);
        const double* at_t = y.data() + tmax + start;
        for (std::size_t i = 0; i < len; ++i) p[i] = at_t[i];
        for (const std::size_t lag : lags) {
            const double* lagged = at_t - lag;
            for (std::size_t i = 0; i < len; ++i) p[i] = p[i] * lagged[i];
        }
        for (std::size_t i = 0; i < len; ++i) s += absolute ? std::fabs(p[i]) : p[i];
    }
    return s / static_cast<double>(m);
}

}  // namespace quorlex::common
