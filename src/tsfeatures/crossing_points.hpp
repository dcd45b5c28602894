#pragma once

#include "helpers/series.hpp"

namespace quorlex::tsfeatures {

// Number of times the series crosses its median. 0 for fewer than two values
// and for any series holding NaN (no value compares below a NaN median).
double crossing_points(Series y);

}  // namespace quorlex::tsfeatures
