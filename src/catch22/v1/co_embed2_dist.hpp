// CO_Embed2_Dist (v1): misfit of an exponential to the 2-d embedding's step distances.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// z is the z-score of a finite series that is not constant, with at least
// two values (the set run screens the series and masks what a routine
// cannot estimate); NaN where the feature cannot be estimated.
// `shared`, when given, serves the autocorrelation of z (the run's catch22
// intermediates, prepared as z).
double co_embed2_dist_tau_d_expfit_meandiff(Series z, Shared* shared = nullptr);

}  // namespace quorlex::catch22::v1
