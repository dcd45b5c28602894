// Largest and smallest value, skipping NaN.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// -infinity for an empty or all-NaN series; of two zeros the +0.
double maximum(Series y);
// +infinity for an empty or all-NaN series; of two zeros the -0.
double minimum(Series y);

}  // namespace quorlex::hctsa
