#include "catch22/sb_transitionmatrix.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "catch22/co_auto_corr.hpp"
#include "catch22/sb_coarsegrain.hpp"
#include "helpers/moments.hpp"

namespace quorlex::catch22 {

namespace {

// Sample variance of one column of T (the diagonal entry of the column
// covariance matrix), summed from -0.0.
double column_variance(const std::array<std::array<double, 3>, 3>& t, std::size_t k) {
    const std::array<double, 3> c{t[0][k], t[1][k], t[2][k]};
    const double m = common::mean(c);
    double s = -0.0;
    for (double v : c) s += (v - m) * (v - m);
    return s / 2.0;
}

}  // namespace

double sb_transitionmatrix_3ac_sumdiagcov(Series series, bool normalize, Shared* shared) {
    const std::size_t n = series.size();
    if (!series_finite(series, shared) || n == 0) return common::nan;
    if (std::all_of(series.begin(), series.end(), [&](double v) { return v == series[0]; })) return common::nan;
    const common::Prepared y = prepare(series, normalize, shared);

    PreparedAutocorrs ac(y, shared);
    const std::size_t tau = co_firstzero(ac, n);
    // A finite, non-constant series can still lose its autocorrelation to
    // overflow (values near the double limit): there is no lag to sample at.
    if (tau == 0) return common::nan;

    const std::size_t n_down = (n - 1) / tau + 1;
    std::vector<double> y_down(n_down);
    for (std::size_t i = 0; i < n_down; ++i) y_down[i] = y[i * tau];
    std::vector<std::uint64_t> labels(n_down, 0);
    sb_coarsegrain(y_down, labels);

    // Values in no quantile interval (label 0, possible only when rounding
    // swallows the interval's bound at extreme magnitudes) make no transition.
    std::array<std::array<double, 3>, 3> t{};
    for (std::size_t j = 0; j + 1 < n_down; ++j) {
        const std::uint64_t from = labels[j];
        const std::uint64_t to = labels[j + 1];
        if (from >= 1 && from <= 3 && to >= 1 && to <= 3) t[from - 1][to - 1] += 1.0;
    }
    const double transitions = static_cast<double>(n_down - 1);
    for (auto& row : t) {
        for (double& v : row) v /= transitions;
    }

    // Only the diagonal of the column covariance matrix is needed.
    return ((column_variance(t, 0) + 0.0) + column_variance(t, 1)) + column_variance(t, 2);
}

}  // namespace quorlex::catch22
