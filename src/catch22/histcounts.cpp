#include "catch22/histcounts.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorlex::catch22 {

namespace {

bool ascending_without_nan(Series edges) {
    for (std::size_t j = 0; j < edges.size(); ++j) {
        if (std::isnan(edges[j])) return false;
        if (j > 0 && edges[j] < edges[j - 1]) return false;
    }
    return true;
}

}  // namespace

Range histcounts_range(Series y) {
    Range r{1.7976931348623157e308, -1.7976931348623157e308};
    for (double v : y) {
        if (v < r.min || (v == r.min && std::signbit(v))) r.min = v;
        if (v > r.max || (v == r.max && !std::signbit(v))) r.max = v;
    }
    return r;
}

Histogram histcounts(Series y, std::size_t n_bins) {
    return histcounts(y, n_bins, histcounts_range(y));
}

Histogram histcounts(Series y, std::size_t n_bins, Range range) {
    const double bins = static_cast<double>(n_bins);
    const double bin_step = (range.max - range.min) / bins;
    Histogram h{std::vector<std::uint32_t>(n_bins, 0), std::vector<double>(n_bins + 1)};
    for (double v : y) {
        const std::size_t k = std::min<std::size_t>(common::saturating_cast((v - range.min) / bin_step), n_bins - 1);
        ++h.counts[k];
    }
    for (std::size_t i = 0; i <= n_bins; ++i) {
        h.edges[i] = bin_step * static_cast<double>(i) + range.min;
    }
    return h;
}

std::vector<std::uint32_t> histbinassign(Series y, Series edges) {
    std::vector<std::uint32_t> bins(y.size(), 0);
    if (ascending_without_nan(edges)) {
        // Sorted edges: the first edge strictly greater is upper_bound, and a
        // value with none (or NaN, which is below no edge) keeps bin 0, as in
        // the scan below.
        for (std::size_t i = 0; i < y.size(); ++i) {
            const auto it = std::upper_bound(edges.begin(), edges.end(), y[i]);
            if (it != edges.end()) bins[i] = static_cast<std::uint32_t>(it - edges.begin());
        }
        return bins;
    }
    for (std::size_t i = 0; i < y.size(); ++i) {
        for (std::size_t j = 0; j < edges.size(); ++j) {
            if (y[i] < edges[j]) {
                bins[i] = static_cast<std::uint32_t>(j);
                break;
            }
        }
    }
    return bins;
}

std::vector<std::uint32_t> histcount_edges(Series y, Series edges) {
    std::vector<std::uint32_t> counts(edges.size(), 0);
    if (ascending_without_nan(edges)) {
        // Sorted edges: the first edge >= v is a binary search away.
        for (double v : y) {
            if (std::isnan(v)) continue;
            const auto it = std::lower_bound(edges.begin(), edges.end(), v);
            if (it != edges.end()) ++counts[static_cast<std::size_t>(it - edges.begin())];
        }
        return counts;
    }
    for (double v : y) {
        for (std::size_t j = 0; j < edges.size(); ++j) {
            if (v <= edges[j]) {
                ++counts[j];
                break;
            }
        }
    }
    return counts;
}

}  // namespace quorlex::catch22
