// CO_FirstCrossing_acf_1e (v1): the autocorrelation's decay time to 1/e.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// z is the z-score of a finite series that is not constant, with at least
// two values (the set run screens the series and masks what a routine
// cannot estimate); NaN where the feature cannot be estimated.
// `shared`, when given, serves the autocorrelation of z (the run's catch22
// intermediates, prepared as z).

// The autocorrelation's first crossing of 1/e, interpolated between lags;
// n - 1 when it never crosses.
double co_firstcrossing_acf_1e(Series z, Shared* shared = nullptr);

}  // namespace quorlex::catch22::v1
