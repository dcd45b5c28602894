#include "catch22/v1/co_firstcrossing_acf_1e.hpp"

#include "catch22/co_auto_corr.hpp"
#include "catch22/v1/first_crossing.hpp"
#include "helpers/autocorrelation.hpp"
#include "helpers/moments.hpp"

namespace quorlex::catch22::v1 {

double co_firstcrossing_acf_1e(Series z, Shared* shared) {
    const common::Prepared y = common::Prepared::borrowed(z);
    PreparedAutocorrs ac(y, shared);
    return first_crossing(ac, z.size(), common::one_over_e);
}

}  // namespace quorlex::catch22::v1
