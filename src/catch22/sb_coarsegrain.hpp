// Coarse-graining into three equiprobable symbols by quantiles.
#pragma once

#include <cstdint>
#include <span>

#include "helpers/series.hpp"

namespace quorlex::catch22 {

// Writes label 1, 2 or 3 for the quantile third each value falls in, and leaves
// labels[i] untouched (callers pass zeros) where none applies: every value of
// a series holding NaN, and any value not above min - 1.0. labels.size() == y.size().
void sb_coarsegrain(Series y, std::span<std::uint64_t> labels);

}  // namespace quorlex::catch22
