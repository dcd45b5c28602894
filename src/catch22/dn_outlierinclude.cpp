#include "catch22/dn_outlierinclude.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "helpers/moments.hpp"

namespace quorlex::catch22 {

namespace {

using common::nan;

// Counts of occupied positions with k-th smallest lookup, so that each
// threshold's median exceedance costs O(log n) instead of a pass over the series.
class PositionSet {
public:
    explicit PositionSet(std::size_t n) : tree_(n + 1, 0) {
        while (top_ * 2 <= n) top_ *= 2;
    }
    void insert(std::size_t position) {  // 0-based
        for (std::size_t i = position + 1; i < tree_.size(); i += i & (~i + 1)) ++tree_[i];
    }
    // 0-based position of the k-th smallest member (k is 1-based).
    std::size_t kth(std::size_t k) const {
        std::size_t pos = 0;
        for (std::size_t step = top_; step > 0; step /= 2) {
            const std::size_t next = pos + step;
            if (next < tree_.size() && tree_[next] < k) {
                pos = next;
                k -= tree_[next];
            }
        }
        return pos;
    }

private:
    std::vector<std::size_t> tree_;
    std::size_t top_ = 1;
};

struct ThresholdStats {
    double mean_gap;
    double gap_percent;
    double median_pos;
};

// Threshold numbers. Their count grows with the largest value (about 100 per
// unit), so it passes 64 bits for values beyond about 1.8e17.
// (GCC and Clang offer the type on 64-bit targets, x86-64 and aarch64 alike.)
#if !defined(__SIZEOF_INT128__)
#error "quorlex needs unsigned __int128: GCC or Clang on a 64-bit target"
#endif
using Index = unsigned __int128;

// The count is floor(maxVal / 0.01 + 1.0) as a double; at or beyond 2^127 it
// has no 128-bit value (and for maxVal near the double range it is infinite).
constexpr double index_limit = 170141183460469231731687303715884105728.0;  // 2^127

// Threshold number j is j * 0.01, with j converted to the nearest double.
// Below 2^64 the 64-bit conversion rounds the same integer to the same double
// and is a single instruction rather than a library call, so counts that fit
// take that path with the same bits.
double threshold(std::uint64_t j) { return static_cast<double>(j) * 0.01; }
double threshold(Index j) {
    if (j <= std::numeric_limits<std::uint64_t>::max()) return threshold(static_cast<std::uint64_t>(j));
    return static_cast<double>(j) * 0.01;
}

// The first threshold number in [0, count] whose threshold is above v (count
// when none is): thresholds rise with j, so the thresholds that v reaches are
// exactly those below the result. Gallops from the estimate v / 0.01, then
// bisects, so huge counts cost a few dozen steps.
Index first_above(double v, Index count) {
    if (threshold(Index{0}) > v) return 0;
    const double estimate = v / 0.01;
    // v >= 0 here, so the estimate is too; below 2^64 the 64-bit conversion
    // truncates to the same integer without a library call.
    Index guess = count;
    if (estimate < static_cast<double>(count)) {
        guess = estimate < 18446744073709551616.0 ? Index{static_cast<std::uint64_t>(estimate)}
                                                  : static_cast<Index>(estimate);
    }
    Index lo = 0, hi = count;  // threshold(lo) <= v; hi == count or threshold(hi) > v
    Index step = 1;
    if (guess < count && threshold(guess) <= v) {
        lo = guess;
        for (;;) {
            const Index probe = count - lo > step ? lo + step : count;
            if (probe == count || threshold(probe) > v) {
                hi = probe;
                break;
            }
            lo = probe;
            step *= 2;
        }
    } else {
        hi = guess;
        for (;;) {
            const Index probe = hi > step ? hi - step : 0;
            if (threshold(probe) <= v) {
                lo = probe;
                break;
            }
            hi = probe;
            step *= 2;
        }
    }
    while (hi - lo > 1) {
        const Index mid = lo + (hi - lo) / 2;
        (threshold(mid) <= v ? lo : hi) = mid;
    }
    return hi;
}

// Thresholds [begin, end) share one exceedance set and so one result.
struct Run {
    Index begin, end;
    ThresholdStats stats;
};

// The k-th smallest (0-based) of the values that the runs list, each `count`
// times; `pieces` is sorted by value.
double kth_value(const std::vector<std::pair<double, Index>>& pieces, Index k) {
    for (const auto& [value, count] : pieces) {
        if (k < count) return value;
        k -= count;
    }
    return pieces.back().first;
}

struct Scan {
    bool constant;
    bool any_nan;
    std::uint32_t tot;  // values w >= 0
    double max_val;     // the largest w, when none is NaN
};

// One pass over w = x * s, kept out of line: inlined into the caller, its
// running maximum was kept in memory, a store and load per value.
[[gnu::noinline]] Scan scan(Series x, double s) {
    Scan out{true, false, 0, -std::numeric_limits<double>::infinity()};
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double v = x[i] * s;
        out.constant = out.constant && x[i] == x[0];
        out.any_nan = out.any_nan || std::isnan(v);
        if (v >= 0.0) ++out.tot;
        out.max_val = std::max(out.max_val, v);
    }
    return out;
}

// Threshold counts up to which each threshold gets a bucket of its own: the
// z-score of n values stays below sqrt(n), so a normalised series has at most
// about 100 sqrt(n) + 1 thresholds.
std::uint64_t bucket_limit(std::size_t n) { return std::min<std::uint64_t>(16 * std::uint64_t{n} + 1024, UINT32_MAX); }

// How many of the thresholds 0 .. n_thresh - 1 a value v >= 0 reaches: the
// thresholds rise with j, and v / 0.01 lands within a step or two of the count.
std::uint32_t reached(double v, std::uint32_t n_thresh) {
    std::uint64_t j = std::min<std::uint64_t>(static_cast<std::uint64_t>(v / 0.01), n_thresh);
    while (j < n_thresh && threshold(j) <= v) ++j;
    while (j > 0 && threshold(j - 1) > v) --j;
    return static_cast<std::uint32_t>(j);
}

// The positions of an exceedance set in increasing order, as a doubly linked
// list that keeps its lower median member: removing one member moves the
// lower median by at most one place, so the set shrinks at O(1) a member.
class Members {
public:
    // The positions i with x[i] * s >= 0 (`tot` of them); `links` has room
    // for 2 (n + 2) entries.
    Members(Series x, double s, std::uint32_t tot, std::uint32_t* links)
        : next_(links), prev_(links + x.size() + 2), size_(tot) {
        const auto head = static_cast<std::uint32_t>(x.size()), tail = head + 1;
        const std::uint32_t middle_rank = (tot + 1) / 2;
        std::uint32_t last = head, rank = 0;
        for (std::uint32_t i = 0; i < head; ++i) {
            if (!(x[i] * s >= 0.0)) continue;
            next_[last] = i;
            prev_[i] = last;
            last = i;
            if (++rank == middle_rank) low_ = i;
        }
        next_[last] = tail;
        prev_[tail] = last;
    }
    std::uint32_t size() const { return size_; }
    // Twice the median of the 1-based positions: a whole number.
    std::uint64_t twice_median() const {
        if (size_ % 2 == 1) return 2 * (std::uint64_t{low_} + 1);
        return std::uint64_t{low_} + 1 + next_[low_] + 1;
    }
    void remove(std::uint32_t i) {
        // The lower median has rank (size + 1) / 2: with an odd size it drops a
        // rank unless a member before it goes; with an even size it keeps its
        // rank, which passes to the next member when i is at or before it.
        if (size_ % 2 == 1) {
            if (i >= low_) low_ = prev_[low_];
        } else if (i <= low_) {
            low_ = next_[low_];
        }
        next_[prev_[i]] = next_[i];
        prev_[next_[i]] = prev_[i];
        --size_;
    }

private:
    std::uint32_t* next_;
    std::uint32_t* prev_;
    std::uint32_t size_;
    std::uint32_t low_ = 0;
};

// The result when the thresholds are few enough to bucket; x is NaN-free and
// not constant, w = x * s has `tot` values >= 0 and its largest value is at
// least 0.01.
//
// Each value w >= 0 goes to the bucket of the number of thresholds it reaches
// (at least 1), so the exceedance set of threshold j is the values in buckets
// above j. Visiting the buckets upwards, the set loses one bucket at a time;
// between two buckets its thresholds share the set and its statistics, which
// are computed from the set alone with the same arithmetic as per threshold.
// The gap percentage falls with the set, so lastHigh is the threshold before
// the first run where it is at most 2 (or 0 when that is the first run). Such
// a run comes no later than one with at most one member, whose mean gap is the
// first NaN: the trimmed thresholds 0 .. limit - 1 are those before that run
// (only the first threshold when it is the first run), every one of them with
// at least two members and a whole-number median. The median position rises
// with the median, so the runs' medians, counted by twice their value, give
// the order statistics of the positions without sorting them.
double by_threshold_buckets(Series x, double s, std::uint32_t tot, std::uint32_t n_thresh) {
    const std::size_t n = x.size();
    // Bucket lists hold position + 1 so that zero ends a list; weights count
    // thresholds by twice the median (2 .. 2n).
    std::vector<std::uint32_t> scratch(2 * (n + 2) + n + (std::size_t{n_thresh} + 1) + (2 * n + 1), 0);
    std::uint32_t* const links = scratch.data();
    std::uint32_t* const bucket_next = links + 2 * (n + 2);
    std::uint32_t* const bucket_first = bucket_next + n;
    std::uint32_t* const weight = bucket_first + n_thresh + 1;

    Members members(x, s, tot, links);
    std::uint32_t top = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const double v = x[i] * s;
        if (!(v >= 0.0)) continue;
        const std::uint32_t b = reached(v, n_thresh);
        bucket_next[i] = bucket_first[b];
        bucket_first[b] = i + 1;
        top = std::max(top, b);
    }
    // The fewest members whose gap percentage exceeds 2, found with the same
    // arithmetic; the percentage rises with the count.
    const auto gap_percent = [tot](std::uint32_t h) {
        return static_cast<double>(h - 1) * 100.0 / static_cast<double>(tot);
    };
    std::uint32_t high_count = std::min(tot, tot / 50 + 1);
    while (high_count > 1 && gap_percent(high_count - 1) > 2.0) --high_count;
    while (high_count <= tot && !(gap_percent(high_count) > 2.0)) ++high_count;

    const double half_length = static_cast<double>(n) * 0.5;
    const auto median_pos = [half_length](std::uint64_t twice) {
        return static_cast<double>(twice) * 0.5 / half_length - 1.0;
    };
    std::uint32_t begin = 0;
    for (std::uint32_t b = 1; b <= top; ++b) {
        if (bucket_first[b] == 0) continue;
        if (members.size() < high_count) break;
        weight[members.twice_median()] += b - begin;
        for (std::uint32_t i = bucket_first[b]; i != 0; i = bucket_next[i - 1]) members.remove(i - 1);
        begin = b;
    }
    if (begin == 0) return median_pos(members.twice_median());

    // Thresholds begin .. n_thresh - 1 either share an empty set or (when the
    // top bucket is n_thresh) do not exist.
    const std::uint32_t limit = begin;
    const std::uint32_t k_low = (limit - 1) / 2, k_high = limit / 2;
    std::uint64_t below = 0, low = 0, high = 0;
    for (std::uint64_t twice = 2; twice <= 2 * n; ++twice) {
        below += weight[twice];
        if (low == 0 && below > k_low) low = twice;
        if (below > k_high) {
            high = twice;
            break;
        }
    }
    if (limit % 2 == 1) return median_pos(low);
    return (median_pos(low) + median_pos(high)) * 0.5;
}

// The result for any number of thresholds, visiting the runs of thresholds
// that share an exceedance set; x is NaN-free and not constant, w = x * s has
// `tot` values >= 0 and the largest value max_val >= 0.01.
double by_sorted_values(Series x, double s, std::uint32_t tot, double max_val, Index n_thresh) {
    const std::size_t n = x.size();
    // The exceedance set {i : w[i] >= t} changes only where t passes one of
    // the values, so the thresholds fall into at most n + 1 runs that share a
    // set. Each run's statistics are computed once, from the set alone, with
    // the same arithmetic as per threshold: the results are the same bits, in
    // time and memory bounded by n rather than by the largest value.
    // Thresholds rise with j, so the set only shrinks: visit the runs from the
    // top and add positions in order of decreasing w. Every threshold is at
    // least 0, so only the values w >= 0 can join a set; they are the only
    // ones sorted. Equal values join together, so their order among
    // themselves does not matter.
    std::vector<std::pair<double, std::uint32_t>> order;
    order.reserve(tot);
    for (std::size_t i = 0; i < n; ++i) {
        const double v = x[i] * s;
        if (v >= 0.0) order.emplace_back(v, static_cast<std::uint32_t>(i));
    }
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    const std::size_t k = order.size();

    PositionSet members(n);
    std::vector<Run> runs;
    runs.reserve(k + 1);
    Index upper = first_above(max_val, n_thresh);
    if (upper < n_thresh) {
        // Rounding can put the top threshold just above the largest value: no
        // exceedance, no gaps. NaN mean gap and zero gap percentage keep this
        // threshold out of the trimmed range below.
        runs.push_back({upper, n_thresh, {nan, 0.0, nan}});
    }
    std::size_t h = 0, first = n, last = 0;
    const double half_length = static_cast<double>(n) * 0.5;
    while (h < k && upper > 0) {
        const double value = order[h].first;
        for (; h < k && order[h].first == value; ++h) {
            const std::size_t position = order[h].second;
            members.insert(position);
            first = std::min(first, position);
            last = std::max(last, position);
        }
        // Thresholds above the next lower value and up to this one see exactly
        // the members so far (below the non-negative values, every threshold).
        // When even the threshold just below `upper` is reached by the next
        // value, that run is empty and the search for its start is skipped.
        const double next = h < k ? order[h].first : -std::numeric_limits<double>::infinity();
        if (threshold(upper - 1) <= next) continue;
        const Index begin = first_above(next, n_thresh);
        if (begin >= upper) continue;
        // Positions are whole numbers, so the summed gaps are exactly last - first.
        const double mean_gap = h == 1 ? nan : static_cast<double>(last - first) / static_cast<double>(h - 1);
        const double gap_percent = static_cast<double>(h - 1) * 100.0 / static_cast<double>(tot);
        double median;
        if (h % 2 == 1) {
            median = static_cast<double>(members.kth((h + 1) / 2) + 1);
        } else {
            median = (static_cast<double>(members.kth(h / 2) + 1) + static_cast<double>(members.kth(h / 2 + 1) + 1)) * 0.5;
        }
        runs.push_back({begin, upper, {mean_gap, gap_percent, median / half_length - 1.0}});
        upper = begin;
    }

    // lastHigh: the last threshold whose gap percentage exceeds 2 (else 0);
    // firstNaN: the first threshold whose mean gap is NaN (else the last one).
    Index last_high = 0, first_nan = n_thresh - 1;
    for (const Run& run : runs) {
        if (run.stats.gap_percent > 2.0) last_high = std::max(last_high, run.end - 1);
        if (std::isnan(run.stats.mean_gap)) first_nan = std::min(first_nan, run.begin);
    }
    const Index limit = std::min(last_high, first_nan) + 1;

    // The median of medianPos[0 .. limit-1], taken over the runs with their
    // lengths as multiplicities: the same order statistics as sorting every
    // threshold's value.
    std::vector<std::pair<double, Index>> pieces;
    for (const Run& run : runs) {
        if (run.begin >= limit) continue;
        if (std::isnan(run.stats.median_pos)) return nan;
        pieces.emplace_back(run.stats.median_pos, std::min(run.end, limit) - run.begin);
    }
    std::sort(pieces.begin(), pieces.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    if (limit % 2 == 1) return kth_value(pieces, (limit - 1) / 2);
    return (kth_value(pieces, limit / 2 - 1) + kth_value(pieces, limit / 2)) * 0.5;
}

}  // namespace

double dn_outlierinclude(Series y, bool normalize, int sign, Shared* shared) {
    const std::size_t n = y.size();
    if (!series_finite(y, shared) || n < 2) return nan;
    const common::Prepared prepared = prepare(y, normalize, shared);
    const Series x = prepared.view();

    // w = x * sign is exact (a sign change or nothing), so it is formed where
    // read rather than stored.
    const double s = static_cast<double>(sign);
    const auto [constant, any_nan, tot, max_val] = scan(x, s);
    if (constant) return 0.0;
    if (any_nan) return nan;
    if (max_val < 0.01) return 0.0;
    // The z-score of values whose squared deviations underflow (a series of
    // 1e-300 scale) divides by a zero deviation: infinite values have no
    // finite set of thresholds, and are refused like infinite input.
    const double count_value = max_val / 0.01 + 1.0;
    if (!(count_value < index_limit)) return nan;
    const auto n_thresh = static_cast<Index>(count_value);
    if (n_thresh <= bucket_limit(n)) return by_threshold_buckets(x, s, tot, static_cast<std::uint32_t>(n_thresh));
    return by_sorted_values(x, s, tot, max_val, n_thresh);
}

}  // namespace quorlex::catch22
