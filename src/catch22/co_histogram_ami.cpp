#include "catch22/co_histogram_ami.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "catch22/histcounts.hpp"

namespace quorlex::catch22 {

double joint_histogram_ami(std::span<const std::uint32_t> bins, std::uint32_t n_edges, std::size_t tau) {
    const std::size_t n = bins.size();
    const std::size_t num_bins = n_edges - 1;
    const std::uint32_t stride = n_edges;
    const std::size_t n_joint = static_cast<std::size_t>(stride) * stride;

    // The published routine counts the joint codes b2 + (b1 - 1) * stride
    // (32-bit, wrapping) against the edges 1, 2, ..., n_joint: the codes are
    // whole numbers, so the first edge >= code is index code - 1, or 0 for
    // every code <= 1 (negative codes come from values in no bin). Count
    // index a * stride + b, with a and b below num_bins, is the table cell
    // p[b][a]; the last code of each group is dropped.
    //
    // Only the occupied cells are visited, in the row-major order of the
    // full table. That order is the order of every sum below (row marginals
    // over columns, column marginals over rows, the information over rows
    // then columns), and an empty cell only adds +0.0 to a non-negative sum
    // or is skipped by the p > 0 test, so the sums are bit for bit those of a
    // walk over the whole table.
    std::vector<std::uint32_t> counts(num_bins * num_bins, 0);  // row-major p[row][col]
    std::vector<std::uint32_t> occupied;
    for (std::size_t k = 0; k + tau < n; ++k) {
        const std::uint32_t b1 = bins[k];
        const std::uint32_t b2 = bins[k + tau];
        const auto code = static_cast<std::int32_t>(b2 + (b1 - 1) * stride);
        std::size_t index;
        if (code <= 1) {
            index = 0;
        } else if (static_cast<std::size_t>(code) <= n_joint) {
            index = static_cast<std::size_t>(code) - 1;
        } else {
            continue;
        }
        const std::size_t a = index / stride;
        const std::size_t b = index % stride;
        if (a >= num_bins || b >= num_bins) continue;
        const std::size_t cell = b * num_bins + a;
        if (counts[cell]++ == 0) occupied.push_back(static_cast<std::uint32_t>(cell));
    }
    std::sort(occupied.begin(), occupied.end());

    std::int32_t sum_bins = 0;
    for (std::uint32_t cell : occupied) sum_bins += static_cast<std::int32_t>(counts[cell]);
    // Only edges that leave values outside every bin (never the even-width
    // edges here, which span the data with a margin) can empty the table.
    if (sum_bins == 0) return std::numeric_limits<double>::quiet_NaN();
    const double total = static_cast<double>(sum_bins);
    const auto p = [&](std::uint32_t cell) { return static_cast<double>(counts[cell]) / total; };

    std::vector<double> pi(num_bins, 0.0);
    std::vector<double> pj(num_bins, 0.0);
    for (std::uint32_t cell : occupied) {
        pi[cell / num_bins] += p(cell);
        pj[cell % num_bins] += p(cell);
    }

    double ami = 0.0;
    for (std::uint32_t cell : occupied) {
        const double pij = p(cell);
        if (pij > 0) ami += pij * std::log(pij / (pj[cell % num_bins] * pi[cell / num_bins]));
    }
    return ami;
}

double co_histogram_ami_even(Series series, std::uint32_t num_bins, std::uint32_t tau, bool normalize) {
    const std::size_t n = series.size();
    if (!common::all_finite(series) || n <= tau) return std::numeric_limits<double>::quiet_NaN();
    const common::Prepared y(series, normalize);

    double max_value = y[0];
    double min_value = y[0];
    for (std::size_t i = 1; i < n; ++i) {
        if (y[i] > max_value) max_value = y[i];
        if (y[i] < min_value) min_value = y[i];
    }
    const double bin_step = (max_value - min_value + 0.2) / static_cast<double>(num_bins);
    std::vector<double> edges(num_bins + 1);
    for (std::uint32_t i = 0; i <= num_bins; ++i) {
        edges[i] = min_value + bin_step * static_cast<double>(i) + (-0.1);
    }

    // y[0 .. n-tau-1] and y[tau .. n-1] are windows of one series, so one
    // assignment serves both.
    return joint_histogram_ami(histbinassign(y.view(), edges), num_bins + 1, tau);
}

}  // namespace quorlex::catch22
