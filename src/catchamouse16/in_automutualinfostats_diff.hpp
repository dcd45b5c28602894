// IN_AutoMutualInfoStats_diff_20_gaussian_ami8: Gaussian automutual
// information at lag 8 of the increments of the series.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::catchamouse16 {

double in_automutualinfostats_diff_20_gaussian_ami8(Series y, bool normalize);

}  // namespace quorlex::catchamouse16
