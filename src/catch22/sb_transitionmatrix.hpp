// Three-state transition matrix of the series sampled at its autocorrelation
// time.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22 {

// Sum of the variances of the transition matrix's columns; NaN for non-finite,
// empty or constant input, and when the autocorrelation is undefined after
// normalisation (no lag to sample at).
double sb_transitionmatrix_3ac_sumdiagcov(Series y, bool normalize, Shared* shared = nullptr);

}  // namespace quorlex::catch22
