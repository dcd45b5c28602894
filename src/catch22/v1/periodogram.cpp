#include "catch22/v1/periodogram.hpp"

#include <bit>
#include <cmath>

#include "helpers/fft.hpp"
#include "helpers/portable.hpp"

namespace quorlex::catch22::v1 {

namespace {

constexpr double two_pi = 6.283185307179586;

}  // namespace

double Periodogram::frequency(std::size_t k) const {
    return two_pi * static_cast<double>(k + 1) / static_cast<double>(nfft);
}

Periodogram periodogram(Series z) {
    const std::size_t n = z.size();
    const std::size_t nfft = std::bit_ceil(n);
    Periodogram out{std::vector<double>(nfft / 2), nfft};
    if (out.power.empty()) return out;
    const common::SharedTwiddles tw(nfft);
    const auto buffer = common::uninitialized_array<double>(4 * nfft);
    const common::Split f{buffer.get(), buffer.get() + nfft};
    const common::Split scratch{buffer.get() + 2 * nfft, buffer.get() + 3 * nfft};
    for (std::size_t i = 0; i < nfft; ++i) {
        f.re[i] = i < n ? z[i] : 0.0;
        f.im[i] = 0.0;
    }
    common::fft(f, scratch, tw, n);
    double most = 0;
    for (std::size_t k = 0; k < out.power.size(); ++k) {
        const double a = std::hypot(f.re[k + 1], f.im[k + 1]);
        out.power[k] = 2 * a * a / static_cast<double>(n) / two_pi;
        if (k == 0 || out.power[k] > most) most = out.power[k];
    }
    const double floor = 1e-12 * most;
    for (double& p : out.power) p = p < floor ? floor : p;
    return out;
}

}  // namespace quorlex::catch22::v1
