#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22 {

// Timing of the values beyond rising thresholds (sign +1: upper excursions,
// -1: lower excursions): median over thresholds of the relative position of
// the median exceedance.
double dn_outlierinclude(Series y, bool normalize, int sign, Shared* shared = nullptr);

inline double dn_outlierinclude_p_001_mdrmd(Series y, bool normalize, Shared* shared = nullptr) {
    return dn_outlierinclude(y, normalize, 1, shared);
}
inline double dn_outlierinclude_n_001_mdrmd(Series y, bool normalize, Shared* shared = nullptr) {
    return dn_outlierinclude(y, normalize, -1, shared);
}

}  // namespace quorlex::catch22
