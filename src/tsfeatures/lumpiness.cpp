#include "tsfeatures/lumpiness.hpp"

#include <cmath>
#include <vector>

#include "helpers/moments.hpp"

namespace quorlex::tsfeatures {

double lumpiness(Series y, std::optional<std::uint64_t> freq) {
    const std::size_t n = y.size();
    if (n == 0) return common::nan;
    const std::uint64_t w = (!freq || *freq == 1) ? 10 : *freq;
    // Zero-width blocks hold no values and have no variance: none is kept.
    // (n < 2w, written so that a huge width cannot overflow.)
    if (w == 0 || w > n / 2) return 0.0;

    std::vector<double> variances;
    variances.reserve(n / w);
    for (std::size_t s = 0; w <= n - s; s += w) {
        const double v = common::nan_variance(y.subspan(s, w));
        if (!std::isnan(v)) variances.push_back(v);
    }
    if (variances.size() < 2) return 0.0;
    return common::nan_variance(variances);
}

}  // namespace quorlex::tsfeatures
