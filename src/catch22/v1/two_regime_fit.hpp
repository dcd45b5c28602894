// The two-regime fluctuation fit: hctsa's SC_FluctAnal(x, 2, how, 50, 1, lag, true).prop_r1.
#pragma once

#include <cstddef>

#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// The proportion of the log-spaced timescales in the first of two scaling
// regimes, for the integral of every lag-th value: rescaled range (dfa false)
// or detrended fluctuation (dfa true). NaN when too few timescales remain.
double two_regime_prop_r1(Series z, std::size_t lag, bool dfa);

}  // namespace quorlex::catch22::v1
