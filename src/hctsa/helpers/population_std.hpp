// Population standard deviation about a given mean: sqrt(sum((y - mu)^2) / n),
// summed in index order. NaN anywhere makes it NaN.
#pragma once

#include <cmath>

#include "helpers/series.hpp"

namespace quorlex::hctsa {

inline double population_std(Series y, double mu) {
    double s = 0.0;
    for (double v : y) s += (v - mu) * (v - mu);
    return std::sqrt(s / static_cast<double>(y.size()));
}

}  // namespace quorlex::hctsa
