// Least-squares cubic spline used to detrend a series before its periodicity
// is measured.
#pragma once

#include <span>

#include "helpers/series.hpp"

namespace quorlex::common {

// Fits the cubic spline with breaks 0, floor(n/2) - 1 and n - 1 (two pieces,
// continuous up to the second derivative) to the points (i, y[i]) and writes
// its values at x = 0 .. n-1 to `out`, which has the length of `y`. Series of
// fewer than five values leave the fit underdetermined and give non-finite
// values.
void splinefit(Series y, std::span<double> out);

}  // namespace quorlex::common
