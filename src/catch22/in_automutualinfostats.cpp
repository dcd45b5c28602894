#include "catch22/in_automutualinfostats.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "helpers/lag_correlation.hpp"
#include "helpers/moments.hpp"

namespace quorlex::catch22 {

double in_automutualinfostats_fmmi(Series series, bool normalize, Shared* shared) {
    const std::size_t n = series.size();
    if (!series_finite(series, shared) || n < 2) return common::nan;
    const common::Prepared y = prepare(series, normalize, shared);

    constexpr std::size_t max_lag = 40;
    const auto tau = std::min(static_cast<std::size_t>(std::ceil(static_cast<double>(n) * 0.5)), max_lag);
    // ami[i] is the information at lag i + 1. The scan stops at the first
    // local minimum, and deciding on position i needs ami[0 .. i+1] only, so
    // the lags are computed in blocks as the scan reaches them.
    constexpr std::size_t block = 8;
    const common::LagCorrelations correlations(y.view());
    std::array<double, max_lag> ami{};
    std::size_t ready = 0;
    for (std::size_t i = 1; i + 1 < tau; ++i) {
        if (i + 1 >= ready) {
            const std::size_t upto = std::min(tau, ready + block);
            correlations.compute(ready + 1, std::span(ami).subspan(ready, upto - ready));
            for (std::size_t k = ready; k < upto; ++k) ami[k] = std::log(1.0 - ami[k] * ami[k]) * -0.5;
            ready = upto;
        }
        if (ami[i] < ami[i - 1] && ami[i] < ami[i + 1]) return static_cast<double>(i);
    }
    return static_cast<double>(tau);
}

}  // namespace quorlex::catch22
