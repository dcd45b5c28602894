// Scans for NaN and for non-finite values.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::common {

bool has_nan(Series y);
bool all_finite(Series y);

}  // namespace quorlex::common
