#include "catchamouse16/sy_driftingmean.hpp"

#include <cmath>
#include <limits>

#include "helpers/finite.hpp"
#include "helpers/moments.hpp"

namespace quorlex::catchamouse16 {

namespace {
constexpr std::size_t segment_length = 50;
}

double sy_driftingmean50_min(Series y, bool normalize) {
    if (common::has_nan(y)) return common::nan;
    const common::Prepared x(y, normalize);
    const std::size_t n = x.size();
    if (n < segment_length) return common::nan;

    // Trailing values after the last whole segment take no part.
    const std::size_t k = n / segment_length;
    double min_mean = std::numeric_limits<double>::infinity();
    double variance_total = 0.0;
    for (std::size_t j = 0; j < k; ++j) {
        const Series segment = x.view().subspan(j * segment_length, segment_length);
        const double m = common::sum(segment) / static_cast<double>(segment_length);
        double squares = 0.0;
        for (double v : segment) squares += (v - m) * (v - m);
        variance_total += squares / static_cast<double>(segment_length - 1);
        if (std::isnan(m) || std::isnan(min_mean)) {
            min_mean = common::nan;
        } else if (m < min_mean) {
            min_mean = m;
        }
    }
    return min_mean / (variance_total / static_cast<double>(k));
}

}  // namespace quorlex::catchamouse16
