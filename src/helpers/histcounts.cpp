#include "helpers/histcounts.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "helpers/lanes.hpp"
#include "helpers/saturating_cast.hpp"

namespace quorlex::common {

namespace {

// Up to this many sorted edges, counting beats a binary search.
constexpr std::size_t few_edges = 16;

bool ascending_without_nan(Series edges) {
    for (std::size_t j = 0; j < edges.size(); ++j) {
        if (std::isnan(edges[j])) return false;
        if (j > 0 && edges[j] < edges[j - 1]) return false;
    }
    return true;
}

}  // namespace

Range histcounts_range(Series y) {
    // The extremes in the order where -0 is below +0, NaN taking no part:
    // they do not depend on the scan order, so even and odd positions are
    // scanned in two lanes and the lanes then combined by the same rule.
    constexpr double largest = 1.7976931348623157e308;
    const auto below = [](Lanes v, Lanes m) {
        const LaneMask negative = reinterpret_cast<LaneMask>(v) < 0;
        return (v < m) | ((v == m) & negative);
    };
    const auto above = [](Lanes v, Lanes m) {
        const LaneMask negative = reinterpret_cast<LaneMask>(v) < 0;
        return (v > m) | ((v == m) & ~negative);
    };
    Lanes lo = {largest, largest}, hi = {-largest, -largest};
    std::size_t i = 0;
    for (; i + common::lanes <= y.size(); i += common::lanes) {
        const Lanes v = common::load_lanes(y.data() + i);
        lo = below(v, lo) ? v : lo;
        hi = above(v, hi) ? v : hi;
    }
    Range r{lo[0], hi[0]};
    const auto take = [&r](double low, double high) {
        if (low < r.min || (low == r.min && std::signbit(low))) r.min = low;
        if (high > r.max || (high == r.max && !std::signbit(high))) r.max = high;
    };
    take(lo[1], hi[1]);
    for (; i < y.size(); ++i) take(y[i], y[i]);
    return r;
}

Histogram histcounts(Series y, std::size_t n_bins) {
    return histcounts(y, n_bins, histcounts_range(y));
}

Histogram histcounts(Series y, std::size_t n_bins, Range range) {
    const double bins = static_cast<double>(n_bins);
    const double bin_step = (range.max - range.min) / bins;
    Histogram h{std::vector<std::uint32_t>(n_bins, 0), std::vector<double>(n_bins + 1)};
    // Two values per vector division (each lane the scalar quotient); the
    // two lanes count into separate tables, added at the end, so that runs
    // of values in one bin do not wait on each other's increments.
    const auto bin = [n_bins](double q) { return std::min<std::size_t>(common::saturating_cast(q), n_bins - 1); };
    std::vector<std::uint32_t> odd(n_bins, 0);
    std::size_t i = 0;
    for (; i + common::lanes <= y.size(); i += common::lanes) {
        const common::Lanes q = (common::load_lanes(y.data() + i) - range.min) / bin_step;
        ++h.counts[bin(q[0])];
        ++odd[bin(q[1])];
    }
    if (i < y.size()) ++h.counts[bin((y[i] - range.min) / bin_step)];
    for (std::size_t k = 0; k < n_bins; ++k) h.counts[k] += odd[k];
    for (std::size_t i = 0; i <= n_bins; ++i) {
        h.edges[i] = bin_step * static_cast<double>(i) + range.min;
    }
    return h;
}

std::vector<std::uint32_t> histbinassign(Series y, Series edges) {
    std::vector<std::uint32_t> bins(y.size(), 0);
    if (ascending_without_nan(edges) && edges.size() <= few_edges) {
        // Sorted edges: the first edge strictly greater than v is at the
        // number of edges v is not below (every edge for NaN, which is below
        // none); every edge means none is greater, bin 0, as in the scan
        // below. Counting by comparisons, two values at a time, has no branch
        // to mispredict, where a binary search over random values has several.
        const auto size = static_cast<std::int64_t>(edges.size());
        const auto bin = [size](std::int64_t not_below) {
            return static_cast<std::uint32_t>(not_below == size ? 0 : not_below);
        };
        std::size_t i = 0;
        for (; i + common::lanes <= y.size(); i += common::lanes) {
            const common::Lanes v{y[i], y[i + 1]};
            common::LaneMask not_below{};
            for (double e : edges) not_below -= ~(v < e);
            bins[i] = bin(not_below[0]);
            bins[i + 1] = bin(not_below[1]);
        }
        for (; i < y.size(); ++i) {
            std::int64_t not_below = 0;
            for (double e : edges) not_below += y[i] < e ? 0 : 1;
            bins[i] = bin(not_below);
        }
        return bins;
    }
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

}  // namespace quorlex::common
