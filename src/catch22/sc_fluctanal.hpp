// SC_FluctAnal: where a two-line fit of log fluctuation against log scale
// breaks, for detrended fluctuation ("dfa") and rescaled range ("rsrangefit").
#pragma once

#include <cstddef>
#include <string_view>

#include "catch22/shared.hpp"
#include "helpers/common.hpp"

namespace quorlex::catch22 {

// Breakpoint position (breakpoint / number of scales) of the best two-line
// fit. NaN for non-finite input or fewer than two values, 0.0 when fewer than
// twelve distinct scales exist or `method` is neither "dfa" nor "rsrangefit".
// A lag of 0 leaves no lagged series and gives NaN.
double sc_fluctanal_prop(Series y, std::size_t lag, std::string_view method, bool normalize, Shared* shared = nullptr);

double sc_fluctanal_2_dfa_50_1_2_logi_prop_r1(Series y, bool normalize, Shared* shared = nullptr);
double sc_fluctanal_2_rsrangefit_50_1_logi_prop_r1(Series y, bool normalize, Shared* shared = nullptr);

}  // namespace quorlex::catch22
