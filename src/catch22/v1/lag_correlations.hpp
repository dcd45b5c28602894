// Pearson correlations of a series with itself at four consecutive lags.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// Pearson correlations of z[0 .. n-lag) with z[lag .. n), each part about its
// own mean, for lags first .. first+3 (all below n). Every sum of a lag runs
// in index order from zero; the four lags run side by side only so that their
// additions overlap, each lag's terms beyond the shortest appended in order.
// `prefix[m]` is the sum of z[0 .. m) in index order: the first part's sum.
std::array<double, 4> lag_correlations(Series z, std::span<const double> prefix, std::size_t first);

}  // namespace quorlex::catch22::v1
