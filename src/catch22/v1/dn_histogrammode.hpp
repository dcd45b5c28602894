// DN_HistogramMode (v1): the mode of an equal-width histogram with hctsa's bin edges.
#pragma once

#include <cstddef>

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// z is the z-score of a finite series that is not constant, with at least
// two values (the set run screens the series and masks what a routine
// cannot estimate); NaN where the feature cannot be estimated.

// DN_HistogramMode(x_z, bins): the mean centre of the fullest bins.
double dn_histogrammode(Series z, std::size_t bins);
inline double dn_histogrammode_5(Series z, Shared* = nullptr) { return dn_histogrammode(z, 5); }
inline double dn_histogrammode_10(Series z, Shared* = nullptr) { return dn_histogrammode(z, 10); }

}  // namespace quorlex::catch22::v1
