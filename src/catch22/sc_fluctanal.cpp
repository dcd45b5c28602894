#include "catch22/sc_fluctanal.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
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

// The regressor x = 1 .. s of every window of one scale. Its sums are the same
// for all windows, so they are formed once; with the window sums Sxy and Sy
// (each in index order) the line is exactly what common::linear_fit gives.
class WindowLine {
public:
    explicit WindowLine(Series x) : n_(static_cast<double>(x.size())) {
        for (double v : x) {
            sx_ += v;
            sxx_ += v * v;
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

// Squared residuals added one at a time ("dfa"), or the squared residual
// range, NaN as soon as a residual is NaN ("rsrangefit").
template <Method M>
struct Spread {
    double total = 0.0;
    double hi = 0.0;
    double lo = 0.0;
    bool any_nan = false;

    void first(double r) {
        if constexpr (M == Method::dfa) {
            total += r * r;
        } else {
            hi = lo = r;
            any_nan = std::isnan(r);
        }
    }
    void next(double r) {
        if constexpr (M == Method::dfa) {
            total += r * r;
        } else {
            // NaN is tracked apart, so the extremes can use branch-free max/min.
            any_nan |= std::isnan(r);
            hi = std::max(hi, r);
            lo = std::min(lo, r);
        }
    }
    void end_window() {
        if constexpr (M == Method::rsrangefit) {
            const double range = any_nan ? common::nan : hi - lo;
            total += range * range;
        }
    }
};

// Fluctuation at window length s: the windows of cs are detrended by a
// least-squares line over x = 1 .. s. The sums for the next window's line are
// formed in the same pass as the current window's residuals so that the two
// dependency chains overlap.
template <Method M>
double fluctuation(Series cs, Series x, std::size_t s) {
    const std::size_t windows = cs.size() / s;
    const Series xs = x.first(s);
    const WindowLine line(xs);
    Spread<M> spread;
    double sxy = 0.0, sy = 0.0;
    if (windows > 0) {
        for (std::size_t k = 0; k < s; ++k) {
            sxy += xs[k] * cs[k];
            sy += cs[k];
        }
    }
    for (std::size_t j = 0; j < windows; ++j) {
        const auto [a, b] = line.fit(sxy, sy);
        const double* w = cs.data() + j * s;
        sxy = 0.0;
        sy = 0.0;
        spread.first(w[0] - (b + a * xs[0]));
        if (j + 1 < windows) {
            const double* ahead = w + s;
            sxy += xs[0] * ahead[0];
            sy += ahead[0];
            for (std::size_t k = 1; k < s; ++k) {
                spread.next(w[k] - (b + a * xs[k]));
                sxy += xs[k] * ahead[k];
                sy += ahead[k];
            }
        } else {
            for (std::size_t k = 1; k < s; ++k) spread.next(w[k] - (b + a * xs[k]));
        }
        spread.end_window();
    }
    if constexpr (M == Method::dfa) return std::sqrt(spread.total / static_cast<double>(s * windows));
    return std::sqrt(spread.total / static_cast<double>(windows));
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
    for (std::size_t i = 0; i < ntau; ++i) {
        logtt[i] = std::log(static_cast<double>(tau[i]));
        const double f = kind == Method::dfa ? fluctuation<Method::dfa>(cs, x, tau[i])
                                             : fluctuation<Method::rsrangefit>(cs, x, tau[i]);
        logf[i] = std::log(f);
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
