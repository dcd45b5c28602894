// Autocorrelation by two forward transforms of the zero-padded series, and the
// features read from it.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "helpers/common.hpp"

namespace quorlex::catch22 {

// Transform length for a series of n values: twice the smallest power of two
// >= n, computed in 32-bit signed integers as published (n = 1 gives 2).
// Internal failure when n is 0 or 2^30 or more.
std::size_t autocorr_length(std::size_t n);

// Autocorrelations at lags 0 .. nFFT-1 (entry 0 is 1 unless the series is
// constant, which makes every entry NaN). Lags >= n are wrapped-around values
// that callers must not search. Internal failure for an empty series.
std::vector<double> co_autocorrs(Series y);

// The lag-2 entry of co_autocorrs; NaN for a one-value series.
double co_autocorr_lag2(Series y);

// First lag below min(maxtau, ac.size()) whose autocorrelation is not
// positive (NaN counts as not positive); the limit when there is none.
std::size_t co_firstzero(std::span<const double> ac, std::size_t maxtau);

}  // namespace quorlex::catch22
