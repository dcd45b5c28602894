#include "catch22/co_histogram_ami.hpp"

#include <cmath>
#include <limits>
#include <vector>

#include "catch22/histcounts.hpp"

namespace quorlex::catch22 {

double co_histogram_ami_even(Series series, std::uint32_t num_bins, std::uint32_t tau, bool normalize,
                             Shared* shared) {
    const std::size_t n = series.size();
    if (!common::all_finite(series) || n <= tau) return common::nan;
    const common::Prepared y = prepare(series, normalize, shared);

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
    const auto bins = histbinassign(y.view(), edges);
    const std::uint32_t stride = num_bins + 1;
    const std::size_t n_joint = static_cast<std::size_t>(stride) * stride;

    // Counting the joint codes against the edges 1, 2, ..., n_joint: the codes
    // are whole numbers, so the first edge >= code is index code - 1, or 0 for
    // every code <= 1 (negative codes come from values in no bin).
    std::vector<std::uint32_t> joint(n_joint, 0);
    for (std::size_t k = 0; k + tau < n; ++k) {
        const std::uint32_t b1 = bins[k];
        const std::uint32_t b2 = bins[k + tau];
        const auto code = static_cast<std::int32_t>(b2 + (b1 - 1) * stride);
        if (code <= 1) {
            ++joint[0];
        } else if (static_cast<std::size_t>(code) <= n_joint) {
            ++joint[static_cast<std::size_t>(code) - 1];
        }
    }

    // p[j][i] = joint[i * stride + j], the last code of each group dropped.
    std::vector<double> p(static_cast<std::size_t>(num_bins) * num_bins);
    const auto cell = [&](std::size_t row, std::size_t col) -> double& { return p[row * num_bins + col]; };
    std::int32_t sum_bins = 0;
    for (std::size_t i = 0; i < num_bins; ++i) {
        for (std::size_t j = 0; j < num_bins; ++j) {
            const std::uint32_t c = joint[i * stride + j];
            cell(j, i) = static_cast<double>(c);
            sum_bins += static_cast<std::int32_t>(c);
        }
    }
    for (double& v : p) v /= static_cast<double>(sum_bins);

    std::vector<double> pi(num_bins, 0.0);
    std::vector<double> pj(num_bins, 0.0);
    for (std::size_t i = 0; i < num_bins; ++i) {
        for (std::size_t j = 0; j < num_bins; ++j) {
            pi[i] += cell(i, j);
            pj[j] += cell(i, j);
        }
    }

    double ami = 0.0;
    for (std::size_t i = 0; i < num_bins; ++i) {
        for (std::size_t j = 0; j < num_bins; ++j) {
            const double pij = cell(i, j);
            if (pij > 0) ami += pij * std::log(pij / (pj[j] * pi[i]));
        }
    }
    return ami;
}

}  // namespace quorlex::catch22
