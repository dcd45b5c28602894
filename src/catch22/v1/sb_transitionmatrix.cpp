#include "catch22/v1/sb_transitionmatrix.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "catch22/co_auto_corr.hpp"
#include "catch22/sb_coarsegrain.hpp"
#include "catch22/v1/resample.hpp"
#include "helpers/moments.hpp"

namespace quorlex::catch22::v1 {

double sb_transitionmatrix_quantile_3_ac_sumdiagcov(Series z, Shared* shared) {
    const std::size_t n = z.size();
    // A z-score that is constant after all (every value 0: a series whose
    // spread overflows) has no transitions to estimate.
    if (std::all_of(z.begin(), z.end(), [&](double v) { return v == z[0]; })) return common::nan;
    // The first lag with a negative autocorrelation (n - 1 when none is),
    // capped at n / 50: only the lags up to the cap are read.
    const std::size_t cap = n / 50;
    std::size_t tau = cap;
    if (cap > 0) {
        const common::Prepared y = common::Prepared::borrowed(z);
        PreparedAutocorrs ac(y, shared);
        for (std::size_t k = 1; k <= cap && k < n; ++k) {
            if (ac[k] < 0) {
                tau = k;
                break;
            }
        }
    }
    std::vector<double> down;
    Series x = z;
    if (tau > 1) {
        down = resample_down(z, tau);
        x = down;
    }
    const std::size_t m = x.size();
    if (m < 2) return common::nan;
    std::vector<std::uint64_t> labels(m, 0);
    sb_coarsegrain(x, labels);
    std::array<std::array<double, 3>, 3> t{};
    for (std::size_t j = 0; j + 1 < m; ++j) t[labels[j] - 1][labels[j + 1] - 1] += 1;
    for (auto& row : t) {
        for (double& v : row) v /= static_cast<double>(m - 1);
    }
    // The trace of the covariance between the columns of T: the sum of the
    // columns' sample variances.
    double total = 0;
    for (std::size_t j = 0; j < 3; ++j) {
        const double mean = (((0.0 + t[0][j]) + t[1][j]) + t[2][j]) / 3;
        double c = 0;
        for (std::size_t i = 0; i < 3; ++i) c += (t[i][j] - mean) * (t[i][j] - mean);
        total += c / 2;
    }
    return total;
}

}  // namespace quorlex::catch22::v1
