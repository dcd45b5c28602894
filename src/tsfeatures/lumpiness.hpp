#pragma once

#include <cstdint>
#include <optional>

#include "helpers/series.hpp"

namespace quorlex::tsfeatures {

// Variance of the variances of consecutive non-overlapping blocks. The block
// width is freq, or 10 when freq is absent or 1. NaN for an empty series, 0.0
// when fewer than two blocks have a variance. A width of 0 gives blocks
// without a variance and so 0.0.
double lumpiness(Series y, std::optional<std::uint64_t> freq);

}  // namespace quorlex::tsfeatures
