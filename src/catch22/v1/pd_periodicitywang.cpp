#include "catch22/v1/pd_periodicitywang.hpp"

#include <cstdint>

#include "catch22/pd_periodicitywang.hpp"

namespace quorlex::catch22::v1 {

// The classic routine finds the same peak; v1 reports its lag rather than
// its index into the autocovariance.
double pd_periodicitywang_th0_01(Series z, Shared*) {
    const std::int32_t index = catch22::pd_periodicitywang(z, false);
    return index > 0 ? static_cast<double>(index) + 1 : 0.0;
}

}  // namespace quorlex::catch22::v1
