// Entropy of two-letter words over a three-letter quantile alphabet.
#pragma once

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22 {

// Sum over first letters of the entropy of the word frequencies (each word
// counted against all n - 1 words); NaN for non-finite input or fewer than
// 2 values.
double sb_motifthree_quantile_hh(Series y, bool normalize, Shared* shared = nullptr);

}  // namespace quorlex::catch22
