#pragma once

#include "helpers/series.hpp"

namespace quorlex::tsfeatures {

// Shannon entropy of the normalised one-sided power spectrum, divided by the
// log2 of its length, so that white noise is near 1 and a pure tone near 0.
// NaN for fewer than two values, any non-finite value, or a spectrum without
// positive finite power (a constant series).
double entropy(Series y);

}  // namespace quorlex::tsfeatures
