#include "catch22/sb_coarsegrain.hpp"

#include <array>
#include <limits>
#include <vector>

namespace quorlex::catch22 {

void sb_coarsegrain(Series y, std::span<std::uint64_t> labels) {
    // `quantile` is NaN for a series holding NaN; then no interval matches.
    std::array<double, 4> th;
    th.fill(common::nan);
    if (!common::has_nan(y)) {
        const auto sorted = common::sorted_copy(y);
        const std::array<double, 4> probabilities{0.0, 0.3333333333333333, 0.6666666666666666, 1.0};
        for (std::size_t k = 0; k < 4; ++k) th[k] = common::quantile_sorted(sorted, probabilities[k]);
    }
    th[0] = th[0] - 1.0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        const double v = y[i];
        if (th[0] < v && v <= th[1]) {
            labels[i] = 1;
        } else if (th[1] < v && v <= th[2]) {
            labels[i] = 2;
        } else if (th[2] < v && v <= th[3]) {
            labels[i] = 3;
        }
    }
}

}  // namespace quorlex::catch22
