#include "catch22/fft.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <mutex>
#include <cmath>

namespace quorlex::catch22 {

namespace {

// Decimation in time: the two half transforms are built in `out` (with the
// arrays swapping roles one level down), then combined into `a`.
void step(Complex* a, Complex* out, std::size_t n, std::size_t s, const Complex* tw) {
    if (s >= n) return;
    step(out, a, n, s * 2, tw);
    step(out + s, a + s, n, s * 2, tw);
    for (std::size_t i = 0; i < n; i += 2 * s) {
        const Complex t = tw[i] * out[i + s];
        a[i / 2] = out[i] + t;
        a[(i + n) / 2] = out[i] - t;
    }
}

}  // namespace

std::vector<Complex> twiddles(std::size_t n) {
    std::vector<Complex> tw(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double theta = (static_cast<double>(k) * -3.14159265359) / static_cast<double>(n);
        tw[k] = {std::cos(theta), std::sin(theta)};
    }
    return tw;
}

SharedTwiddles::SharedTwiddles(std::size_t n) {
    // One slot per power of two up to 2^24 values (256 MiB of tables at most).
    constexpr std::size_t slots = 25;
    static std::array<std::once_flag, slots> once;
    static std::array<std::vector<Complex>, slots> tables;
    const auto slot = static_cast<std::size_t>(std::countr_zero(n));
    if (!std::has_single_bit(n) || slot >= slots) {
        own_ = twiddles(n);
        view_ = own_;
        return;
    }
    std::call_once(once[slot], [&] { tables[slot] = twiddles(n); });
    view_ = tables[slot];
}

void fft(std::span<Complex> a, std::span<const Complex> tw, std::span<Complex> scratch) {
    std::copy(a.begin(), a.end(), scratch.begin());
    step(a.data(), scratch.data(), a.size(), 1, tw.data());
}

void fft(std::span<Complex> a, std::span<const Complex> tw) {
    std::vector<Complex> scratch(a.size());
    fft(a, tw, scratch);
}

}  // namespace quorlex::catch22
