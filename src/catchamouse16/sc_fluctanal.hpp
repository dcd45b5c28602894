// SC_FluctAnal_2_DFA_50_2_Logi_R2_SE2: detrended fluctuation analysis with
// quadratic detrending at 50 log-spaced scales; the standard error of the
// slope of a robust line fitted to the scales after the best breakpoint.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::catchamouse16 {

double sc_fluctanal_2_dfa_50_2_logi_r2_se2(Series y, bool normalize);

}  // namespace quorlex::catchamouse16
