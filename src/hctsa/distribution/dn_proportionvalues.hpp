// Share of values that are zero, positive, or not negative.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::hctsa {

enum class ValueClass { zeros, positive, geq0 };

// NaN for an empty series; a NaN value belongs to no class.
double dn_proportionvalues(Series y, ValueClass kind);

}  // namespace quorlex::hctsa
