#include "catchamouse16/dn_removepoints.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "catch22/co_auto_corr.hpp"

namespace quorlex::catchamouse16 {

double dn_removepoints_absclose_05_ac2rat(Series y, bool normalize) {
    if (common::has_nan(y)) return common::nan;
    const std::size_t n = y.size();
    if (n < 3) return common::nan;
    const common::Prepared x(y, normalize);
    // A NaN after the z-score makes the mean, and so every autocorrelation of
    // the whole series, NaN.
    if (common::has_nan(x.view())) return common::nan;

    // The (n + 1) / 2 points of largest magnitude, ties kept in time order:
    // the same set a stable sort by descending magnitude puts first.
    struct Point {
        double magnitude;
        std::size_t index;
    };
    std::vector<Point> points(n);
    for (std::size_t i = 0; i < n; ++i) points[i] = {std::fabs(x[i]), i};
    const std::size_t keep = (n + 1) / 2;
    std::nth_element(points.begin(), points.begin() + static_cast<std::ptrdiff_t>(keep - 1), points.end(),
                     [](const Point& a, const Point& b) {
                         return a.magnitude > b.magnitude || (a.magnitude == b.magnitude && a.index < b.index);
                     });
    std::vector<std::size_t> kept(keep);
    for (std::size_t i = 0; i < keep; ++i) kept[i] = points[i].index;
    std::sort(kept.begin(), kept.end());

    std::vector<double> reduced(keep);
    for (std::size_t i = 0; i < keep; ++i) reduced[i] = x[kept[i]];
    return catch22::co_autocorr_lag2(reduced) / catch22::co_autocorr_lag2(x.view());
}

}  // namespace quorlex::catchamouse16
