// Asymmetry between the histograms of the positive and the negative values.
#pragma once

#include <cstddef>
#include <string_view>

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// Statistics: "densityDiff", "modeProbPos", "modeProbNeg", "modeDiff",
// "posMode", "negMode", "modeAsymmetry"; any other text gives NaN. NaN for
// any non-finite value; 0.0 for an empty or all-zero series. n_bins >= 1.
double dn_histogramasymmetry(Series y, std::size_t n_bins, std::string_view statistic);

}  // namespace quorlex::hctsa
