#include "catchamouse16/dn_removepoints.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "helpers/autocorrelation.hpp"
#include "helpers/finite.hpp"
#include "helpers/moments.hpp"

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
    // the set a stable sort by descending magnitude puts first. That set is
    // every point above the keep-th largest magnitude t, plus the earliest
    // points equal to t up to the count, so a selection of t and one scan in
    // time order give the kept values already in time order, without sorting
    // positions. (No NaN is left here, so magnitudes are totally ordered.)
    const std::size_t keep = (n + 1) / 2;
    std::vector<double> magnitudes(n);
    for (std::size_t i = 0; i < n; ++i) magnitudes[i] = std::fabs(x[i]);
    std::vector<double> reduced(magnitudes);
    const auto nth = reduced.begin() + static_cast<std::ptrdiff_t>(keep - 1);
    std::nth_element(reduced.begin(), nth, reduced.end(), std::greater<>());
    const double t = *nth;
    std::size_t ties = keep - static_cast<std::size_t>(std::count_if(
                                  magnitudes.begin(), magnitudes.end(), [t](double v) { return v > t; }));
    // Branch-free: every value is written at the next free place, which only
    // advances for a kept one (about half the points, in no predictable way).
    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const bool tie = magnitudes[i] == t && ties > 0;
        ties -= tie ? 1 : 0;
        reduced[kept] = x[i];
        kept += (magnitudes[i] > t || tie) ? 1 : 0;
    }
    reduced.resize(keep);
    return common::co_autocorr_lag2(reduced) / common::co_autocorr_lag2(x.view());
}

}  // namespace quorlex::catchamouse16
