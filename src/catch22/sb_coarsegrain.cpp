#include "catch22/sb_coarsegrain.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "helpers/finite.hpp"
#include "helpers/order_statistics.hpp"

namespace quorlex::catch22 {

void sb_coarsegrain(Series y, std::span<std::uint64_t> labels) {
    // `quantile` is NaN for a series holding NaN; then no interval matches.
    std::array<double, 4> th;
    th.fill(common::nan);
    if (!common::has_nan(y)) {
        const std::array<double, 4> probabilities{0.0, 0.3333333333333333, 0.6666666666666666, 1.0};
        // The quantiles read at most the two order statistics around
        // p * n - 0.5 (the first and last for p = 0 and 1), so only those are
        // selected instead of sorting everything. Of equal values only a zero's
        // sign can differ from a full sort, which no threshold test below sees.
        std::vector<std::size_t> positions;
        positions.reserve(2 * probabilities.size() + 1);
        const std::size_t n = y.size();
        for (double p : probabilities) {
            const double pos = p * static_cast<double>(n) - 0.5;
            for (double at : {std::floor(pos), std::ceil(pos)}) {
                positions.push_back(at <= 0.0 ? 0 : std::min(static_cast<std::size_t>(at), n == 0 ? 0 : n - 1));
            }
        }
        positions.push_back(n == 0 ? 0 : n - 1);
        const auto selected = common::selected_copy(y, std::move(positions));
        for (std::size_t k = 0; k < 4; ++k) th[k] = common::quantile_sorted(selected, probabilities[k]);
    }
    th[0] = th[0] - 1.0;
    // The first interval holding the value, chosen by selects rather than
    // branches (which mispredict on the values); a value in none keeps its
    // label.
    // (The bounds as plain values: Clang takes `&` between a comparison and an
    // element access for a mistaken `&&`.)
    const double t0 = th[0], t1 = th[1], t2 = th[2], t3 = th[3];
    for (std::size_t i = 0; i < y.size(); ++i) {
        const double v = y[i];
        const bool first = (t0 < v) & (v <= t1);
        const bool second = (t1 < v) & (v <= t2);
        const bool third = (t2 < v) & (v <= t3);
        std::uint64_t label = labels[i];
        label = third ? 3 : label;
        label = second ? 2 : label;
        labels[i] = first ? 1 : label;
    }
}

}  // namespace quorlex::catch22
