#include "helpers/common.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <new>
#include <tuple>
#include <unordered_map>

#if __has_include(<unistd.h>)
#include <unistd.h>  // sysconf: Linux, macOS and the BSDs
#endif

#include "helpers/failure.hpp"
#include "helpers/lanes.hpp"

namespace quorlex::common {

namespace {

double sum_of_squared_deviations(Series y, double m) {
    double s = 0.0;
    for (double v : y) s += (v - m) * (v - m);
    return s;
}

// Eight values, two per vector, without a branch among them: whether every
// one passes `ok_pair` (a lane mask per pair).
template <class Test>
bool block_passes(const double* p, Test ok_pair) {
    LaneMask ok = ok_pair(load_lanes(p)) & ok_pair(load_lanes(p + 2)) & ok_pair(load_lanes(p + 4)) &
                  ok_pair(load_lanes(p + 6));
    return ok[0] != 0 && ok[1] != 0;
}

}  // namespace

bool has_nan(Series y) {
    // v == v fails only for NaN.
    const auto no_nan = [](Lanes v) { return v == v; };
    std::size_t i = 0;
    for (; i + 8 <= y.size(); i += 8) {
        if (!block_passes(y.data() + i, no_nan)) return true;
    }
    for (; i < y.size(); ++i) {
        if (std::isnan(y[i])) return true;
    }
    return false;
}

bool all_finite(Series y) {
    // v - v is 0 for a finite v and NaN for an infinity or NaN.
    const auto finite = [](Lanes v) {
        const Lanes d = v - v;
        return d == d;
    };
    std::size_t i = 0;
    for (; i + 8 <= y.size(); i += 8) {
        if (!block_passes(y.data() + i, finite)) return false;
    }
    for (; i < y.size(); ++i) {
        if (!std::isfinite(y[i])) return false;
    }
    return true;
}

std::size_t table_size(std::size_t rows, std::size_t cols) {
    static const std::size_t physical_bytes = [] {
#if defined(_SC_PHYS_PAGES)
        const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
        return pages > 0 && page > 0 ? static_cast<std::size_t>(pages) * static_cast<std::size_t>(page)
                                     : std::numeric_limits<std::size_t>::max();
#else  // no physical memory count here: only the size type bounds a table
        return std::numeric_limits<std::size_t>::max();
#endif
    }();
#if defined(__GNUC__)  // GCC and Clang
    std::size_t elements = 0;
    const bool overflow = __builtin_mul_overflow(rows, cols, &elements);
#else
    const std::size_t elements = rows * cols;
    const bool overflow = cols != 0 && elements / cols != rows;
#endif
    if (overflow || elements > physical_bytes / sizeof(double)) {
        throw std::bad_alloc();
    }
    return elements;
}

double sum(Series y) {
    double s = 0.0;
    for (double v : y) s += v;
    return s;
}

MeanType mean_type(std::string_view name) {
    if (name.size() == 10) return MeanType::arithmetic;
    if (name == "harmonic") return MeanType::harmonic;
    if (name == "geometric") return MeanType::geometric;
    if (name == "rms") return MeanType::rms;
    if (name == "iqm") return MeanType::iqm;
    if (name == "midhinge") return MeanType::midhinge;
    return MeanType::arithmetic;
}

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

namespace {
double interquartile_mean(Series y) {
    const auto s = sorted_copy(y);
    const std::size_t n = s.size();
    const double q1 = at(s, static_cast<std::size_t>(static_cast<double>(n) * 0.25));
    const double q3 = at(s, static_cast<std::size_t>(static_cast<double>(n) * 0.75));
    double total = 0.0;
    std::size_t count = 0;
    for (double v : s) {
        if (q1 <= v && v <= q3) {
            total += v;
            ++count;
        }
    }
    return total / static_cast<double>(count);
}
}  // namespace

double mean(Series y, MeanType type) {
    if (has_nan(y)) return nan;
    const auto n = static_cast<double>(y.size());
    switch (type) {
        case MeanType::arithmetic:
            return sum(y) / n;
        case MeanType::rms: {
            double s = 0.0;
            for (double v : y) s += v * v;
            return std::sqrt(s / n);
        }
        case MeanType::harmonic: {
            double s = 0.0;
            for (double v : y) s += 1.0 / v;
            return n / s;
        }
        case MeanType::geometric: {
            // exp of the mean logarithm: a negative value gives NaN, a zero
            // 0.0, an empty series 0/0 = NaN, and no product can overflow.
            double s = 0.0;
            for (double v : y) s += std::log(v);
            return std::exp(s / n);
        }
        case MeanType::iqm:
            return interquartile_mean(y);
        case MeanType::midhinge:
            return midhinge(y, sorted_copy(y));
    }
    return nan;
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

double std_dev(Series y) {
    if (has_nan(y) || y.size() < 2) return nan;
    const double m = sum(y) / static_cast<double>(y.size());
    return std::sqrt(sum_of_squared_deviations(y, m) / static_cast<double>(y.size() - 1));
}

double mad(Series y, Deviation type) { return mad_about(y, type == Deviation::mean ? mean(y) : median(y), type); }

double mad_about(Series y, double centre, Deviation type) {
    std::vector<double> d(y.size());
    for (std::size_t i = 0; i < y.size(); ++i) d[i] = std::fabs(y[i] - centre);
    return type == Deviation::mean ? mean(d) : median(d);
}

std::vector<double> zscore(Series y) { return standardize(y).z; }

Standardized standardize(Series y) {
    if (has_nan(y)) return {{nan}, {nan, nan}};
    // mean and std_dev without their repeated NaN scans and mean passes.
    const double m = sum(y) / static_cast<double>(y.size());
    if (y.empty()) return {{}, {m, nan}};
    const double s = y.size() < 2 ? nan
                                  : std::sqrt(sum_of_squared_deviations(y, m) / static_cast<double>(y.size() - 1));
    Standardized out{std::vector<double>(y.size()), {m, s}};
    std::vector<double>& z = out.z;
    // Two values per vector division: each lane is the scalar (y - m) / s
    // (the same IEEE operations, a different instruction), so z keeps its bits.
    std::size_t i = 0;
    for (; i + lanes <= y.size(); i += lanes) {
        const Lanes q = (Lanes{y[i], y[i + 1]} - m) / s;
        z[i] = q[0];
        z[i + 1] = q[1];
    }
    if (i < y.size()) z[i] = (y[i] - m) / s;
    return out;
}

Prepared::Prepared(Series y, bool normalize) : view_(y) {
    if (!normalize) return;
    owned_ = zscore(y);
    view_ = owned_;
}

std::vector<double> diff(Series y) {
    if (y.size() < 2) return {};
    std::vector<double> out(y.size() - 1);
    for (std::size_t i = 0; i + 1 < y.size(); ++i) out[i] = y[i + 1] - y[i];
    return out;
}

std::vector<double> cumsum(Series y) {
    if (has_nan(y)) return std::vector<double>(y.size(), nan);
    std::vector<double> out(y.size());
    double t = 0.0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        t = t + y[i];
        out[i] = t;
    }
    return out;
}

std::vector<double> abs_values(Series y) {
    std::vector<double> out(y.size());
    for (std::size_t i = 0; i < y.size(); ++i) out[i] = std::fabs(y[i]);
    return out;
}

std::vector<double> linspace(double start, double end, std::size_t k) {
    std::vector<double> out(k);
    if (k == 0) return out;
    const double step = (end - start) / static_cast<double>(k - 1);
    double v = start;
    for (std::size_t i = 0; i < k; ++i) {
        out[i] = v;
        v = v + step;
    }
    return out;
}

std::uint32_t int_mode(std::span<const std::uint32_t> v) {
    std::unordered_map<std::uint32_t, std::size_t> counts;
    for (auto x : v) ++counts[x];
    std::uint32_t best = 0;
    std::size_t best_count = 0;
    // Ties go to the smallest value so that the result does not depend on hashing.
    for (const auto& [value, count] : counts) {
        if (count > best_count || (count == best_count && value < best)) {
            best = value;
            best_count = count;
        }
    }
    return best;
}

namespace {

// The correlation of y[0 .. m) with y[lag .. lag + m) from its sums: the
// means, the cross and squared deviation sums, as autocorr_lag defines it.
double correlation_from_sums(std::size_t m, double cov, double ssa, double ssb) {
    cov = cov / static_cast<double>(m - 1);
    const double denominator = static_cast<double>(m - 1);
    const double d = m < 2 ? nan : std::sqrt(ssa / denominator) * std::sqrt(ssb / denominator);
    if (std::isfinite(d) && std::fabs(d) < 1.4901161193847656e-8) return nan;
    return cov / d;
}

// The sums of y[lag .. n) for lag = first_lag + k, each in index order from
// 0.0 (0.0 where lag >= n). Eight lags run side by side as four vectors, so
// the additions of different lags overlap; each lane still adds its own
// values one at a time in index order, its tail beyond the shortest part last.
void trailing_sums(Series y, std::size_t first_lag, std::span<double> out) {
    const std::size_t n = y.size();
    constexpr std::size_t block = 8;
    std::size_t k = 0;
    for (; k + block <= out.size() && first_lag + k + block <= n; k += block) {
        const double* p = y.data() + first_lag + k;
        const std::size_t common_m = n - (first_lag + k + block - 1);
        Lanes s0 = {}, s1 = {}, s2 = {}, s3 = {};
        for (std::size_t i = 0; i < common_m; ++i) {
            s0 += load_lanes(p + i);
            s1 += load_lanes(p + i + 2);
            s2 += load_lanes(p + i + 4);
            s3 += load_lanes(p + i + 6);
        }
        const double sums[block] = {s0[0], s0[1], s1[0], s1[1], s2[0], s2[1], s3[0], s3[1]};
        for (std::size_t l = 0; l < block; ++l) {
            double total = sums[l];
            for (std::size_t i = common_m; i < n - (first_lag + k + l); ++i) total += p[l + i];
            out[k + l] = total;
        }
    }
    for (; k < out.size(); ++k) {
        double total = 0.0;
        for (std::size_t i = first_lag + k; i < n; ++i) total += y[i];
        out[k] = total;
    }
}

}  // namespace

double autocorr_lag(Series y, std::size_t lag) {
    double r = nan;
    autocorr_lags(y, lag, {&r, 1});
    return r;
}

namespace {

// The first and last NaN positions of y (n and 0 when it has none).
std::pair<std::size_t, std::size_t> nan_span(Series y) {
    std::size_t first_nan = y.size();
    std::size_t last_nan = 0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        if (std::isnan(y[i])) {
            first_nan = std::min(first_nan, i);
            last_nan = i;
        }
    }
    return {first_nan, last_nan};
}

// out[k] = autocorr_lag(y, first_lag + k). `leading` is empty for a single
// lag, otherwise the running sum of y (leading[i] = y[0] + ... + y[i-1]).
void correlations_at(Series y, std::size_t first_nan, std::size_t last_nan, std::span<const double> leading,
                     std::size_t first_lag, std::span<double> out) {
    const std::size_t n = y.size();
    // Up to four lags at a time, one accumulator per sum and lag: each sum
    // still runs over its own values in index order from 0.0, exactly as the
    // one-lag passes (mean of each part, then the cross and squared deviation
    // sums) add them; the lanes only interleave independent chains. With more
    // than one lag, the sums of the leading parts are the running sum of y
    // read at each lag's length, and those of the trailing parts come from
    // one pass over all lags.
    std::vector<double> trailing;
    if (!leading.empty()) {
        trailing.resize(out.size());
        trailing_sums(y, first_lag, trailing);
    }
    constexpr std::size_t lanes = 4;
    for (std::size_t g = 0; g < out.size(); g += lanes) {
        const std::size_t count = std::min(lanes, out.size() - g);
        const std::size_t lag0 = first_lag + g;
        std::array<std::size_t, lanes> m{};
        std::array<double, lanes> sa{}, sb{}, ma{}, mb{}, cov{}, ssa{}, ssb{};
        std::size_t live = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t lag = lag0 + k;
            const bool nan_inside = n > lag && first_nan < n && (first_nan < n - lag || last_nan >= lag);
            out[g + k] = nan;
            if (n <= lag || nan_inside) continue;
            m[k] = n - lag;
            live = k + 1;
        }
        if (live == 0) continue;
        // Lanes below `live` that hold a NaN have m = 0: they run over the
        // common length on values that stay in bounds and are then ignored.
        const std::size_t common_m = m[live - 1];
        const double* lagged = y.data() + lag0;
        if (leading.empty()) {
            // A single lag: the sums of both parts side by side, each still
            // in index order.
            double ta = 0.0, tb = 0.0;
            for (std::size_t i2 = 0; i2 < common_m; ++i2) {
                ta += y[i2];
                tb += lagged[i2];
            }
            sa[0] = ta;
            sb[0] = tb;
        } else {
            for (std::size_t k = 0; k < live; ++k) {
                sa[k] = leading[m[k]];
                sb[k] = trailing[g + k];
            }
        }
        for (std::size_t k = 0; k < live; ++k) {
            ma[k] = sa[k] / static_cast<double>(m[k]);
            mb[k] = sb[k] / static_cast<double>(m[k]);
        }
        if (live == 1) {
            // A single lag keeps its three sums in registers too.
            double c0 = 0.0, a0 = 0.0, b0 = 0.0;
            for (std::size_t i2 = 0; i2 < common_m; ++i2) {
                const double da = y[i2] - ma[0];
                const double db = lagged[i2] - mb[0];
                c0 += da * db;
                a0 += da * da;
                b0 += db * db;
            }
            cov[0] = c0;
            ssa[0] = a0;
            ssb[0] = b0;
        } else if (live == lanes) {
            // Lags two to a vector: each lane is one lag's scalar chain.
            const Lanes ma01 = {ma[0], ma[1]}, ma23 = {ma[2], ma[3]};
            const Lanes mb01 = {mb[0], mb[1]}, mb23 = {mb[2], mb[3]};
            Lanes c01 = {}, c23 = {}, a01 = {}, a23 = {}, b01 = {}, b23 = {};
            for (std::size_t i2 = 0; i2 < common_m; ++i2) {
                const Lanes v = {y[i2], y[i2]};
                const Lanes da01 = v - ma01, db01 = load_lanes(lagged + i2) - mb01;
                const Lanes da23 = v - ma23, db23 = load_lanes(lagged + i2 + 2) - mb23;
                c01 += da01 * db01;
                a01 += da01 * da01;
                b01 += db01 * db01;
                c23 += da23 * db23;
                a23 += da23 * da23;
                b23 += db23 * db23;
            }
            cov = {c01[0], c01[1], c23[0], c23[1]};
            ssa = {a01[0], a01[1], a23[0], a23[1]};
            ssb = {b01[0], b01[1], b23[0], b23[1]};
        } else {
            for (std::size_t i2 = 0; i2 < common_m; ++i2) {
                for (std::size_t k = 0; k < live; ++k) {
                    const double da = y[i2] - ma[k];
                    const double db = lagged[i2 + k] - mb[k];
                    cov[k] += da * db;
                    ssa[k] += da * da;
                    ssb[k] += db * db;
                }
            }
        }
        for (std::size_t k = 0; k < live; ++k) {
            if (m[k] == 0) continue;
            for (std::size_t i2 = common_m; i2 < m[k]; ++i2) {
                const double da = y[i2] - ma[k];
                const double db = y[i2 + lag0 + k] - mb[k];
                cov[k] += da * db;
                ssa[k] += da * da;
                ssb[k] += db * db;
            }
            out[g + k] = correlation_from_sums(m[k], cov[k], ssa[k], ssb[k]);
        }
    }
}

}  // namespace

void autocorr_lags(Series y, std::size_t first_lag, std::span<double> out) {
    if (out.size() > 1) {
        LagCorrelations(y).compute(first_lag, out);
        return;
    }
    const auto [first_nan, last_nan] = nan_span(y);
    correlations_at(y, first_nan, last_nan, {}, first_lag, out);
}

LagCorrelations::LagCorrelations(Series y) : y_(y), leading_(y.size() + 1) {
    std::tie(first_nan_, last_nan_) = nan_span(y);
    double running = 0.0;
    leading_[0] = running;
    for (std::size_t i = 0; i < y.size(); ++i) {
        running += y[i];
        leading_[i + 1] = running;
    }
}

void LagCorrelations::compute(std::size_t first_lag, std::span<double> out) const {
    correlations_at(y_, first_nan_, last_nan_, leading_, first_lag, out);
}

std::optional<LinearFit> linear_fit(Series x, Series y) {
    if (x.size() != y.size()) {
        fail("assertion `left == right` failed: linear_fit needs x and y of equal length\n  left: " +
             std::to_string(x.size()) + "\n right: " + std::to_string(y.size()));
    }
    const auto n = static_cast<double>(x.size());
    double sx = 0.0, sxx = 0.0, sxy = 0.0, sy = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
        sy += y[i];
    }
    const double det = sxx * n - sx * sx;
    if (det == 0.0) return std::nullopt;
    return LinearFit{(sxy * n - sx * sy) / det, (sxx * sy - sx * sxy) / det};
}

double nan_variance(Series y) {
    double total = 0.0;
    std::size_t q = 0;
    for (double v : y) {
        if (!std::isnan(v)) {
            total += v;
            ++q;
        }
    }
    if (q < 2) return nan;
    const double m = total / static_cast<double>(q);
    double s = 0.0;
    for (double v : y) {
        if (!std::isnan(v)) s += (v - m) * (v - m);
    }
    return s / static_cast<double>(q - 1);
}

}  // namespace quorlex::common
