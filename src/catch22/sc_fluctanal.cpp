#include "catch22/sc_fluctanal.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace quorlex::catch22 {

namespace {

constexpr std::size_t scale_count = 50;
constexpr std::size_t min_segment = 6;
constexpr double log_min_scale = 1.6094379124341003;  // ln 5

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
using Pair = double __attribute__((vector_size(2 * sizeof(double))));
using PairMask = std::int64_t __attribute__((vector_size(2 * sizeof(double))));

// Element k of two consecutive windows of length s starting at w.
inline Pair pair_at(const double* w, std::size_t s, std::size_t k) { return Pair{w[k], w[s + k]}; }

// The least-squares sums Sxy and Sy of every window of length s of cs against
// x = 1 .. s, each summed in index order from zero.
void window_sums(Series cs, Series xs, std::size_t windows, double* sxy, double* sy) {
    const std::size_t s = xs.size();
    std::size_t j = 0;
    for (; j + lanes <= windows; j += lanes) {
        const double* w = cs.data() + j * s;
        const double* w2 = w + 2 * s;
        Pair p0 = {}, p1 = {}, q0 = {}, q1 = {};
        for (std::size_t k = 0; k < s; ++k) {
            const Pair v0 = pair_at(w, s, k), v1 = pair_at(w2, s, k);
            p0 += xs[k] * v0;
            q0 += v0;
            p1 += xs[k] * v1;
            q1 += v1;
        }
        for (std::size_t l = 0; l < 2; ++l) {
            sxy[j + l] = p0[l];
            sy[j + l] = q0[l];
            sxy[j + 2 + l] = p1[l];
            sy[j + 2 + l] = q1[l];
        }
    }
    if (j + 2 <= windows) {
        const double* w = cs.data() + j * s;
        Pair p = {}, q = {};
        for (std::size_t k = 0; k < s; ++k) {
            const Pair v = pair_at(w, s, k);
            p += xs[k] * v;
            q += v;
        }
        for (std::size_t l = 0; l < 2; ++l) {
            sxy[j + l] = p[l];
            sy[j + l] = q[l];
        }
        j += 2;
    }
    for (; j < windows; ++j) {
        const double* w = cs.data() + j * s;
        double p = 0.0, q = 0.0;
        for (std::size_t k = 0; k < s; ++k) {
            p += xs[k] * w[k];
            q += w[k];
        }
        sxy[j] = p;
        sy[j] = q;
    }
}

// Working memory of one analysis, sized once for all its scales and left
// uninitialised: every entry is written before it is read.
struct Scratch {
    std::unique_ptr<double[]> memory;
    double* sxy;
    double* sy;
    double* squares;  // lanes rows of squared residuals ("dfa" only)
    Scratch(std::size_t m, bool dfa)
        : memory(std::make_unique_for_overwrite<double[]>((dfa ? 2 + lanes : 2) * m)),
          sxy(memory.get()),
          sy(sxy + m),
          squares(sy + m) {}
};

// "rsrangefit" at window length s: the root mean squared range of the
// residuals of each window from its least-squares line over x = 1 .. s, NaN
// as soon as a residual is NaN. The squared ranges are added in window order.
// Within a window the residuals are scanned two at a time: the extremes of a
// set do not depend on the scan order except for which zero (+0 or -0) wins
// a tie, and a range of such extremes squares to the same +0 or the same
// value either way; NaN is tracked apart. So the squared range keeps its bits.
double range_fluctuation(Series cs, Series x, std::size_t s, Scratch& scratch) {
    const std::size_t windows = cs.size() / s;
    const Series xs = x.first(s);
    const WindowLine line(xs);
    window_sums(cs, xs, windows, scratch.sxy, scratch.sy);
    double total = 0.0;
    for (std::size_t j = 0; j < windows; ++j) {
        const double* w = cs.data() + j * s;
        const auto [a, b] = line.fit(scratch.sxy[j], scratch.sy[j]);
        // The first residual fills both lanes, the rest follow in pairs.
        const double first = w[0] - (b + a * xs[0]);
        Pair hi = {first, first};
        Pair lo = hi;
        PairMask any_nan = hi != hi;
        std::size_t k = 1;
        for (; k + 2 <= s; k += 2) {
            const Pair r = pair_at(w, 1, k) - (b + a * pair_at(xs.data(), 1, k));
            any_nan |= r != r;
            hi = hi < r ? r : hi;
            lo = r < lo ? r : lo;
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
        total += range * range;
    }
    return std::sqrt(total / static_cast<double>(windows));
}

// The squared residuals of every window of length s from its least-squares
// line over x = 1 .. s, in index order; returns how many there are.
std::size_t squared_residuals(Series cs, Series x, std::size_t s, Scratch& scratch, double* out) {
    const std::size_t windows = cs.size() / s;
    const Series xs = x.first(s);
    const WindowLine line(xs);
    window_sums(cs, xs, windows, scratch.sxy, scratch.sy);
    for (std::size_t j = 0; j < windows; ++j) {
        const double* w = cs.data() + j * s;
        double* o = out + j * s;
        const auto [a, b] = line.fit(scratch.sxy[j], scratch.sy[j]);
        for (std::size_t k = 0; k < s; ++k) {
            const double r = w[k] - (b + a * xs[k]);
            o[k] = r * r;
        }
    }
    return windows * s;
}

// "dfa" at each window length of `tau`: the root mean squared residual of
// each window from its least-squares line over x = 1 .. s. Each scale's
// squares are added one at a time in index order; up to `lanes` scales keep
// their running totals side by side, so the additions of different scales
// overlap while each total still sees its own terms in the same order.
void dfa_fluctuations(Series cs, Series x, std::span<const std::uint64_t> tau, Scratch& scratch,
                      std::span<double> out) {
    const std::size_t m = cs.size();
    for (std::size_t g = 0; g < tau.size(); g += lanes) {
        const std::size_t group = std::min(lanes, tau.size() - g);
        const double* rows[lanes];
        std::size_t counts[lanes];
        std::size_t common_count = m;
        for (std::size_t l = 0; l < lanes; ++l) {
            // Missing lanes of the last group repeat its first scale, unused.
            const std::size_t i = l < group ? l : 0;
            double* row = scratch.squares + i * m;
            if (l < group) counts[l] = squared_residuals(cs, x, tau[g + l], scratch, row);
            else counts[l] = counts[0];
            rows[l] = row;
            common_count = std::min(common_count, counts[l]);
        }
        Pair t0 = {}, t1 = {};
        for (std::size_t t = 0; t < common_count; ++t) {
            t0 += Pair{rows[0][t], rows[1][t]};
            t1 += Pair{rows[2][t], rows[3][t]};
        }
        double total[lanes] = {t0[0], t0[1], t1[0], t1[1]};
        for (std::size_t l = 0; l < group; ++l) {
            for (std::size_t t = common_count; t < counts[l]; ++t) total[l] += rows[l][t];
            out[g + l] = std::sqrt(total[l] / static_cast<double>(counts[l]));
        }
    }
}

}  // namespace

std::vector<std::uint64_t> fluctuation_scales(std::size_t n) {
    const double lo = log_min_scale;
    const double step = (std::log(static_cast<double>(n / 2)) - lo) / 49.0;
    std::vector<std::uint64_t> tau;
    tau.reserve(scale_count);
    for (std::size_t i = 0; i < scale_count; ++i) {
        const std::uint64_t s = common::saturating_cast(std::round(std::exp(step * static_cast<double>(i) + lo)));
        if (tau.empty() || tau.back() != s) tau.push_back(s);
    }
    return tau;
}

double line_error(Series x, Series y) {
    const auto fit = common::linear_fit(x, y).value_or(common::LinearFit{0.0, 0.0});
    double sse = 0.0;
    for (std::size_t k = 0; k < x.size(); ++k) {
        const double e = (fit.intercept + fit.slope * x[k]) - y[k];
        sse += e * e;
    }
    return std::sqrt(sse);
}

double sc_fluctanal_prop(Series y, std::size_t lag, std::string_view method, bool normalize, Shared* shared) {
    if (!common::all_finite(y) || y.size() < 2) return common::nan;
    if (lag == 0) return common::nan;
    const Method kind = parse_method(method);
    const common::Prepared prepared = prepare(y, normalize, shared);
    const Series v = prepared.view();
    const std::size_t n = v.size();

    const std::vector<std::uint64_t> tau = fluctuation_scales(n);
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
    std::vector<double> x(tau[ntau - 1]);
    for (std::size_t k = 0; k < x.size(); ++k) x[k] = static_cast<double>(k + 1);

    std::vector<double> logtt(ntau);
    std::vector<double> logf(ntau);
    Scratch scratch(m, kind == Method::dfa);
    if (kind == Method::dfa) {
        dfa_fluctuations(cs, x, tau, scratch, logf);
    } else {
        for (std::size_t i = 0; i < ntau; ++i) logf[i] = range_fluctuation(cs, x, tau[i], scratch);
    }
    for (std::size_t i = 0; i < ntau; ++i) {
        logtt[i] = std::log(static_cast<double>(tau[i]));
        logf[i] = std::log(logf[i]);
    }

    // Two lines sharing the point b - 1, each at least six points long; the
    // first breakpoint with the smallest total error wins, and any NaN error
    // makes the answer 1 / ntau.
    const Series lt = logtt;
    const Series lf = logf;
    double best = std::numeric_limits<double>::infinity();
    std::size_t best_break = min_segment;
    for (std::size_t b = min_segment; b + min_segment <= ntau; ++b) {
        const double err = line_error(lt.first(b), lf.first(b)) + line_error(lt.subspan(b - 1), lf.subspan(b - 1));
        if (std::isnan(err)) return 1.0 / static_cast<double>(ntau);
        if (err < best) {
            best = err;
            best_break = b;
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
