// Distance of the mean above the values below it relative to below the values
// above it.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// (mean of values > mu - mu) / (mu - mean of values < mu); values equal to mu
// join neither group, and an empty group gives NaN.
double high_low_mu(Series y);

}  // namespace quorlex::hctsa
