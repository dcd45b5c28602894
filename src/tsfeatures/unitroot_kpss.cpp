#include "tsfeatures/unitroot_kpss.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "helpers/moments.hpp"
#include "helpers/vectors.hpp"

namespace quorlex::tsfeatures {

std::size_t short_lag(std::size_t n) {
    return static_cast<std::size_t>(4.0 * std::pow(static_cast<double>(n) / 100.0, 0.25));
}

double unitroot_kpss(Series y) {
    const std::size_t n = y.size();
    if (n == 0) return common::nan;  // "Input array is empty"

    const double m = common::mean(y);
    std::vector<double> e(n);
    for (std::size_t t = 0; t < n; ++t) e[t] = y[t] - m;
    const std::size_t l = std::min(n - 1, short_lag(n));

    // Partial sums of the residuals; all NaN when any residual is NaN.
    const std::vector<double> partial = common::cumsum(e);
    double eta = 0.0;
    for (double s : partial) eta += s * s;

    double v = 0.0;
    for (double x : e) v += x * x;
    const double bandwidth = static_cast<double>(l + 1);
    for (std::size_t k = 1; k <= l; ++k) {
        double g = 0.0;
        for (std::size_t t = 0; t + k < n; ++t) g += e[t + k] * e[t];
        v += (1.0 - static_cast<double>(k) / bandwidth) * (2.0 * g);
    }
    const double nd = static_cast<double>(n);
    const double s2 = v / nd;
    // "Variance estimate is non-positive" / "Invalid variance estimate"
    if (s2 <= 0.0 || !std::isfinite(s2)) return common::nan;
    return (eta / (nd * nd)) / s2;
}

}  // namespace quorlex::tsfeatures
