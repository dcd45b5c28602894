#include "catch22/md_hrv.hpp"

#include <cmath>
#include <cstddef>

#include "helpers/moments.hpp"

namespace quorlex::catch22 {

double md_hrv_classic_pnn40(Series y, bool normalize, Shared* shared) {
    if (!series_finite(y, shared)) return common::nan;
    const common::Prepared prepared = prepare(y, normalize, shared);
    const Series x = prepared.view();
    std::size_t count = 0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        // Milliseconds: scale the difference before comparing with 40.
        if (std::fabs(x[i] - x[i - 1]) * 1000.0 > 40.0) ++count;
    }
    // The divisor is n - 1 in doubles: 0/0 for one value, 0/-1 for none.
    return static_cast<double>(count) / (static_cast<double>(x.size()) - 1.0);
}

}  // namespace quorlex::catch22
