#pragma once

#include "helpers/series.hpp"

namespace quorlex::tsfeatures {

// Longest run of consecutive values falling in one of ten equal-width bins
// over the range of the series. NaN for an empty series, any infinity or no
// finite value; each NaN is a run of its own.
double flat_spots(Series y);

}  // namespace quorlex::tsfeatures
