#include "catch22/sc_fluctanal.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "helpers/fluctuation_scales.hpp"
#include "helpers/lanes.hpp"
#include "helpers/linear_fit.hpp"
#include "helpers/moments.hpp"
#include "helpers/portable.hpp"

namespace quorlex::catch22 {

namespace {

constexpr std::size_t min_segment = 6;

enum class Method { dfa, rsrangefit, unknown };

Method parse_method(std::string_view text) {
    if (text == "dfa") return Method::dfa;
    if (text == "rsrangefit") return Method::rsrangefit;
    return Method::unknown;
}

// Window lengths up to which the sums of 1 .. s and of their squares stay
// below 2^53 (and s (s + 1) (2 s + 1) fits in 64 bits).
constexpr std::uint64_t exact_sums_limit = std::uint64_t{1} << 17;

// The regressor x = 1 .. s of every window of one scale. Its sums are the same
// for all windows, so they are formed once; with the window sums Sxy and Sy
// (each in index order) the line is exactly what common::linear_fit gives.
class WindowLine {
public:
    explicit WindowLine(Series x) : n_(static_cast<double>(x.size())) {
        const std::uint64_t s = x.size();
        if (s <= exact_sums_limit) {
            // x = 1 .. s: every partial sum of x and of x^2 is a whole number
            // below 2^53, so each addition in the loop below is exact and the
            // sums are these closed forms, bit for bit.
            sx_ = static_cast<double>(s * (s + 1) / 2);
            sxx_ = static_cast<double>(s * (s + 1) * (2 * s + 1) / 6);
        } else {
            for (double v : x) {
                sx_ += v;
                sxx_ += v * v;
            }
        }
        det_ = sxx_ * n_ - sx_ * sx_;
    }
    // Slope and intercept from the window sums; the zero line when singular.
    common::LinearFit fit(double sxy, double sy) const {
        if (det_ == 0.0) return {0.0, 0.0};
        return {(sxy * n_ - sx_ * sy) / det_, (sxx_ * sy - sx_ * sxy) / det_};
    }
    // The lines of `windows` windows from their sums, written over them
    // (slopes over sxy, intercepts over sy): two windows to a vector, each
    // lane the scalar `fit`.
    void fit_all(std::size_t windows, double* sxy, double* sy) const;

private:
    double n_;
    double sx_ = 0.0;
    double sxx_ = 0.0;
    double det_ = 0.0;
};

// Windows (or scales) whose independent running sums and extremes advance
// together: each lane is one window's own chain, updated in its own order, so
// every lane holds the bits the one-at-a-time loop gives; the lanes only let
// the chains overlap in time. Element-wise vector arithmetic is the same IEEE
// operation as the scalar one. Four lanes are two pairs, the width of the
// baseline x86-64 registers.
constexpr std::size_t lanes = 4;
using common::LaneMask;
using common::Lanes;
using common::store_lanes;

// Element k of two consecutive windows of length s starting at w.
inline Lanes pair_at(const double* w, std::size_t s, std::size_t k) { return Lanes{w[k], w[s + k]}; }

void WindowLine::fit_all(std::size_t windows, double* sxy, double* sy) const {
    if (det_ == 0.0) {
        std::fill(sxy, sxy + windows, 0.0);
        std::fill(sy, sy + windows, 0.0);
        return;
    }
    std::size_t j = 0;
    for (; j + 2 <= windows; j += 2) {
        const Lanes p = pair_at(sxy, 1, j), q = pair_at(sy, 1, j);
        const Lanes slope = (p * n_ - sx_ * q) / det_;
        const Lanes intercept = (sxx_ * q - sx_ * p) / det_;
        for (std::size_t l = 0; l < 2; ++l) {
            sxy[j + l] = slope[l];
            sy[j + l] = intercept[l];
        }
    }
    if (j < windows) {
        const auto [slope, intercept] = fit(sxy[j], sy[j]);
        sxy[j] = slope;
        sy[j] = intercept;
    }
}

// A window after the last full group of four of its scale; sums and lines
// are stored by place (scale after scale, window after window).
struct Leftover {
    const double* w;
    std::size_t length;
    std::size_t place;
};

// The least-squares sums Sxy and Sy of the windows of length s of cs against
// x = 1 .. s in full groups of four, each summed in index order from zero;
// returns how many windows that covers. Eight windows run together while
// there are: twice the independent chains hide more of each addition's wait.
std::size_t window_sums(Series cs, Series xs, std::size_t windows, double* sxy, double* sy) {
    const std::size_t s = xs.size();
    std::size_t j = 0;
    for (; j + 2 * lanes <= windows; j += 2 * lanes) {
        const double* w = cs.data() + j * s;
        const double *w2 = w + 2 * s, *w4 = w + 4 * s, *w6 = w + 6 * s;
        Lanes p0 = {}, p1 = {}, p2 = {}, p3 = {}, q0 = {}, q1 = {}, q2 = {}, q3 = {};
        for (std::size_t k = 0; k < s; ++k) {
            const Lanes v0 = pair_at(w, s, k), v1 = pair_at(w2, s, k);
            const Lanes v2 = pair_at(w4, s, k), v3 = pair_at(w6, s, k);
            p0 += xs[k] * v0;
            q0 += v0;
            p1 += xs[k] * v1;
            q1 += v1;
            p2 += xs[k] * v2;
            q2 += v2;
            p3 += xs[k] * v3;
            q3 += v3;
        }
        const Lanes ps[lanes] = {p0, p1, p2, p3}, qs[lanes] = {q0, q1, q2, q3};
        for (std::size_t h = 0; h < lanes; ++h) {
            store_lanes(sxy + j + 2 * h, ps[h]);
            store_lanes(sy + j + 2 * h, qs[h]);
        }
    }
    for (; j + lanes <= windows; j += lanes) {
        const double* w = cs.data() + j * s;
        const double* w2 = w + 2 * s;
        Lanes p0 = {}, p1 = {}, q0 = {}, q1 = {};
        for (std::size_t k = 0; k < s; ++k) {
            const Lanes v0 = pair_at(w, s, k), v1 = pair_at(w2, s, k);
            p0 += xs[k] * v0;
            q0 += v0;
            p1 += xs[k] * v1;
            q1 += v1;
        }
        store_lanes(sxy + j, p0);
        store_lanes(sxy + j + 2, p1);
        store_lanes(sy + j, q0);
        store_lanes(sy + j + 2, q1);
    }
    return j;
}

// The same sums for the leftover windows of all scales. Few scales have many
// windows, so most leftovers are long, and one at a time their sums would wait
// on each addition; grouped four at a time across scales, they overlap. The
// leftovers come in rising length, so groups are taken from the end and a
// group's lanes differ little: they share the shortest lane's length, and
// each longer lane then finishes its own terms, in index order throughout.
void leftover_window_sums(std::span<const Leftover> rest, Series x, double* sxy, double* sy) {
    std::size_t left = rest.size();
    for (; left >= lanes; left -= lanes) {
        const Leftover* g = rest.data() + left - lanes;  // g[0] is the shortest
        const double *w0 = g[0].w, *w1 = g[1].w, *w2 = g[2].w, *w3 = g[3].w;
        const std::size_t common = g[0].length;
        Lanes p0 = {}, p1 = {}, q0 = {}, q1 = {};
        for (std::size_t k = 0; k < common; ++k) {
            const Lanes v0 = {w0[k], w1[k]}, v1 = {w2[k], w3[k]};
            p0 += x[k] * v0;
            q0 += v0;
            p1 += x[k] * v1;
            q1 += v1;
        }
        const double ps[lanes] = {p0[0], p0[1], p1[0], p1[1]};
        const double qs[lanes] = {q0[0], q0[1], q1[0], q1[1]};
        for (std::size_t l = 0; l < lanes; ++l) {
            double p = ps[l], q = qs[l];
            for (std::size_t k = common; k < g[l].length; ++k) {
                p += x[k] * g[l].w[k];
                q += g[l].w[k];
            }
            sxy[g[l].place] = p;
            sy[g[l].place] = q;
        }
    }
    for (std::size_t j = 0; j < left; ++j) {
        double p = 0.0, q = 0.0;
        for (std::size_t k = 0; k < rest[j].length; ++k) {
            p += x[k] * rest[j].w[k];
            q += rest[j].w[k];
        }
        sxy[rest[j].place] = p;
        sy[rest[j].place] = q;
    }
}

// Scales whose "dfa" totals run side by side: four pairs.
constexpr std::size_t scale_lanes = 8;

// Working memory of one analysis, sized once for all its scales and left
// uninitialised: every entry is written before it is read.
struct Scratch {
    std::unique_ptr<double[]> memory;
    double* sxy;      // every window's sums (then lines), by place
    double* sy;
    // "dfa": scale_lanes rows of squared residuals, m apart;
    // "rsrangefit": every window's squared range, by place.
    double* squares;
    std::vector<Leftover> rest;
    Scratch(std::size_t windows, std::size_t m, bool dfa)
        : memory(common::uninitialized_array<double>(2 * windows + (dfa ? scale_lanes * m : windows))),
          sxy(memory.get()),
          sy(sxy + windows),
          squares(sy + windows) {}
};

// The window sums of every scale: full groups scale by scale, then the
// leftovers together.
void all_window_sums(Series cs, Series x, std::span<const std::uint64_t> tau, Scratch& scratch) {
    const std::size_t m = cs.size();
    scratch.rest.clear();
    scratch.rest.reserve((lanes - 1) * tau.size());
    std::size_t place = 0;
    for (std::uint64_t s : tau) {
        const std::size_t windows = m / s;
        const std::size_t done = window_sums(cs, x.first(s), windows, scratch.sxy + place, scratch.sy + place);
        for (std::size_t j = done; j < windows; ++j) scratch.rest.push_back({cs.data() + j * s, s, place + j});
        place += windows;
    }
    leftover_window_sums(scratch.rest, x, scratch.sxy, scratch.sy);
}

// Whether a residual can be NaN. Where every |cs| is at most 1e100 (finite),
// each window's sums, their products in the fit and the line's values over
// x = 1 .. s (s far below 1e30) stay below 1e300 while the determinant of a
// window of two or more points is at least 1: every line and residual is
// finite. Otherwise (rare: values near the double range) the residual scans
// track NaN, and where none can occur they skip it: it would find nothing,
// and their extremes are the same bits.
bool residuals_may_be_nan(Series cs) {
    bool bounded = true;
    for (double v : cs) bounded &= std::fabs(v) <= 1e100;
    return !bounded;
}

// The running extremes of two lanes of residuals, from the first of each, with
// NaN tracked apart when it can occur.
template <bool track_nan>
struct Extremes {
    Lanes hi, lo;
    LaneMask nan;
    explicit Extremes(Lanes first) : hi(first), lo(first), nan(first != first) {}
    void add(Lanes r) {
        if constexpr (track_nan) nan |= r != r;
        hi = hi > r ? hi : r;
        lo = lo < r ? lo : r;
    }
};

// Pairs with the lanes that saw a NaN made NaN.
inline Lanes with_nan(Lanes v, LaneMask nan_seen) { return nan_seen != 0 ? Lanes{common::nan, common::nan} : v; }

// The squared residual range of one window with line (a, b): the residuals
// are scanned two at a time (the first fills both lanes), NaN tracked apart
// when it can occur.
template <bool track_nan>
double squared_range(const double* w, Series xs, double a, double b) {
    const std::size_t s = xs.size();
    const double first = w[0] - (b + a * xs[0]);
    Lanes hi = {first, first};
    Lanes lo = hi;
    LaneMask any_nan = hi != hi;
    std::size_t k = 1;
    for (; k + 2 <= s; k += 2) {
        const Lanes r = pair_at(w, 1, k) - (b + a * pair_at(xs.data(), 1, k));
        if constexpr (track_nan) any_nan |= r != r;
        hi = hi > r ? hi : r;
        lo = lo < r ? lo : r;
    }
    double top = std::max(hi[0], hi[1]);
    double bottom = std::min(lo[0], lo[1]);
    bool nan_seen = any_nan[0] != 0 || any_nan[1] != 0;
    if (k < s) {
        const double r = w[k] - (b + a * xs[k]);
        nan_seen = nan_seen || std::isnan(r);
        top = std::max(top, r);
        bottom = std::min(bottom, r);
    }
    const double range = nan_seen ? common::nan : top - bottom;
    return range * range;
}

// Four leftover windows' squared residual ranges, one window per lane: w[l]
// with line (a[l], b[l]) over its first `common` residuals, then each lane's
// remaining residuals (up to length[l]) one at a time; written to out[l].
template <bool track_nan>
void four_squared_ranges(const double* const w[lanes], const std::size_t length[lanes], Lanes a0, Lanes b0, Lanes a1,
                         Lanes b1, std::size_t common, Series x, double out[lanes]) {
    Extremes<track_nan> e0(Lanes{w[0][0], w[1][0]} - (b0 + a0 * x[0]));
    Extremes<track_nan> e1(Lanes{w[2][0], w[3][0]} - (b1 + a1 * x[0]));
    const double *w0 = w[0], *w1 = w[1], *w2 = w[2], *w3 = w[3];
    for (std::size_t k = 1; k < common; ++k) {
        e0.add(Lanes{w0[k], w1[k]} - (b0 + a0 * x[k]));
        e1.add(Lanes{w2[k], w3[k]} - (b1 + a1 * x[k]));
    }
    const double his[lanes] = {e0.hi[0], e0.hi[1], e1.hi[0], e1.hi[1]};
    const double los[lanes] = {e0.lo[0], e0.lo[1], e1.lo[0], e1.lo[1]};
    const bool nans[lanes] = {e0.nan[0] != 0, e0.nan[1] != 0, e1.nan[0] != 0, e1.nan[1] != 0};
    const double as[lanes] = {a0[0], a0[1], a1[0], a1[1]};
    const double bs[lanes] = {b0[0], b0[1], b1[0], b1[1]};
    for (std::size_t l = 0; l < lanes; ++l) {
        double top = his[l], bottom = los[l];
        bool nan_seen = nans[l];
        for (std::size_t k = common; k < length[l]; ++k) {
            const double r = w[l][k] - (bs[l] + as[l] * x[k]);
            nan_seen = nan_seen || std::isnan(r);
            top = std::max(top, r);
            bottom = std::min(bottom, r);
        }
        const double range = nan_seen ? common::nan : top - bottom;
        out[l] = range * range;
    }
}

// The squared residual ranges of every window (lines given by place), four
// windows of a scale at a time, one per lane, then the leftover windows of
// all scales four at a time, as their sums were.
template <bool track_nan>
void all_squared_ranges(Series cs, Series x, std::span<const std::uint64_t> tau, Scratch& scratch) {
    const std::size_t m = cs.size();
    const double* slope = scratch.sxy;
    const double* intercept = scratch.sy;
    double* squared = scratch.squares;
    std::size_t place = 0;
    for (std::uint64_t s : tau) {
        const std::size_t windows = m / s;
        for (std::size_t j = 0; j + lanes <= windows; j += lanes) {
            const double* w = cs.data() + j * s;
            const double* w2 = w + 2 * s;
            const std::size_t at = place + j;
            const Lanes a0 = pair_at(slope, 1, at), b0 = pair_at(intercept, 1, at);
            const Lanes a1 = pair_at(slope, 1, at + 2), b1 = pair_at(intercept, 1, at + 2);
            Extremes<track_nan> e0(pair_at(w, s, 0) - (b0 + a0 * x[0]));
            Extremes<track_nan> e1(pair_at(w2, s, 0) - (b1 + a1 * x[0]));
            for (std::size_t k = 1; k < s; ++k) {
                e0.add(pair_at(w, s, k) - (b0 + a0 * x[k]));
                e1.add(pair_at(w2, s, k) - (b1 + a1 * x[k]));
            }
            const Lanes range0 = with_nan(e0.hi - e0.lo, e0.nan), range1 = with_nan(e1.hi - e1.lo, e1.nan);
            const Lanes square0 = range0 * range0, square1 = range1 * range1;
            store_lanes(squared + at, square0);
            store_lanes(squared + at + 2, square1);
        }
        place += windows;
    }
    const std::span<const Leftover> rest = scratch.rest;
    std::size_t left = rest.size();
    for (; left >= lanes; left -= lanes) {
        const Leftover* g = rest.data() + left - lanes;  // g[0] is the shortest
        const double* const group[lanes] = {g[0].w, g[1].w, g[2].w, g[3].w};
        const std::size_t length[lanes] = {g[0].length, g[1].length, g[2].length, g[3].length};
        double four[lanes];
        four_squared_ranges<track_nan>(group, length, Lanes{slope[g[0].place], slope[g[1].place]},
                                       Lanes{intercept[g[0].place], intercept[g[1].place]},
                                       Lanes{slope[g[2].place], slope[g[3].place]},
                                       Lanes{intercept[g[2].place], intercept[g[3].place]}, g[0].length, x, four);
        for (std::size_t l = 0; l < lanes; ++l) squared[g[l].place] = four[l];
    }
    for (std::size_t j = 0; j < left; ++j) {
        const Leftover& r = rest[j];
        squared[r.place] = squared_range<track_nan>(r.w, x.first(r.length), slope[r.place], intercept[r.place]);
    }
}

// "rsrangefit" at every window length of `tau`: the root mean squared range
// of the residuals of each window from its least-squares line over
// x = 1 .. s, NaN as soon as a residual is NaN, the squared ranges added in
// window order. The extremes of a set do not depend on the scan order except
// for which zero (+0 or -0) wins a tie, and a range of such extremes squares
// to the same +0 or the same value either way; NaN is tracked apart. So the
// squared range keeps its bits however the residuals are visited. For the
// same reason each running extreme is kept in place (hi > r ? hi : r, one
// instruction that overwrites hi) and a tie may leave either zero; a NaN
// residual may pass into an extreme, but it is tracked apart and makes the
// range NaN in any case.
void range_fluctuations(Series cs, Series x, std::span<const std::uint64_t> tau, Scratch& scratch,
                        std::span<double> out) {
    const std::size_t m = cs.size();
    all_window_sums(cs, x, tau, scratch);
    std::size_t windows = 0;
    for (std::uint64_t s : tau) {
        WindowLine(x.first(s)).fit_all(m / s, scratch.sxy + windows, scratch.sy + windows);
        windows += m / s;
    }
    if (residuals_may_be_nan(cs)) {
        all_squared_ranges<true>(cs, x, tau, scratch);
    } else {
        all_squared_ranges<false>(cs, x, tau, scratch);
    }
    const double* squared = scratch.squares;
    std::size_t place = 0;
    for (std::size_t i = 0; i < tau.size(); ++i) {
        const std::size_t count = m / tau[i];
        double total = 0.0;
        for (std::size_t j = 0; j < count; ++j) total += squared[place + j];
        out[i] = std::sqrt(total / static_cast<double>(count));
        place += count;
    }
}

// The squared residuals of every window of length s from its least-squares
// line over x = 1 .. s (sums given, replaced by the lines), in index order,
// written to out; returns how many there are. Within a window two residuals
// are formed per vector, each lane the scalar arithmetic.
std::size_t squared_residuals(Series cs, Series x, std::size_t s, double* sxy, double* sy, double* out) {
    const std::size_t windows = cs.size() / s;
    const Series xs = x.first(s);
    const WindowLine line(xs);
    line.fit_all(windows, sxy, sy);
    for (std::size_t j = 0; j < windows; ++j) {
        const double* w = cs.data() + j * s;
        double* o = out + j * s;
        const double a = sxy[j], b = sy[j];
        std::size_t k = 0;
        for (; k + 2 <= s; k += 2) {
            const Lanes r = pair_at(w, 1, k) - (b + a * pair_at(xs.data(), 1, k));
            const Lanes square = r * r;
            store_lanes(o + k, square);
        }
        if (k < s) {
            const double r = w[k] - (b + a * xs[k]);
            o[k] = r * r;
        }
    }
    return windows * s;
}

// "dfa" at each window length of `tau`: the root mean squared residual of
// each window from its least-squares line over x = 1 .. s. Each scale's
// squares are added one at a time in index order; up to `scale_lanes` scales
// keep their running totals side by side (each scale's squares in a row of
// their own, a pair of rows read per vector), and the additions of different
// scales overlap while each total still sees its own terms in the same order.
void dfa_fluctuations(Series cs, Series x, std::span<const std::uint64_t> tau, Scratch& scratch,
                      std::span<double> out) {
    const std::size_t m = cs.size();
    all_window_sums(cs, x, tau, scratch);
    double* const squares = scratch.squares;
    const double* row[scale_lanes];
    for (std::size_t l = 0; l < scale_lanes; ++l) row[l] = squares + l * m;
    std::size_t place = 0;
    for (std::size_t g = 0; g < tau.size(); g += scale_lanes) {
        const std::size_t group = std::min(scale_lanes, tau.size() - g);
        std::size_t counts[scale_lanes];
        std::size_t common_count = m;
        for (std::size_t l = 0; l < group; ++l) {
            counts[l] = squared_residuals(cs, x, tau[g + l], scratch.sxy + place, scratch.sy + place, squares + l * m);
            place += m / tau[g + l];
            common_count = std::min(common_count, counts[l]);
        }
        // Lanes without a scale in the last group add zeros, unused.
        for (std::size_t l = group; l < scale_lanes; ++l) std::fill(squares + l * m, squares + l * m + common_count, 0.0);
        Lanes t0 = {}, t1 = {}, t2 = {}, t3 = {};
        for (std::size_t t = 0; t < common_count; ++t) {
            t0 += Lanes{row[0][t], row[1][t]};
            t1 += Lanes{row[2][t], row[3][t]};
            t2 += Lanes{row[4][t], row[5][t]};
            t3 += Lanes{row[6][t], row[7][t]};
        }
        double total[scale_lanes] = {t0[0], t0[1], t1[0], t1[1], t2[0], t2[1], t3[0], t3[1]};
        for (std::size_t l = 0; l < group; ++l) {
            for (std::size_t t = common_count; t < counts[l]; ++t) total[l] += row[l][t];
            out[g + l] = std::sqrt(total[l] / static_cast<double>(counts[l]));
        }
    }
}

}  // namespace

void fluctuations(Series cs, std::span<const std::uint64_t> tau, bool dfa, std::span<double> out) {
    const std::size_t m = cs.size();
    std::vector<double> x(tau.empty() ? 0 : tau.back());
    for (std::size_t k = 0; k < x.size(); ++k) x[k] = static_cast<double>(k + 1);
    std::size_t windows = 0;
    for (std::uint64_t s : tau) windows += m / s;
    Scratch scratch(windows, m, dfa);
    if (dfa) {
        dfa_fluctuations(cs, x, tau, scratch, out);
    } else {
        range_fluctuations(cs, x, tau, scratch, out);
    }
}

namespace {

// The least-squares line of common::linear_fit from its four sums over n
// points, for two point sets at once (each lane the scalar arithmetic); a
// singular lane gets the zero line, as line_error takes it.
struct PairLine {
    Lanes slope, intercept;
};
PairLine pair_line(Lanes n, Lanes sx, Lanes sxx, Lanes sxy, Lanes sy) {
    const Lanes det = sxx * n - sx * sx;
    const Lanes slope = (sxy * n - sx * sy) / det;
    const Lanes intercept = (sxx * sy - sx * sxy) / det;
    const LaneMask singular = det == 0.0;
    return {singular ? Lanes{} : slope, singular ? Lanes{} : intercept};
}

// Squared residual of (x, y) from the line of each lane.
inline Lanes squared_error(const PairLine& line, Lanes x, Lanes y) {
    const Lanes e = (line.intercept + line.slope * x) - y;
    return e * e;
}

inline double squared_error(const PairLine& line, std::size_t lane, double x, double y) {
    const double e = (line.intercept[lane] + line.slope[lane] * x) - y;
    return e * e;
}

}  // namespace

void two_line_errors(Series x, Series y, std::size_t first, std::span<double> err) {
    const std::size_t n = x.size();
    // Sums over the points 0 .. b-1 for every b: the running sums in index
    // order, which are the first line's sums for breakpoint b.
    const std::size_t last = first + err.size();  // one past the last breakpoint
    std::vector<double> prefix(4 * (last + 1));
    double* const psx = prefix.data();
    double* const psxx = psx + last + 1;
    double* const psxy = psxx + last + 1;
    double* const psy = psxy + last + 1;
    {
        double sx = 0.0, sxx = 0.0, sxy = 0.0, sy = 0.0;
        for (std::size_t k = 0;; ++k) {
            psx[k] = sx;
            psxx[k] = sxx;
            psxy[k] = sxy;
            psy[k] = sy;
            if (k == last) break;
            sx += x[k];
            sxx += x[k] * x[k];
            sxy += x[k] * y[k];
            sy += y[k];
        }
    }
    // Breakpoints b and b + 1 side by side, one per lane. The first lines
    // share the points 0 .. b-1, lane 1 then takes point b; the second lines
    // start at b - 1 and b, so their points are consecutive pairs, lane 0
    // then takes the last point. Each lane adds its own terms in index order.
    std::size_t i = 0;
    for (; i + 2 <= err.size(); i += 2) {
        const std::size_t b = first + i;
        const PairLine head = pair_line(Lanes{static_cast<double>(b), static_cast<double>(b + 1)},
                                        pair_at(psx, 1, b), pair_at(psxx, 1, b), pair_at(psxy, 1, b), pair_at(psy, 1, b));
        const std::size_t common = n - b;  // lane 1's count; lane 0 has one more
        const double* tx = x.data() + (b - 1);
        const double* ty = y.data() + (b - 1);
        // The first lines' squared errors and the second lines' sums are
        // independent chains: they advance in one loop while both last.
        Lanes head_sse = {};
        Lanes sx = {}, sxx = {}, sxy = {}, sy = {};
        const std::size_t both = std::min(b, common);
        for (std::size_t k = 0; k < both; ++k) {
            head_sse += squared_error(head, Lanes{x[k], x[k]}, Lanes{y[k], y[k]});
            const Lanes xv = pair_at(tx, 1, k), yv = pair_at(ty, 1, k);
            sx += xv;
            sxx += xv * xv;
            sxy += xv * yv;
            sy += yv;
        }
        for (std::size_t k = both; k < b; ++k) head_sse += squared_error(head, Lanes{x[k], x[k]}, Lanes{y[k], y[k]});
        const double head1 = head_sse[1] + squared_error(head, 1, x[b], y[b]);
        for (std::size_t k = both; k < common; ++k) {
            const Lanes xv = pair_at(tx, 1, k), yv = pair_at(ty, 1, k);
            sx += xv;
            sxx += xv * xv;
            sxy += xv * yv;
            sy += yv;
        }
        const double xl = x[n - 1], yl = y[n - 1];
        sx[0] += xl;
        sxx[0] += xl * xl;
        sxy[0] += xl * yl;
        sy[0] += yl;
        const PairLine tail = pair_line(Lanes{static_cast<double>(common + 1), static_cast<double>(common)}, sx, sxx, sxy, sy);
        Lanes tail_sse = {};
        for (std::size_t k = 0; k < common; ++k) tail_sse += squared_error(tail, pair_at(tx, 1, k), pair_at(ty, 1, k));
        const double tail0 = tail_sse[0] + squared_error(tail, 0, xl, yl);

        err[i] = std::sqrt(head_sse[0]) + std::sqrt(tail0);
        err[i + 1] = std::sqrt(head1) + std::sqrt(tail_sse[1]);
    }
    for (; i < err.size(); ++i) {
        const std::size_t b = first + i;
        err[i] = common::line_error(x.first(b), y.first(b)) + common::line_error(x.subspan(b - 1), y.subspan(b - 1));
    }
}

namespace {

// The scales of one series length with what depends on them alone: their
// logarithms and the regressor x = 1 .. largest scale.
struct ScaleSet {
    std::size_t n;
    std::vector<std::uint64_t> tau;
    std::vector<double> log_tau;
    std::vector<double> x;
};

// The series of a batch share a length, so each thread keeps the set of the
// last length it met. The result stays valid until the thread's next call.
const ScaleSet& scale_set(std::size_t n) {
    constexpr std::size_t none = static_cast<std::size_t>(-1);
    thread_local ScaleSet last{none, {}, {}, {}};
    if (last.n == n) return last;
    last.n = none;  // until every part belongs to n
    last.tau = common::fluctuation_scales(n);
    last.log_tau.resize(last.tau.size());
    for (std::size_t i = 0; i < last.tau.size(); ++i) last.log_tau[i] = std::log(static_cast<double>(last.tau[i]));
    last.x.resize(last.tau.back());
    for (std::size_t k = 0; k < last.x.size(); ++k) last.x[k] = static_cast<double>(k + 1);
    last.n = n;
    return last;
}

}  // namespace

double sc_fluctanal_prop(Series y, std::size_t lag, std::string_view method, bool normalize, Shared* shared) {
    if (!series_finite(y, shared) || y.size() < 2) return common::nan;
    if (lag == 0) return common::nan;
    const Method kind = parse_method(method);
    const common::Prepared prepared = prepare(y, normalize, shared);
    const Series v = prepared.view();
    const std::size_t n = v.size();

    const ScaleSet& scales = scale_set(n);
    const std::span<const std::uint64_t> tau = scales.tau;
    const std::size_t ntau = tau.size();
    if (ntau < 2 * min_segment) return 0.0;
    if (kind == Method::unknown) return 0.0;

    // Integrated series of every lag-th value.
    const std::size_t m = n / lag;
    std::vector<double> cs(m);
    if (m > 0) {
        cs[0] = v[0];
        for (std::size_t k = 1; k < m; ++k) cs[k] = cs[k - 1] + v[k * lag];
    }
    const Series x = scales.x;

    std::vector<double> logf(ntau);
    std::size_t windows = 0;
    for (std::uint64_t s : tau) windows += m / s;
    Scratch scratch(windows, m, kind == Method::dfa);
    if (kind == Method::dfa) {
        dfa_fluctuations(cs, x, tau, scratch, logf);
    } else {
        range_fluctuations(cs, x, tau, scratch, logf);
    }
    for (double& f : logf) f = std::log(f);

    // Two lines sharing the point b - 1, each at least six points long; the
    // first breakpoint with the smallest total error wins, and any NaN error
    // makes the answer 1 / ntau.
    std::vector<double> errors(ntau - 2 * min_segment + 1);
    two_line_errors(scales.log_tau, logf, min_segment, errors);
    double best = std::numeric_limits<double>::infinity();
    std::size_t best_break = min_segment;
    for (std::size_t i = 0; i < errors.size(); ++i) {
        if (std::isnan(errors[i])) return 1.0 / static_cast<double>(ntau);
        if (errors[i] < best) {
            best = errors[i];
            best_break = min_segment + i;
        }
    }
    return static_cast<double>(best_break) / static_cast<double>(ntau);
}

double sc_fluctanal_2_dfa_50_1_2_logi_prop_r1(Series y, bool normalize, Shared* shared) {
    return sc_fluctanal_prop(y, 2, "dfa", normalize, shared);
}

double sc_fluctanal_2_rsrangefit_50_1_logi_prop_r1(Series y, bool normalize, Shared* shared) {
    return sc_fluctanal_prop(y, 1, "rsrangefit", normalize, shared);
}

}  // namespace quorlex::catch22
