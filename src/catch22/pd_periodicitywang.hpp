// PD_PeriodicityWang_th0_01: the dominant period from the autocovariance of
// the spline-detrended series.
#pragma once

#include <cstdint>

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22 {

// Index into the autocovariance (lag minus one) of the first positive peak
// that rises at least 0.01 above the trough before it; 0 when there is none,
// for non-finite input and for series of at most six values.
std::int32_t pd_periodicitywang(Series y, bool normalize, Shared* shared = nullptr);

// The routine's index as the feature value.
double pd_periodicitywang_th0_01(Series y, bool normalize, Shared* shared = nullptr);

}  // namespace quorlex::catch22
