#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::tsfeatures {

inline constexpr std::string_view pacf_too_many_lags_message = "nlags must be less than half the sample size";

// Partial autocorrelations 0 .. nlags (Durbin-Levinson on the biased
// autocovariances), or the error text when nlags exceeds n / 2.
std::variant<std::vector<double>, std::string_view> pacf(Series x, std::size_t nlags);

struct PacfFeatures {
    double x_pacf5;
    double diff1x_pacf5;
    double diff2x_pacf5;
    // Present only for a seasonal period of at least 2 (and a usable series).
    std::optional<double> seas_pacf;
};

// Sums of the first five squared partial autocorrelations of the series and
// of its first and second differences, and the partial autocorrelation at the
// seasonal lag. An absent freq means 1.
PacfFeatures pacf_features(Series y, std::optional<std::uint64_t> freq);

}  // namespace quorlex::tsfeatures
