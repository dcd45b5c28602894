// DN_OutlierInclude (v1): when the positive or negative outliers of the series occur.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// z is the z-score of a finite series that is not constant, with at least
// two values (the set run screens the series and masks what a routine
// cannot estimate); NaN where the feature cannot be estimated.
double dn_outlierinclude_p_001_mdrmd(Series z, Shared* shared = nullptr);
double dn_outlierinclude_n_001_mdrmd(Series z, Shared* shared = nullptr);

}  // namespace quorlex::catch22::v1
