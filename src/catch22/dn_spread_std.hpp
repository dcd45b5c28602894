#pragma once

#include "helpers/series.hpp"

namespace quorlex::catch22 {

// Sample standard deviation of the raw series (never normalised).
double dn_spread_std(Series y);

}  // namespace quorlex::catch22
