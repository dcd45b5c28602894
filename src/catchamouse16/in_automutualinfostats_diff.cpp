#include "catchamouse16/in_automutualinfostats_diff.hpp"

#include <cmath>

#include "helpers/finite.hpp"
#include "helpers/lag_correlation.hpp"
#include "helpers/moments.hpp"
#include "helpers/vectors.hpp"

namespace quorlex::catchamouse16 {

double in_automutualinfostats_diff_20_gaussian_ami8(Series y, bool normalize) {
    if (common::has_nan(y)) return common::nan;
    const common::Prepared x(y, normalize);
    const double n = static_cast<double>(x.size());
    // The lag limit ceil((n - 1) / 2) must reach 7, so 13 values or fewer give NaN.
    if (std::ceil((n - 1.0) * 0.5) < 7.0) return common::nan;
    const double r = common::autocorr_lag(common::diff(x.view()), 8);
    return -0.5 * std::log(1.0 - r * r);
}

}  // namespace quorlex::catchamouse16
