#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "helpers/autocorrelation.hpp"
#include "helpers/fft.hpp"
#include "helpers/histcounts.hpp"
#include "test_support.hpp"

using namespace quorlex;
using namespace quorlex::common;

using Counts = std::vector<std::uint32_t>;

TEST(transform_test, twiddles_carry_the_truncated_pi) {
    const auto tw = twiddles(4);
    const std::vector<Complex> expected{{1.0, 0.0},
                                        {0.7071067811865109, -0.7071067811865841},
                                        {-1.0341155355510722e-13, -1.0},
                                        {-0.7071067811866574, -0.7071067811864377}};
    ASSERT_EQ(tw.size(), expected.size());
    for (std::size_t k = 0; k < tw.size(); ++k) {
        EXPECT_EQ(tw[k].re, expected[k].re) << k;
        EXPECT_EQ(tw[k].im, expected[k].im) << k;
    }
}

// The published recursion, with its scratch copy of the input.
void reference_step(Complex* a, Complex* out, std::size_t n, std::size_t s, const std::vector<Complex>& tw) {
    if (s >= n) return;
    reference_step(out, a, n, 2 * s, tw);
    reference_step(out + s, a + s, n, 2 * s, tw);
    for (std::size_t i = 0; i < n; i += 2 * s) {
        const Complex t = tw[i] * out[i + s];
        a[i / 2] = out[i] + t;
        a[(i + n) / 2] = out[i] - t;
    }
}

// Equal bit patterns, any two NaNs counting as equal: a compiler may swap the
// operands of a sum, which picks the other NaN's payload when both are NaN.
bool same_value(double a, double b) { return std::isnan(a) ? std::isnan(b) : std::memcmp(&a, &b, sizeof a) == 0; }
bool same_bits(Complex a, Complex b) { return same_value(a.re, b.re) && same_value(a.im, b.im); }

// A complex array held split, as the transform takes it.
struct SplitArray {
    std::vector<double> re, im;
    explicit SplitArray(const std::vector<Complex>& values) {
        for (const Complex& c : values) {
            re.push_back(c.re);
            im.push_back(c.im);
        }
    }
    Split view() { return {re.data(), im.data()}; }
    Complex operator[](std::size_t k) const { return {re[k], im[k]}; }
};

TEST(transform_test, transform_matches_the_recursion_bit_for_bit) {
    std::mt19937_64 gen(12);
    std::normal_distribution<double> dist;
    for (std::size_t n = 1; n <= 4096; n *= 2) {
        // Zero-padded inputs too, the padding declared or not.
        for (std::size_t filled : {n, n / 2 + 1, n / 2, n / 2 - n / 8, std::size_t{1}}) {
            std::vector<Complex> input(n);
            for (std::size_t k = 0; k < std::min(filled, n); ++k) input[k] = {dist(gen), n % 3 == 0 ? 0.0 : dist(gen)};
            if (filled >= 8) input[3] = {inf_value, -0.0};  // infinities and signed zeros travel too
            if (filled >= 8) input[5] = {-0.0, nan_value};
            std::vector<Complex> expected = input, out = input;
            reference_step(expected.data(), out.data(), n, 1, twiddles(n));
            const SharedTwiddles tw(n);
            SplitArray plain(input), padded(input), scratch{std::vector<Complex>(n)};
            fft(plain.view(), scratch.view(), tw, n);
            fft(padded.view(), scratch.view(), tw, filled);
            for (std::size_t k = 0; k < n; ++k) {
                EXPECT_TRUE(same_bits(plain[k], expected[k])) << "n " << n << " entry " << k;
                EXPECT_TRUE(same_bits(padded[k], expected[k])) << "n " << n << " filled " << filled << " entry " << k;
            }
        }
    }
}

TEST(transform_test, lazy_heads_match_the_recursion_and_continue_to_the_whole_transform) {
    std::mt19937_64 gen(13);
    std::normal_distribution<double> dist;
    for (std::size_t n = 1; n <= 1024; n *= 2) {
        std::vector<Complex> input(n);
        for (auto& c : input) c = {dist(gen), dist(gen)};
        if (n >= 2) input[1] = {-0.0, inf_value};
        std::vector<Complex> expected = input, out = input;
        reference_step(expected.data(), out.data(), n, 1, twiddles(n));
        const SharedTwiddles tw(n);
        for (std::size_t count = 1; count <= n; count *= 2) {
            SplitArray a(input), scratch{std::vector<Complex>(n)};
            LazyTransform lazy(a.view(), scratch.view(), tw);
            // Heads of growing length from the same object, then the rest.
            for (std::size_t c : {count, 2 * count, n}) {
                const auto head = lazy.head(c);
                ASSERT_GE(head.size(), std::min(c, n));
                for (std::size_t k = 0; k < std::min(c, n); ++k) {
                    EXPECT_TRUE(same_bits(head[k], expected[k])) << "n " << n << " head " << c << " entry " << k;
                }
            }
        }
    }
}

TEST(transform_test, power_spectrum_transform_matches_the_recursion) {
    std::mt19937_64 gen(15);
    std::normal_distribution<double> dist;
    for (std::size_t n = 1; n <= 2048; n *= 2) {
        for (std::size_t filled : {n, n / 2 + 1, n / 2, std::size_t{1}}) {
            std::vector<Complex> input(n);
            for (std::size_t k = 0; k < std::min(filled, n); ++k) input[k] = {dist(gen), 0.0};
            if (filled >= 8) input[2] = {-0.0, 0.0};
            const auto tw_list = twiddles(n);
            std::vector<Complex> expected = input, out = input;
            reference_step(expected.data(), out.data(), n, 1, tw_list);
            for (Complex& c : expected) c = {c.re * c.re + c.im * c.im, c.im * c.re - c.re * c.im};
            out = expected;
            reference_step(expected.data(), out.data(), n, 1, tw_list);
            const SharedTwiddles tw(n);
            for (std::size_t count : {std::size_t{2}, std::size_t{8}, n}) {
                SplitArray a(input), scratch{std::vector<Complex>(n)};
                LazyTransform second = LazyTransform::of_power_spectrum(a.view(), scratch.view(), tw, filled);
                for (std::size_t c : {count, n}) {
                    const auto head = second.head(c);
                    for (std::size_t k = 0; k < std::min(c, n); ++k) {
                        EXPECT_TRUE(same_bits(head[k], expected[k])) << "n " << n << " filled " << filled << " head " << c << " entry " << k;
                    }
                }
            }
        }
    }
}

TEST(transform_test, lazy_autocorrelations_grow_to_the_whole_computation) {
    std::mt19937_64 gen(14);
    std::normal_distribution<double> dist;
    for (std::size_t n : {1, 2, 5, 100, 129, 300, 1000}) {
        std::vector<double> walk(n);
        double level = 0.0;
        for (double& v : walk) v = level += dist(gen);
        const auto expected = co_autocorrs(walk);
        LazyAutocorrs lazy(walk);
        const auto early = lazy.first(3);
        ASSERT_GE(early.size(), std::min<std::size_t>(3, n));
        const auto all = lazy.first(n);
        ASSERT_EQ(all.size(), n);
        for (std::size_t k = 0; k < n; ++k) EXPECT_TRUE(same_value(all[k], expected[k])) << "n " << n << " lag " << k;
        // Lags given earlier stay where they were.
        for (std::size_t k = 0; k < early.size(); ++k) EXPECT_TRUE(same_value(early[k], expected[k])) << "n " << n;
    }
}

TEST(transform_test, transform_length_doubles_the_next_power_of_two) {
    const std::vector<std::pair<std::size_t, std::size_t>> cases{
        {1, 2}, {2, 4}, {3, 8}, {4, 8}, {5, 16}, {8, 16}, {9, 32}, {1024, 2048}, {1025, 4096},
        {(std::size_t{1} << 29) + 1, std::size_t{1} << 31}, {(std::size_t{1} << 30) - 1, std::size_t{1} << 31}};
    for (const auto& [n, expected] : cases) EXPECT_EQ(autocorr_length(n), expected) << n;
    EXPECT_THROW_MSG(autocorr_length(std::size_t{1} << 30),
                     "autocorrelation of 1073741824 values: the transform length does not fit in 32 bits");
}

// The first lag below min(maxtau, ac.size()) that is not positive, read from
// the whole autocorrelation.
std::size_t first_not_positive(const std::vector<double>& ac, std::size_t maxtau) {
    const std::size_t lim = std::min(maxtau, ac.size());
    for (std::size_t i = 0; i < lim; ++i) {
        if (!(ac[i] > 0)) return i;
    }
    return lim;
}

TEST(transform_test, autocorrelation_worked_examples_and_degenerate_input) {
    const std::vector<double> two{1.0, 2.0};
    EXPECT_EQ(co_autocorrs(two), (std::vector<double>{1.0, -0.5, 0.0, -0.5}));
    EXPECT_EQ(co_autocorr_lag2(two), 0.0);
    EXPECT_TRUE(std::isnan(co_autocorr_lag2(std::vector<double>{3.0})));
    // A constant (or single, once centred) value is 0 / 0 at every lag.
    for (const auto& y : {std::vector<double>{3.0}, std::vector<double>(6, 2.5)}) {
        const auto ac = co_autocorrs(y);
        for (double v : ac) EXPECT_TRUE(std::isnan(v));
        EXPECT_EQ(first_not_positive(ac, y.size()), 0u);
    }
    EXPECT_THROW_MSG(co_autocorrs({}), "index out of bounds: the len is 0 but the index is 0");
    EXPECT_THROW_MSG(co_autocorr_lag2({}), "index out of bounds: the len is 0 but the index is 0");
}

TEST(transform_test, autocorrelation_matches_the_direct_sum) {
    for (std::size_t n : {5u, 7u, 32u, 33u, 200u}) {
        const auto y = noise(n, static_cast<unsigned>(n) + 11);
        const auto ac = co_autocorrs(y);
        ASSERT_EQ(ac.size(), autocorr_length(n));
        const double m = std::accumulate(y.begin(), y.end(), 0.0) / static_cast<double>(n);
        std::vector<double> c(n, 0.0);
        for (std::size_t k = 0; k < n; ++k)
            for (std::size_t i = 0; i + k < n; ++i) c[k] += (y[i] - m) * (y[i + k] - m);
        EXPECT_EQ(ac[0], 1.0);
        for (std::size_t k = 1; k < n; ++k) EXPECT_NEAR(ac[k], c[k] / c[0], 1e-12) << "n=" << n << " lag=" << k;
        EXPECT_EQ(co_autocorr_lag2(y), ac[2]);
    }
}

TEST(transform_test, first_zero_read_lag_by_lag_matches_the_full_autocorrelation) {
    // Zeros at lag 1 (differenced noise), within the first few lags and far
    // beyond them (a slow sine), a constant series (NaN at lag 0) and limits
    // below, at and past the lags read one at a time.
    std::vector<std::vector<double>> inputs = {noise(300, 1), std::vector<double>(50, 2.0), {1.0, 2.0}, {3.0}};
    std::vector<double> diffs(299), sine(500), walk = noise(400, 2);
    for (std::size_t i = 0; i < diffs.size(); ++i) diffs[i] = inputs[0][i + 1] - inputs[0][i];
    for (std::size_t i = 0; i < sine.size(); ++i) sine[i] = std::sin(0.01 * static_cast<double>(i));
    for (std::size_t i = 1; i < walk.size(); ++i) walk[i] += walk[i - 1];
    for (const auto& y : {diffs, sine, walk}) inputs.push_back(y);
    for (const auto& y : inputs) {
        for (std::size_t maxtau : {std::size_t{0}, std::size_t{2}, std::size_t{4}, std::size_t{5}, y.size()}) {
            EXPECT_EQ(co_autocorr_firstzero(y, maxtau), first_not_positive(co_autocorrs(y), maxtau))
                << "n " << y.size() << " maxtau " << maxtau;
        }
    }
}

TEST(transform_test, equal_width_bins_and_edges) {
    const std::vector<double> y{0, 1, 2, 3, 4};
    const auto h5 = histcounts(y, 5);
    EXPECT_EQ(h5.counts, (Counts{1, 1, 1, 1, 1}));
    EXPECT_EQ(h5.edges, (std::vector<double>{0, 0.8, 1.6, 2.4000000000000004, 3.2, 4}));
    EXPECT_EQ(histcounts(y, 2).counts, (Counts{2, 3}));  // 2 sits on the middle edge and goes up
    EXPECT_EQ(histcounts(y, 1).counts, (Counts{5}));

    // Constant and NaN values land in the first bin.
    const auto constant = histcounts(std::vector<double>(4, 1.5), 3);
    EXPECT_EQ(constant.counts, (Counts{4, 0, 0}));
    EXPECT_EQ(constant.edges, (std::vector<double>{1.5, 1.5, 1.5, 1.5}));
    const auto with_nan = histcounts(std::vector<double>{0.0, nan_value, 10.0}, 2);
    EXPECT_EQ(with_nan.counts, (Counts{2, 1}));
    EXPECT_EQ(with_nan.edges, (std::vector<double>{0.0, 5.0, 10.0}));
}

TEST(transform_test, range_skips_nan_and_orders_signed_zeros) {
    const auto r = histcounts_range(std::vector<double>{0.0, -0.0, nan_value});
    EXPECT_TRUE(std::signbit(r.min));
    EXPECT_FALSE(std::signbit(r.max));
    const auto all_nan = histcounts_range(std::vector<double>{nan_value});
    EXPECT_EQ(all_nan.min, 1.7976931348623157e308);
    EXPECT_EQ(all_nan.max, -1.7976931348623157e308);
}

TEST(transform_test, bin_assignment_and_edge_counts) {
    // Assignment: index of the first edge strictly greater, else 0.
    const std::vector<double> edges{0, 1, 2};
    EXPECT_EQ(histbinassign(std::vector<double>{5}, edges), (Counts{0}));
    EXPECT_EQ(histbinassign(std::vector<double>{0.5}, edges), (Counts{1}));
    EXPECT_EQ(histbinassign(std::vector<double>{-1, 0, 1, 1.5, nan_value}, edges), (Counts{0, 1, 2, 2, 0}));
    // Counting: the first edge greater or equal; above every edge or NaN is dropped.
    EXPECT_EQ(histcount_edges(std::vector<double>{1, 2, 9}, std::vector<double>{1, 2, 3}), (Counts{1, 1, 0}));
    EXPECT_EQ(histcount_edges(std::vector<double>{-5, 1.5, 2, nan_value, 3}, std::vector<double>{1, 2, 3}),
              (Counts{1, 2, 1}));
}

TEST(transform_test, bin_assignment_matches_a_scan_for_few_and_many_edges) {
    // Few edges are counted, many are searched: both give the first edge
    // strictly greater, or 0, for ties with edges, infinities, NaN and -0.
    std::vector<double> y = noise(301, 4);
    for (double v : {0.0, -0.0, 1.0, -1.0, inf_value, -inf_value, nan_value}) y.push_back(v);
    for (std::size_t size : {2, 3, 11, 16, 17, 40}) {
        std::vector<double> edges(size);
        for (std::size_t j = 0; j < size; ++j) edges[j] = -2.0 + 4.0 * static_cast<double>(j) / static_cast<double>(size - 1);
        edges[size / 2] = edges[size / 2 - 1];  // a repeated edge
        std::vector<double> values = y;
        values.insert(values.end(), edges.begin(), edges.end());
        Counts expected(values.size(), 0);
        for (std::size_t i = 0; i < values.size(); ++i) {
            for (std::size_t j = 0; j < size; ++j) {
                if (values[i] < edges[j]) {
                    expected[i] = static_cast<std::uint32_t>(j);
                    break;
                }
            }
        }
        EXPECT_EQ(histbinassign(values, edges), expected) << size << " edges";
        values.pop_back();  // an odd count leaves one value after the pairs
        expected.pop_back();
        EXPECT_EQ(histbinassign(values, edges), expected) << size << " edges";
    }
}
