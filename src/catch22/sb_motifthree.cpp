#include "catch22/sb_motifthree.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "catch22/sb_coarsegrain.hpp"
#include "helpers/moments.hpp"

namespace quorlex::catch22 {

double sb_motifthree_quantile_hh(Series series, bool normalize, Shared* shared) {
    const std::size_t n = series.size();
    if (!series_finite(series, shared) || n < 2) return common::nan;
    const common::Prepared y = prepare(series, normalize, shared);
    std::vector<std::uint64_t> labels(n, 0);
    sb_coarsegrain(y.view(), labels);

    // Every position but the last starts a word; unlabelled positions start
    // or end none.
    std::array<std::array<std::uint64_t, 3>, 3> count{};
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const std::uint64_t a = labels[i];
        const std::uint64_t b = labels[i + 1];
        if (a >= 1 && a <= 3 && b >= 1 && b <= 3) ++count[a - 1][b - 1];
    }

    const double words = static_cast<double>(n) - 1.0;
    double total = 0.0;
    for (const auto& row : count) {
        double h = -0.0;
        for (const std::uint64_t c : row) {
            const double q = static_cast<double>(c) / words;
            if (q > 0) h += q * std::log(q);
        }
        total += -h;
    }
    return total;
}

}  // namespace quorlex::catch22
