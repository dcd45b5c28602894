#include "tsfeatures/hurst.hpp"

#include <cmath>
#include <limits>
#include <vector>

namespace quorlex::tsfeatures {

double hurst(Series y) {
    const std::size_t n = y.size();
    if (n < 2) return 0.0;
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    if (!common::all_finite(y)) return nan;

    const std::vector<double> c = common::cumsum(y);
    std::vector<double> log_t;
    std::vector<double> log_rs;
    log_t.reserve(n - 1);
    log_rs.reserve(n - 1);

    double s = y[0];
    double q = y[0] * y[0];
    for (std::size_t t = 2; t <= n; ++t) {
        const double v = y[t - 1];
        s += v;
        q += v * v;
        const double td = static_cast<double>(t);
        const double mean = s / td;
        const double var = q / td - mean * mean;
        if (var <= 0.0) continue;

        // Range of d_j = C_j - a (j + 1); the prefix range is not reusable
        // because a changes with t.
        const double a = c[t - 1] / td;
        double lo = c[0] - a * 1.0;
        double hi = lo;
        for (std::size_t j = 1; j < t; ++j) {
            const double d = c[j] - a * static_cast<double>(j + 1);
            if (d < lo) lo = d;
            if (d > hi) hi = d;
        }
        const double rs = (hi - lo) / std::sqrt(var);
        if (rs > 0.0) {
            log_t.push_back(std::log(td));
            log_rs.push_back(std::log(rs));
        }
    }
    if (log_t.empty()) return nan;
    const auto fit = common::linear_fit(log_t, log_rs);
    return fit ? fit->slope : nan;
}

}  // namespace quorlex::tsfeatures
