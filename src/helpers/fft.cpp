#include "helpers/fft.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <mutex>

#include "helpers/lanes.hpp"
#include "helpers/portable.hpp"

namespace quorlex::common {

namespace {

// Decimation in time, written as the recursion
//   step(a, out, n, s): step(out, a, n, 2s); step(out + s, a + s, n, 2s);
//       for i = 0, 2s, ... < n: t = tw[i] * out[i + s];
//                               a[i/2] = out[i] + t; a[(i + n)/2] = out[i] - t;
// unrolled level by level. The s calls of one level (offsets o = 0 .. s-1) read
// only the buffer the level below wrote and write only the other one, so they
// can run in any order: here the offsets form the inner loop, which walks
// memory contiguously, two offsets (two butterflies with one twiddle) to a
// vector. After the level with stride s, entry e of the sub-transform at
// offset o (length n / s) sits at index s * e + o.
//
// Every butterfly is the same arithmetic on the same inputs as in the
// recursion (each vector lane the scalar operation), so the results are
// identical.
//
// The recursion starts from a copy of the input in the scratch array, but the
// deepest level (s = n/2) is the only one that reads it, and its one group of
// butterflies reads and writes the same two positions o and o + n/2: so it
// can work in place and the copy is not needed.
//
// Two levels, strides 2s and s, run as one pass where they can: a group of
// the lower level reads exactly the outputs of one group of the upper level,
// so a pass reads four entries and writes four where two levels apart would
// read and write eight. The top pass of two levels, like the deepest level
// alone, writes the very positions it reads, so it too can work in place.

// Entries i and i + 1 of a split array.
struct Pairs {
    Lanes re, im;
};

Pairs load(Split a, std::size_t i) { return {load_lanes(a.re + i), load_lanes(a.im + i)}; }

void store(Split a, std::size_t i, Pairs v) {
    store_lanes(a.re + i, v.re);
    store_lanes(a.im + i, v.im);
}

void store(Split a, std::size_t i, Complex v) {
    a.re[i] = v.re;
    a.im[i] = v.im;
}

Pairs operator+(Pairs a, Pairs b) { return {a.re + b.re, a.im + b.im}; }
Pairs operator-(Pairs a, Pairs b) { return {a.re - b.re, a.im - b.im}; }

// w * b for both entries, as Complex's product.
Pairs times(Complex w, Pairs b) { return {w.re * b.re - w.im * b.im, w.re * b.im + w.im * b.re}; }
Pairs times(Pairs w, Pairs b) { return {w.re * b.re - w.im * b.im, w.re * b.im + w.im * b.re}; }

Complex twiddle(const SharedTwiddles& tw, std::size_t k) { return {tw.re()[k], tw.im()[k]}; }

// The helpers of a pass are forced inline: left as calls, their Pairs travel
// through memory and the transform takes about twice as long.
//
// A two-level unit (see two_levels): the upper level turns a, b, c, d into
// the halves (a + w c, b + w d) and (a - w c, b - w d); the lower level turns
// each half (even, odd) into (even + v odd, even - v odd).
struct Halves {
    Pairs low_even, low_odd, high_even, high_odd;
};

template <class W>
[[gnu::always_inline]] inline Halves upper_level(Pairs a, Pairs b, Pairs c, Pairs d, W w) {
    const Pairs tc = times(w, c), td = times(w, d);
    return {a + tc, b + td, a - tc, b - td};
}

// The unit's outputs, for entries at, at + n/4, at + n/2 and at + 3n/4.
struct Quad {
    Pairs first, second, third, fourth;
};

template <class W>
[[gnu::always_inline]] inline Quad lower_level(Halves h, W low_w, W high_w) {
    const Pairs tl = times(low_w, h.low_odd), th = times(high_w, h.high_odd);
    return {h.low_even + tl, h.high_even + th, h.low_even - tl, h.high_even - th};
}

[[gnu::always_inline]] inline void store(Split a, std::size_t at, std::size_t n, Quad q) {
    store(a, at, q.first);
    store(a, at + n / 4, q.second);
    store(a, at + n / 2, q.third);
    store(a, at + n / 4 + n / 2, q.fourth);
}

// Butterflies o = from .. to-1 of the deepest level (stride half = n/2, one
// group, twiddle w): entries o and half + o in, the same two out. Each reads
// its entries before writing, so dst may be src.
void deepest_butterflies(Split src, Split dst, std::size_t half, std::size_t from, std::size_t to, Complex w) {
    std::size_t o = from;
    for (; o + 2 <= to; o += 2) {
        const Pairs e = load(src, o);
        const Pairs t = times(w, load(src, half + o));
        store(dst, o, e + t);
        store(dst, half + o, e - t);
    }
    for (; o < to; ++o) {
        const Complex e = src[o];
        const Complex t = w * src[half + o];
        store(dst, o, e + t);
        store(dst, half + o, e - t);
    }
}

// The same where every odd input is {0.0, 0.0}: t = w * {0.0, 0.0} once.
void padded_deepest_butterflies(Split src, Split dst, std::size_t half, std::size_t from, std::size_t to,
                                Complex w) {
    const Complex t = w * Complex{0.0, 0.0};
    const Pairs tt{Lanes{t.re, t.re}, Lanes{t.im, t.im}};
    std::size_t o = from;
    for (; o + 2 <= to; o += 2) {
        const Pairs e = load(src, o);
        store(dst, o, e + tt);
        store(dst, half + o, e - tt);
    }
    for (; o < to; ++o) {
        const Complex e = src[o];
        store(dst, o, e + t);
        store(dst, half + o, e - t);
    }
}

// Butterflies j < count of the level with stride 1, each taking entries 2j
// and 2j + 1 with twiddle 2j, handed to put(j, even, w * odd); two
// butterflies to a vector, their entries taken apart from two loads (count
// is even).
template <class Put>
[[gnu::always_inline]] inline void unit_stride_butterflies(Split src, std::size_t count, const SharedTwiddles& tw, Put put) {
    const double* wr = tw.re();
    const double* wi = tw.im();
    for (std::size_t j = 0; j < count; j += 2) {
        const Lanes r0 = load_lanes(src.re + 2 * j), r1 = load_lanes(src.re + 2 * j + 2);
        const Lanes i0 = load_lanes(src.im + 2 * j), i1 = load_lanes(src.im + 2 * j + 2);
        const Pairs even{__builtin_shufflevector(r0, r1, 0, 2), __builtin_shufflevector(i0, i1, 0, 2)};
        const Pairs odd{__builtin_shufflevector(r0, r1, 1, 3), __builtin_shufflevector(i0, i1, 1, 3)};
        const Pairs w{Lanes{wr[2 * j], wr[2 * j + 2]}, Lanes{wi[2 * j], wi[2 * j + 2]}};
        put(j, even, times(w, odd));
    }
}

// The level with stride 1 (n >= 4).
void unit_stride_level(Split src, Split dst, std::size_t n, const SharedTwiddles& tw) {
    const std::size_t half = n / 2;
    unit_stride_butterflies(src, half, tw, [&](std::size_t j, Pairs even, Pairs t) {
        store(dst, j, even + t);
        store(dst, j + half, even - t);
    });
}

// One level, stride s.
void level(Split src, Split dst, std::size_t n, std::size_t s, const SharedTwiddles& tw) {
    const std::size_t half = n / 2;
    if (s == 1) {
        if (half >= 2) {
            unit_stride_level(src, dst, n, tw);
        } else {
            deepest_butterflies(src, dst, 1, 0, 1, twiddle(tw, 0));  // n = 2: the deepest level
        }
        return;
    }
    for (std::size_t j = 0; j < half / s; ++j) {
        const Complex w = twiddle(tw, 2 * s * j);
        const std::size_t even = 2 * s * j, odd = even + s, low = s * j, high = low + half;
        for (std::size_t o = 0; o < s; o += 2) {
            const Pairs e = load(src, even + o);
            const Pairs t = times(w, load(src, odd + o));
            store(dst, low + o, e + t);
            store(dst, high + o, e - t);
        }
    }
}

// The levels with strides 2s and s (s >= 2) in one pass. Upper group j turns
// the sub-transforms at 4sj + {0, s, 2s, 3s} (a, b, c, d) into a low half
// (a + w c, b + w d) and a high half (a - w c, b - w d), w = tw[4sj]; lower
// group j then combines the low half with twiddle tw[2sj] and lower group
// j + n/(4s) the high half with tw[2sj + n/2].
void two_levels(Split src, Split dst, std::size_t n, std::size_t s, const SharedTwiddles& tw) {
    const std::size_t half = n / 2;
    for (std::size_t j = 0; j < half / (2 * s); ++j) {
        const Complex upper = twiddle(tw, 4 * s * j);
        const Complex low_w = twiddle(tw, 2 * s * j), high_w = twiddle(tw, 2 * s * j + half);
        const std::size_t in = 4 * s * j, out = s * j;
        for (std::size_t o = 0; o < s; o += 2) {
            const Halves h = upper_level(load(src, in + o), load(src, in + s + o), load(src, in + 2 * s + o),
                                         load(src, in + 3 * s + o), upper);
            store(dst, out + o, n, lower_level(h, low_w, high_w));
        }
    }
}

// The levels with strides 2 and 1 in one pass (n >= 8), the unit's outputs
// handed to put(j, quad): upper group j (twiddle tw[4j]) takes entries
// 4j .. 4j+3; lower group j combines the low half with tw[2j] into entries j
// and j + n/2, lower group j + n/4 the high half with tw[2j + n/2] into
// j + n/4 and j + 3n/4. Two values of j to a vector, their entries taken
// apart from four loads.
template <class Put>
[[gnu::always_inline]] inline void last_two_levels_to(Split src, std::size_t n, const SharedTwiddles& tw, Put put) {
    const std::size_t half = n / 2, quarter = n / 4;
    const double* wr = tw.re();
    const double* wi = tw.im();
    const auto spread = [](const double* p) {
        const Lanes p0 = load_lanes(p), p1 = load_lanes(p + 2), p2 = load_lanes(p + 4), p3 = load_lanes(p + 6);
        return std::array<Lanes, 4>{__builtin_shufflevector(p0, p2, 0, 2), __builtin_shufflevector(p0, p2, 1, 3),
                                   __builtin_shufflevector(p1, p3, 0, 2), __builtin_shufflevector(p1, p3, 1, 3)};
    };
    const auto twiddles_at = [&](std::size_t k, std::size_t step) {
        return Pairs{Lanes{wr[k], wr[k + step]}, Lanes{wi[k], wi[k + step]}};
    };
    for (std::size_t j = 0; j < quarter; j += 2) {
        const auto re = spread(src.re + 4 * j), im = spread(src.im + 4 * j);
        const Halves h = upper_level(Pairs{re[0], im[0]}, Pairs{re[1], im[1]}, Pairs{re[2], im[2]},
                                     Pairs{re[3], im[3]}, twiddles_at(4 * j, 4));
        put(j, lower_level(h, twiddles_at(2 * j, 2), twiddles_at(2 * j + half, 2)));
    }
}

void last_two_levels(Split src, Split dst, std::size_t n, const SharedTwiddles& tw) {
    last_two_levels_to(src, n, tw, [&](std::size_t j, Quad q) { store(dst, j, n, q); });
}

// The last two levels of a forward transform, each entry x of the result then
// replaced by its power {x.re * x.re + x.im * x.im, x.im * x.re - x.re * x.im},
// and the top two levels of the transform of those powers (as two_levels with
// s = n/4), in one pass: the four entries j, j + n/4, j + n/2 and j + 3n/4 the
// last levels give are the four the top levels take, and write back. Needs
// n >= 8.
void last_levels_power_top_levels(Split src, Split dst, std::size_t n, const SharedTwiddles& tw) {
    const auto power = [](Pairs x) { return Pairs{x.re * x.re + x.im * x.im, x.im * x.re - x.re * x.im}; };
    const Complex top = twiddle(tw, 0), top_high = twiddle(tw, n / 2);
    last_two_levels_to(src, n, tw, [&](std::size_t j, Quad q) {
        const Halves h = upper_level(power(q.first), power(q.second), power(q.third), power(q.fourth), top);
        store(dst, j, n, lower_level(h, top, top_high));
    });
}

// The two deepest levels (strides n/2 and n/4, n >= 8) when the entries from
// n/2 on are {0.0, 0.0}: two_levels() with c and d zeros, whose products
// tw[0] * {0.0, 0.0} are formed once. Like the deepest level alone, the pass
// writes the positions it reads, so dst may be src.
void padded_top_levels(Split src, Split dst, std::size_t n, const SharedTwiddles& tw) {
    const std::size_t half = n / 2, s = n / 4;
    const Complex zero_product = twiddle(tw, 0) * Complex{0.0, 0.0};
    const Pairs t{Lanes{zero_product.re, zero_product.re}, Lanes{zero_product.im, zero_product.im}};
    const Complex low_w = twiddle(tw, 0), high_w = twiddle(tw, half);
    for (std::size_t o = 0; o < s; o += 2) {
        const Pairs a = load(src, o), b = load(src, s + o);
        store(dst, o, n, lower_level(Halves{a + t, b + t, a - t, b - t}, low_w, high_w));
    }
}

// The deepest level (s = n/2) from src to dst (which may be src), when the
// entries of src from `filled` on are {0.0, 0.0}.
void deepest_level(Split src, Split dst, std::size_t n, std::size_t filled, const SharedTwiddles& tw) {
    const std::size_t half = n / 2;
    const std::size_t full = filled > half ? std::min(filled - half, half) : 0;
    deepest_butterflies(src, dst, half, 0, full, twiddle(tw, 0));
    padded_deepest_butterflies(src, dst, half, full, half, twiddle(tw, 0));
}

// The passes over the levels: from the top (stride n/2) down, two levels to
// a pass while both are due.
class Passes {
public:
    // `next` is log2 of the stride of the next level to do (-1 when done),
    // kept by the caller and advanced here.
    Passes(std::size_t n, const SharedTwiddles& tw, int& next) : n_(n), tw_(tw), next_(next) {}

    bool fuses(std::size_t stride) const { return fuses_at(next_, stride); }

    // How many passes reach stride 1 from here.
    int count_to_the_end() const {
        int count = 0;
        for (int k = next_; k >= 0; ++count) k -= fuses_at(k, 1) ? 2 : 1;
        return count;
    }

    // The top pass, src to dst (which may be src), the entries of src from
    // `filled` on being {0.0, 0.0}.
    void top(Split src, Split dst, std::size_t stride, std::size_t filled) {
        if (fuses(stride)) {
            if (filled <= n_ / 2) {
                padded_top_levels(src, dst, n_, tw_);
            } else {
                two_levels(src, dst, n_, n_ / 4, tw_);
            }
            next_ -= 2;
        } else {
            deepest_level(src, dst, n_, filled, tw_);
            next_ -= 1;
        }
    }

    // The passes below the top down to `stride`, from buffers[current],
    // alternating buffers.
    void down_to(std::size_t stride, const Split buffers[2], int& current) {
        while (next_ >= 0 && (std::size_t{1} << next_) >= stride) {
            const Split src = buffers[current], dst = buffers[current ^ 1];
            if (!fuses(stride)) {
                level(src, dst, n_, std::size_t{1} << next_, tw_);
                next_ -= 1;
            } else if (next_ >= 2) {
                two_levels(src, dst, n_, std::size_t{1} << (next_ - 1), tw_);
                next_ -= 2;
            } else {
                last_two_levels(src, dst, n_, tw_);
                next_ -= 2;
            }
            current ^= 1;
        }
    }

private:
    // Whether the pass from stride 2^next, going down to `stride`, takes two
    // levels (the strides 2 and 1 need two groups of two to a vector).
    bool fuses_at(int next, std::size_t stride) const {
        if (next < 1 || (std::size_t{1} << (next - 1)) < stride) return false;
        return next >= 2 || n_ >= 8;
    }

    std::size_t n_;
    const SharedTwiddles& tw_;
    int& next_;
};

// Entries e < count of every sub-transform of the level with stride s, when
// they are all low outputs (count <= n / (2 s)): the low halves of the first
// `count` butterfly groups, the same operations as in level().
void head_level(Split src, Split dst, std::size_t s, std::size_t count, const SharedTwiddles& tw) {
    if (s == 1) {
        unit_stride_butterflies(src, count, tw, [&](std::size_t j, Pairs even, Pairs t) { store(dst, j, even + t); });
        return;
    }
    for (std::size_t j = 0; j < count; ++j) {
        const Complex w = twiddle(tw, 2 * s * j);
        const std::size_t even = 2 * s * j, odd = even + s, low = s * j;
        for (std::size_t o = 0; o < s; o += 2) store(dst, low + o, load(src, even + o) + times(w, load(src, odd + o)));
    }
}

SharedTwiddles::Table split_twiddles(std::size_t n) {
    SharedTwiddles::Table table{std::vector<double>(n), std::vector<double>(n)};
    const auto tw = twiddles(n);
    for (std::size_t k = 0; k < n; ++k) {
        table.re[k] = tw[k].re;
        table.im[k] = tw[k].im;
    }
    return table;
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
    static std::array<Table, slots> tables;
    const auto slot = static_cast<std::size_t>(std::countr_zero(n));
    if (!std::has_single_bit(n) || slot >= slots) {
        own_ = split_twiddles(n);
        table_ = &own_;
        return;
    }
    std::call_once(once[slot], [&] { tables[slot] = split_twiddles(n); });
    table_ = &tables[slot];
}

void fft(Split a, Split scratch, const SharedTwiddles& tw, std::size_t filled) {
    const std::size_t n = tw.size();
    int next = std::countr_zero(n) - 1;
    if (next < 0) return;
    Passes passes(n, tw, next);
    const Split buffers[2] = {a, scratch};
    // The top pass writes where the passes after it, alternating, end in `a`.
    int current = (passes.count_to_the_end() - 1) % 2;
    passes.top(a, buffers[current], 1, filled);
    passes.down_to(1, buffers, current);
}

LazyTransform::LazyTransform(Split a, Split scratch, const SharedTwiddles& tw)
    : buffers_{a, scratch}, tw_(&tw), n_(tw.size()), next_(std::countr_zero(tw.size()) - 1) {}

LazyTransform::LazyTransform(Split a, Split scratch, const SharedTwiddles& tw, int next)
    : buffers_{a, scratch}, tw_(&tw), n_(tw.size()), next_(next) {}

LazyTransform LazyTransform::of_power_spectrum(Split a, Split scratch, const SharedTwiddles& tw, std::size_t filled) {
    const std::size_t n = tw.size();
    const int levels = std::countr_zero(n);
    if (n < 8) {
        fft(a, scratch, tw, filled);
        for (std::size_t i = 0; i < n; ++i) {
            const double re = a.re[i], im = a.im[i];
            a.re[i] = re * re + im * im;
            a.im[i] = im * re - re * im;
        }
        return LazyTransform(a, scratch, tw);
    }
    // The forward transform ends on the pass of strides 2 and 1, which hands
    // its entries to the top pass of the second: its own top pass takes one
    // level or two so that the levels between pair up.
    int next = levels - 1;
    Passes passes(n, tw, next);
    const Split buffers[2] = {a, scratch};
    int current = 0;
    passes.top(a, a, levels % 2 == 0 ? 4 : n / 2, filled);
    passes.down_to(4, buffers, current);
    last_levels_power_top_levels(buffers[current], buffers[current ^ 1], n, tw);
    return LazyTransform(buffers[current ^ 1], buffers[current], tw, levels - 3);
}

void LazyTransform::full_levels_down_to(std::size_t stride) {
    Passes passes(n_, *tw_, next_);
    if (next_ >= 0 && next_ == std::countr_zero(n_) - 1) passes.top(buffers_[0], buffers_[0], stride, n_);
    passes.down_to(stride, buffers_, current_);
}

SplitView LazyTransform::head(std::size_t count) {
    count = std::max<std::size_t>(count, 2);  // the deepest level is always whole
    if (count >= n_) {
        full_levels_down_to(1);
        const Split done = buffers_[current_];
        return {done.re, done.im, n_};
    }
    // Sub-transforms up to `count` long are needed whole; above them, only
    // their first `count` entries, which sit below index s * count <= n / 2.
    // (Levels done beyond those, as the power spectrum's top pass may be,
    // leave fewer head levels.)
    full_levels_down_to(n_ / count);
    // Each head level writes every entry it reads back, so the buffer needs no
    // initialising.
    if (!tail_) tail_ = common::uninitialized_array<double>(2 * n_);
    const std::size_t half = n_ / 2;
    const Split halves[2] = {{tail_.get(), tail_.get() + half}, {tail_.get() + n_, tail_.get() + n_ + half}};
    Split src = buffers_[current_];
    int which = 0;
    for (std::size_t s = std::size_t{1} << next_; s >= 1; s /= 2) {
        head_level(src, halves[which], s, count, *tw_);
        src = halves[which];
        which ^= 1;
    }
    return {src.re, src.im, count};
}

}  // namespace quorlex::common
