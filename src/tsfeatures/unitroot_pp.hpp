#pragma once

#include "helpers/series.hpp"

namespace quorlex::tsfeatures {

// Phillips-Perron Z-alpha statistic of the regression of y_t on a constant and
// y_(t-1). NaN for fewer than two values, any NaN, or a constant lagged part.
double unitroot_pp(Series y);

}  // namespace quorlex::tsfeatures
