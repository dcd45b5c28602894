#include "hctsa/distribution/dn_highlowmu.hpp"

#include "helpers/moments.hpp"

namespace quorlex::hctsa {

double high_low_mu(Series y) {
    const double mu = common::mean(y);
    double hi = 0.0, lo = 0.0;
    std::size_t n_hi = 0, n_lo = 0;
    for (double v : y) {
        if (v > mu) {
            hi += v;
            ++n_hi;
        } else if (v < mu) {
            lo += v;
            ++n_lo;
        }
    }
    // 0/0 gives NaN for an empty group.
    const double mean_hi = hi / static_cast<double>(n_hi);
    const double mean_lo = lo / static_cast<double>(n_lo);
    return (mean_hi - mu) / (mu - mean_lo);
}

}  // namespace quorlex::hctsa
