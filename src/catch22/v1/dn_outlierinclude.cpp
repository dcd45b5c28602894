#include "catch22/v1/dn_outlierinclude.hpp"

#include "catch22/dn_outlierinclude.hpp"

namespace quorlex::catch22::v1 {

// The classic routine computes the same timing statistic: the v1 change is
// only in how a constant series is reported, which the set run masks.
double dn_outlierinclude_p_001_mdrmd(Series z, Shared*) { return catch22::dn_outlierinclude(z, false, 1); }
double dn_outlierinclude_n_001_mdrmd(Series z, Shared*) { return catch22::dn_outlierinclude(z, false, -1); }

}  // namespace quorlex::catch22::v1
