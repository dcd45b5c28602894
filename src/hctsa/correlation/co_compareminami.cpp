#include "hctsa/correlation/co_compareminami.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <vector>

#include "catch22/co_histogram_ami.hpp"
#include "catch22/histcounts.hpp"
#include "hctsa/correlation/co_histogramami.hpp"
#include "hctsa/distribution/dn_minmax.hpp"
#include "hctsa/distribution/dn_propunique.hpp"

namespace quorlex::hctsa {

SortedSeries sorted_series(Series y) {
    SortedSeries s;
    if (y.empty() || !common::all_finite(y)) return s;
    s.order.resize(y.size());
    std::iota(s.order.begin(), s.order.end(), std::size_t{0});
    std::sort(s.order.begin(), s.order.end(), [&](std::size_t a, std::size_t b) { return y[a] < y[b]; });
    s.values.resize(y.size());
    for (std::size_t r = 0; r < y.size(); ++r) s.values[r] = y[s.order[r]];
    return s;
}

namespace {

// histbinassign(y, edges) for ascending edges, walking the values in
// ascending order: the first edge strictly greater than a value can only
// move up as the value grows, so one pass over values and edges finds every
// bin (0 where no edge is greater, as histbinassign gives).
std::vector<std::uint32_t> assign_bins(Series y, const SortedSeries& sorted, Series edges) {
    for (std::size_t e = 1; e < edges.size(); ++e) {
        if (!(edges[e - 1] <= edges[e])) return catch22::histbinassign(y, edges);
    }
    std::vector<std::uint32_t> bins(y.size());
    std::size_t e = 0;
    for (std::size_t r = 0; r < y.size(); ++r) {
        const double v = sorted.values[r];
        while (e < edges.size() && !(v < edges[e])) ++e;
        bins[sorted.order[r]] = e < edges.size() ? static_cast<std::uint32_t>(e) : 0;
    }
    return bins;
}

}  // namespace

// The edges and the bin of every value do not depend on the lag, so they are
// computed once and every lag only counts its joint table: each a[j] is
// exactly co_histogramami(y, method, bins, j), computed lazily up to the turn.
double first_ami_minimum(Series y, const SortedSeries& sorted, std::string_view method, std::size_t bins) {
    const std::size_t last = y.size() / 2;
    if (last < 2) return static_cast<double>(last);                                // fewer than three lags
    if (!common::all_finite(y) || y.size() < 2) return static_cast<double>(last);  // every a[j] NaN
    const std::vector<double> edges = histogram_ami_edges(sorted.values, method, bins);
    const auto assigned = assign_bins(y, sorted, edges);
    const auto n_edges = static_cast<std::uint32_t>(edges.size());
    // Scratch kept per thread between calls; it never carries a value over.
    thread_local catch22::JointHistogram table;
    const auto ami = [&](std::size_t lag) { return table.ami(assigned, n_edges, lag); };
    double before = ami(0);
    double current = ami(1);
    for (std::size_t j = 2; j <= last; ++j) {
        const double next = ami(j);
        if ((next - current) * (current - before) < 0.0) return static_cast<double>(j - 1);
        before = current;
        current = next;
    }
    return static_cast<double>(last);
}

namespace {

// A most frequent value, counted exactly by value; of equally frequent values
// the smallest, so that the result does not depend on hashing.
std::pair<double, double> mode_of(const std::vector<double>& v) {
    std::map<double, std::size_t> counts;
    for (double x : v) ++counts[x];
    double best = common::nan;
    std::size_t best_count = 0;
    for (const auto& [value, count] : counts) {
        if (count > best_count) {
            best = value;
            best_count = count;
        }
    }
    return {best, static_cast<double>(best_count)};
}

}  // namespace

MinAmiRecord co_compareminami(Series y, std::string_view method, std::span<const std::size_t> bin_counts) {
    const SortedSeries sorted = sorted_series(y);
    std::vector<double> v(bin_counts.size());
    for (std::size_t i = 0; i < bin_counts.size(); ++i) v[i] = first_ami_minimum(y, sorted, method, bin_counts[i]);
    return min_ami_record(v);
}

MinAmiRecord min_ami_record(const std::vector<double>& v) {
    MinAmiRecord r{};
    const auto set = [&r](MinAmiStat s, double value) { r[static_cast<std::size_t>(s)] = value; };
    const double lo = minimum(v);
    const double hi = maximum(v);
    const double mean = common::mean(v);
    const double sd = common::std_dev(v);
    set(MinAmiStat::min, lo);
    set(MinAmiStat::max, hi);
    set(MinAmiStat::range, hi - lo);
    set(MinAmiStat::median, common::median(v));
    set(MinAmiStat::mean, mean);
    set(MinAmiStat::std, sd);
    set(MinAmiStat::nunique, static_cast<double>(count_unique(v)));
    const auto [mode, modef] = mode_of(v);
    set(MinAmiStat::mode, mode);
    set(MinAmiStat::modef, modef);
    const std::size_t tail = std::min<std::size_t>(4, v.size());
    set(MinAmiStat::conv4, common::sum(Series(v).last(tail)) / static_cast<double>(tail));
    std::size_t peaks = 0;
    const std::vector<double> d = common::diff(v);
    for (std::size_t i = 0; i + 1 < d.size(); ++i) {
        if (d[i] > 0.0 && d[i + 1] < 0.0 && v[i + 1] > mean + sd) ++peaks;
    }
    set(MinAmiStat::nlocmax, static_cast<double>(peaks));
    return r;
}

}  // namespace quorlex::hctsa
