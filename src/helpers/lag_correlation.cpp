#include "helpers/lag_correlation.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
#include <utility>

#include "helpers/lanes.hpp"

namespace quorlex::common {

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

}  // namespace quorlex::common
