#pragma once

#include <cstdint>
#include <optional>

#include "helpers/series.hpp"

namespace quorlex::tsfeatures {

// Mean of the values that are not NaN; NaN when there are none.
double nanmean(Series y);

// Variance of the means of consecutive non-overlapping blocks. The block width
// is freq, 10 when freq is 1, and 1 when freq is absent (so the result is then
// the sample variance). 0.0 for fewer than two blocks' worth of values; NaN
// when any block mean is NaN. A width of 0 is an internal failure.
double stability(Series y, std::optional<std::uint64_t> freq);

}  // namespace quorlex::tsfeatures
