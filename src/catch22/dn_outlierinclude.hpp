#pragma once

#include "helpers/common.hpp"

namespace quorlex::catch22 {

// Timing of the values beyond rising thresholds (sign +1: upper excursions,
// -1: lower excursions): median over thresholds of the relative position of
// the median exceedance.
double dn_outlierinclude(Series y, bool normalize, int sign);

inline double dn_outlierinclude_p_001_mdrmd(Series y, bool normalize) { return dn_outlierinclude(y, normalize, 1); }
inline double dn_outlierinclude_n_001_mdrmd(Series y, bool normalize) { return dn_outlierinclude(y, normalize, -1); }

}  // namespace quorlex::catch22
