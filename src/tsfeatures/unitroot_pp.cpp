#include "tsfeatures/unitroot_pp.hpp"

#include <cstdint>
#include <vector>

#include "helpers/finite.hpp"
#include "helpers/moments.hpp"
#include "tsfeatures/unitroot_kpss.hpp"

namespace quorlex::tsfeatures {

double unitroot_pp(Series y) {
    const std::size_t n = y.size();
    if (n <= 1) return common::nan;               // "Time series too short"
    if (common::has_nan(y)) return common::nan;   // "Time series contains NaN values"

    const std::size_t m = n - 1;
    const Series x = y.first(m);
    const Series z = y.subspan(1, m);
    const double mx = common::mean(x);
    const double mz = common::mean(z);
    double sxz = 0.0;
    double sxx = 0.0;
    for (std::size_t t = 0; t < m; ++t) {
        sxz += (x[t] - mx) * (z[t] - mz);
        sxx += (x[t] - mx) * (x[t] - mx);
    }
    if (sxx == 0.0) return common::nan;  // "Singular matrix in OLS"

    const double rho = sxz / sxx;
    const double intercept = mz - mx * rho;
    std::vector<double> u(m);
    double ssr = 0.0;
    for (std::size_t t = 0; t < m; ++t) {
        u[t] = z[t] - (intercept + rho * x[t]);
        ssr += u[t] * u[t];
    }
    double szz = 0.0;
    for (std::size_t t = 0; t < m; ++t) szz += (z[t] - mz) * (z[t] - mz);

    const std::size_t l = short_lag(n);
    const double bandwidth = static_cast<double>(l + 1);
    double w = 0.0;
    for (std::size_t k = 1; k <= l && k < m; ++k) {
        double g = 0.0;
        for (std::size_t t = 0; t + k < m; ++t) g += u[t + k] * u[t];
        w += g * (1.0 - static_cast<double>(k) / bandwidth);
    }

    const double md = static_cast<double>(m);
    // s0 is added and taken away again; it matters only through rounding.
    const double s0 = 1.0 / (ssr * md);
    const double sig = s0 + (2.0 / md) * w;
    const double lambda = -0.5 * (sig - s0);
    const auto m2 = static_cast<double>(static_cast<std::uint64_t>(m) * static_cast<std::uint64_t>(m));
    return (rho - 1.0) * md + lambda / ((1.0 / m2) * szz);
}

}  // namespace quorlex::tsfeatures
