// SB_BinaryStats (v1): the longest stretches above the mean and of non-increasing steps.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// z is the z-score of a finite series that is not constant, with at least
// two values (the set run screens the series and masks what a routine
// cannot estimate); NaN where the feature cannot be estimated.
double sb_binarystats_mean_longstretch1(Series z, Shared* shared = nullptr);
double sb_binarystats_diff_longstretch0(Series z, Shared* shared = nullptr);

}  // namespace quorlex::catch22::v1
