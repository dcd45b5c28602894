#include "catch22/fc_localsimple.hpp"

#include <cmath>
#include <cstddef>
#include <vector>

#include "catch22/co_auto_corr.hpp"
#include "helpers/autocorrelation.hpp"
#include "helpers/finite.hpp"
#include "helpers/moments.hpp"

namespace quorlex::catch22 {

namespace {

// res[i] = y[i+w] minus the mean of the w values before it, that mean being
// the running sum from 0.0 divided by w. Needs y.size() > w.
std::vector<double> residuals(Series y, std::size_t w) {
    std::vector<double> res(y.size() - w);
    if (w == 1) {
        // The one-value mean 0.0 + y[i] needs no division: dividing by 1.0
        // gives back every double as it is.
        for (std::size_t i = 0; i < res.size(); ++i) res[i] = y[i + 1] - (0.0 + y[i]);
        return res;
    }
    const auto width = static_cast<double>(w);
    for (std::size_t i = 0; i < res.size(); ++i) {
        double total = 0.0;
        for (std::size_t j = 0; j < w; ++j) total += y[i + j];
        res[i] = y[i + w] - total / width;
    }
    return res;
}

}  // namespace

double fc_localsimple_tauresrat(Series series, bool normalize, Shared* shared) {
    const std::size_t n = series.size();
    if (!series_finite(series, shared) || n < 2) return common::nan;
    const common::Prepared y = prepare(series, normalize, shared);
    const auto res = residuals(y.view(), 1);
    const std::size_t tau_res = common::co_autocorr_firstzero(res, n - 1);
    PreparedAutocorrs ac(y, shared);
    const std::size_t tau_y = co_firstzero(ac, n);
    // Unguarded: a constant series gives 0/0.
    return static_cast<double>(tau_res) / static_cast<double>(tau_y);
}

double fc_localsimple_stderr(Series series, bool normalize, Shared* shared) {
    constexpr std::size_t window = 3;
    const std::size_t n = series.size();
    if (!series_finite(series, shared) || n < 2) return common::nan;
    const common::Prepared y = prepare(series, normalize, shared);
    if (n <= window) return 0.0;
    const auto res = residuals(y.view(), window);
    const std::size_t m = res.size();
    if (common::has_nan(res) || m < 2) return common::nan;
    const double mu = common::mean(res);
    if (std::isnan(mu)) return common::nan;
    double total = -0.0;
    for (double r : res) total += (r - mu) * (r - mu);
    return std::sqrt(total / static_cast<double>(m - 1));
}

}  // namespace quorlex::catch22
