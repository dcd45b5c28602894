#include "catch22/v1/in_automutualinfostats.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

#include "catch22/v1/lag_correlations.hpp"

namespace quorlex::catch22::v1 {

namespace {

double gaussian_ami(double r) { return -0.5 * std::log(std::fmax(1.0 - r * r, 1e-12)); }

}  // namespace

double in_automutualinfostats_40_gaussian_fmmi(Series z, Shared*) {
    const std::size_t n = z.size();
    const std::size_t tau = std::min<std::size_t>(40, (n + 1) / 2);
    if (tau < 3) return static_cast<double>(tau);
    std::vector<double> prefix(n + 1);
    double running = 0.0;
    for (std::size_t i = 0; i < n; ++i) prefix[i + 1] = running += z[i];
    // Lags 1 .. tau, four at a time as the scan reaches them (lag + 3 stays
    // below n: tau <= (n + 1) / 2 and n >= 5 here).
    std::array<double, 4> block{};
    std::size_t block_first = 0;
    const auto ami = [&](std::size_t lag) {
        if (block_first == 0 || lag >= block_first + 4) {
            block_first = lag;
            block = lag_correlations(z, prefix, lag);
        }
        return gaussian_ami(block[lag - block_first]);
    };
    double before = ami(1);
    double now = ami(2);
    for (std::size_t i = 1; i + 1 < tau; ++i) {
        const double next = ami(i + 2);
        if (now < before && now < next) return static_cast<double>(i + 1);
        before = now;
        now = next;
    }
    return static_cast<double>(tau);
}

}  // namespace quorlex::catch22::v1
