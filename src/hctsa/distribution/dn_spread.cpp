#include "hctsa/distribution/dn_spread.hpp"

#include <string>

#include "helpers/failure.hpp"
#include "helpers/moments.hpp"
#include "helpers/order_statistics.hpp"

namespace quorlex::hctsa {

double dn_spread(Series y, std::string_view measure) {
    if (measure == "std") return common::std_dev(y);
    if (measure == "iqr") return common::iqr(y);
    if (measure == "mad_median") return common::mad(y, common::Deviation::median);
    if (measure == "mad_mean") return common::mad(y, common::Deviation::mean);
    fail("Unknown spread measure: " + std::string(measure));
}

}  // namespace quorlex::hctsa
