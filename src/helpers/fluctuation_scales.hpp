// The window lengths of the fluctuation analyses (catch22's SC_FluctAnal and
// catchaMouse16's quadratic variant).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorlex::common {

// 50 log-spaced lengths from 5 to floor(n / 2), rounded half away from zero,
// runs of equal lengths reduced to their first entry.
std::vector<std::uint64_t> fluctuation_scales(std::size_t n);

}  // namespace quorlex::common
