#pragma once

#include "helpers/series.hpp"

namespace quorlex::tsfeatures {

// Slope of ln(R/S) against ln(t) over the prefixes of length t = 2 .. n, R
// being the range of the mean-adjusted cumulative sums and S the population
// standard deviation. 0.0 for fewer than two values; NaN for non-finite input,
// no usable prefix or a singular fit.
double hurst(Series y);

}  // namespace quorlex::tsfeatures
