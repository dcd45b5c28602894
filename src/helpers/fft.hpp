// The radix-2 transform of the catch22 recipe. Its own code rather than a
// library FFT: the autocorrelation features compare against thresholds, so the
// twiddle constant and butterfly order are fixed down to the last bit.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace quorlex::common {

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

// A complex array kept as its real parts and its imaginary parts apart, so
// that one vector instruction does the same step for two entries.
struct Split {
    double* re;
    double* im;
    Complex operator[](std::size_t k) const { return {re[k], im[k]}; }
};

// Entries of a transform, read-only.
struct SplitView {
    const double* re;
    const double* im;
    std::size_t length;
    std::size_t size() const { return length; }
    Complex operator[](std::size_t k) const { return {re[k], im[k]}; }
};

// twiddles(n), split, for a power-of-two n: computed once per process and
// shared read-only between threads (the tables are pure functions of n); very
// long tables are computed for the holder alone.
class SharedTwiddles {
public:
    explicit SharedTwiddles(std::size_t n);
    // Holders point at their table, which may be their own.
    SharedTwiddles(const SharedTwiddles&) = delete;
    SharedTwiddles& operator=(const SharedTwiddles&) = delete;
    std::size_t size() const { return table_->re.size(); }
    const double* re() const { return table_->re.data(); }
    const double* im() const { return table_->im.data(); }

    struct Table {
        std::vector<double> re, im;
    };

private:
    Table own_;
    const Table* table_;
};

// Unnormalised forward transform of `a` (tw.size() entries, a power of two)
// in place; `scratch` needs as many entries and is overwritten, so callers
// running several transforms can keep one buffer. Entries from `filled` on
// must be {0.0, 0.0} (zero padding): the top pass then skips their products,
// with the same results.
void fft(Split a, Split scratch, const SharedTwiddles& tw, std::size_t filled);

// The forward transform of `a` computed as far as the entries asked for need:
// head(count), count a power of two, gives entries 0 .. count-1 with the
// transform's own bits, doing in full only the levels whose sub-transforms
// are at most `count` long; asking for more continues from those levels, and
// head(n) gives the whole transform. `a`, `scratch` (n entries each, like tw)
// and tw must outlive the object; both arrays are overwritten, and a head is
// read while the object lives: its entries may be held by the object itself.
class LazyTransform {
public:
    LazyTransform(Split a, Split scratch, const SharedTwiddles& tw);
    // The transform of the power spectrum of `a` (zero padded from `filled`,
    // as for fft()): entry k of fft(a) becomes {re * re + im * im,
    // im * re - re * im} and the object transforms those, with the same bits
    // as fft() followed by that loop and a LazyTransform; the last levels of
    // the first transform and the top levels of the second share a pass.
    static LazyTransform of_power_spectrum(Split a, Split scratch, const SharedTwiddles& tw, std::size_t filled);
    SplitView head(std::size_t count);

private:
    // Levels above stride 2^next already done, their result in `a`.
    LazyTransform(Split a, Split scratch, const SharedTwiddles& tw, int next);
    void full_levels_down_to(std::size_t stride);

    Split buffers_[2];
    int current_ = 0;  // the buffer holding the levels done
    const SharedTwiddles* tw_;
    std::size_t n_;
    int next_;  // log2 of the stride of the next level to complete; -1 when done
    std::unique_ptr<double[]> tail_;  // the head levels, allocated by the first head needing them
};

}  // namespace quorlex::common
