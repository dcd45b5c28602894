// SB_TransitionMatrix (v1): the summed column variances of a 3-symbol transition matrix.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// z is the z-score of a finite series that is not constant, with at least
// two values (the set run screens the series and masks what a routine
// cannot estimate); NaN where the feature cannot be estimated.
// `shared`, when given, serves the autocorrelation of z (the run's catch22
// intermediates, prepared as z).
double sb_transitionmatrix_quantile_3_ac_sumdiagcov(Series z, Shared* shared = nullptr);

}  // namespace quorlex::catch22::v1
