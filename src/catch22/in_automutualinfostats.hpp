// Automutual information under a Gaussian assumption, from the lagged
// autocorrelation.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22 {

// First local minimum over lags 1 .. min(ceil(n/2), 40) of -ln(1 - r^2) / 2;
// the lag count when there is none, NaN for non-finite input or fewer than 2
// values.
double in_automutualinfostats_fmmi(Series y, bool normalize, Shared* shared = nullptr);

}  // namespace quorlex::catch22
