#include "hctsa/correlation/co_histogramami.hpp"

#include <algorithm>
#include <string>

#include "helpers/failure.hpp"
#include "helpers/finite.hpp"
#include "helpers/histcounts.hpp"
#include "helpers/histogram_ami.hpp"
#include "helpers/order_statistics.hpp"
#include "helpers/vectors.hpp"

namespace quorlex::hctsa {

namespace {

std::vector<double> standard_edges(Series sorted, double bound, std::size_t bins) {
    std::vector<double> edges = common::linspace(-bound, bound, bins + 1);
    if (sorted.front() < -bound) edges.insert(edges.begin(), sorted.front() - 0.1);
    if (sorted.back() > bound) edges.push_back(sorted.back() + 0.1);
    return edges;
}

}  // namespace

std::vector<double> histogram_ami_edges(Series sorted, std::string_view method, std::size_t bins) {
    if (method == "std1") return standard_edges(sorted, 1.0, bins);
    if (method == "std2") return standard_edges(sorted, 2.0, bins);
    std::vector<double> edges;
    if (method == "even") {
        edges = common::linspace(sorted.front(), sorted.back(), bins + 1);
    } else if (method == "quantiles") {
        // quantile() of the series is quantile_sorted() of its sorted copy.
        const std::vector<double> p = common::linspace(0.0, 1.0, bins + 1);
        edges.resize(p.size());
        for (std::size_t i = 0; i < p.size(); ++i) edges[i] = common::quantile_sorted(sorted, p[i]);
    } else {
        fail("Unknown binning method: " + std::string(method));
    }
    edges.front() = edges.front() - 0.1;
    edges.back() = edges.back() + 0.1;
    return edges;
}

double co_histogramami(Series y, Series sorted, std::string_view method, std::size_t bins, std::size_t lag) {
    const std::size_t n = y.size();
    if (!common::all_finite(y) || n < 2 || n <= lag) return common::nan;
    const std::vector<double> edges = histogram_ami_edges(sorted, method, bins);
    // y[0 .. n-lag-1] and y[lag .. n-1] are windows of one series: one
    // assignment serves both.
    return common::joint_histogram_ami(common::histbinassign(y, edges), static_cast<std::uint32_t>(edges.size()),
                                        lag);
}

void co_histogramami_lags(Series y, Series sorted, std::string_view method, std::size_t bins, std::span<double> out) {
    const std::size_t n = y.size();
    std::fill(out.begin(), out.end(), common::nan);
    if (!common::all_finite(y) || n < 2) return;
    const std::vector<double> edges = histogram_ami_edges(sorted, method, bins);
    const std::vector<std::uint32_t> assigned = common::histbinassign(y, edges);
    for (std::size_t lag = 1; lag <= out.size() && lag < n; ++lag) {
        out[lag - 1] = common::joint_histogram_ami(assigned, static_cast<std::uint32_t>(edges.size()), lag);
    }
}

double co_histogramami(Series y, std::string_view method, std::size_t bins, std::size_t lag) {
    if (!common::all_finite(y) || y.size() < 2 || y.size() <= lag) return common::nan;
    return co_histogramami(y, common::sorted_copy(y), method, bins, lag);
}

}  // namespace quorlex::hctsa
