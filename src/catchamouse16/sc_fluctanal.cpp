#include "catchamouse16/sc_fluctanal.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "catch22/sc_fluctanal.hpp"
#include "catchamouse16/gsl_support.hpp"

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
    struct Quadratic {
        double a, b, c;
    };
    const auto fit = [&](double sy, double sxy, double sxxy) {
        const double my = sy / k;
        const double p = (sxy - sx * my) / (sxx - sx * mx);
        const double c = (sxxy - sxx * my - u * p) / (sx4 - sxx * mxx - u * q);
        const double b = p - q * c;
        return Quadratic{my - mx * b - mxx * c, b, c};
    };
    const auto residual = [](const Quadratic& t, double w, double x) { return w - (t.a + (t.b * x + t.c * x * x)); };

    // Two windows at a time, each with its own sums in index order, so the
    // two sets of dependency chains overlap; f still adds the windows' squared
    // residuals in window order.
    double f = 0.0;
    std::size_t j = 0;
    for (; j + 2 <= nb; j += 2) {
        const double* w0 = cs.data() + j * s;
        const double* w1 = w0 + s;
        double sy0 = 0.0, sxy0 = 0.0, sxxy0 = 0.0, sy1 = 0.0, sxy1 = 0.0, sxxy1 = 0.0;
        for (std::size_t i = 0; i < s; ++i) {
            const double x = static_cast<double>(i + 1);
            sy0 += w0[i];
            sxy0 += x * w0[i];
            sxxy0 += w0[i] * (x * x);
            sy1 += w1[i];
            sxy1 += x * w1[i];
            sxxy1 += w1[i] * (x * x);
        }
        const Quadratic t0 = fit(sy0, sxy0, sxxy0);
        const Quadratic t1 = fit(sy1, sxy1, sxxy1);
        double squares0 = 0.0, squares1 = 0.0;
        for (std::size_t i = 0; i < s; ++i) {
            const double x = static_cast<double>(i + 1);
            const double r0 = residual(t0, w0[i], x);
            const double r1 = residual(t1, w1[i], x);
            squares0 += r0 * r0;
            squares1 += r1 * r1;
        }
        f += squares0;
        f += squares1;
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
        const Quadratic t = fit(sy, sxy, sxxy);
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
