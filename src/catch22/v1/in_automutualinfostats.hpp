// IN_AutoMutualInfoStats (v1): the first minimum of the Gaussian automutual information.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// z is the z-score of a finite series that is not constant, with at least
// two values (the set run screens the series and masks what a routine
// cannot estimate); NaN where the feature cannot be estimated.

// The first minimum of the Gaussian automutual information up to lag 40.
double in_automutualinfostats_40_gaussian_fmmi(Series z, Shared* shared = nullptr);

}  // namespace quorlex::catch22::v1
