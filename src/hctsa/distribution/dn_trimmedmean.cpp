#include "hctsa/distribution/dn_trimmedmean.hpp"

#include <cmath>
#include <vector>

#include "helpers/finite.hpp"
#include "helpers/moments.hpp"
#include "helpers/order_statistics.hpp"

namespace quorlex::hctsa {

namespace {

// `sorted()` gives the values of y in ascending order, asked for only when
// needed.
template <class Sorted>
double trimmed_mean(Series y, double percent, Sorted sorted) {
    const std::size_t n = y.size();
    if (n == 0) return common::nan;
    const auto count = static_cast<double>(n);
    if (percent <= 0.0) return common::sum(y) / count;
    if (percent >= 100.0 || common::has_nan(y)) return common::nan;
    const Series s = sorted();
    const auto k = static_cast<std::size_t>(std::floor(percent / 100.0 * count * 0.5));
    if (n <= 2 * k) return common::nan;
    return common::sum(s.subspan(k, n - 2 * k)) / static_cast<double>(n - 2 * k);
}

}  // namespace

double dn_trimmedmean(Series y, double percent) {
    std::vector<double> s;
    return trimmed_mean(y, percent, [&] {
        s = common::sorted_copy(y);
        return Series(s);
    });
}

double dn_trimmedmean_sorted(Series y, Series sorted, double percent) {
    return trimmed_mean(y, percent, [sorted] { return sorted; });
}

}  // namespace quorlex::hctsa
