#pragma once

#include <cstdint>

#include "helpers/series.hpp"

namespace quorlex::tsfeatures {

// R-squared of the regression of x_t^2 on a constant and its own `lags`
// previous values, x being the series less its mean when `demean` is set.
// NaN for n <= lags + 1 or a singular system; a constant target gives 1.0 or
// 0.0 by how well it is fitted.
double arch_stat(Series y, std::uint64_t lags, bool demean);

}  // namespace quorlex::tsfeatures
