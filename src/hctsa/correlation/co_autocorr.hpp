// Autocorrelation function by FFT (FFTW), at every lag below n.
#pragma once

#include <cstddef>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// acf[k] for k = 0 .. n-1: [NaN] for any NaN value, empty for an empty
// series, every entry NaN for a constant series.
std::vector<double> co_autocorr(Series y);

// acf[lag], or NaN when lag >= n or any value is NaN.
double co_autocorr_at(Series y, std::size_t lag);

// The entry of a whole function from co_autocorr: what co_autocorr_at gives
// for the same series.
double autocorr_entry(const std::vector<double>& acf, std::size_t lag);

}  // namespace quorlex::hctsa
