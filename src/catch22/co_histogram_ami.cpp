#include "catch22/co_histogram_ami.hpp"

#include "helpers/histogram_ami.hpp"
#include "helpers/moments.hpp"

namespace quorlex::catch22 {

double co_histogram_ami_even(Series series, std::uint32_t num_bins, std::uint32_t tau, bool normalize,
                             Shared* shared) {
    if (!series_finite(series, shared) || series.size() <= tau) return common::nan;
    const common::Prepared y = prepare(series, normalize, shared);
    return common::even_histogram_ami(y.view(), num_bins, tau);
}

}  // namespace quorlex::catch22
