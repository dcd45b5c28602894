#pragma once

#include <cstddef>

#include "helpers/series.hpp"

namespace quorlex::tsfeatures {

// Bartlett-window lag of the unit-root statistics: trunc(4 (n / 100)^0.25).
std::size_t short_lag(std::size_t n);

// KPSS level-stationarity statistic with a Newey-West long-run variance.
// NaN for an empty series or a variance estimate that is not positive and
// finite (a constant series, any NaN).
double unitroot_kpss(Series y);

}  // namespace quorlex::tsfeatures
