#include "catchamouse16/co_nonlinearautocorr.hpp"

#include "helpers/finite.hpp"
#include "helpers/moments.hpp"
#include "helpers/nonlinear_autocorr.hpp"

namespace quorlex::catchamouse16 {

double co_nonlinearautocorr(Series y, NonlinearLags lags, bool normalize) {
    if (common::has_nan(y)) return common::nan;
    const common::Prepared x(y, normalize);
    if (x.size() <= lags.t2) return common::nan;
    // x[t] * x[t - t0] * x[t - t1] * x[t - t2], in that order.
    const std::size_t order[] = {lags.t0, lags.t1, lags.t2};
    return common::nonlinear_autocorr(x.view(), order, false);
}

double ac_nl_035(Series y, bool normalize) { return co_nonlinearautocorr(y, {0, 3, 5}, normalize); }
double ac_nl_036(Series y, bool normalize) { return co_nonlinearautocorr(y, {0, 3, 6}, normalize); }
double ac_nl_112(Series y, bool normalize) { return co_nonlinearautocorr(y, {1, 1, 2}, normalize); }

}  // namespace quorlex::catchamouse16
