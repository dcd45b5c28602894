#include "catchamouse16/sc_fluctanal.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "catch22/sc_fluctanal.hpp"
#include "catchamouse16/gsl_support.hpp"
#include "catchamouse16/lanes.hpp"

namespace quorlex::catchamouse16 {

namespace {

constexpr std::size_t min_segment = 6;
constexpr std::size_t min_scales = 2 * min_segment;

// Root mean square residual of a quadratic trend fitted by least squares to
// each whole window of length s of cs; NaN when no window fits.
double quadratic_fluctuation(Series cs, std::size_t s) {
    // Sums over x = 1 .. s are the same for every window.
    double k = 0.0, sx = 0.0, sxx = 0.0, sx3 = 0.0, sx4 = 0.0;
    for (std::size_t i = 1; i <= s; ++i) {
        const double x = static_cast<double>(i);
        const double x2 = x * x;
        k += 1.0;
        sx += x;
        sxx += x2;
        sx3 += x * x2;
        sx4 += x * (x * x2);
    }
    const double mx = sx / k;
    const double mxx = sxx / k;
    const double q = (sx3 - sx * mxx) / (sxx - sx * mx);
    const double u = sx3 - sxx * mx;

    const std::size_t nb = cs.size() / s;
    // The quadratic of one window from its sums, and a residual against it,
    // written once for a single window (T = double) and for a group of windows
    // side by side (T = Lanes).
    const auto fit = [&](auto sy, auto sxy, auto sxxy) {
        const auto my = sy / k;
        const auto p = (sxy - sx * my) / (sxx - sx * mx);
        const auto c = (sxxy - sxx * my - u * p) / (sx4 - sxx * mxx - u * q);
        const auto b = p - q * c;
        const auto a = my - mx * b - mxx * c;
        return std::array{a, b, c};
    };
    const auto residual = [](const auto& t, auto w, double x) { return w - (t[0] + (t[1] * x + t[2] * x * x)); };

    // Four windows at a time, two per vector (one window per lane). Each lane
    // performs its own window's operations in the scalar order (element-wise
    // vector arithmetic is the same IEEE operation per lane, never fused under
    // -ffp-contract=off), so every window's sums, fit and squared residuals
    // are bit for bit those of the one-window loop below; f still adds the
    // windows' totals in window order. Two vectors give the adder two
    // independent chains per sum, which is where the time goes.
    double f = 0.0;
    std::size_t j = 0;
    for (; j + 2 * lanes <= nb; j += 2 * lanes) {
        const double* w = cs.data() + j * s;
        const double* v = w + 2 * s;
        Lanes sy0{}, sxy0{}, sxxy0{}, sy1{}, sxy1{}, sxxy1{};
        for (std::size_t i = 0; i < s; ++i) {
            const double x = static_cast<double>(i + 1);
            const Lanes w0{w[i], w[i + s]};
            const Lanes w1{v[i], v[i + s]};
            sy0 += w0;
            sxy0 += x * w0;
            sxxy0 += w0 * (x * x);
            sy1 += w1;
            sxy1 += x * w1;
            sxxy1 += w1 * (x * x);
        }
        const auto t0 = fit(sy0, sxy0, sxxy0);
        const auto t1 = fit(sy1, sxy1, sxxy1);
        Lanes squares0{}, squares1{};
        for (std::size_t i = 0; i < s; ++i) {
            const double x = static_cast<double>(i + 1);
            const Lanes r0 = residual(t0, Lanes{w[i], w[i + s]}, x);
            const Lanes r1 = residual(t1, Lanes{v[i], v[i + s]}, x);
            squares0 += r0 * r0;
            squares1 += r1 * r1;
        }
        f += squares0[0];
        f += squares0[1];
        f += squares1[0];
        f += squares1[1];
    }
    // Up to three windows are left: a pair in one vector, then one alone.
    if (j + lanes <= nb) {
        const double* w = cs.data() + j * s;
        Lanes sy{}, sxy{}, sxxy{};
        for (std::size_t i = 0; i < s; ++i) {
            const double x = static_cast<double>(i + 1);
            const Lanes v{w[i], w[i + s]};
            sy += v;
            sxy += x * v;
            sxxy += v * (x * x);
        }
        const auto t = fit(sy, sxy, sxxy);
        Lanes squares{};
        for (std::size_t i = 0; i < s; ++i) {
            const Lanes r = residual(t, Lanes{w[i], w[i + s]}, static_cast<double>(i + 1));
            squares += r * r;
        }
        f += squares[0];
        f += squares[1];
        j += lanes;
    }
    if (j < nb) {
        const double* w = cs.data() + j * s;
        double sy = 0.0, sxy = 0.0, sxxy = 0.0;
        for (std::size_t i = 0; i < s; ++i) {
            const double x = static_cast<double>(i + 1);
            sy += w[i];
            sxy += x * w[i];
            sxxy += w[i] * (x * x);
        }
        const auto t = fit(sy, sxy, sxxy);
        double squares = 0.0;
        for (std::size_t i = 0; i < s; ++i) {
            const double r = residual(t, w[i], static_cast<double>(i + 1));
            squares += r * r;
        }
        f += squares;
    }
    return std::sqrt(f / static_cast<double>(nb * s));
}

// Standard error of the slope of a bisquare-weighted line through (x, y);
// NaN when GSL cannot allocate or the fit does not succeed.
double robust_slope_error(Series x, Series y) {
    gsl::errors_off();
    const std::size_t m = x.size();
    const gsl::Vector gx(gsl_vector_alloc(m));
    const gsl::Vector gy(gsl_vector_alloc(m));
    const gsl::Vector coef(gsl_vector_alloc(2));
    const gsl::Matrix design(gsl_matrix_alloc(m, 2));
    const gsl::Matrix cov(gsl_matrix_alloc(2, 2));
    if (!gx || !gy || !coef || !design || !cov) return common::nan;
    for (std::size_t i = 0; i < m; ++i) {
        gsl_vector_set(gx.get(), i, x[i]);
        gsl_vector_set(gy.get(), i, y[i]);
    }
    for (std::size_t i = 0; i < m; ++i) {
        gsl_matrix_set(design.get(), i, 0, 1.0);
        gsl_matrix_set(design.get(), i, 1, gsl_vector_get(gx.get(), i));
    }
    const gsl::RobustWorkspace work(gsl_multifit_robust_alloc(gsl_multifit_robust_bisquare, m, 2));
    if (!work) return common::nan;
    if (gsl_multifit_robust(design.get(), gy.get(), coef.get(), cov.get(), work.get()) != 0) return common::nan;
    return std::sqrt(gsl_matrix_get(cov.get(), 1, 1));
}

}  // namespace

double sc_fluctanal_2_dfa_50_2_logi_r2_se2(Series y, bool normalize) {
    if (common::has_nan(y)) return common::nan;
    const common::Prepared x(y, normalize);
    const std::size_t n = x.size();

    const std::vector<std::uint64_t> tau = catch22::fluctuation_scales(n);
    const std::size_t ntau = tau.size();
    if (ntau < min_scales) return 0.0;

    const std::vector<double> cs = common::cumsum(x.view());
    std::vector<double> logtt(ntau);
    std::vector<double> logf(ntau);
    for (std::size_t i = 0; i < ntau; ++i) {
        logtt[i] = std::log(static_cast<double>(tau[i]));
        logf[i] = std::log(quadratic_fluctuation(cs, tau[i]));
    }

    // Breakpoint b splits the points into 0 .. b-1 and b-1 .. ntau-1.
    const Series lx(logtt);
    const Series ly(logf);
    std::size_t best = 0;
    double best_err = std::numeric_limits<double>::infinity();
    bool any_nan = false;
    for (std::size_t b = min_segment; b + min_segment <= ntau; ++b) {
        const double err = catch22::line_error(lx.first(b), ly.first(b)) +
                           catch22::line_error(lx.subspan(b - 1), ly.subspan(b - 1));
        if (std::isnan(err)) {
            any_nan = true;
        } else if (err < best_err || b == min_segment) {
            best_err = err;
            best = b - min_segment;
        }
    }
    // The tail starts at the point shared by the best split.
    const std::size_t start = any_nan ? min_segment : best + min_segment - 1;
    return robust_slope_error(lx.subspan(start), ly.subspan(start));
}

}  // namespace quorlex::catchamouse16
