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
    // sums[j] is the sum of the `train` values from x[j], added in index
    // order from zero. A window one longer adds one more value to the same
    // chain, so extending the sums each round gives every forecast exactly the
    // additions of summing its window afresh.
    std::vector<double> sums(n, 0.0);
    double lo = std::numeric_limits<double>::max();
    double hi = -std::numeric_limits<double>::max();
    for (std::size_t train = 1; train <= max_train; ++train) {
        double s = common::nan;
        if (n > train) {
            const std::size_t m = n - train;
            residuals.resize(m);
            for (std::size_t j = 0; j < m; ++j) {
                sums[j] += x[j + train - 1];
                residuals[j] = sums[j] / static_cast<double>(train) - x[j + train];
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
