// Burstiness from the ratio r = std_dev / mean.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// (r - 1) / (r + 1).
double burstiness_goh(Series y);

// Finite-size corrected: (sqrt(n + 1) r - sqrt(n - 1)) / (sqrt(n - 1) + (sqrt(n + 1) - 2) r).
double burstiness_kim(Series y);

}  // namespace quorlex::hctsa
