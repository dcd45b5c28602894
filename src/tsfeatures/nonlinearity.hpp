#pragma once

#include "helpers/series.hpp"

namespace quorlex::tsfeatures {

// Teräsvirta-type statistic: 10 n ln(SSR0 / SSR1) / N, SSR0 from the AR(1)
// fit of the z-scored series and SSR1 from regressing its residuals on 1, v,
// v^2, v^3 of the lagged value v. NaN for non-finite input, fewer than two
// values or a failed regression.
double nonlinearity(Series y);

}  // namespace quorlex::tsfeatures
