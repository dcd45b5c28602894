#include "helpers/histogram_ami.hpp"

#include <bit>
#include <cmath>
#include <vector>

#include "helpers/histcounts.hpp"

namespace quorlex::common {

double joint_histogram_ami(std::span<const std::uint32_t> bins, std::uint32_t n_edges, std::size_t tau) {
    JointHistogram scratch;
    return scratch.ami(bins, n_edges, tau);
}

double JointHistogram::ami(std::span<const std::uint32_t> bins, std::uint32_t n_edges, std::size_t tau) {
    const std::size_t n = bins.size();
    const std::size_t num_bins = n_edges - 1;

    // The published routine counts the joint codes b2 + (b1 - 1) * n_edges
    // (32-bit, wrapping) against the edges 1, 2, ..., n_edges^2: the codes are
    // whole numbers, so the first edge >= code is index code - 1, or 0 for
    // every code <= 1. Index a * n_edges + b, with a and b below num_bins, is
    // the table cell p[b][a]; the last index of each group is dropped. With
    // bins below n_edges (as histbinassign gives) that is: b1 = 0, or b1 = 1
    // with b2 <= 1, counts in p[0][0]; otherwise b2 = 0 is dropped and the
    // rest counts in p[b2 - 1][b1 - 1].
    //
    // Only the occupied cells are visited, in the row-major order of the
    // full table. That order is the order of every sum below (row marginals
    // over columns, column marginals over rows, the information over rows
    // then columns), and an empty cell only adds +0.0 to a non-negative sum
    // or is skipped by the p > 0 test, so the sums are bit for bit those of a
    // walk over the whole table.
    // counts_ and occupied_bits_ are all zero between calls (each call clears
    // what it used), so a table far larger than the number of pairs costs
    // nothing to reset. A bit per cell marks the occupied ones; reading the
    // bits word by word lists them in row-major order without a sort.
    const std::size_t n_cells = num_bins * num_bins;
    if (counts_.size() < n_cells) {
        counts_.resize(n_cells, 0);
        occupied_bits_.resize((n_cells + 63) / 64, 0);
    }
    const auto count = [&](std::size_t cell) {
        ++counts_[cell];
        occupied_bits_[cell / 64] |= std::uint64_t{1} << (cell % 64);
    };
    for (std::size_t k = 0; k + tau < n; ++k) {
        const std::uint32_t b1 = bins[k];
        const std::uint32_t b2 = bins[k + tau];
        if (b1 == 0 || (b1 == 1 && b2 <= 1)) {
            count(0);
        } else if (b2 != 0) {
            count((b2 - 1) * num_bins + (b1 - 1));
        }
    }
    // The cells come in increasing order, so row and column follow without a
    // division per cell.
    p_.clear();
    rows_.clear();
    cols_.clear();
    std::int32_t sum_bins = 0;
    std::size_t row = 0;
    std::size_t row_start = 0;
    for (std::size_t w = 0; w < (n_cells + 63) / 64; ++w) {
        for (std::uint64_t bits = occupied_bits_[w]; bits != 0; bits &= bits - 1) {
            const std::size_t cell = w * 64 + static_cast<std::size_t>(std::countr_zero(bits));
            while (cell >= row_start + num_bins) {
                ++row;
                row_start += num_bins;
            }
            rows_.push_back(static_cast<std::uint32_t>(row));
            cols_.push_back(static_cast<std::uint32_t>(cell - row_start));
            p_.push_back(static_cast<double>(counts_[cell]));  // the count, divided below
            sum_bins += static_cast<std::int32_t>(counts_[cell]);
            counts_[cell] = 0;
        }
        occupied_bits_[w] = 0;
    }
    if (p_.empty()) return nan;
    const double total = static_cast<double>(sum_bins);
    for (double& v : p_) v /= total;

    pi_.assign(num_bins, 0.0);
    pj_.assign(num_bins, 0.0);
    for (std::size_t i = 0; i < p_.size(); ++i) {
        pi_[rows_[i]] += p_[i];
        pj_[cols_[i]] += p_[i];
    }

    double ami = 0.0;
    for (std::size_t i = 0; i < p_.size(); ++i) {
        const double pij = p_[i];
        if (pij > 0) ami += pij * std::log(pij / (pj_[cols_[i]] * pi_[rows_[i]]));
    }
    return ami;
}

double even_histogram_ami(Series y, std::uint32_t num_bins, std::uint32_t tau) {
    const std::size_t n = y.size();
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
    return joint_histogram_ami(histbinassign(y, edges), num_bins + 1, tau);
}

}  // namespace quorlex::common
