#include "catch22/sb_binarystats.hpp"

#include <algorithm>

#include "helpers/moments.hpp"

namespace quorlex::catch22 {

namespace {

// Longest distance between successive breaks in the binary sequence bit(0 ..
// length-1), where a break is a value equal to `breaker` or the last position.
// Measured between break positions, so a sequence without breaks gives
// length - 1.
template <class Bit>
double longest_run(std::size_t length, bool breaker, Bit bit) {
    // Masks rather than branches, which would mispredict on the values.
    std::size_t best = 0;
    std::size_t last_break = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const auto is_break = static_cast<std::size_t>((bit(i) == breaker) | (i + 1 == length));
        const std::size_t mask = 0 - is_break;  // all ones at a break
        best = std::max(best, (i - last_break) & mask);
        last_break = (i & mask) | (last_break & ~mask);
    }
    return static_cast<double>(best);
}

}  // namespace

double sb_binarystats_mean_longstretch1(Series series, bool normalize, Shared* shared) {
    const std::size_t n = series.size();
    if (!series_finite(series, shared) || n < 2) return common::nan;
    const common::Prepared y = prepare(series, normalize, shared);
    const double mu = prepared_mean(y, shared);
    // Written as a negated comparison so that NaN (a z-scored constant) counts
    // as above the mean.
    return longest_run(n - 1, false, [&](std::size_t i) { return !(y[i] - mu <= 0.0); });
}

double sb_binarystats_diff_longstretch0(Series series, bool normalize, Shared* shared) {
    const std::size_t n = series.size();
    if (!series_finite(series, shared) || n < 2) return common::nan;
    const common::Prepared y = prepare(series, normalize, shared);
    return longest_run(n - 1, true, [&](std::size_t i) { return !(y[i + 1] < y[i]); });
}

}  // namespace quorlex::catch22
