#include "hctsa/helpers/digamma.hpp"

#include <cmath>

#include "helpers/series.hpp"

namespace quorlex::hctsa {

double digamma(double x) {
    // psi(x) = psi(x + 1) - 1/x moves x to 10 or above, where the asymptotic
    // series ln x - 1/(2x) - sum B_2k / (2k x^2k) with the Bernoulli numbers
    // up to B_14 is accurate to the last place (the next term is below 5e-17).
    double shift = 0.0;
    while (x < 10.0) {
        shift -= 1.0 / x;
        x += 1.0;
    }
    const double f = 1.0 / (x * x);
    const double tail =
        f * (-1.0 / 12.0 +
             f * (1.0 / 120.0 +
                  f * (-1.0 / 252.0 +
                       f * (1.0 / 240.0 + f * (-1.0 / 132.0 + f * (691.0 / 32760.0 + f * (-1.0 / 12.0)))))));
    return shift + (std::log(x) - 0.5 / x + tail);
}

std::vector<double> digamma_table(std::size_t count) {
    std::vector<double> table(count, common::nan);
    for (std::size_t k = 1; k < count; ++k) table[k] = digamma(static_cast<double>(k));
    return table;
}

}  // namespace quorlex::hctsa
