// How the first minimum of the histogram automutual information moves with
// the number of bins.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::hctsa {

enum class MinAmiStat : std::size_t { min, max, range, median, mean, std, nunique, mode, modef, conv4, nlocmax, count };

using MinAmiRecord = std::array<double, static_cast<std::size_t>(MinAmiStat::count)>;

// For each bin count b: the lag j - 1 before the first turn of
// co_histogramami(y, method, b, j) over lags 0 .. floor(n / 2), or
// floor(n / 2) when the curve never turns; then the statistics of those lags.
MinAmiRecord co_compareminami(Series y, std::string_view method, std::span<const std::size_t> bin_counts);

// Building blocks of co_compareminami, for callers that spread the bin counts
// over threads: the series in ascending order (empty unless the series is
// finite and not empty), the first minimum for one bin count, and the record
// of the first minima of every bin count.
struct SortedSeries {
    std::vector<std::size_t> order;  // indices of y by ascending value
    std::vector<double> values;      // y in that order
};
SortedSeries sorted_series(Series y);
double first_ami_minimum(Series y, const SortedSeries& sorted, std::string_view method, std::size_t bins);
MinAmiRecord min_ami_record(const std::vector<double>& first_minima);

inline double min_ami_entry(const MinAmiRecord& record, MinAmiStat stat) {
    return record[static_cast<std::size_t>(stat)];
}

}  // namespace quorlex::hctsa
