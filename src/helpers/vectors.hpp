// Small routines over whole series: differences, running sums, magnitudes,
// even spacing and the most frequent label.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::common {

std::vector<double> diff(Series y);
std::vector<double> cumsum(Series y);
std::vector<double> abs_values(Series y);
std::vector<double> linspace(double start, double end, std::size_t k);
std::uint32_t int_mode(std::span<const std::uint32_t> v);

}  // namespace quorlex::common
