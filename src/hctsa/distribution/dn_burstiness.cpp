#include "hctsa/distribution/dn_burstiness.hpp"

#include <cmath>

#include "helpers/moments.hpp"

namespace quorlex::hctsa {

namespace {
double ratio(Series y) { return common::std_dev(y) / common::mean(y); }
}  // namespace

double burstiness_goh(Series y) {
    const double r = ratio(y);
    return (r - 1.0) / (r + 1.0);
}

double burstiness_kim(Series y) {
    const double r = ratio(y);
    // In doubles, so that an empty series gives sqrt(-1) = NaN, not a wrap.
    const auto n = static_cast<double>(y.size());
    const double a = std::sqrt(n + 1.0);
    const double b = std::sqrt(n - 1.0);
    return (a * r - b) / (b + (a - 2.0) * r);
}

}  // namespace quorlex::hctsa
