#include "catch22/v1/co_histogram_ami.hpp"

#include <array>
#include <cmath>
#include <cstddef>

#include "catch22/v1/histogram.hpp"

namespace quorlex::catch22::v1 {

double co_histogramami_even_5bin_ami2(Series z, Shared*) {
    constexpr std::size_t lag = 2, most = 5;
    const std::size_t n = z.size();
    if (n <= lag) return common::nan;
    const Edges e = hist_edges(z, most);
    const std::size_t nb = e.bins;
    const std::size_t samples = n - lag;
    std::array<std::array<double, most>, most> pij{};
    for (std::size_t t = 0; t < samples; ++t) {
        pij[bin_of(z[t], e)][bin_of(z[t + lag], e)] += 1;
    }
    // Column by column, as MATLAB sums.
    double total = 0;
    for (std::size_t j = 0; j < nb; ++j) {
        for (std::size_t i = 0; i < nb; ++i) total += pij[i][j];
    }
    std::array<double, most> pi_{}, pj{};
    for (std::size_t i = 0; i < nb; ++i) {
        for (std::size_t j = 0; j < nb; ++j) pij[i][j] /= total;
    }
    for (std::size_t i = 0; i < nb; ++i) {
        for (std::size_t j = 0; j < nb; ++j) pi_[i] += pij[i][j];
    }
    for (std::size_t j = 0; j < nb; ++j) {
        for (std::size_t i = 0; i < nb; ++i) pj[j] += pij[i][j];
    }
    double ami = 0;
    int cells = 0, rows = 0, cols = 0;
    for (std::size_t j = 0; j < nb; ++j) {
        for (std::size_t i = 0; i < nb; ++i) {
            if (pij[i][j] > 0) {
                ami += pij[i][j] * std::log(pij[i][j] / pi_[i] / pj[j]);
                ++cells;
            }
        }
    }
    for (std::size_t i = 0; i < nb; ++i) {
        if (pi_[i] > 0) ++rows;
        if (pj[i] > 0) ++cols;
    }
    // Panzeri-Treves bias correction.
    ami -= (cells - rows - cols + 1) / (2.0 * static_cast<double>(samples));
    return ami;
}

}  // namespace quorlex::catch22::v1
