#include "hctsa/distribution/dn_skewness.hpp"

#include "helpers/moments.hpp"
#include "helpers/order_statistics.hpp"

namespace quorlex::hctsa {

namespace {

double pearson(Series y, double median) { return (3.0 * common::mean(y) - median) / common::std_dev(y); }

double bowley(double q1, double q2, double q3) { return (q1 + q3 - (q2 + q2)) / (q3 - q1); }

}  // namespace

double skewness_pearson(Series y) { return pearson(y, common::median(y)); }

double skewness_bowley(Series y) {
    return bowley(common::quantile(y, 0.25), common::quantile(y, 0.5), common::quantile(y, 0.75));
}

double skewness_pearson(Series y, Series sorted) { return pearson(y, common::median(y, sorted)); }

double skewness_bowley(Series y, Series sorted) {
    return bowley(common::quantile(y, sorted, 0.25), common::quantile(y, sorted, 0.5), common::quantile(y, sorted, 0.75));
}

}  // namespace quorlex::hctsa
