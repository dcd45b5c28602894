// SC_FluctAnal (v1): the first scaling regime's share of timescales, by rescaled range and DFA.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// z is the z-score of a finite series that is not constant, with at least
// two values (the set run screens the series and masks what a routine
// cannot estimate); NaN where the feature cannot be estimated.
double sc_fluctanal_2_rsrangefit_50_1_logi_prop_r1(Series z, Shared* shared = nullptr);
double sc_fluctanal_2_dfa_50_1_2_logi_prop_r1(Series z, Shared* shared = nullptr);

}  // namespace quorlex::catch22::v1
