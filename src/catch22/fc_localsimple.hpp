// FC_LocalSimple: forecast each value by the mean of the values just before it
// and summarise the forecast residuals.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22 {

// Window 1: first zero crossing of the residuals' autocorrelation over that of
// the series. NaN for non-finite input or fewer than two values.
double fc_localsimple_tauresrat(Series y, bool normalize, Shared* shared = nullptr);

// Window 3: sample standard deviation of the residuals. NaN for non-finite
// input or fewer than two values, 0.0 for two or three values, NaN for four.
double fc_localsimple_stderr(Series y, bool normalize, Shared* shared = nullptr);

}  // namespace quorlex::catch22
