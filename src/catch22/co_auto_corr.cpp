#include "catch22/co_auto_corr.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>
#include <string>

#include "catch22/fft.hpp"
#include "helpers/failure.hpp"

namespace quorlex::catch22 {

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Unnormalised circular autocorrelation of the centred, zero-padded series:
// FFT, times its conjugate, FFT again. Leaves the result in `f`.
std::vector<Complex> raw_autocorrelation(Series y) {
    const std::size_t n_fft = autocorr_length(y.size());
    const double m = common::mean(y);
    // f, then the transform's scratch, in one allocation.
    std::vector<Complex> buffer(2 * n_fft, Complex{0.0, 0.0});
    const std::span<Complex> f(buffer.data(), n_fft);
    const std::span<Complex> scratch(buffer.data() + n_fft, n_fft);
    for (std::size_t i = 0; i < y.size(); ++i) f[i] = {y[i] - m, 0.0};

    const auto tw = twiddles(n_fft);
    fft(f, tw, scratch);
    for (auto& c : f) c = {c.re * c.re + c.im * c.im, c.im * c.re - c.re * c.im};
    fft(f, tw, scratch);
    buffer.resize(n_fft);
    return buffer;
}

// Real part of the complex quotient a / d.
double real_quotient(Complex a, Complex d) {
    const double d2 = d.re * d.re + d.im * d.im;
    return (a.re * d.re + a.im * d.im) / d2;
}

}  // namespace

std::size_t autocorr_length(std::size_t n) {
    if (n == 0) fail_index(0, 0);
    if (n >= (std::size_t{1} << 30)) {
        fail("autocorrelation of " + std::to_string(n) +
             " values: the transform length does not fit in 32 bits");
    }
    auto p = static_cast<std::int32_t>(n - 1);
    p |= p >> 1;
    p |= p >> 2;
    p |= p >> 4;
    p |= p >> 8;
    p |= p >> 16;
    return static_cast<std::size_t>((p + 1) * 2);
}

std::vector<double> co_autocorrs(Series y) {
    const auto f = raw_autocorrelation(y);
    const Complex d = f[0];
    std::vector<double> ac(f.size());
    for (std::size_t i = 0; i < f.size(); ++i) ac[i] = real_quotient(f[i], d);
    return ac;
}

double co_autocorr_lag2(Series y) {
    const auto f = raw_autocorrelation(y);
    if (f.size() < 3) return nan;
    return real_quotient(f[2], f[0]);
}

std::size_t co_firstzero(std::span<const double> ac, std::size_t maxtau) {
    const std::size_t lim = std::min(maxtau, ac.size());
    for (std::size_t i = 0; i < lim; ++i) {
        if (!(ac[i] > 0)) return i;
    }
    return lim;
}

}  // namespace quorlex::catch22
