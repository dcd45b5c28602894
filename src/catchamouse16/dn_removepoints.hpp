// DN_RemovePoints_AbsClose_05_AC2Rat: lag-2 autocorrelation after removing
// the half of the points closest to zero, relative to that of the series.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::catchamouse16 {

double dn_removepoints_absclose_05_ac2rat(Series y, bool normalize);

}  // namespace quorlex::catchamouse16
