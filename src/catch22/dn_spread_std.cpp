#include "catch22/dn_spread_std.hpp"

#include <cmath>

#include "helpers/finite.hpp"
#include "helpers/moments.hpp"

namespace quorlex::catch22 {

double dn_spread_std(Series y) {
    if (common::has_nan(y) || y.size() < 2) return common::nan;
    const double m = common::mean(y);
    if (std::isnan(m)) return common::nan;
    double s = -0.0;
    for (double v : y) s += (v - m) * (v - m);
    return std::sqrt(s / static_cast<double>(y.size() - 1));
}

}  // namespace quorlex::catch22
