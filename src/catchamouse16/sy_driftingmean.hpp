// SY_DriftingMean50_min: the smallest mean of consecutive 50-value segments
// relative to the mean segment variance.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::catchamouse16 {

double sy_driftingmean50_min(Series y, bool normalize);

}  // namespace quorlex::catchamouse16
