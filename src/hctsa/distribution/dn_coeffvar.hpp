// Coefficient of variation std_dev / mean, and its square.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// NaN for an empty series, any NaN value, or a plain sum of the values below
// 2.220446049250313e-16 (the double epsilon): every series summing to zero or
// less gives NaN, as the published feature guards it.
double coeff_var_1(Series y);
double coeff_var_2(Series y);

}  // namespace quorlex::hctsa
