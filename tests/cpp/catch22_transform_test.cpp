#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "catch22/co_auto_corr.hpp"
#include "catch22/fft.hpp"
#include "catch22/histcounts.hpp"
#include "catch22/sb_coarsegrain.hpp"
#include "helpers/failure.hpp"
#include "test_support.hpp"

using namespace quorlex;
using namespace quorlex::catch22;

TEST(transform_test, twiddles_carry_the_truncated_pi) {
    const auto tw = twiddles(4);
    ASSERT_EQ(tw.size(), 4u);
    EXPECT_EQ(tw[0].re, 1.0);
    EXPECT_EQ(tw[0].im, 0.0);
    EXPECT_EQ(tw[1].re, 0.7071067811865109);
    EXPECT_EQ(tw[1].im, -0.7071067811865841);
    EXPECT_EQ(tw[2].re, -1.0341155355510722e-13);
    EXPECT_EQ(tw[2].im, -1.0);
    EXPECT_EQ(tw[3].re, -0.7071067811866574);
    EXPECT_EQ(tw[3].im, -0.7071067811864377);
}

TEST(transform_test, fft_matches_a_direct_transform) {
    for (std::size_t n : {1u, 2u, 4u, 8u, 64u}) {
        const auto x = noise(2 * n, static_cast<unsigned>(n));
        std::vector<Complex> a(n);
        for (std::size_t i = 0; i < n; ++i) a[i] = {x[2 * i], x[2 * i + 1]};
        const auto original = a;
        const auto tw = twiddles(n);
        fft(a, tw);
        for (std::size_t k = 0; k < n; ++k) {
            double re = 0.0, im = 0.0;
            for (std::size_t j = 0; j < n; ++j) {
                const double angle = -2.0 * M_PI * static_cast<double>(j * k % n) / static_cast<double>(n);
                re += original[j].re * std::cos(angle) - original[j].im * std::sin(angle);
                im += original[j].re * std::sin(angle) + original[j].im * std::cos(angle);
            }
            EXPECT_NEAR(a[k].re, re, 1e-9) << "n=" << n << " k=" << k;
            EXPECT_NEAR(a[k].im, im, 1e-9) << "n=" << n << " k=" << k;
        }
    }
}

TEST(transform_test, transform_length_doubles_the_next_power_of_two) {
    const std::vector<std::pair<std::size_t, std::size_t>> cases{
        {1, 2}, {2, 4}, {3, 8}, {4, 8}, {5, 16}, {8, 16}, {9, 32}, {1000, 2048}, {1024, 2048}, {1025, 4096}};
    for (const auto& [n, expected] : cases) EXPECT_EQ(autocorr_length(n), expected) << n;
    EXPECT_THROW_MSG(autocorr_length(std::size_t{1} << 30),
                     "autocorrelation of 1073741824 values: the transform length does not fit in 32 bits");
}

TEST(transform_test, autocorrelation_worked_examples) {
    const std::vector<double> two{1.0, 2.0};
    EXPECT_EQ(co_autocorrs(two), (std::vector<double>{1.0, -0.5, 0.0, -0.5}));
    EXPECT_EQ(co_autocorr_lag2(two), 0.0);
    EXPECT_EQ(co_autocorrs(noise(5, 1)).size(), 16u);

    const std::vector<double> one{3.0};
    EXPECT_TRUE(std::isnan(co_autocorr_lag2(one)));
    // Centred single value: 0 / 0.
    for (double v : co_autocorrs(one)) EXPECT_TRUE(std::isnan(v));
}

TEST(transform_test, autocorrelation_matches_the_direct_sum) {
    for (std::size_t n : {7u, 31u, 32u, 33u, 200u}) {
        const auto y = noise(n, static_cast<unsigned>(n) + 11);
        const auto ac = co_autocorrs(y);
        ASSERT_EQ(ac.size(), autocorr_length(n));
        double m = 0.0;
        for (double v : y) m += v;
        m /= static_cast<double>(n);
        double c0 = 0.0;
        for (double v : y) c0 += (v - m) * (v - m);
        EXPECT_EQ(ac[0], 1.0);
        for (std::size_t k = 1; k < n; ++k) {
            double ck = 0.0;
            for (std::size_t i = 0; i + k < n; ++i) ck += (y[i] - m) * (y[i + k] - m);
            EXPECT_NEAR(ac[k], ck / c0, 1e-12) << "n=" << n << " lag=" << k;
        }
        EXPECT_EQ(co_autocorr_lag2(y), ac[2]);
    }
}

TEST(transform_test, constant_series_has_no_autocorrelation) {
    const std::vector<double> y(6, 2.5);
    const auto ac = co_autocorrs(y);
    for (double v : ac) EXPECT_TRUE(std::isnan(v));
    EXPECT_EQ(co_firstzero(ac, y.size()), 0u);
}

TEST(transform_test, empty_series_is_an_internal_failure) {
    EXPECT_THROW_MSG(co_autocorrs({}), "index out of bounds: the len is 0 but the index is 0");
    EXPECT_THROW_MSG(co_autocorr_lag2({}), "index out of bounds: the len is 0 but the index is 0");
}

TEST(transform_test, first_zero_stops_at_the_first_non_positive_lag) {
    const std::vector<double> ac{1.0, 0.5, 0.2, -0.1, 0.3};
    EXPECT_EQ(co_firstzero(ac, 5), 3u);
    EXPECT_EQ(co_firstzero(ac, 2), 2u);  // limit before the crossing
    EXPECT_EQ(co_firstzero(ac, 99), 3u);
    EXPECT_EQ(co_firstzero(std::vector<double>{1.0, 0.5, 0.0}, 3), 2u);
    EXPECT_EQ(co_firstzero(std::vector<double>{1.0, nan_value, 0.5}, 3), 1u);
    EXPECT_EQ(co_firstzero(std::vector<double>{1.0, 0.9}, 7), 2u);
    EXPECT_EQ(co_firstzero({}, 4), 0u);
}

TEST(transform_test, equal_width_bins_and_edges) {
    const std::vector<double> y{0, 1, 2, 3, 4};
    const auto h5 = histcounts(y, 5);
    EXPECT_EQ(h5.counts, (std::vector<std::uint32_t>{1, 1, 1, 1, 1}));
    EXPECT_EQ(h5.edges, (std::vector<double>{0, 0.8, 1.6, 2.4000000000000004, 3.2, 4}));
    // 2 sits on the middle edge and goes up.
    EXPECT_EQ(histcounts(y, 2).counts, (std::vector<std::uint32_t>{2, 3}));
    EXPECT_EQ(histcounts(y, 1).counts, (std::vector<std::uint32_t>{5}));
}

TEST(transform_test, constant_and_nan_values_land_in_the_first_bin) {
    const auto h = histcounts(std::vector<double>(4, 1.5), 3);
    EXPECT_EQ(h.counts, (std::vector<std::uint32_t>{4, 0, 0}));
    EXPECT_EQ(h.edges, (std::vector<double>{1.5, 1.5, 1.5, 1.5}));

    const auto with_nan = histcounts(std::vector<double>{0.0, nan_value, 10.0}, 2);
    EXPECT_EQ(with_nan.counts, (std::vector<std::uint32_t>{2, 1}));
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

TEST(transform_test, bin_assignment_takes_the_first_greater_edge) {
    const std::vector<double> edges{0, 1, 2};
    EXPECT_EQ(histbinassign(std::vector<double>{5}, edges), (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(histbinassign(std::vector<double>{0.5}, edges), (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(histbinassign(std::vector<double>{-1, 0, 1, 1.5, nan_value}, edges),
              (std::vector<std::uint32_t>{0, 1, 2, 2, 0}));
}

TEST(transform_test, counting_against_edges) {
    EXPECT_EQ(histcount_edges(std::vector<double>{1, 2, 9}, std::vector<double>{1, 2, 3}),
              (std::vector<std::uint32_t>{1, 1, 0}));
    EXPECT_EQ(histcount_edges(std::vector<double>{-5, 1.5, 2, nan_value, 3}, std::vector<double>{1, 2, 3}),
              (std::vector<std::uint32_t>{1, 2, 1}));
    // Unsorted edges keep the first-match rule; 4 exceeds every edge.
    EXPECT_EQ(histcount_edges(std::vector<double>{1.5, 0.5, 4}, std::vector<double>{3, 1, 2}),
              (std::vector<std::uint32_t>{2, 0, 0}));
    EXPECT_EQ(histcount_edges(std::vector<double>{1}, {}), (std::vector<std::uint32_t>{}));
}

TEST(transform_test, three_quantile_symbols) {
    const std::vector<double> y{1, 2, 3, 4, 5, 6};
    std::vector<std::uint64_t> labels(6, 0);
    sb_coarsegrain(y, labels);
    EXPECT_EQ(labels, (std::vector<std::uint64_t>{1, 1, 2, 2, 3, 3}));

    const std::vector<double> shuffled{6, 1, 4, 3, 5, 2};
    sb_coarsegrain(shuffled, labels);
    EXPECT_EQ(labels, (std::vector<std::uint64_t>{3, 1, 2, 2, 3, 1}));
}

TEST(transform_test, unmatched_values_keep_their_label) {
    std::vector<std::uint64_t> labels(3, 0);
    sb_coarsegrain(std::vector<double>{1.0, nan_value, 2.0}, labels);
    EXPECT_EQ(labels, (std::vector<std::uint64_t>{0, 0, 0}));
    // min - 1.0 rounds back to min, so the smallest value is in no interval.
    sb_coarsegrain(std::vector<double>{1e300, 2e300, 3e300}, labels);
    EXPECT_EQ(labels, (std::vector<std::uint64_t>{0, 2, 3}));
}
