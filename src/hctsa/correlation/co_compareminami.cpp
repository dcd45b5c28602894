#include "hctsa/correlation/co_compareminami.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cmath>
#include <map>
#include <numeric>
#include <vector>

#include "helpers/finite.hpp"
#include "helpers/histcounts.hpp"
#include "helpers/histogram_ami.hpp"
#include "helpers/moments.hpp"
#include "helpers/order_statistics.hpp"
#include "helpers/vectors.hpp"
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

bool ascending(Series edges) {
    for (std::size_t e = 1; e < edges.size(); ++e) {
        if (!(edges[e - 1] <= edges[e])) return false;
    }
    return true;
}

// histbinassign(y, edges) for ascending edges, walking the values in
// ascending order: the first edge strictly greater than a value can only
// move up as the value grows, so one pass over values and edges finds every
// bin (0 where no edge is greater, as histbinassign gives).
std::vector<std::uint32_t> assign_bins(Series y, const SortedSeries& sorted, Series edges) {
    if (!ascending(edges)) return common::histbinassign(y, edges);
    std::vector<std::uint32_t> bins(y.size());
    std::size_t e = 0;
    for (std::size_t r = 0; r < y.size(); ++r) {
        const double v = sorted.values[r];
        while (e < edges.size() && !(v < edges[e])) ++e;
        bins[sorted.order[r]] = e < edges.size() ? static_cast<std::uint32_t>(e) : 0;
    }
    return bins;
}

// std::log of recent operands, looked up by their bits. Tables with
// near-uniform marginals repeat few operands: the same count over the same
// pair of marginals. Every entry holds a pair (v, std::log(v)), starting from
// (1, 0), so a hit gives the very value the call would.
class LogCache {
public:
    LogCache() {
        for (Entry& e : entries_) e = {std::bit_cast<std::uint64_t>(1.0), 0.0};
    }
    double log(double v) {
        const auto key = std::bit_cast<std::uint64_t>(v);
        Entry& e = entries_[(key * 0x9E3779B97F4A7C15u) >> (64 - bits)];
        if (e.key != key) e = {key, std::log(v)};
        return e.value;
    }

private:
    static constexpr int bits = 9;
    struct Entry {
        std::uint64_t key;
        double value;
    };
    std::array<Entry, std::size_t{1} << bits> entries_;
};

// The automutual information of the joint histogram of (b[t], b[t + lag]),
// for one assignment of bins and many lags, with the value of
// common::JointHistogram::ami.
//
// When no value falls outside the edges (no bin 0, the usual case) every
// pair counts, the total is n - lag, and the published cell rule reduces to
// cell (b2 - 1) * num_bins + (b1 - 1) (the pair b1 = b2 = 1 lands in cell 0
// either way): a cell index is then one addition of two per-value terms
// prepared once for all lags. The occupied cells are listed in row-major
// order as there, and each p = count / total is added to its row and column
// marginals in that same order and each term of the information in that same
// order, so every sum is formed exactly as in JointHistogram::ami. With some
// bin 0 the general routine is used.
class LaggedAmi {
public:
    // The bins of y (finite, at least two values) for the given edges.
    void assign(Series y, const SortedSeries& sorted, Series edges, bool repeats) {
        repeats_ = repeats;
        const std::size_t n = y.size();
        const std::size_t n_edges = edges.size();
        n_values_ = n;
        n_edges_ = static_cast<std::uint32_t>(n_edges);
        num_bins_ = n_edges_ - 1;
        // With ascending edges, only the smallest value (below every edge)
        // or the largest (at or above the last) can have no greater edge:
        // bin 0.
        const bool in_order = ascending(edges);
        general_ = !in_order || sorted.values[0] < edges[0] || !(sorted.values[n - 1] < edges[n_edges - 1]);
        if (general_) {
            general_bins_ = assign_bins(y, sorted, edges);
            bins_ = general_bins_;
            return;
        }
        col_.resize(n);
        row_.resize(n);
        bin_counts_.assign(num_bins_, 0);
        // Local pointers: the object lives in thread-local storage, and
        // stores through members would make the compiler look it up again
        // for every value.
        std::uint32_t* const col = col_.data();
        std::uint32_t* const row = row_.data();
        std::uint32_t* const bin_counts = bin_counts_.data();
        const std::uint32_t num_bins = num_bins_;
        const double* const values = sorted.values.data();
        const std::size_t* const order = sorted.order.data();
        // The walk of assign_bins (the bin of a value is the first edge
        // strictly above it, 1 .. num_bins here), each bin's count being the
        // length of its run of ranks.
        std::size_t e = 0;
        std::size_t run_start = 0;
        for (std::size_t r = 0; r < n; ++r) {
            const double v = values[r];
            if (!(v < edges[e])) {
                if (e > 0) bin_counts[e - 1] = static_cast<std::uint32_t>(r - run_start);
                do {
                    ++e;
                } while (!(v < edges[e]));
                run_start = r;
            }
            const auto b = static_cast<std::uint32_t>(e - 1);
            col[order[r]] = b;
            row[order[r]] = b * num_bins;
        }
        bin_counts[e - 1] = static_cast<std::uint32_t>(n - run_start);
        const std::size_t n_cells = std::size_t{num_bins_} * num_bins_;
        if (counts_.size() < 2 * n_cells) {
            counts_.resize(2 * n_cells, 0);
            occupied_.resize(2 * ((n_cells + 63) / 64), 0);
        }
        pi_.resize(num_bins_);
        pj_.resize(num_bins_);
    }

    double at(std::size_t lag) {
        if (general_) return general_table_.ami(bins_, n_edges_, lag);
        if (lag == 0) return diagonal();
        const std::size_t pairs = n_values_ - lag;
        // counts and occupied are all zero between calls: each call clears
        // what it used. Local pointers keep the loops free of reloads.
        // Pairs k alternate between two tables of counts and two of occupied
        // cells (added and merged below): successive pairs often hit one
        // cell or one word, and separate tables halve those chains of
        // dependent updates in memory.
        const std::size_t n_cells = std::size_t{num_bins_} * num_bins_;
        const std::size_t words = (n_cells + 63) / 64;
        std::uint32_t* const counts = counts_.data();
        std::uint32_t* const counts_odd = counts + n_cells;
        std::uint64_t* const occupied = occupied_.data();
        std::uint64_t* const occupied_odd = occupied + words;
        const std::uint32_t* const row_term = row_.data() + lag;
        const std::uint32_t* const col_term = col_.data();
        std::size_t k = 0;
        for (; k + 1 < pairs; k += 2) {
            const std::uint32_t cell = row_term[k] + col_term[k];
            const std::uint32_t cell_odd = row_term[k + 1] + col_term[k + 1];
            ++counts[cell];
            ++counts_odd[cell_odd];
            occupied[cell / 64] |= std::uint64_t{1} << (cell % 64);
            occupied_odd[cell_odd / 64] |= std::uint64_t{1} << (cell_odd % 64);
        }
        if (k < pairs) {
            const std::uint32_t cell = row_term[k] + col_term[k];
            ++counts[cell];
            occupied[cell / 64] |= std::uint64_t{1} << (cell % 64);
        }
        p_.resize(pairs);
        rows_.resize(pairs);
        cols_.resize(pairs);
        double* const p = p_.data();
        std::uint32_t* const rows = rows_.data();
        std::uint32_t* const cols = cols_.data();
        double* const pi = pi_.data();
        double* const pj = pj_.data();
        const std::size_t num_bins = num_bins_;
        std::fill(pi, pi + num_bins, 0.0);
        std::fill(pj, pj + num_bins, 0.0);
        // Most cells hold a small count: their shares count / total come
        // from a table of those very divisions.
        const double total = static_cast<double>(pairs);
        std::array<double, 16> share;
        for (std::size_t c = 0; c < share.size(); ++c) share[c] = static_cast<double>(c) / total;
        // The cells come in row-major order: a row's marginal is summed in a
        // register from 0.0 in that order and stored when the row ends.
        std::size_t m = 0;
        std::uint32_t row = 0;
        std::size_t row_start = 0;
        double row_sum = 0.0;
        for (std::size_t w = 0; w < words; ++w) {
            for (std::uint64_t bits = occupied[w] | occupied_odd[w]; bits != 0; bits &= bits - 1) {
                const std::size_t cell = w * 64 + static_cast<std::size_t>(std::countr_zero(bits));
                if (cell >= row_start + num_bins) {
                    pi[row] = row_sum;
                    row_sum = 0.0;
                    do {
                        ++row;
                        row_start += num_bins;
                    } while (cell >= row_start + num_bins);
                }
                const auto col = static_cast<std::uint32_t>(cell - row_start);
                const std::uint32_t count = counts[cell] + counts_odd[cell];
                counts[cell] = 0;
                counts_odd[cell] = 0;
                const double share_of_cell =
                    count < share.size() ? share[count] : static_cast<double>(count) / total;
                row_sum += share_of_cell;
                pj[col] += share_of_cell;
                rows[m] = row;
                cols[m] = col;
                p[m] = share_of_cell;
                ++m;
            }
            occupied[w] = 0;
            occupied_odd[w] = 0;
        }
        if (m == 0) return common::nan;
        pi[row] = row_sum;
        double ami = 0.0;
        if (repeats_) {
            for (std::size_t i = 0; i < m; ++i) {
                const double pij = p[i];
                if (pij > 0) ami += pij * logs_.log(pij / (pj[cols[i]] * pi[rows[i]]));
            }
        } else {
            for (std::size_t i = 0; i < m; ++i) {
                const double pij = p[i];
                if (pij > 0) ami += pij * std::log(pij / (pj[cols[i]] * pi[rows[i]]));
            }
        }
        return ami;
    }

private:
    // Lag 0 pairs every value with itself: the occupied cells are the
    // diagonal cells of the bins holding values, in bin order, each the only
    // cell of its row and of its column. Each marginal is then 0.0 plus the
    // cell's share, that is the share itself, and the terms are those of the
    // table in the same order.
    double diagonal() const {
        const double total = static_cast<double>(n_values_);
        double ami = 0.0;
        bool any = false;
        for (const std::uint32_t count : bin_counts_) {
            if (count == 0) continue;
            any = true;
            const double p = static_cast<double>(count) / total;
            if (p > 0) ami += p * std::log(p / (p * p));
        }
        return any ? ami : common::nan;
    }

    std::span<const std::uint32_t> bins_;
    std::size_t n_values_ = 0;
    std::uint32_t n_edges_ = 0, num_bins_ = 0;
    bool general_ = false;
    bool repeats_ = false;
    common::JointHistogram general_table_;
    std::vector<std::uint32_t> general_bins_, col_, row_, counts_, rows_, cols_, bin_counts_;
    std::vector<std::uint64_t> occupied_;
    std::vector<double> p_, pi_, pj_;
    LogCache logs_;
};

// Scratch kept per thread between calls; it never carries a value over.
// Returned from a function kept out of line: where the thread-local object
// is named in the caller, the compiler looks its address up again (a library
// call) inside the loops rather than keep it in a register.
[[gnu::noinline]] LaggedAmi& lagged_ami_scratch() {
    thread_local LaggedAmi scratch;
    return scratch;
}

}  // namespace

// The edges and the bin of every value do not depend on the lag, so they are
// computed once and every lag only counts its joint table: each a[j] is
// exactly co_histogramami(y, method, bins, j), computed lazily up to the turn.
double first_ami_minimum(Series y, const SortedSeries& sorted, std::string_view method, std::size_t bins) {
    const std::size_t last = y.size() / 2;
    if (last < 2) return static_cast<double>(last);                                // fewer than three lags
    // sorted is empty exactly when y (not empty here) holds a non-finite value.
    if (sorted.values.empty() || y.size() < 2) return static_cast<double>(last);  // every a[j] NaN
    const std::vector<double> edges = histogram_ami_edges(sorted.values, method, bins);
    LaggedAmi& table = lagged_ami_scratch();
    // Quantile bins hold near-equal counts, so their tables repeat operands
    // of the log; with the other binnings most operands are new.
    table.assign(y, sorted, edges, method == "quantiles");
    const auto ami = [&](std::size_t lag) { return table.at(lag); };
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
