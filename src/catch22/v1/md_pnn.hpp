// MD_pNN_pnn40 (v1): the proportion of successive steps of z larger than 0.04 in absolute value.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// z is the z-score of a finite series that is not constant, with at least
// two values (the set run screens the series and masks what a routine
// cannot estimate); NaN where the feature cannot be estimated.
double md_pnn_pnn40(Series z, Shared* shared = nullptr);

}  // namespace quorlex::catch22::v1
