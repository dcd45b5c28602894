#include "catch22/v1/resample.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>

#include "helpers/lanes.hpp"

namespace quorlex::catch22::v1 {

namespace {

constexpr double pi = 3.14159265358979323846;

// I0(x) from its power series sum ((x/2)^k / k!)^2.
double bessel_i0(double x) {
    const double half_x2 = (x / 2) * (x / 2);
    double term = 1.0, sum = 1.0;
    for (int k = 1; k < 500; ++k) {
        term *= half_x2 / (static_cast<double>(k) * k);
        sum += term;
        if (term < sum * 1e-17) break;
    }
    return sum;
}

// The anti-aliasing filter of decimation by q > 1: a Kaiser-windowed (beta 5)
// sinc low-pass of half-width 10 q, scaled to unit gain at zero frequency.
std::vector<double> decimation_filter(std::size_t q) {
    const double beta = 5.0;
    const auto k_half = static_cast<std::ptrdiff_t>(10 * q);
    const double dq = static_cast<double>(q);
    std::vector<double> h(static_cast<std::size_t>(2 * k_half + 1));
    const double i0_beta = bessel_i0(beta);
    double total = 0;
    for (std::ptrdiff_t m = -k_half; m <= k_half; ++m) {
        const double u = static_cast<double>(m) / dq;
        const double g = m == 0 ? 1.0 / dq : std::sin(pi * u) / (pi * u) / dq;
        const double r = static_cast<double>(m) / static_cast<double>(k_half);
        const double w = bessel_i0(beta * std::sqrt(1 - r * r)) / i0_beta;
        h[static_cast<std::size_t>(m + k_half)] = g * w;
        total += h[static_cast<std::size_t>(m + k_half)];
    }
    for (double& v : h) v /= total;
    return h;
}

// decimation_filter(q), a pure function of q whose Bessel series dominate the
// decimation: computed once per process for the common factors and shared
// read-only between threads, computed for the caller alone beyond them.
const std::vector<double>& shared_filter(std::size_t q, std::vector<double>& own) {
    constexpr std::size_t slots = 128;
    static std::array<std::once_flag, slots> once;
    static std::array<std::vector<double>, slots> filters;
    if (q >= slots) return own = decimation_filter(q);
    std::call_once(once[q], [q] { filters[q] = decimation_filter(q); });
    return filters[q];
}

}  // namespace

std::vector<double> resample_down(Series z, std::size_t q) {
    const auto k_half = static_cast<std::ptrdiff_t>(10 * q);
    const auto n = static_cast<std::ptrdiff_t>(z.size());
    std::vector<double> own;
    const std::vector<double>& h = shared_filter(q, own);
    const std::ptrdiff_t count = (n + static_cast<std::ptrdiff_t>(q) - 1) / static_cast<std::ptrdiff_t>(q);
    const auto step = static_cast<std::ptrdiff_t>(q);
    std::vector<double> out(static_cast<std::size_t>(count));
    const auto one = [&](std::ptrdiff_t i) {
        const std::ptrdiff_t centre = i * step;
        const std::ptrdiff_t lo = std::max<std::ptrdiff_t>(centre - k_half, 0);
        const std::ptrdiff_t hi = std::min(centre + k_half, n - 1);
        double acc = 0;
        for (std::ptrdiff_t j = lo; j <= hi; ++j) {
            acc += z[static_cast<std::size_t>(j)] * h[static_cast<std::size_t>(centre - j + k_half)];
        }
        out[static_cast<std::size_t>(i)] = acc;
    };
    // Outputs whose taps all land inside z, four at a time: each output's
    // sum still runs over its taps in index order, one chain per lane; the
    // four chains only overlap in time.
    const std::ptrdiff_t first_inner = (k_half + step - 1) / step;
    std::ptrdiff_t i = 0;
    for (; i < std::min(first_inner, count); ++i) one(i);
    using common::Lanes;
    const double* taps = h.data() + 2 * k_half;  // taps[-t] is the tap of the t-th value
    for (; i + 3 < count && (i + 3) * step + k_half <= n - 1; i += 4) {
        const double* v = z.data() + (i * step - k_half);
        Lanes a01 = {0.0, 0.0}, a23 = {0.0, 0.0};
        for (std::ptrdiff_t t = 0; t <= 2 * k_half; ++t) {
            const Lanes tap = {taps[-t], taps[-t]};
            a01 += Lanes{v[t], v[t + step]} * tap;
            a23 += Lanes{v[t + 2 * step], v[t + 3 * step]} * tap;
        }
        out[static_cast<std::size_t>(i)] = a01[0];
        out[static_cast<std::size_t>(i + 1)] = a01[1];
        out[static_cast<std::size_t>(i + 2)] = a23[0];
        out[static_cast<std::size_t>(i + 3)] = a23[1];
    }
    for (; i < count; ++i) one(i);
    return out;
}

}  // namespace quorlex::catch22::v1
