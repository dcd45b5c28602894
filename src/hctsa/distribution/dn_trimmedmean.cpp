#include "hctsa/distribution/dn_trimmedmean.hpp"

#include <cmath>
#include <limits>

namespace quorlex::hctsa {

double dn_trimmedmean(Series y, double percent) {
    const std::size_t n = y.size();
    if (n == 0) return common::nan;
    const auto count = static_cast<double>(n);
    if (percent <= 0.0) return common::sum(y) / count;
    if (percent >= 100.0 || common::has_nan(y)) return common::nan;
    const auto s = common::sorted_copy(y);
    const auto k = static_cast<std::size_t>(std::floor(percent / 100.0 * count * 0.5));
    if (n <= 2 * k) return common::nan;
    return common::sum(Series(s).subspan(k, n - 2 * k)) / static_cast<double>(n - 2 * k);
}

}  // namespace quorlex::hctsa
