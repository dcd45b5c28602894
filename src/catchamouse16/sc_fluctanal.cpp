#include "catchamouse16/sc_fluctanal.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "catchamouse16/gsl_support.hpp"
#include "helpers/finite.hpp"
#include "helpers/fluctuation_scales.hpp"
#include "helpers/lanes.hpp"
#include "helpers/linear_fit.hpp"
#include "helpers/moments.hpp"
#include "helpers/vectors.hpp"

namespace quorlex::catchamouse16 {

using common::LaneMask;
using common::Lanes;
using common::lanes;

namespace {

constexpr std::size_t min_segment = 6;
constexpr std::size_t min_scales = 2 * min_segment;

// The regressor x = 1 .. s of every window of one scale: its sums are the
// same for all windows, so they are formed once.
class WindowQuadratic {
public:
    explicit WindowQuadratic(std::size_t s) : s_(s), xs_(s), xxs_(s) {
        for (std::size_t i = 1; i <= s; ++i) {
            const double x = static_cast<double>(i);
            const double x2 = x * x;
            xs_[i - 1] = x;
            xxs_[i - 1] = x2;
            k_ += 1.0;
            sx_ += x;
            sxx_ += x2;
            sx3_ += x * x2;
            sx4_ += x * (x * x2);
        }
        mx_ = sx_ / k_;
        mxx_ = sxx_ / k_;
        q_ = (sx3_ - sx_ * mxx_) / (sxx_ - sx_ * mx_);
        u_ = sx3_ - sxx_ * mx_;
    }

    // Summed squared residuals of the least-squares quadratic of each of
    // 2V consecutive windows starting at w, window by window, added to f in
    // window order. Lane l of vector g holds window 2g + l: each lane performs
    // its own window's scalar operations in the scalar order (element-wise
    // vector arithmetic is the same IEEE operation per lane, never fused under
    // -ffp-contract=off), so every window's sums, fit and squared residuals
    // are bit for bit those of a window handled alone; the V vectors only
    // give the adder independent chains, which is where the time goes.
    template <std::size_t V>
    void add_windows(const double* w, double& f) const {
        const std::size_t s = s_;
        std::array<Lanes, V> sy{}, sxy{}, sxxy{};
        const auto load = [&](std::size_t g, std::size_t i) {
            return Lanes{w[2 * g * s + i], w[(2 * g + 1) * s + i]};
        };
        const double* xs = xs_.data();
        const double* xxs = xxs_.data();
        for (std::size_t i = 0; i < s; ++i) {
            const double x = xs[i];
            const double xx = xxs[i];
#pragma GCC unroll 4
            for (std::size_t g = 0; g < V; ++g) {
                const Lanes v = load(g, i);
                sy[g] += v;
                sxy[g] += x * v;
                sxxy[g] += v * xx;
            }
        }
        std::array<Lanes, V> a{}, b{}, c{};
        for (std::size_t g = 0; g < V; ++g) fit(sy[g], sxy[g], sxxy[g], a[g], b[g], c[g]);
        std::array<Lanes, V> squares{};
        for (std::size_t i = 0; i < s; ++i) {
            const double x = xs[i];
#pragma GCC unroll 4
            for (std::size_t g = 0; g < V; ++g) {
                const Lanes r = load(g, i) - (a[g] + (b[g] * x + c[g] * x * x));
                squares[g] += r * r;
            }
        }
        for (std::size_t g = 0; g < V; ++g) {
            f += squares[g][0];
            f += squares[g][1];
        }
    }

    // The same for one window.
    void add_window(const double* w, double& f) const {
        double sy = 0.0, sxy = 0.0, sxxy = 0.0;
        for (std::size_t i = 0; i < s_; ++i) {
            const double x = static_cast<double>(i + 1);
            sy += w[i];
            sxy += x * w[i];
            sxxy += w[i] * (x * x);
        }
        double a = 0.0, b = 0.0, c = 0.0;
        fit(sy, sxy, sxxy, a, b, c);
        double squares = 0.0;
        for (std::size_t i = 0; i < s_; ++i) {
            const double x = static_cast<double>(i + 1);
            const double r = w[i] - (a + (b * x + c * x * x));
            squares += r * r;
        }
        f += squares;
    }

private:
    // The quadratic a + b x + c x^2 from the window sums, for one window
    // (T = double) or one per lane (T = Lanes).
    template <typename T>
    void fit(T sy, T sxy, T sxxy, T& a, T& b, T& c) const {
        const T my = sy / k_;
        const T p = (sxy - sx_ * my) / (sxx_ - sx_ * mx_);
        c = (sxxy - sxx_ * my - u_ * p) / (sx4_ - sxx_ * mxx_ - u_ * q_);
        b = p - q_ * c;
        a = my - mx_ * b - mxx_ * c;
    }

    std::size_t s_;
    // x = 1 .. s and x * x, as the window loops would compute them.
    std::vector<double> xs_, xxs_;
    double k_ = 0.0, sx_ = 0.0, sxx_ = 0.0, sx3_ = 0.0, sx4_ = 0.0;
    double mx_ = 0.0, mxx_ = 0.0, q_ = 0.0, u_ = 0.0;
};

// Root mean square residual of a quadratic trend fitted by least squares to
// each whole window of length s of cs; NaN when no window fits.
double quadratic_fluctuation(Series cs, std::size_t s) {
    const WindowQuadratic quadratic(s);
    const std::size_t nb = cs.size() / s;
    double f = 0.0;
    std::size_t j = 0;
    // Three vectors fill the sixteen SSE registers without spilling.
    for (; j + 6 <= nb; j += 6) quadratic.add_windows<3>(cs.data() + j * s, f);
    if (j + 4 <= nb) {
        quadratic.add_windows<2>(cs.data() + j * s, f);
        j += 4;
    }
    if (j + 2 <= nb) {
        quadratic.add_windows<1>(cs.data() + j * s, f);
        j += 2;
    }
    if (j < nb) quadratic.add_window(cs.data() + j * s, f);
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

    const std::vector<std::uint64_t> tau = common::fluctuation_scales(n);
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
        const double err = common::line_error(lx.first(b), ly.first(b)) +
                           common::line_error(lx.subspan(b - 1), ly.subspan(b - 1));
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
