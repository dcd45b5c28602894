// Anti-aliased decimation of a series by an integer factor.
#pragma once

#include <cstddef>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// Anti-aliased decimation by q > 1: the filter centred on every q-th value,
// with zeros beyond the ends of z.
std::vector<double> resample_down(Series z, std::size_t q);

}  // namespace quorlex::catch22::v1
