#include "catchamouse16/co_translateshape.hpp"

#include <vector>

#include "helpers/finite.hpp"
#include "helpers/lanes.hpp"
#include "helpers/moments.hpp"
#include "catchamouse16/sy_slidingwindow.hpp"

namespace quorlex::catchamouse16 {

using common::LaneMask;
using common::Lanes;
using common::lanes;

namespace {
constexpr std::size_t half_width = 3;
constexpr double radius_squared = 12.25;
// (k - c)^2 for k = c - 3 .. c + 3: the difference of two whole numbers below
// 2^53 and its square are exact, so these are the values computed per point.
constexpr double offset_squared[] = {9.0, 4.0, 1.0, 0.0, 1.0, 4.0, 9.0};
}  // namespace

double co_translateshape(Series y, std::string_view statistic, bool normalize) {
    if (common::has_nan(y)) return common::nan;
    const common::Prepared x(y, normalize);
    const std::size_t n = x.size();
    if (n < 2 * half_width + 1) return common::nan;

    // Two neighbouring centres side by side, one per lane, each with the
    // scalar test (k - c)^2 + (y_k - y_c)^2 <= 12.25 evaluated by the same
    // operations; counting the lanes where the comparison holds gives the same
    // whole-number counts, without a branch per point.
    std::vector<double> counts(n - 2 * half_width);
    const auto count_at = [&](std::size_t c) {
        std::size_t inside = 0;
        for (std::size_t o = 0; o <= 2 * half_width; ++o) {
            const double dy = x[c - half_width + o] - x[c];
            inside += offset_squared[o] + dy * dy <= radius_squared ? 1 : 0;
        }
        return static_cast<double>(inside);
    };
    const double* v = x.view().data();
    std::size_t c = half_width;
    for (; c + 1 + half_width < n; c += lanes) {
        const Lanes centre{v[c], v[c + 1]};
        LaneMask inside{};
#pragma GCC unroll 7
        for (std::size_t o = 0; o <= 2 * half_width; ++o) {
            const std::size_t k = c - half_width + o;
            const Lanes dy = Lanes{v[k], v[k + 1]} - centre;
            inside -= offset_squared[o] + dy * dy <= radius_squared;
        }
        counts[c - half_width] = static_cast<double>(inside[0]);
        counts[c + 1 - half_width] = static_cast<double>(inside[1]);
    }
    if (c + half_width < n) counts[c - half_width] = count_at(c);

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
