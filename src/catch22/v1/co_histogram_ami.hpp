// CO_HistogramAMI_even_5bin_ami2 (v1): automutual information at lag 2 from a 5-bin histogram.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// z is the z-score of a finite series that is not constant, with at least
// two values (the set run screens the series and masks what a routine
// cannot estimate); NaN where the feature cannot be estimated.

// Lag-2 automutual information of 5 equal-width bins, bias corrected.
double co_histogramami_even_5bin_ami2(Series z, Shared* shared = nullptr);

}  // namespace quorlex::catch22::v1
