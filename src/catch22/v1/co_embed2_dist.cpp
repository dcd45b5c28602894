#include "catch22/v1/co_embed2_dist.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "catch22/co_auto_corr.hpp"
#include "catch22/v1/histogram.hpp"
#include "helpers/moments.hpp"

namespace quorlex::catch22::v1 {

double co_embed2_dist_tau_d_expfit_meandiff(Series z, Shared* shared) {
    const std::size_t n = z.size();
    const common::Prepared y = common::Prepared::borrowed(z);
    PreparedAutocorrs ac(y, shared);
    std::size_t tau = co_firstzero(ac, n);
    if (static_cast<double>(tau) > static_cast<double>(n) / 10) {
        tau = static_cast<std::size_t>(std::floor(static_cast<double>(n) / 10));
    }
    if (n < tau + 2) return common::nan;
    const std::size_t m = n - tau - 1;
    std::vector<double> d(m);
    for (std::size_t i = 0; i < m; ++i) {
        const double a = z[i + 1] - z[i];
        const double b = z[i + tau + 1] - z[i + tau];
        d[i] = std::sqrt(a * a + b * b);
    }
    double lo = d[0], hi = d[0];
    for (const double v : d) {
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
    }
    // All distances equal (to within rounding): no distribution to fit.
    if (hi - lo <= 1e-12 * hi) return common::nan;
    const double l = common::sum(d) / static_cast<double>(m);  // the exponential's maximum-likelihood mean
    const Edges e = hist_edges(d, num_bins_auto(d));
    const std::vector<std::uint32_t> counts = hist_counts(d, e);
    double total = 0;
    for (std::size_t i = 0; i < e.bins; ++i) {
        const double density = counts[i] / (static_cast<double>(m) * (e.edges[i + 1] - e.edges[i]));
        const double centre = (e.edges[i] + e.edges[i + 1]) / 2;
        const double expf = (1 / l) * std::exp(-centre / l);
        total += std::fabs(density - expf);
    }
    return total / static_cast<double>(e.bins);
}

}  // namespace quorlex::catch22::v1
