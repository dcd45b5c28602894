#include "catch22/fft.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <mutex>

namespace quorlex::catch22 {

namespace {

// Decimation in time, written as the recursion
//   step(a, out, n, s): step(out, a, n, 2s); step(out + s, a + s, n, 2s);
//       for i = 0, 2s, ... < n: t = tw[i] * out[i + s];
//                               a[i/2] = out[i] + t; a[(i + n)/2] = out[i] - t;
// unrolled level by level. The s calls of one level (offsets o = 0 .. s-1) read
// only the buffer the level below wrote and write only the other one, so they
// can run in any order: here the offsets form the inner loop, which walks
// memory contiguously. Every butterfly is the same arithmetic on the same
// inputs as in the recursion, so the results are identical.
void transform(Complex* a, Complex* scratch, std::size_t n, const Complex* tw) {
    const int levels = std::countr_zero(n);
    const std::size_t half = n / 2;
    for (int k = levels - 1; k >= 0; --k) {
        const std::size_t s = std::size_t{1} << k;
        // Level s = 1 writes the caller's array; the roles alternate below it.
        Complex* dst = k % 2 == 0 ? a : scratch;
        const Complex* src = k % 2 == 0 ? scratch : a;
        for (std::size_t j = 0; j < half / s; ++j) {
            const Complex w = tw[2 * s * j];
            const Complex* even = src + 2 * s * j;
            const Complex* odd = even + s;
            Complex* low = dst + s * j;
            Complex* high = low + half;
            for (std::size_t o = 0; o < s; ++o) {
                const Complex t = w * odd[o];
                low[o] = even[o] + t;
                high[o] = even[o] - t;
            }
        }
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
    transform(a.data(), scratch.data(), a.size(), tw.data());
}

void fft(std::span<Complex> a, std::span<const Complex> tw) {
    std::vector<Complex> scratch(a.size());
    fft(a, tw, scratch);
}

}  // namespace quorlex::catch22
