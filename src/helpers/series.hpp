// The series type every routine takes, and the NaN every routine returns for
// an undefined result.
#pragma once

#include <limits>
#include <span>

namespace quorlex {

using Series = std::span<const double>;

}  // namespace quorlex

namespace quorlex::common {

// The quiet NaN every routine returns for an undefined result.
inline constexpr double nan = std::numeric_limits<double>::quiet_NaN();

}  // namespace quorlex::common
