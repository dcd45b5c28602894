// MD_hrv_classic_pnn40: the heart-rate-variability statistic pNN40.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22 {

// Proportion of successive differences larger than 0.04 in absolute value.
// NaN for non-finite input and for a one-value series.
double md_hrv_classic_pnn40(Series y, bool normalize, Shared* shared = nullptr);

}  // namespace quorlex::catch22
