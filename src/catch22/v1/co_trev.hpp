// CO_trev_1_num (v1): time reversibility, the mean cubed step.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// z is the z-score of a finite series that is not constant, with at least
// two values (the set run screens the series and masks what a routine
// cannot estimate); NaN where the feature cannot be estimated.
double co_trev_1_num(Series z, Shared* shared = nullptr);

}  // namespace quorlex::catch22::v1
