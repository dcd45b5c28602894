#include "hctsa/distribution/dn_withinp.hpp"

#include <string>

#include "hctsa/helpers/population_std.hpp"
#include "helpers/failure.hpp"

namespace quorlex::hctsa {

double dn_withinp(Series y, double p, std::string_view centre) {
    double mu = 0.0;
    double sigma = 0.0;
    if (centre == "mean") {
        mu = common::sum(y) / static_cast<double>(y.size());
        sigma = population_std(y, mu);
    } else if (centre == "median") {
        mu = common::median(y);
        sigma = 1.35 * common::iqr(y);
    } else {
        fail("Unknown setting: " + std::string(centre));
    }
    return dn_withinp_around(y, p, mu, sigma);
}

double dn_withinp_around(Series y, double p, double mu, double sigma) {
    const double lo = mu - p * sigma;
    const double hi = mu + p * sigma;
    std::size_t inside = 0;
    for (double v : y) {
        if (lo <= v && v <= hi) ++inside;
    }
    return static_cast<double>(inside) / static_cast<double>(y.size());
}

}  // namespace quorlex::hctsa
