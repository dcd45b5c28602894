#include "hctsa/correlation/co_nonlinearautocorr.hpp"

#include <algorithm>

#include "helpers/finite.hpp"
#include "helpers/nonlinear_autocorr.hpp"

namespace quorlex::hctsa {

double co_nonlinearautocorr(Series y, std::span<const std::size_t> lags, bool absolute) {
    const std::size_t tmax = *std::max_element(lags.begin(), lags.end());
    if (common::has_nan(y) || y.size() <= tmax) return common::nan;
    // The lags in the order the feature's name lists them.
    return common::nonlinear_autocorr(y, lags, absolute);
}

}  // namespace quorlex::hctsa
