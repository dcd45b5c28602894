// Equal-width binning, assignment to given edges and counting against edges.
// NaN values are handled as each routine states; callers screen non-finite
// input before binning.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::common {

struct Range {
    double min;
    double max;
};

// Smallest and largest value, skipping NaN, starting from +-1.7976931348623157e308;
// of two zeros the minimum keeps -0 and the maximum +0.
Range histcounts_range(Series y);

struct Histogram {
    std::vector<std::uint32_t> counts;  // nBins entries
    std::vector<double> edges;          // nBins + 1 entries, binStep * i + min
};

// nBins >= 1 equal-width bins between the extremes; the largest value falls in
// the last bin, NaN and every value of a constant series in bin 0.
Histogram histcounts(Series y, std::size_t n_bins);
// The same over a range already known (from histcounts_range of y).
Histogram histcounts(Series y, std::size_t n_bins, Range range);

// Per value: the index of the first edge strictly greater, or 0 when none is.
std::vector<std::uint32_t> histbinassign(Series y, Series edges);

// Per edge: how many values have it as their first edge >= the value. Values
// above every edge, and NaN, are not counted.
std::vector<std::uint32_t> histcount_edges(Series y, Series edges);

}  // namespace quorlex::common
