// First crossing of a threshold by a sequence (an autocorrelation function).
#pragma once

#include <cstddef>
#include <span>

namespace quorlex::hctsa {

struct Crossing {
    std::size_t index;  // first index past the threshold; the length when none
    double point;       // linearly interpolated crossing position
};

// Downward crossing when seq[0] > th, upward otherwise; strict comparisons, so
// NaN never crosses. An empty sequence gives (0, 0.0).
Crossing bf_point_of_crossing(std::span<const double> seq, double th);

}  // namespace quorlex::hctsa
