#include "catch22/v1/two_regime_fit.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "catch22/sc_fluctanal.hpp"

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

// Up to 50 timescales from 5 to ny / 2, log-spaced, rounded, without
// repeats, and their logarithms.
struct Scales {
    std::size_t ny = 0;
    std::vector<std::uint64_t> tau;
    std::vector<double> log_tau;
};

Scales make_scales(std::size_t ny) {
    constexpr std::size_t steps = 50;
    const double low = std::log(5.0);
    const double high = std::log(static_cast<double>(ny / 2));
    Scales out{ny, std::vector<std::uint64_t>(steps), {}};
    std::vector<std::uint64_t>& tau = out.tau;
    for (std::size_t i = 0; i < steps; ++i) {
        const double t = std::round(std::exp(low + static_cast<double>(i) * (high - low) / (steps - 1)));
        tau[i] = static_cast<std::uint64_t>(static_cast<int>(t));
    }
    tau[steps - 1] = ny / 2;
    std::sort(tau.begin(), tau.end());
    tau.erase(std::unique(tau.begin(), tau.end()), tau.end());
    for (const std::uint64_t t : tau) out.log_tau.push_back(std::log(static_cast<double>(t)));
    return out;
}

// The series of a batch share a length, so each thread keeps the scales of
// the last length each analysis (lag) met; valid until its next call.
const Scales& scales(std::size_t ny, std::size_t lag) {
    thread_local Scales last[2];
    Scales& slot = last[lag == 1 ? 0 : 1];
    if (slot.ny != ny) {
        slot.ny = 0;  // until every part belongs to ny
        slot = make_scales(ny);
    }
    return slot;
}

}  // namespace

double two_regime_prop_r1(Series z, std::size_t lag, bool dfa) {
    const std::size_t ny = (z.size() + lag - 1) / lag;
    if (ny < 10) return common::nan;
    std::vector<double> cs(ny);
    cs[0] = z[0];
    for (std::size_t i = 1; i < ny; ++i) cs[i] = cs[i - 1] + z[i * lag];

    const Scales& scale = scales(ny, lag);
    const std::size_t count = scale.tau.size();
    if (count < 8) return common::nan;

    // The classic analysis's fluctuations: the same window fits, residuals and
    // sums in the same order.
    const std::vector<double>& log_t = scale.log_tau;
    std::vector<double> log_f(count);
    catch22::fluctuations(cs, scale.tau, dfa, log_f);
    for (double& f : log_f) f = std::log(f);

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

}  // namespace quorlex::catch22::v1
