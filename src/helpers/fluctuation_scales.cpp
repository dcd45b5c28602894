#include "helpers/fluctuation_scales.hpp"

#include <cmath>

#include "helpers/saturating_cast.hpp"

namespace quorlex::common {

namespace {

constexpr std::size_t scale_count = 50;
constexpr double log_min_scale = 1.6094379124341003;  // ln 5

}  // namespace

std::vector<std::uint64_t> fluctuation_scales(std::size_t n) {
    const double lo = log_min_scale;
    const double step = (std::log(static_cast<double>(n / 2)) - lo) / 49.0;
    std::vector<std::uint64_t> tau;
    tau.reserve(scale_count);
    for (std::size_t i = 0; i < scale_count; ++i) {
        const std::uint64_t s = saturating_cast(std::round(std::exp(step * static_cast<double>(i) + lo)));
        if (tau.empty() || tau.back() != s) tau.push_back(s);
    }
    return tau;
}

}  // namespace quorlex::common
