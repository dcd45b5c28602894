#include "catch22/v1/md_pnn.hpp"

#include "catch22/md_hrv.hpp"

namespace quorlex::catch22::v1 {

double md_pnn_pnn40(Series z, Shared*) { return catch22::md_hrv_classic_pnn40(z, false); }

}  // namespace quorlex::catch22::v1
