// The v1 spectral features: summaries of the periodogram (hctsa's
// SP_Summaries with 'fft'), by the catch22 transform.
#include <bit>
#include <cmath>
#include <memory>
#include <vector>

#include "catch22/fft.hpp"
#include "catch22/v1/features.hpp"

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
    const SharedTwiddles tw(nfft);
    const auto buffer = std::make_unique_for_overwrite<double[]>(4 * nfft);
    const Split f{buffer.get(), buffer.get() + nfft};
    const Split scratch{buffer.get() + 2 * nfft, buffer.get() + 3 * nfft};
    for (std::size_t i = 0; i < nfft; ++i) {
        f.re[i] = i < n ? z[i] : 0.0;
        f.im[i] = 0.0;
    }
    fft(f, scratch, tw, n);
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

double sp_summaries_fft_area_5_1(const Periodogram& s) {
    const std::size_t bins = s.power.size();
    if (bins < 2) return common::nan;
    double area = 0;
    for (std::size_t k = 0; k < bins / 5; ++k) area += s.power[k];
    return area * (s.frequency(1) - s.frequency(0));
}

double sp_summaries_fft_wq_50(const Periodogram& s) {
    const std::size_t bins = s.power.size();
    if (bins < 2) return common::nan;
    double total = 0;
    for (const double p : s.power) total += p;
    double running = 0;
    for (std::size_t k = 0; k < bins; ++k) {
        running += s.power[k];
        if (running >= 0.5 * total) return s.frequency(k);
    }
    return common::nan;
}

}  // namespace quorlex::catch22::v1
