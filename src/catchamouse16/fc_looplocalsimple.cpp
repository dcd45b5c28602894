#include "catchamouse16/fc_looplocalsimple.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace quorlex::catchamouse16 {

namespace {
constexpr std::size_t max_train = 10;
}  // namespace

double fc_looplocalsimple_mean_stderr_chn(Series y, bool normalize) {
    if (common::has_nan(y)) return common::nan;
    const common::Prepared x(y, normalize);
    const std::size_t n = x.size();

    std::array<double, max_train> spread{};
    std::vector<double> residuals;
    residuals.reserve(n);
    double lo = std::numeric_limits<double>::max();
    double hi = -std::numeric_limits<double>::max();
    for (std::size_t train = 1; train <= max_train; ++train) {
        double s = common::nan;
        if (n > train) {
            const std::size_t m = n - train;
            // Every forecast sums its own window in index order from zero (no
            // running sum across windows); adding one offset at a time to all
            // windows keeps that order per window.
            residuals.assign(m, 0.0);
            for (std::size_t t = 0; t < train; ++t) {
                for (std::size_t j = 0; j < m; ++j) residuals[j] += x[j + t];
            }
            for (std::size_t j = 0; j < m; ++j) {
                residuals[j] = residuals[j] / static_cast<double>(train) - x[j + train];
            }
            s = common::std_dev(residuals);
            if (!std::isnan(s)) {
                lo = std::min(lo, s);
                hi = std::max(hi, s);
            }
        }
        spread[train - 1] = s;
    }
    const double change = common::mean(common::diff(spread));
    return change / (hi - lo);
}

}  // namespace quorlex::catchamouse16
