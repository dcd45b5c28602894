// Longest runs in a binarised series.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22 {

// Longest stretch of values above the mean (the last value is not
// binarised); NaN for non-finite input or fewer than 2 values.
double sb_binarystats_mean_longstretch1(Series y, bool normalize, Shared* shared = nullptr);

// Longest stretch of successive decreases; NaN for non-finite input or fewer
// than 2 values.
double sb_binarystats_diff_longstretch0(Series y, bool normalize, Shared* shared = nullptr);

}  // namespace quorlex::catch22
