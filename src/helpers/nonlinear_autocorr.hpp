// Mean of products of a series with lagged copies of itself (CO_NonlinearAutocorr),
// the one routine behind catchaMouse16's AC_NL features and hctsa's AC_nl set.
#pragma once

#include <cstddef>
#include <span>

#include "helpers/series.hpp"

namespace quorlex::common {

// The mean over t = tmax .. n-1 (tmax the largest lag) of
// y[t] * y[t - lags[0]] * y[t - lags[1]] * ..., multiplied left to right in
// the order `lags` lists them: floating-point products depend on that order,
// so each caller passes its lags in its published order (a lag 0 multiplies
// y[t] in again). With `absolute`, the mean of the products' magnitudes.
// Precondition: `lags` is not empty and y.size() > its largest lag.
double nonlinear_autocorr(Series y, std::span<const std::size_t> lags, bool absolute);

}  // namespace quorlex::common
