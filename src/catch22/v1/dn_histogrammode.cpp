#include "catch22/v1/dn_histogrammode.hpp"

#include <cstdint>
#include <vector>

#include "catch22/v1/histogram.hpp"

namespace quorlex::catch22::v1 {

double dn_histogrammode(Series z, std::size_t bins) {
    const Edges e = hist_edges(z, bins);
    const std::vector<std::uint32_t> counts = hist_counts(z, e);
    std::uint32_t most = 0;
    for (const std::uint32_t c : counts) most = c > most ? c : most;
    double centres = 0;
    std::size_t ties = 0;
    for (std::size_t i = 0; i < e.bins; ++i) {
        if (counts[i] != most) continue;
        centres += (e.edges[i] + e.edges[i + 1]) / 2;
        ++ties;
    }
    return centres / static_cast<double>(ties);
}

}  // namespace quorlex::catch22::v1
