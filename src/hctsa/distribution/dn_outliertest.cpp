#include "hctsa/distribution/dn_outliertest.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "helpers/finite.hpp"
#include "helpers/moments.hpp"
#include "helpers/order_statistics.hpp"

namespace quorlex::hctsa {

namespace {

// Linear interpolation between the sorted values at h = P / 100 * (n - 1).
double percentile(Series s, double percent) {
    const std::size_t n = s.size();
    const double h = percent / 100.0 * static_cast<double>(n - 1);
    const double lo = std::floor(h);
    const double f = h - lo;
    const auto ilo = static_cast<std::size_t>(lo);
    if (f == 0.0) return s[ilo];
    const std::size_t ihi = std::min(n - 1, ilo + 1);
    return (1.0 - f) * s[ilo] + f * s[ihi];
}

// `sorted()` gives the values of y in ascending order, asked for only when
// needed.
template <class Sorted>
double outlier_test(Series y, double p, std::string_view statistic, Sorted sorted) {
    if (y.empty() || common::has_nan(y)) return common::nan;
    const Series s = sorted();
    const double lower = percentile(s, p);
    const double upper = percentile(s, 100.0 - p);
    std::vector<double> kept;
    for (double v : y) {
        if (lower < v && v < upper) kept.push_back(v);
    }
    if (kept.empty()) return common::nan;
    if (statistic == "mean") return common::sum(kept) / static_cast<double>(kept.size());
    if (statistic == "std") {
        const double whole = common::std_dev(y);
        if (!(whole > 0.0)) return common::nan;
        return common::std_dev(kept) / whole;
    }
    return common::nan;
}

}  // namespace

double dn_outliertest(Series y, double p, std::string_view statistic) {
    std::vector<double> s;
    return outlier_test(y, p, statistic, [&] {
        s = common::sorted_copy(y);
        return Series(s);
    });
}

double dn_outliertest_sorted(Series y, Series sorted, double p, std::string_view statistic) {
    return outlier_test(y, p, statistic, [sorted] { return sorted; });
}

}  // namespace quorlex::hctsa
