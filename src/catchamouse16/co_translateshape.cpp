#include "catchamouse16/co_translateshape.hpp"

#include <limits>
#include <vector>

#include "catchamouse16/sy_slidingwindow.hpp"

namespace quorlex::catchamouse16 {

namespace {
constexpr std::size_t half_width = 3;
constexpr double radius_squared = 12.25;
}  // namespace

double co_translateshape(Series y, std::string_view statistic, bool normalize) {
    if (common::has_nan(y)) return common::nan;
    const common::Prepared x(y, normalize);
    const std::size_t n = x.size();
    if (n < 2 * half_width + 1) return common::nan;

    std::vector<double> counts(n - 2 * half_width);
    for (std::size_t c = half_width; c + half_width < n; ++c) {
        std::size_t inside = 0;
        for (std::size_t k = c - half_width; k <= c + half_width; ++k) {
            const double dk = static_cast<double>(k) - static_cast<double>(c);
            const double dy = x[k] - x[c];
            if (dk * dk + dy * dy <= radius_squared) ++inside;
        }
        counts[c - half_width] = static_cast<double>(inside);
    }

    if (statistic == "statav4_m") return sy_slidingwindow(counts, "mean", "std", 4, 1, false);
    if (statistic == "std") return common::std_dev(counts);
    return common::nan;
}

double co_translateshape_circle_35_pts_statav4_m(Series y, bool normalize) {
    return co_translateshape(y, "statav4_m", normalize);
}

double co_translateshape_circle_35_pts_std(Series y, bool normalize) {
    return co_translateshape(y, "std", normalize);
}

}  // namespace quorlex::catchamouse16
