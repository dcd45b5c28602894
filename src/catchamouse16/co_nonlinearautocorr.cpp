#include "catchamouse16/co_nonlinearautocorr.hpp"

#include <limits>

namespace quorlex::catchamouse16 {

double co_nonlinearautocorr(Series y, NonlinearLags lags, bool normalize) {
    if (common::has_nan(y)) return common::nan;
    const common::Prepared x(y, normalize);
    const std::size_t n = x.size();
    if (n <= lags.t2) return common::nan;

    double total = 0.0;
    for (std::size_t j = lags.t2; j < n; ++j) {
        total += x[j] * x[j - lags.t0] * x[j - lags.t1] * x[j - lags.t2];
    }
    return total / static_cast<double>(n - lags.t2);
}

double ac_nl_035(Series y, bool normalize) { return co_nonlinearautocorr(y, {0, 3, 5}, normalize); }
double ac_nl_036(Series y, bool normalize) { return co_nonlinearautocorr(y, {0, 3, 6}, normalize); }
double ac_nl_112(Series y, bool normalize) { return co_nonlinearautocorr(y, {1, 1, 2}, normalize); }

}  // namespace quorlex::catchamouse16
