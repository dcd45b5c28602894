#include "catch22/in_automutualinfostats.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace quorlex::catch22 {

double in_automutualinfostats_fmmi(Series series, bool normalize, Shared* shared) {
    const std::size_t n = series.size();
    if (!common::all_finite(series) || n < 2) return common::nan;
    const common::Prepared y = prepare(series, normalize, shared);

    constexpr std::size_t max_lag = 40;
    const auto tau = std::min(static_cast<std::size_t>(std::ceil(static_cast<double>(n) * 0.5)), max_lag);
    std::array<double, max_lag> ami{};
    common::autocorr_lags(y.view(), 1, std::span(ami).first(tau));
    for (std::size_t i = 0; i < tau; ++i) ami[i] = std::log(1.0 - ami[i] * ami[i]) * -0.5;
    for (std::size_t i = 1; i + 1 < tau; ++i) {
        if (ami[i] < ami[i - 1] && ami[i] < ami[i + 1]) return static_cast<double>(i);
    }
    return static_cast<double>(tau);
}

}  // namespace quorlex::catch22
