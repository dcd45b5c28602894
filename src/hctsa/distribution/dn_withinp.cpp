#include "hctsa/distribution/dn_withinp.hpp"

#include <string>

#include "hctsa/helpers/population_std.hpp"
#include "helpers/failure.hpp"
#include "helpers/moments.hpp"
#include "helpers/order_statistics.hpp"

namespace quorlex::hctsa {

namespace {

// The share of values v with mu - p * sigma <= v <= mu + p * sigma.
double within(Series y, double p, double mu, double sigma) {
    const double lo = mu - p * sigma;
    const double hi = mu + p * sigma;
    std::size_t inside = 0;
    for (double v : y) {
        if (lo <= v && v <= hi) ++inside;
    }
    return static_cast<double>(inside) / static_cast<double>(y.size());
}

}  // namespace

double dn_withinp(Series y, double p, std::string_view centre) {
    if (centre == "mean") {
        const double mu = common::sum(y) / static_cast<double>(y.size());
        return within(y, p, mu, population_std(y, mu));
    }
    if (centre == "median") return within(y, p, common::median(y), 1.35 * common::iqr(y));
    fail("Unknown setting: " + std::string(centre));
}

double dn_withinp_median(Series y, Series sorted, double p) {
    return within(y, p, common::median(y, sorted), 1.35 * common::iqr(y, sorted));
}

}  // namespace quorlex::hctsa
