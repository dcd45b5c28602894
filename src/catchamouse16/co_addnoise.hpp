// CO_AddNoise_1_Even_10_AMI_At_10: histogram automutual information (10 bins,
// lag 1) of the series with seeded Gaussian noise added at the first noise
// level of at least 1.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::catchamouse16 {

// Deterministic: every call draws its noise from its own mt19937 generator
// seeded with 0.
double co_addnoise_1_even_10_ami_at_10(Series y, bool normalize);

}  // namespace quorlex::catchamouse16
