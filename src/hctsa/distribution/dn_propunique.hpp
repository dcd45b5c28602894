// Share of distinct values.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// NaN for an empty series, and for any NaN value (NaN has no place in the sort).
double prop_unique(Series y);
// The same given common::sorted_copy(y), made once for several callers.
double prop_unique(Series y, Series sorted);

// Number of distinct values of a NaN-free series (0 for an empty one).
std::size_t count_unique(Series y);
// The same for a series already sorted ascending.
std::size_t count_unique_sorted(Series sorted);

}  // namespace quorlex::hctsa
