#include "hctsa/distribution/dn_histogrammode.hpp"

#include "helpers/finite.hpp"
#include "helpers/histcounts.hpp"
#include "helpers/vectors.hpp"

namespace quorlex::hctsa {

double dn_histogrammode(Series y, std::size_t n_bins) {
    if (!common::all_finite(y)) return common::nan;
    const common::Histogram h = common::histcounts(y, n_bins);
    std::uint32_t best = 0;
    double total = 0.0;
    std::size_t ties = 1;
    for (std::size_t i = 0; i < n_bins; ++i) {
        const double centre = (h.edges[i] + h.edges[i + 1]) * 0.5;
        if (h.counts[i] > best) {
            best = h.counts[i];
            total = centre;
            ties = 1;
        } else if (h.counts[i] == best) {
            total = total + centre;
            ties = ties + 1;
        }
    }
    return total / static_cast<double>(ties);
}

double dn_histogrammode_abs(Series y, std::size_t n_bins) {
    return dn_histogrammode(common::abs_values(y), n_bins);
}

}  // namespace quorlex::hctsa
