// Central moments over the sample standard deviation.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// (sum((y - mean)^k) / n) / std_dev(y): divided by the standard deviation
// itself, not its k-th power, as the published feature is defined. NaN for
// NaN input or fewer than 2 values.
double dn_moments(Series y, int k);

}  // namespace quorlex::hctsa
