// Order statistics: sorted copies, selections, medians, quantiles and
// interquartile ranges. Routines that sort work on a private copy and never
// modify their input.
#pragma once

#include <cstddef>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::common {

double median(Series y);
double quantile(Series y, double p);
double iqr(Series y);
// The same given `sorted`, sorted_copy(y) made once for several callers (not
// read when y holds NaN); midhinge is mean(y, MeanType::midhinge).
double median(Series y, Series sorted);
double quantile(Series y, Series sorted, double p);
double iqr(Series y, Series sorted);
double midhinge(Series y, Series sorted);

std::vector<double> sorted_copy(Series y);
// A series of y's length in which each of `positions` holds the value a full
// sort of the NaN-free y puts there (of equal values, -0 and +0 may trade
// places); the other entries hold no particular values (not necessarily a
// permutation of y). For reading a few order statistics.
std::vector<double> selected_copy(Series y, std::vector<std::size_t> positions);
// Quantile of an already sorted, NaN-free series (the core of `quantile`).
double quantile_sorted(Series sorted, double p);
double median_sorted(Series sorted);
double iqr_sorted(Series sorted);

}  // namespace quorlex::common
