// The catch22 radix-2 transform. Its own code rather than a library FFT: the
// autocorrelation features compare against thresholds, so the twiddle constant
// and butterfly order are fixed down to the last bit.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

namespace quorlex::catch22 {

struct Complex {
    double re;
    double im;
};

inline Complex operator+(Complex a, Complex b) { return {a.re + b.re, a.im + b.im}; }
inline Complex operator-(Complex a, Complex b) { return {a.re - b.re, a.im - b.im}; }
// Written out rather than std::complex, whose product recovers infinities
// differently and would change NaN and overflow results.
inline Complex operator*(Complex a, Complex b) {
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

// tw[k] = exp(i * k * -3.14159265359 / n); the truncated constant is part of
// the published recipe.
std::vector<Complex> twiddles(std::size_t n);

// The same table for a power-of-two n, computed once per process and shared
// read-only between threads (the tables are pure functions of n); very long
// tables are computed for the holder alone.
class SharedTwiddles {
public:
    explicit SharedTwiddles(std::size_t n);
    operator std::span<const Complex>() const { return view_; }

private:
    std::vector<Complex> own_;
    std::span<const Complex> view_;
};

// Unnormalised forward transform of `a` in place. The length must be a power
// of two and equal to tw.size(); `scratch` needs as many entries and is
// overwritten, so callers running several transforms can keep one buffer.
// Entries from `filled` on must be {0.0, 0.0} (zero padding): the deepest
// level then skips their products, with the same results.
void fft(std::span<Complex> a, std::span<const Complex> tw, std::span<Complex> scratch, std::size_t filled);
void fft(std::span<Complex> a, std::span<const Complex> tw);

// fft(a) computed as far as the entries asked for need: head(count), count a
// power of two, gives entries 0 .. count-1 with the transform's own bits,
// doing in full only the levels whose sub-transforms are at most `count`
// long; asking for more continues from those levels. head(n) completes the
// transform in `a` (and returns it). `a` and `scratch` (n entries, like tw)
// must outlive the object, and a head is read while the object lives: its
// entries may be held by the object itself.
class LazyTransform {
public:
    LazyTransform(std::span<Complex> a, std::span<const Complex> tw, std::span<Complex> scratch);
    std::span<const Complex> head(std::size_t count);

private:
    void full_levels_down_to(std::size_t stride);

    Complex* a_;
    Complex* scratch_;
    const Complex* tw_;
    std::size_t n_;
    int next_;  // log2 of the stride of the next level to complete; -1 when done
    std::unique_ptr<Complex[]> tail_;  // the head levels, allocated by the first head needing them
};


}  // namespace quorlex::catch22
