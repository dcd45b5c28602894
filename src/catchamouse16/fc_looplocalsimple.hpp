// FC_LoopLocalSimple_mean_stderr_chn: how the spread of moving-mean forecast
// errors changes with training lengths 1 to 10.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::catchamouse16 {

double fc_looplocalsimple_mean_stderr_chn(Series y, bool normalize);

}  // namespace quorlex::catchamouse16
