// FC_LocalSimple (v1): residuals of forecasting each value by the mean of the ones before it.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// z is the z-score of a finite series that is not constant, with at least
// two values (the set run screens the series and masks what a routine
// cannot estimate); NaN where the feature cannot be estimated.
// `shared`, when given, serves the autocorrelation of z (the run's catch22
// intermediates, prepared as z).

// Forecast residuals of the mean of the previous values: their standard
// deviation (3 values), and the ratio of the zero crossings of their and the
// series' autocorrelations (1 value).
double fc_localsimple_mean3_stde(Series z, Shared* shared = nullptr);
double fc_localsimple_mean1_taurat(Series z, Shared* shared = nullptr);

}  // namespace quorlex::catch22::v1
