// Mean of products of the series with itself at several lags (the hctsa
// form: any number of lags, with an absolute-value variant).
#pragma once

#include <cstddef>
#include <span>

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// mean over t of y[t] * prod over the lags l of y[t - l] (a lag 0 multiplies
// y[t] in again); with `absolute`, the mean of the products' magnitudes. NaN
// for any NaN value or n <= the largest lag. `lags` is not empty.
double co_nonlinearautocorr(Series y, std::span<const std::size_t> lags, bool absolute);

}  // namespace quorlex::hctsa
