#include "catch22/pd_periodicitywang.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "helpers/lanes.hpp"
#include "helpers/moments.hpp"
#include "helpers/splinefit.hpp"

namespace quorlex::catch22 {

namespace {

constexpr double threshold = 0.01;

// Two adjacent lags side by side in one SSE2 register; each lane is still a
// plain sequential sum, so the result does not depend on the grouping.
using common::Lanes;
using common::load_lanes;

// acf[k-1] = (sum over i < n-k of r[i] * r[i+k]) / (n - k) for k = first .. last,
// with last below n. Every sum runs in index order from -0.0; a block of lags
// is accumulated side by side only to overlap their additions. A last block
// with fewer lags left still runs eight lanes (while all eight lags exist) and
// keeps the ones asked for: each lane's sum is the same whatever its
// neighbours hold.
void autocovariances(Series r, std::span<double> acf, std::size_t first, std::size_t last) {
    constexpr std::size_t block = 8;
    const std::size_t n = r.size();
    const std::size_t lags = last;
    std::size_t k = first;
    for (; k <= lags && k + block - 1 < n; k += block) {
        // Named accumulators stay in registers.
        const Lanes zero{-0.0, -0.0};
        Lanes a0 = zero, a1 = zero, a2 = zero, a3 = zero;
        // Every lag of the block has at least this many terms.
        const std::size_t shared = n - (k + block - 1);
        for (std::size_t i = 0; i < shared; ++i) {
            const Lanes v{r[i], r[i]};
            const double* ahead = r.data() + i + k;
            a0 += v * load_lanes(ahead);
            a1 += v * load_lanes(ahead + 2);
            a2 += v * load_lanes(ahead + 4);
            a3 += v * load_lanes(ahead + 6);
        }
        const double partial[block] = {a0[0], a0[1], a1[0], a1[1], a2[0], a2[1], a3[0], a3[1]};
        for (std::size_t b = 0; b < std::min(block, lags - k + 1); ++b) {
            const std::size_t lag = k + b;
            double total = partial[b];
            for (std::size_t i = shared; i < n - lag; ++i) total += r[i] * r[i + lag];
            acf[lag - 1] = total / static_cast<double>(n - lag);
        }
    }
    for (; k <= lags; ++k) {
        double total = -0.0;
        for (std::size_t i = 0; i < n - k; ++i) total += r[i] * r[i + k];
        acf[k - 1] = total / static_cast<double>(n - k);
    }
}

}  // namespace

std::int32_t pd_periodicitywang(Series y, bool normalize, Shared* shared) {
    if (!series_finite(y, shared)) return 0;
    const common::Prepared prepared = prepare(y, normalize, shared);
    const Series x = prepared.view();
    const std::size_t n = x.size();
    // Below seven values fewer than three autocovariances exist and no peak can
    // follow a trough; the spline fit would be degenerate as well, so skip it.
    if (n <= 6) return 0;

    std::vector<double> residual(n);
    common::splinefit(x, residual);
    for (std::size_t i = 0; i < n; ++i) residual[i] = x[i] - residual[i];

    const auto acmax = static_cast<std::size_t>(std::ceil(static_cast<double>(n) / 3.0));
    std::vector<double> acf(acmax);
    // The scan stops at the first qualifying peak, and deciding on position i
    // needs only acf[0 .. i+1]: autocovariances (quadratic work in all) are
    // computed in chunks as the scan reaches them, one block of eight lags
    // at a time, so that at most a block's worth lies beyond the peak.
    constexpr std::size_t chunk = 8;
    std::size_t ready = 0;
    const auto ensure = [&](std::size_t count) {
        if (count <= ready) return;
        const std::size_t upto = std::min(acmax, std::max(count, ready + chunk));
        autocovariances(residual, acf, ready + 1, upto);
        ready = upto;
    };

    // Troughs and peaks come in increasing order, so the last trough seen
    // before a peak is the last trough below it.
    bool have_trough = false;
    std::size_t trough = 0;
    for (std::size_t i = 1; i + 1 < acmax; ++i) {
        ensure(i + 2);
        const double slope_in = acf[i] - acf[i - 1];
        const double slope_out = acf[i + 1] - acf[i];
        if (slope_in < 0 && slope_out > 0) {
            have_trough = true;
            trough = i;
        } else if (slope_in > 0 && slope_out < 0) {
            if (!have_trough) continue;
            if (acf[i] < 0) continue;
            if (acf[i] - acf[trough] < threshold) continue;
            return static_cast<std::int32_t>(i);
        }
    }
    return 0;
}

double pd_periodicitywang_th0_01(Series y, bool normalize, Shared* shared) {
    return static_cast<double>(pd_periodicitywang(y, normalize, shared));
}

}  // namespace quorlex::catch22
