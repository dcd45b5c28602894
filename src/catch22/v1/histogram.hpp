// Equal-width histograms as hctsa v3 bins them (its BF_HistEdges edges and
// MATLAB's histcounts counting), for the catch22 v1 definitions. Inputs are
// non-empty and NaN-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// bins + 1 edges spanning [min, max]: the interior edges lowered, and the end
// edges moved outwards, by 1e-6 of a bin width, so that a value on an ideal
// edge falls in the upper bin. Data constant to within rounding (range at
// most 1e-12 of the largest magnitude) get one bin of unit width around min.
struct Edges {
    std::vector<double> edges;
    std::size_t bins;
    double inverse_width;  // 1 / the bins' width before the edges are moved
};
Edges hist_edges(Series y, std::size_t bins);

// The bin holding x: bin i is [edges[i], edges[i+1]), the last one closed on
// the right; -1 outside [edges[0], edges[bins]].
std::ptrdiff_t bin_index(double x, const Edges& e);

// bin_index for x within [edges[0], edges[bins]] (a value of the series the
// edges span). The edges never fall, so exactly one bin has
// edges[b] <= x < edges[b + 1]: an estimate from the bin width, then the edges
// themselves settle it.
inline std::size_t bin_of(double x, const Edges& e) {
    const std::size_t last = e.bins - 1;
    const double guess = (x - e.edges[0]) * e.inverse_width;
    std::size_t b = guess < static_cast<double>(last) ? static_cast<std::size_t>(guess) : last;
    while (b > 0 && x < e.edges[b]) --b;
    while (b < last && x >= e.edges[b + 1]) ++b;
    return b;
}

// The count of each bin, for values the edges span.
std::vector<std::uint32_t> hist_counts(Series y, const Edges& e);

// hctsa's 'auto' bin count: the larger of Sturges' and the Freedman-Diaconis
// counts (Sturges' when the interquartile range is at the rounding level of
// the data), between 1 and y.size().
std::size_t num_bins_auto(Series y);

}  // namespace quorlex::catch22::v1
