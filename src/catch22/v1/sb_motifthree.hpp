// SB_MotifThree_quantile_hh (v1): the entropy of pairs of successive quantile symbols.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// z is the z-score of a finite series that is not constant, with at least
// two values (the set run screens the series and masks what a routine
// cannot estimate); NaN where the feature cannot be estimated.

// The entropy of pairs of quantile symbols, Miller-Madow corrected.
double sb_motifthree_quantile_hh(Series z, Shared* shared = nullptr);

}  // namespace quorlex::catch22::v1
