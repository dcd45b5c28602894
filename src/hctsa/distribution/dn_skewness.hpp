// Two skewness measures.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// (3 * mean - median) / std_dev: three times the mean minus the median, as
// the published feature computes it.
double skewness_pearson(Series y);

// (q1 + q3 - 2 q2) / (q3 - q1) from the quartiles. An empty series is an
// internal failure (no quantile).
double skewness_bowley(Series y);

// The same given common::sorted_copy(y), made once for several callers.
double skewness_pearson(Series y, Series sorted);
double skewness_bowley(Series y, Series sorted);

}  // namespace quorlex::hctsa
