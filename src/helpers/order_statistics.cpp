#include "helpers/order_statistics.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>

#include "helpers/failure.hpp"
#include "helpers/finite.hpp"
#include "helpers/lanes.hpp"

namespace quorlex::common {

std::vector<double> sorted_copy(Series y) {
    std::vector<double> s(y.begin(), y.end());
    std::sort(s.begin(), s.end());
    return s;
}

namespace {

// The smallest and largest of a NaN-free, non-empty y, two values per vector.
std::pair<double, double> extremes(Series y) {
    Lanes lo = {y[0], y[0]}, hi = lo;
    std::size_t i = 0;
    for (; i + lanes <= y.size(); i += lanes) {
        const Lanes v = load_lanes(y.data() + i);
        lo = lo < v ? lo : v;
        hi = hi > v ? hi : v;
    }
    double low = std::min(lo[0], lo[1]), high = std::max(hi[0], hi[1]);
    if (i < y.size()) {
        low = std::min(low, y[i]);
        high = std::max(high, y[i]);
    }
    return {low, high};
}

// Writes the values a full sort of y puts at `ranks` (ascending, each below
// y.size()) to values, from equal-width buckets over [min, max]: the bucket
// of a value, floor((v - min) * scale) clamped to the last one, is a chain of
// monotone roundings, so it never falls as the value rises, and each bucket
// holds a consecutive stretch of the sorted order. A rank is then found by
// sorting the few values of its bucket alone, rather than by partitioning
// the whole series, whose branches on the values mispredict. Of equal values
// only -0 and +0 can trade places. Returns false, writing nothing, where the
// buckets do not help: a constant series, one whose range or scale is not
// finite, or one so uneven (a few far outliers) that the ranks' buckets hold
// a large part of it.
bool values_at_ranks(Series y, std::span<const std::size_t> ranks, double* values) {
    const std::size_t n = y.size();
    const auto [lo, hi] = extremes(y);
    const std::size_t buckets = n / 4 + 1;
    const double scale = static_cast<double>(buckets) / (hi - lo);
    if (!(lo < hi) || !std::isfinite(hi - lo) || !std::isfinite(scale)) return false;
    const auto bucket_of = [lo = lo, scale, buckets](double v) {
        const auto b = static_cast<std::size_t>((v - lo) * scale);
        return b < buckets ? b : buckets - 1;
    };
    // Two count tables, alternate values to each, so that a run of values in
    // one bucket does not wait on its own increments; then the first holds
    // the bucket sizes, the second where each needed bucket's values start in
    // `gathered`, a third how many have arrived there.
    std::vector<std::uint32_t> table(3 * buckets, 0);
    std::uint32_t* const size = table.data();
    std::uint32_t* const start = size + buckets;
    std::uint32_t* const fill = start + buckets;
    std::size_t i = 0;
    for (; i + 2 <= n; i += 2) {
        ++size[bucket_of(y[i])];
        ++start[bucket_of(y[i + 1])];
    }
    if (i < n) ++size[bucket_of(y[i])];
    constexpr std::uint32_t unused = UINT32_MAX;
    for (std::size_t c = 0; c < buckets; ++c) {
        size[c] += start[c];
        start[c] = unused;
    }
    // Each rank's place in `gathered`: its bucket's start and its place
    // among the bucket's values.
    std::vector<std::size_t> place(ranks.size());
    std::size_t before = 0, b = 0, needed = 0;
    for (std::size_t k = 0; k < ranks.size(); ++k) {
        while (before + size[b] <= ranks[k]) before += size[b++];
        if (start[b] == unused) {
            start[b] = static_cast<std::uint32_t>(needed);
            needed += size[b];
        }
        place[k] = start[b] + (ranks[k] - before);
    }
    if (needed > n / 8 + 64) return false;
    std::vector<double> gathered(needed);
    for (double v : y) {
        const std::size_t c = bucket_of(v);
        if (start[c] != unused) gathered[start[c] + fill[c]++] = v;
    }
    for (std::size_t c = 0; c < buckets; ++c) {
        if (start[c] != unused) std::sort(gathered.begin() + start[c], gathered.begin() + start[c] + size[c]);
    }
    for (std::size_t k = 0; k < ranks.size(); ++k) values[k] = gathered[place[k]];
    return true;
}

}  // namespace

std::vector<double> selected_copy(Series y, std::vector<std::size_t> positions) {
    std::vector<double> s(y.begin(), y.end());
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    while (!positions.empty() && positions.back() >= s.size()) positions.pop_back();
    if (s.size() >= 32 && !positions.empty()) {
        std::vector<double> values(positions.size());
        if (values_at_ranks(y, positions, values.data())) {
            for (std::size_t k = 0; k < positions.size(); ++k) s[positions[k]] = values[k];
            return s;
        }
    }
    // Each selection leaves only larger values to the right of its position,
    // so the next one needs only that part; the smallest or the largest of
    // that part is one scan rather than a partition.
    auto from = s.begin();
    for (std::size_t p : positions) {
        if (s.begin() + static_cast<std::ptrdiff_t>(p) < from) continue;
        const auto at_p = s.begin() + static_cast<std::ptrdiff_t>(p);
        if (at_p == from) {
            std::iter_swap(at_p, std::min_element(from, s.end()));
        } else if (at_p + 1 == s.end()) {
            std::iter_swap(at_p, std::max_element(from, s.end()));
        } else {
            std::nth_element(from, at_p, s.end());
        }
        from = at_p + 1;
    }
    return s;
}


double median_sorted(Series s) {
    const std::size_t n = s.size();
    if (n == 0) return nan;
    if (n % 2 == 1) return s[(n - 1) / 2];
    return (s[n / 2 - 1] + s[n / 2]) * 0.5;
}

double median(Series y) {
    if (has_nan(y)) return nan;
    return median_sorted(sorted_copy(y));
}

double median(Series y, Series sorted) { return has_nan(y) ? nan : median_sorted(sorted); }

double quantile_sorted(Series s, double p) {
    const std::size_t n = s.size();
    const double h = 0.5 / static_cast<double>(n);
    if (p < h) return at(s, 0);
    if (p > 1.0 - h) return s[n - 1];
    const double pos = p * static_cast<double>(n) - 0.5;
    const double lo = std::floor(pos);
    const double hi = std::ceil(pos);
    const auto ilo = static_cast<std::size_t>(lo);
    const auto ihi = static_cast<std::size_t>(hi);
    if (ilo == ihi) return s[ilo];
    return s[ilo] + (pos - lo) * (s[ihi] - s[ilo]) / (hi - lo);
}

double quantile(Series y, double p) {
    if (has_nan(y)) return nan;
    return quantile_sorted(sorted_copy(y), p);
}

double quantile(Series y, Series sorted, double p) { return has_nan(y) ? nan : quantile_sorted(sorted, p); }

double iqr(Series y) {
    if (has_nan(y)) return nan;
    return iqr_sorted(sorted_copy(y));
}

double iqr(Series y, Series sorted) { return has_nan(y) ? nan : iqr_sorted(sorted); }

double midhinge(Series y, Series sorted) {
    if (has_nan(y)) return nan;
    return (quantile_sorted(sorted, 0.25) + quantile_sorted(sorted, 0.75)) * 0.5;
}

double iqr_sorted(Series s) {
    const std::size_t n = s.size();
    const std::size_t a = n / 4;
    const std::size_t b = 3 * n / 4;
    if (n % 4 != 0) return s[b] - s[a];
    // For an empty series b - 1 wraps around and the checked access fails.
    const double upper = (at(s, b - 1) + at(s, b)) * 0.5;
    const double lower = (at(s, a - 1) + at(s, a)) * 0.5;
    return upper - lower;
}

}  // namespace quorlex::common
