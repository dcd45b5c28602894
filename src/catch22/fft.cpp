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
//
// After the level with stride s, entry e of the sub-transform at offset o
// (length n / s) sits at index s * e + o.
//
// The recursion starts from a copy of the input in the scratch array, but the
// deepest level (s = n/2) is the only one that reads it, and its one group of
// butterflies reads and writes the same two positions o and o + n/2: so it
// reads the input in place and the copy is not needed.
void level(const Complex* src, Complex* dst, std::size_t n, std::size_t s, const Complex* tw) {
    const std::size_t half = n / 2;
    if (s == 1) {
        // One butterfly per twiddle: a flat loop without the offset loop.
        for (std::size_t j = 0; j < half; ++j) {
            const Complex even = src[2 * j];
            const Complex t = tw[2 * j] * src[2 * j + 1];
            dst[j] = even + t;
            dst[j + half] = even - t;
        }
        return;
    }
    for (std::size_t j = 0; j < half / s; ++j) {
        const Complex w = tw[2 * s * j];
        const Complex* even = src + 2 * s * j;
        const Complex* odd = even + s;
        Complex* low = dst + s * j;
        Complex* high = low + half;
        for (std::size_t o = 0; o < s; ++o) {
            const Complex e = even[o];  // read before the write: the deepest level works in place
            const Complex t = w * odd[o];
            low[o] = e + t;
            high[o] = e - t;
        }
    }
}

// The deepest level (s = n/2) when the entries of `src` from `filled` on are
// {0.0, 0.0}: a butterfly whose odd input is such a zero adds and subtracts
// the one product tw[0] * {0.0, 0.0}, computed once. Same operations on the
// same values as level(); dst may be src.
void deepest_level(const Complex* src, Complex* dst, std::size_t n, const Complex* tw, std::size_t filled) {
    const std::size_t half = n / 2;
    const Complex w = tw[0];
    const std::size_t full = filled > half ? filled - half : 0;
    for (std::size_t o = 0; o < full; ++o) {
        const Complex e = src[o];
        const Complex t = w * src[o + half];
        dst[o] = e + t;
        dst[o + half] = e - t;
    }
    const Complex t = w * Complex{0.0, 0.0};
    for (std::size_t o = full; o < half; ++o) {
        const Complex e = src[o];
        dst[o] = e + t;
        dst[o + half] = e - t;
    }
}

// The buffer the level with stride 2^k writes: level s = 1 writes the
// caller's array, and the roles alternate below it.
Complex* level_output(int k, Complex* a, Complex* scratch) { return k % 2 == 0 ? a : scratch; }

void transform(Complex* a, Complex* scratch, std::size_t n, const Complex* tw, std::size_t filled) {
    const int levels = std::countr_zero(n);
    if (levels == 0) return;
    deepest_level(a, level_output(levels - 1, a, scratch), n, tw, filled);
    for (int k = levels - 2; k >= 0; --k) {
        level(level_output(k + 1, a, scratch), level_output(k, a, scratch), n, std::size_t{1} << k, tw);
    }
}

// Entries e < count of every sub-transform of the level with stride s, when
// they are all low outputs (count <= n / (2 s)): the low halves of the first
// `count` butterfly groups, the same operations as in level().
void head_level(const Complex* src, Complex* dst, std::size_t s, std::size_t count, const Complex* tw) {
    for (std::size_t j = 0; j < count; ++j) {
        const Complex w = tw[2 * s * j];
        const Complex* even = src + 2 * s * j;
        const Complex* odd = even + s;
        Complex* low = dst + s * j;
        for (std::size_t o = 0; o < s; ++o) low[o] = even[o] + w * odd[o];
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

LazyTransform::LazyTransform(std::span<Complex> a, std::span<const Complex> tw, std::span<Complex> scratch)
    : a_(a.data()), scratch_(scratch.data()), tw_(tw.data()), n_(a.size()), next_(std::countr_zero(a.size()) - 1) {}

void LazyTransform::full_levels_down_to(std::size_t stride) {
    const int levels = std::countr_zero(n_);
    for (; next_ >= 0 && (std::size_t{1} << next_) >= stride; --next_) {
        const Complex* src = next_ == levels - 1 ? a_ : level_output(next_ + 1, a_, scratch_);
        level(src, level_output(next_, a_, scratch_), n_, std::size_t{1} << next_, tw_);
    }
}

std::span<const Complex> LazyTransform::head(std::size_t count) {
    count = std::max<std::size_t>(count, 2);  // the deepest level is always whole
    if (count >= n_) {
        full_levels_down_to(1);
        return {a_, n_};
    }
    // Sub-transforms up to `count` long are needed whole; above them, only
    // their first `count` entries, which sit below index s * count <= n / 2.
    full_levels_down_to(n_ / count);
    // Each head level writes every entry it reads back, so the buffer needs no
    // initialising.
    if (!tail_) tail_ = std::make_unique_for_overwrite<Complex[]>(n_);
    Complex* const halves[2] = {tail_.get(), tail_.get() + n_ / 2};
    const Complex* src = level_output(next_ + 1, a_, scratch_);
    int which = 0;
    for (std::size_t s = n_ / (2 * count); s >= 1; s /= 2) {
        head_level(src, halves[which], s, count, tw_);
        src = halves[which];
        which ^= 1;
    }
    return {src, count};
}

void fft(std::span<Complex> a, std::span<const Complex> tw, std::span<Complex> scratch, std::size_t filled) {
    transform(a.data(), scratch.data(), a.size(), tw.data(), std::min(filled, a.size()));
}

void fft(std::span<Complex> a, std::span<const Complex> tw) {
    std::vector<Complex> scratch(a.size());
    fft(a, tw, scratch, a.size());
}

}  // namespace quorlex::catch22
