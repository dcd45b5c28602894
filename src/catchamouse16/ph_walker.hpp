// PH_Walker: a simulated walker driven by the series, measured against it.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::catchamouse16 {

// Share of steps where a walker with momentum (inertia 5) changes sign.
double ph_walker_momentum_5_w_momentumzcross(Series y, bool normalize);

// Mean distance between the series and a walker that moves toward the
// previous value at rate 0.5 before a rise and 0.1 otherwise. NaN for an
// empty series.
double ph_walker_biasprop_05_01_sw_meanabsdiff(Series y, bool normalize);

}  // namespace quorlex::catchamouse16
