#include "hctsa/distribution/dn_mean.hpp"

#include "helpers/moments.hpp"
#include "helpers/order_statistics.hpp"

namespace quorlex::hctsa {

double dn_mean(Series y, std::string_view type) {
    if (type == "median") return common::median(y);
    return common::mean(y, common::mean_type(type));
}

}  // namespace quorlex::hctsa
