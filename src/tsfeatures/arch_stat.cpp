#include "tsfeatures/arch_stat.hpp"

#include <cmath>
#include <limits>
#include <vector>

#include "tsfeatures/ols.hpp"

namespace quorlex::tsfeatures {

double arch_stat(Series y, std::uint64_t lags, bool demean) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const std::size_t n = y.size();
    // n <= lags + 1, written so that the largest lags cannot overflow.
    if (n == 0 || n - 1 <= lags) return nan;

    const double m = demean ? common::mean(y) : 0.0;
    if (std::isnan(m)) return nan;
    std::vector<double> s(n);
    for (std::size_t t = 0; t < n; ++t) {
        const double x = demean ? y[t] - m : y[t];
        s[t] = x * x;
    }

    // Row t (t = lags .. n-1) regresses s_t on 1, s_(t-1), ..., s_(t-lags);
    // regressor j of row t is 1 for j = 0, else s[t - j].
    const std::size_t k = lags + 1;
    const std::size_t first = lags;
    const auto regressor = [&](std::size_t j, std::size_t t) { return j == 0 ? 1.0 : s[t - j]; };
    std::vector<double> xtx(k * k, 0.0);
    std::vector<double> xty(k, 0.0);
    for (std::size_t i = 0; i < k; ++i) {
        for (std::size_t j = i; j < k; ++j) {
            double sum = 0.0;
            for (std::size_t t = first; t < n; ++t) sum += regressor(i, t) * regressor(j, t);
            xtx[i * k + j] = sum;
            xtx[j * k + i] = sum;
        }
        double sum = 0.0;
        for (std::size_t t = first; t < n; ++t) sum += regressor(i, t) * s[t];
        xty[i] = sum;
    }
    const auto solved = solve_normal_equations(xtx, xty);
    const auto* b = std::get_if<std::vector<double>>(&solved);
    if (b == nullptr) return nan;

    const std::size_t rows = n - first;
    double total = 0.0;
    for (std::size_t t = first; t < n; ++t) total += s[t];
    const double ybar = total / static_cast<double>(rows);
    double sst = 0.0;
    double ssr = 0.0;
    for (std::size_t t = first; t < n; ++t) {
        double fitted = 0.0;
        for (std::size_t j = 0; j < k; ++j) fitted += regressor(j, t) * (*b)[j];
        sst += (s[t] - ybar) * (s[t] - ybar);
        ssr += (s[t] - fitted) * (s[t] - fitted);
    }
    if (sst == 0.0) return ssr == 0.0 ? 1.0 : 0.0;
    if (sst < 1e-10) return ssr < 1e-10 ? 1.0 : 0.0;
    return 1.0 - ssr / sst;
}

}  // namespace quorlex::tsfeatures
