// Distance from the mean beyond which a share th of the values lies, in units
// of the population standard deviation.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// The quantile of |y - mean| at 1 - th over the population standard
// deviation. An empty series is an internal failure (no quantile).
double dn_pleft(Series y, double th);

}  // namespace quorlex::hctsa
