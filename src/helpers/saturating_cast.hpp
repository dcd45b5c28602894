// Conversion of a double to a count or an index.
#pragma once

#include <cstdint>
#include <limits>

namespace quorlex::common {

// Truncation toward zero with saturation: negative and NaN give 0, values
// from 2^64 up give the largest value. Inline: histogram binning calls it per
// value.
inline std::uint64_t saturating_cast(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 18446744073709551616.0) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(v);
}

}  // namespace quorlex::common
