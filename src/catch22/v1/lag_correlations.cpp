#include "catch22/v1/lag_correlations.hpp"

#include <cmath>

#include "helpers/lanes.hpp"

namespace quorlex::catch22::v1 {

// Not common::LagCorrelations: the two round their sums in different orders,
// and this order is the one that reproduces pycatch22 1.0's correlations to
// the bit (the shared one differs from it at the rounding level on about half
// of them).
std::array<double, 4> lag_correlations(Series z, std::span<const double> prefix, std::size_t first) {
    constexpr std::size_t lanes = 4;
    const std::size_t n = z.size();
    const std::size_t shared = n - (first + lanes - 1);
    using common::Lanes;
    using common::load_lanes;
    std::array<double, lanes> mean_a{}, mean_b{}, out{};
    // Lags first, first + 1 in one vector and first + 2, first + 3 in
    // another: their second parts are adjacent values.
    const double* b = z.data() + first;
    Lanes sb01 = {0.0, 0.0}, sb23 = {0.0, 0.0};
    for (std::size_t i = 0; i < shared; ++i) {
        sb01 += load_lanes(b + i);
        sb23 += load_lanes(b + i + 2);
    }
    double sb[lanes] = {sb01[0], sb01[1], sb23[0], sb23[1]};
    for (std::size_t l = 0; l < lanes; ++l) {
        const std::size_t m = n - (first + l);
        for (std::size_t i = shared; i < m; ++i) sb[l] += z[first + l + i];
        mean_a[l] = prefix[m] / static_cast<double>(m);
        mean_b[l] = sb[l] / static_cast<double>(m);
    }
    const Lanes ma01 = {mean_a[0], mean_a[1]}, ma23 = {mean_a[2], mean_a[3]};
    const Lanes mb01 = {mean_b[0], mean_b[1]}, mb23 = {mean_b[2], mean_b[3]};
    Lanes nom01 = {0, 0}, nom23 = {0, 0}, da01 = {0, 0}, da23 = {0, 0}, db01 = {0, 0}, db23 = {0, 0};
    for (std::size_t i = 0; i < shared; ++i) {
        const Lanes a = {z[i], z[i]};
        const Lanes x01 = a - ma01, x23 = a - ma23;
        const Lanes y01 = load_lanes(b + i) - mb01, y23 = load_lanes(b + i + 2) - mb23;
        nom01 += x01 * y01;
        nom23 += x23 * y23;
        da01 += x01 * x01;
        da23 += x23 * x23;
        db01 += y01 * y01;
        db23 += y23 * y23;
    }
    double nom[lanes] = {nom01[0], nom01[1], nom23[0], nom23[1]};
    double da[lanes] = {da01[0], da01[1], da23[0], da23[1]};
    double db[lanes] = {db01[0], db01[1], db23[0], db23[1]};
    const auto step = [&](std::size_t l, std::size_t i) {
        const double x = z[i] - mean_a[l], y = z[i + first + l] - mean_b[l];
        nom[l] += x * y;
        da[l] += x * x;
        db[l] += y * y;
    };
    for (std::size_t l = 0; l < lanes; ++l) {
        for (std::size_t i = shared; i < n - (first + l); ++i) step(l, i);
        out[l] = nom[l] / std::sqrt(da[l] * db[l]);
    }
    return out;
}

}  // namespace quorlex::catch22::v1
