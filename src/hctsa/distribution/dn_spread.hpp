// Spread by a named measure.
#pragma once

#include <string_view>

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// "std", "iqr", "mad_median", "mad_mean"; any other measure is an internal
// failure "Unknown spread measure: <measure>".
double dn_spread(Series y, std::string_view measure);

}  // namespace quorlex::hctsa
