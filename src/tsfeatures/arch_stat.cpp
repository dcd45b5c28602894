#include "tsfeatures/arch_stat.hpp"

#include <cmath>
#include <variant>
#include <vector>

#include "helpers/moments.hpp"
#include "tsfeatures/ols.hpp"

namespace quorlex::tsfeatures {

double arch_stat(Series y, std::uint64_t lags, bool demean) {
    const std::size_t n = y.size();
    // n <= lags + 1, written so that the largest lags cannot overflow.
    if (n == 0 || n - 1 <= lags) return common::nan;

    const double m = demean ? common::mean(y) : 0.0;
    if (std::isnan(m)) return common::nan;
    std::vector<double> s(n);
    for (std::size_t t = 0; t < n; ++t) {
        const double x = demean ? y[t] - m : y[t];
        s[t] = x * x;
    }

    // Rows t = lags .. n-1 regress s_t on 1, s_(t-1), ..., s_(t-lags): the
    // regressor columns are a column of ones and lagged views of s.
    const std::size_t rows = n - lags;
    const Series target = Series(s).subspan(lags, rows);
    const std::vector<double> ones(rows, 1.0);
    std::vector<Series> columns{ones};
    for (std::size_t j = 1; j <= lags; ++j) columns.push_back(Series(s).subspan(lags - j, rows));
    const auto fit = ols(target, columns);
    const auto* result = std::get_if<OlsResult>(&fit);
    if (result == nullptr) return common::nan;

    double total = 0.0;
    for (double v : target) total += v;
    const double ybar = total / static_cast<double>(rows);
    double sst = 0.0;
    for (double v : target) sst += (v - ybar) * (v - ybar);
    const double ssr = result->ssr;
    if (sst == 0.0) return ssr == 0.0 ? 1.0 : 0.0;
    if (sst < 1e-10) return ssr < 1e-10 ? 1.0 : 0.0;
    return 1.0 - ssr / sst;
}

}  // namespace quorlex::tsfeatures
