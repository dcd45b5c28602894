#include "helpers/autocorrelation.hpp"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "helpers/failure.hpp"
#include "helpers/fft.hpp"
#include "helpers/moments.hpp"
#include "helpers/portable.hpp"

namespace quorlex::common {

namespace {

// The centred, zero-padded series transformed and multiplied by its
// conjugate: the unnormalised circular autocorrelation is its transform, read
// as far as the entries read need.
class PowerSpectrum {
public:
    // `m` is mean(y).
    PowerSpectrum(Series y, double m)
        : tw_(autocorr_length(y.size())),
          n_fft_(tw_.size()),
          // The spectrum, then the transforms' scratch, in one allocation; the
          // transforms write their scratch before reading it, so only the
          // series is written in.
          buffer_(uninitialized_array<double>(4 * n_fft_)),
          second_(transform(y, m)) {}
    std::size_t size() const { return n_fft_; }
    // The second transform, computed as far as the entries read need.
    LazyTransform& second() { return second_; }

private:
    LazyTransform transform(Series y, double m) {
        const Split s{buffer_.get(), buffer_.get() + n_fft_};
        for (std::size_t i = 0; i < y.size(); ++i) {
            s.re[i] = y[i] - m;
            s.im[i] = 0.0;
        }
        std::fill(s.re + y.size(), s.re + n_fft_, 0.0);
        std::fill(s.im + y.size(), s.im + n_fft_, 0.0);
        const Split scratch{buffer_.get() + 2 * n_fft_, buffer_.get() + 3 * n_fft_};
        return LazyTransform::of_power_spectrum(s, scratch, tw_, y.size());
    }

    SharedTwiddles tw_;
    std::size_t n_fft_;
    std::unique_ptr<double[]> buffer_;
    LazyTransform second_;
};

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
    // p + 1 is at most 2^30; doubled, it no longer fits the 32-bit type.
    return static_cast<std::size_t>(p + 1) * 2;
}

std::vector<double> co_autocorrs(Series y) {
    PowerSpectrum power(y, mean(y));
    const auto f = power.second().head(power.size());
    const Complex d = f[0];
    std::vector<double> ac(f.size());
    for (std::size_t i = 0; i < f.size(); ++i) ac[i] = real_quotient(f[i], d);
    return ac;
}

double co_autocorr_lag2(Series y) {
    PowerSpectrum power(y, mean(y));
    if (power.size() < 3) return nan;
    // Only entries 0 and 2 of the second transform are read.
    LazyTransform& second = power.second();
    const auto f = second.head(4);
    return real_quotient(f[2], f[0]);
}

std::size_t co_autocorr_firstzero(Series y, std::size_t maxtau) {
    PowerSpectrum power(y, mean(y));
    const std::size_t lim = std::min(maxtau, power.size());
    // The second transform runs only as far as the lags read need: lags 0 and
    // 1 first (lag 1 is the first zero of a differenced series of noise), then
    // the first 64, about 7 of its log2 n levels, among which most series
    // cross zero; each step continues from the levels the one before did.
    LazyTransform& second = power.second();
    std::size_t i = 0;
    Complex d{};
    for (const std::size_t count : {std::size_t{2}, std::size_t{64}, power.size()}) {
        const auto f = second.head(count);
        if (i == 0) d = f[0];
        for (; i < std::min(lim, f.size()); ++i) {
            if (!(real_quotient(f[i], d) > 0)) return i;
        }
        if (i == lim) return lim;
    }
    return lim;
}

struct LazyAutocorrs::State {
    State(Series y, double mean)
        : power(y, mean), lags(uninitialized_array<double>(y.size())) {}
    PowerSpectrum power;
    std::unique_ptr<double[]> lags;
    std::size_t done = 0;
    Complex d{};
};

LazyAutocorrs::LazyAutocorrs(Series y) : LazyAutocorrs(y, mean(y)) {}

LazyAutocorrs::LazyAutocorrs(Series y, double mean) : n_(y.size()), state_(std::make_unique<State>(y, mean)) {}

LazyAutocorrs::~LazyAutocorrs() = default;

std::span<const double> LazyAutocorrs::first(std::size_t count) {
    State& st = *state_;
    count = std::min(count, n_);
    if (count > st.done) {
        constexpr std::size_t first_head = 128;
        const auto f = st.power.second().head(count <= first_head ? first_head : st.power.size());
        if (st.done == 0) st.d = f[0];
        const std::size_t end = std::min(n_, f.size());
        for (std::size_t i = st.done; i < end; ++i) st.lags[i] = real_quotient(f[i], st.d);
        st.done = end;
    }
    return {st.lags.get(), st.done};
}

}  // namespace quorlex::common
