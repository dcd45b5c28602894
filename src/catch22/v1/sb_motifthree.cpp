#include "catch22/v1/sb_motifthree.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "catch22/sb_coarsegrain.hpp"

namespace quorlex::catch22::v1 {

double sb_motifthree_quantile_hh(Series z, Shared*) {
    const std::size_t n = z.size();
    std::vector<std::uint64_t> labels(n, 0);
    sb_coarsegrain(z, labels);
    std::array<std::array<std::uint64_t, 3>, 3> pairs{};
    for (std::size_t i = 0; i + 1 < n; ++i) ++pairs[labels[i] - 1][labels[i + 1] - 1];
    const double steps = static_cast<double>(n) - 1.0;
    double hh = 0.0;
    int non_empty = 0;
    for (const auto& row : pairs) {
        double f = 0.0;
        for (const std::uint64_t c : row) {
            const double p = static_cast<double>(c) / steps;
            if (p > 0) {
                f += p * std::log(p);
                ++non_empty;
            }
        }
        hh += -1 * f;
    }
    // Miller-Madow: the degrees of freedom left by the fixed, equiprobable
    // symbol marginals of two-symbol words.
    const int df = non_empty - 1 - 2 * (3 - 1);
    if (df > 0) hh += df / (2.0 * static_cast<double>(n - 1));
    return hh;
}

}  // namespace quorlex::catch22::v1
