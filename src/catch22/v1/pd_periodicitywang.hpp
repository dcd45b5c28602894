// PD_PeriodicityWang_th0_01 (v1): the period Wang's method finds, as an autocorrelation lag.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// z is the z-score of a finite series that is not constant, with at least
// two values (the set run screens the series and masks what a routine
// cannot estimate); NaN where the feature cannot be estimated.
double pd_periodicitywang_th0_01(Series z, Shared* shared = nullptr);

}  // namespace quorlex::catch22::v1
