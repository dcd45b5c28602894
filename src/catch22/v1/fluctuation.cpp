// The v1 scaling features: fluctuation analysis with a two-regime fit (hctsa's
// SC_FluctAnal(x, 2, how, 50, 1, lag, true).prop_r1).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "catch22/v1/features.hpp"
#include "helpers/lanes.hpp"

namespace quorlex::catch22::v1 {

namespace {

struct Line {
    double slope = 0, intercept = 0;
};

// Least squares by the normal equations over x[0 .. n), y[0 .. n); slope and
// intercept 0 when the system is singular.
Line fit_line(const double* x, const double* y, std::size_t n) {
    double sx = 0.0, sxx = 0.0, sxy = 0.0, sy = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        sx += x[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
        sy += y[i];
    }
    const double dn = static_cast<double>(n);
    const double denom = dn * sxx - sx * sx;
    if (denom == 0) return {};
    return {(dn * sxy - sx * sy) / denom, (sy * sxx - sx * sxy) / denom};
}

double fit_sse(const double* x, const double* y, std::size_t n) {
    const Line l = fit_line(x, y, n);
    double sse = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double e = l.slope * x[i] + l.intercept - y[i];
        sse += e * e;
    }
    return sse;
}

enum class Fluctuation { rescaled_range, dfa };

// The range (max - min) of the residuals w[k] - (slope (k + 1) + intercept),
// k < t, four at a time in two vectors. Each residual is the scalar
// expression lane by lane; the extremes of NaN-free values are the same in any
// order (of zeros, the sign may differ from a scan's, which the squared range
// does not see).
double residual_range(const double* w, std::size_t t, Line l) {
    using common::Lanes;
    const auto residual = [&](std::size_t k) { return w[k] - (l.slope * static_cast<double>(k + 1) + l.intercept); };
    double lo = residual(0), hi = lo;
    std::size_t k = 1;
    if (t >= 8) {
        const Lanes slope = {l.slope, l.slope}, intercept = {l.intercept, l.intercept};
        Lanes x0 = {1.0, 2.0}, x1 = {3.0, 4.0};
        const Lanes four = {4.0, 4.0};
        Lanes low0 = common::load_lanes(w) - (slope * x0 + intercept), high0 = low0;
        Lanes low1 = common::load_lanes(w + 2) - (slope * x1 + intercept), high1 = low1;
        for (k = 4; k + 4 <= t; k += 4) {
            x0 += four;
            x1 += four;
            const Lanes r0 = common::load_lanes(w + k) - (slope * x0 + intercept);
            const Lanes r1 = common::load_lanes(w + k + 2) - (slope * x1 + intercept);
            low0 = r0 < low0 ? r0 : low0;
            high0 = r0 > high0 ? r0 : high0;
            low1 = r1 < low1 ? r1 : low1;
            high1 = r1 > high1 ? r1 : high1;
        }
        low0 = low1 < low0 ? low1 : low0;
        high0 = high1 > high0 ? high1 : high0;
        lo = std::min(low0[0], low0[1]);
        hi = std::max(high0[0], high0[1]);
    }
    for (; k < t; ++k) {
        const double r = residual(k);
        lo = std::min(lo, r);
        hi = std::max(hi, r);
    }
    return hi - lo;
}

// The line fits of `count` (at most 4) consecutive windows of length t of cs,
// from the first at `w`, against x = 1 .. t. Each is fit_line's over its
// window: the sums of x and x^2 are whole numbers, exact in any order, so they
// come in closed form, and the windows' own sums, each in index order, run
// side by side only so that their additions overlap.
void fit_windows(const double* w, std::size_t t, std::size_t count, double sx, double sxx, Line* out) {
    constexpr std::size_t most = 4;
    double sxy[most] = {0.0, 0.0, 0.0, 0.0}, sy[most] = {0.0, 0.0, 0.0, 0.0};
    // x counts up in doubles: whole numbers, exact.
    if (count == most) {
        double x = 1.0;
        for (std::size_t k = 0; k < t; ++k, x += 1.0) {
            for (std::size_t b = 0; b < most; ++b) {
                const double v = w[b * t + k];
                sxy[b] += x * v;
                sy[b] += v;
            }
        }
    } else {
        for (std::size_t b = 0; b < count; ++b) {
            double x = 1.0;
            for (std::size_t k = 0; k < t; ++k, x += 1.0) {
                const double v = w[b * t + k];
                sxy[b] += x * v;
                sy[b] += v;
            }
        }
    }
    const double dn = static_cast<double>(t);
    const double denom = dn * sxx - sx * sx;
    for (std::size_t b = 0; b < count; ++b) {
        out[b] = denom == 0 ? Line{}
                            : Line{(dn * sxy[b] - sx * sy[b]) / denom, (sy[b] * sxx - sx * sxy[b]) / denom};
    }
}

// The proportion of the log-spaced timescales in the first of two scaling
// regimes, for the integral of every lag-th value.
double two_regime_prop_r1(Series z, std::size_t lag, Fluctuation how) {
    constexpr std::size_t steps = 50;
    const std::size_t ny = (z.size() + lag - 1) / lag;
    if (ny < 10) return common::nan;
    std::vector<double> cs(ny);
    cs[0] = z[0];
    for (std::size_t i = 1; i < ny; ++i) cs[i] = cs[i - 1] + z[i * lag];

    // Up to 50 timescales from 5 to ny / 2, log-spaced, rounded, without repeats.
    const double low = std::log(5.0);
    const double high = std::log(static_cast<double>(ny / 2));
    std::vector<std::size_t> tau(steps);
    for (std::size_t i = 0; i < steps; ++i) {
        const double t = std::round(std::exp(low + static_cast<double>(i) * (high - low) / (steps - 1)));
        tau[i] = static_cast<std::size_t>(static_cast<int>(t));
    }
    tau[steps - 1] = ny / 2;
    std::sort(tau.begin(), tau.end());
    tau.erase(std::unique(tau.begin(), tau.end()), tau.end());
    const std::size_t count = tau.size();
    if (count < 8) return common::nan;

    std::vector<double> residual(ny);
    std::vector<Line> lines(ny / 5 + 4);
    std::vector<double> log_t(count), log_f(count);
    for (std::size_t s = 0; s < count; ++s) {
        const std::size_t t = tau[s];
        const std::size_t windows = ny / t;
        const auto whole = static_cast<std::uint64_t>(t);
        const auto sx = static_cast<double>(whole * (whole + 1) / 2);
        const auto sxx = static_cast<double>(whole * (whole + 1) * (2 * whole + 1) / 6);
        for (std::size_t j = 0; j < windows; j += 4) {
            fit_windows(cs.data() + j * t, t, std::min<std::size_t>(4, windows - j), sx, sxx, lines.data() + j);
        }
        double f = 0.0;
        if (how == Fluctuation::dfa) {
            for (std::size_t j = 0; j < windows; ++j) {
                const double* w = cs.data() + j * t;
                double* r = residual.data() + j * t;
                const Line l = lines[j];
                double x = 1.0;
                for (std::size_t k = 0; k < t; ++k, x += 1.0) r[k] = w[k] - (l.slope * x + l.intercept);
            }
            for (std::size_t i = 0; i < windows * t; ++i) f += residual[i] * residual[i];
        } else {
            for (std::size_t j = 0; j < windows; ++j) {
                const double range = residual_range(cs.data() + j * t, t, lines[j]);
                f += range * range;
            }
        }
        f = how == Fluctuation::dfa ? std::sqrt(f / static_cast<double>(windows * t))
                                    : std::sqrt(f / static_cast<double>(windows));
        log_t[s] = std::log(static_cast<double>(t));
        log_f[s] = std::log(f);
    }

    // The split minimising the squared error of two line fits sharing the
    // split point, each over at least min_points timescales; of splits within
    // a relative 1e-9 of the best, the first.
    const auto min_points = static_cast<std::size_t>(std::fmax(8, std::round(0.25 * static_cast<double>(count))));
    if (count < 2 * min_points) return common::nan;
    const std::size_t splits = count - 2 * min_points + 1;
    std::vector<double> err(splits);
    double least = std::numeric_limits<double>::infinity();
    for (std::size_t s = 0; s < splits; ++s) {
        const std::size_t i = min_points + s;
        const double sse = fit_sse(log_t.data(), log_f.data(), i) +
                           fit_sse(log_t.data() + i - 1, log_f.data() + i - 1, count - i + 1);
        err[s] = sse / static_cast<double>(count);
        if (err[s] < least) least = err[s];
    }
    std::size_t split = min_points;
    for (std::size_t s = 0; s < splits; ++s) {
        if (err[s] <= least * (1 + 1e-9)) {
            split = min_points + s;
            break;
        }
    }
    return static_cast<double>(split) / static_cast<double>(count);
}

}  // namespace

double sc_fluctanal_2_rsrangefit_50_1_logi_prop_r1(Series z, Shared*) {
    return two_regime_prop_r1(z, 1, Fluctuation::rescaled_range);
}

double sc_fluctanal_2_dfa_50_1_2_logi_prop_r1(Series z, Shared*) {
    return two_regime_prop_r1(z, 2, Fluctuation::dfa);
}

}  // namespace quorlex::catch22::v1
