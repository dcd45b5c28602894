#include "catch22/v1/co_firstmin_ac.hpp"

#include <cstddef>

#include "catch22/co_auto_corr.hpp"
#include "helpers/moments.hpp"

namespace quorlex::catch22::v1 {

double co_firstmin_ac(Series z, Shared* shared) {
    const std::size_t n = z.size();
    if (n < 3) return common::nan;
    const common::Prepared y = common::Prepared::borrowed(z);
    PreparedAutocorrs ac(y, shared);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        if (ac[i] < ac[i - 1] && ac[i] < ac[i + 1]) return static_cast<double>(i);
    }
    return static_cast<double>(n);
}

}  // namespace quorlex::catch22::v1
