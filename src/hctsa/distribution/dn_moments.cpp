#include "hctsa/distribution/dn_moments.hpp"

#include <cmath>

#include "helpers/finite.hpp"
#include "helpers/moments.hpp"

namespace quorlex::hctsa {

double dn_moments(Series y, int k) {
    if (common::has_nan(y) || y.size() < 2) return common::nan;
    const auto n = static_cast<double>(y.size());
    const double m = common::sum(y) / n;
    double s = 0.0;
    for (double v : y) s += std::pow(v - m, static_cast<double>(k));
    return (s / n) / common::std_dev(y);
}

}  // namespace quorlex::hctsa
