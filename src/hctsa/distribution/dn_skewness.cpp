#include "hctsa/distribution/dn_skewness.hpp"

namespace quorlex::hctsa {

double skewness_pearson(Series y) {
    return (3.0 * common::mean(y) - common::median(y)) / common::std_dev(y);
}

double skewness_bowley(Series y) {
    const double q1 = common::quantile(y, 0.25);
    const double q2 = common::quantile(y, 0.5);
    const double q3 = common::quantile(y, 0.75);
    return (q1 + q3 - (q2 + q2)) / (q3 - q1);
}

}  // namespace quorlex::hctsa
