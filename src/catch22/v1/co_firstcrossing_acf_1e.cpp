#include "catch22/v1/co_firstcrossing_acf_1e.hpp"

#include "catch22/co_auto_corr.hpp"
#include "catch22/v1/first_crossing.hpp"
#include "helpers/moments.hpp"

namespace quorlex::catch22::v1 {

namespace {

constexpr double inverse_e = 0.36787944117144233;  // 1 / exp(1)

}  // namespace

double co_firstcrossing_acf_1e(Series z, Shared* shared) {
    const common::Prepared y = common::Prepared::borrowed(z);
    PreparedAutocorrs ac(y, shared);
    return first_crossing(ac, z.size(), inverse_e);
}

}  // namespace quorlex::catch22::v1
