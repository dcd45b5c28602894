// Mean centre of the fullest bins of an equal-width histogram.
#pragma once

#include <cstddef>

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// NaN for any non-finite value. n_bins >= 1.
double dn_histogrammode(Series y, std::size_t n_bins);

// The same on the absolute values.
double dn_histogrammode_abs(Series y, std::size_t n_bins);

inline double dn_histogrammode_5(Series y) { return dn_histogrammode(y, 5); }
inline double dn_histogrammode_10(Series y) { return dn_histogrammode(y, 10); }
inline double dn_histogrammode_12(Series y) { return dn_histogrammode(y, 12); }
inline double dn_histogrammode_21(Series y) { return dn_histogrammode(y, 21); }
inline double dn_histogrammode_52(Series y) { return dn_histogrammode(y, 52); }

}  // namespace quorlex::hctsa
