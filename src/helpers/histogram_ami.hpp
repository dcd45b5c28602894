// Automutual information of binned series: the joint histogram of each value's
// bin and the bin of the value tau steps later.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::common {

// Automutual information of the joint histogram of (b[t], b[t + tau]) where b
// holds each value's bin from histbinassign against n_edges >= 2 ascending
// edges (n_edges - 1 bins), with joint codes counted as the published routine
// counts them. NaN when no pair falls in a bin. Precondition: tau < b.size().
double joint_histogram_ami(std::span<const std::uint32_t> bins, std::uint32_t n_edges, std::size_t tau);

// joint_histogram_ami with scratch buffers kept between calls, for callers
// that evaluate many lags or bin counts in a row.
class JointHistogram {
public:
    double ami(std::span<const std::uint32_t> bins, std::uint32_t n_edges, std::size_t tau);

private:
    std::vector<std::uint32_t> counts_, rows_, cols_;
    std::vector<std::uint64_t> occupied_bits_;
    std::vector<double> p_, pi_, pj_;
};

// The automutual information at lag tau of num_bins >= 1 even-width bins
// from the smallest value - 0.1 to the largest + 0.1, as catch22's
// CO_HistogramAMI_even bins. Precondition: tau < y.size().
double even_histogram_ami(Series y, std::uint32_t num_bins, std::uint32_t tau);

}  // namespace quorlex::common
