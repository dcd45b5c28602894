#include "hctsa/distribution/dn_pleft.hpp"

#include <cmath>
#include <vector>

#include "hctsa/helpers/population_std.hpp"
#include "helpers/moments.hpp"
#include "helpers/order_statistics.hpp"

namespace quorlex::hctsa {

double dn_pleft(Series y, double th) {
    const double mu = common::mean(y);
    std::vector<double> d(y.size());
    for (std::size_t i = 0; i < y.size(); ++i) d[i] = std::fabs(y[i] - mu);
    const double q = common::quantile(d, 1.0 - th);
    return q / population_std(y, mu);
}

}  // namespace quorlex::hctsa
