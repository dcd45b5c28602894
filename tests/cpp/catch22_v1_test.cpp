#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "catch22/sc_fluctanal.hpp"
#include "catch22/v1/co_firstcrossing_acf_1e.hpp"
#include "catch22/v1/co_firstmin_ac.hpp"
#include "catch22/v1/dn_histogrammode.hpp"
#include "catch22/v1/fc_localsimple.hpp"
#include "catch22/v1/histogram.hpp"
#include "catch22/v1/sc_fluctanal.hpp"
#include "catch22/v1/sp_summaries.hpp"
#include "test_support.hpp"

using namespace quorlex;
using namespace quorlex::catch22;

TEST(catch22_v1_test, histogram_edges_put_ideal_edges_in_the_upper_bin) {
    // 0 .. 4 in 4 bins: width 1, interior edges lowered by 1e-6, the ends
    // widened by as much, so 1, 2 and 3 open bins 1, 2 and 3 and 4 closes bin 3.
    const std::vector<double> y{0, 1, 2, 3, 4};
    const v1::Edges e = v1::hist_edges(y, 4);
    ASSERT_EQ(e.bins, 4u);
    EXPECT_EQ(e.edges.front(), -1e-6);
    EXPECT_EQ(e.edges.back(), 4 + 1e-6);
    EXPECT_EQ(e.edges[2], 2.0 - 1e-6);
    EXPECT_EQ(v1::hist_counts(y, e), (std::vector<std::uint32_t>{1, 1, 1, 2}));
    EXPECT_EQ(v1::bin_index(-1.0, e), -1);
    EXPECT_EQ(v1::bin_index(e.edges.back(), e), 3);
    // Every value against a plain scan of the edges, on uneven data.
    std::mt19937_64 rng(3);
    std::normal_distribution<double> normal;
    std::vector<double> r(500);
    for (double& v : r) v = std::exp(3 * normal(rng));
    const v1::Edges f = v1::hist_edges(r, 37);
    for (const double v : r) {
        std::ptrdiff_t scan = 0;
        while (scan + 1 < 37 && v >= f.edges[static_cast<std::size_t>(scan + 1)]) ++scan;
        EXPECT_EQ(v1::bin_index(v, f), scan);
    }
}

TEST(catch22_v1_test, histogram_of_data_constant_to_rounding_has_one_unit_bin) {
    const std::vector<double> y{1e6, 1e6 + 1e-7, 1e6};
    const v1::Edges e = v1::hist_edges(y, 5);
    EXPECT_EQ(e.bins, 1u);
    EXPECT_EQ(e.edges, (std::vector<double>{1e6 - 0.5, 1e6 + 0.5}));
    // The histogram mode is then the series' value itself.
    EXPECT_EQ(v1::dn_histogrammode(y, 5), 1e6);
}

TEST(catch22_v1_test, automatic_bin_count) {
    // 0 .. 999: Freedman-Diaconis bins 2 IQR n^(-1/3) = 2 * 500 / 10 wide give
    // 10 over the range, fewer than Sturges' ceil(log2(1000) + 1) = 11.
    std::vector<double> y(1000);
    for (std::size_t i = 0; i < y.size(); ++i) y[i] = static_cast<double>(i);
    EXPECT_EQ(v1::num_bins_auto(y), 11u);
    // An outlier stretches the range to 99900 with the same quartiles: 999 bins.
    y.back() = 99900;
    EXPECT_EQ(v1::num_bins_auto(y), 999u);
    // A zero interquartile range leaves Sturges' count: ceil(log2(10) + 1) = 5.
    const std::vector<double> ties{0, 0, 0, 0, 0, 0, 0, 0, 1, 2};
    EXPECT_EQ(v1::num_bins_auto(ties), 5u);
}

TEST(catch22_v1_test, shared_fluctuations_equal_one_window_at_a_time) {
    // The classic kernel v1 reads, against the definition written out: each
    // window's least-squares line over x = 1 .. s from sums in index order.
    std::mt19937_64 rng(7);
    std::normal_distribution<double> normal;
    std::vector<double> cs(213);
    double total = 0.0;
    for (double& v : cs) v = total += normal(rng);
    const std::vector<std::uint64_t> tau{5, 6, 7, 9, 12, 17, 30, 64, 106};
    for (const bool dfa : {false, true}) {
        std::vector<double> f(tau.size());
        fluctuations(cs, tau, dfa, f);
        for (std::size_t i = 0; i < tau.size(); ++i) {
            const std::size_t s = tau[i], windows = cs.size() / s;
            double sum = 0.0;
            for (std::size_t j = 0; j < windows; ++j) {
                double sx = 0.0, sxx = 0.0, sxy = 0.0, sy = 0.0;
                for (std::size_t k = 0; k < s; ++k) {
                    const double x = static_cast<double>(k + 1), v = cs[j * s + k];
                    sx += x;
                    sxx += x * x;
                    sxy += x * v;
                    sy += v;
                }
                const double n = static_cast<double>(s), denom = n * sxx - sx * sx;
                const double m = (n * sxy - sx * sy) / denom, b = (sy * sxx - sx * sxy) / denom;
                double lo = 0, hi = 0;
                for (std::size_t k = 0; k < s; ++k) {
                    const double r = cs[j * s + k] - (m * static_cast<double>(k + 1) + b);
                    if (dfa) sum += r * r;
                    lo = k == 0 || r < lo ? r : lo;
                    hi = k == 0 || r > hi ? r : hi;
                }
                if (!dfa) sum += (hi - lo) * (hi - lo);
            }
            const double expected = dfa ? std::sqrt(sum / static_cast<double>(windows * s))
                                        : std::sqrt(sum / static_cast<double>(windows));
            EXPECT_EQ(f[i], expected) << (dfa ? "dfa" : "range") << " at scale " << s;
        }
    }
}

TEST(catch22_v1_test, features_where_they_cannot_be_estimated) {
    const std::vector<double> two{-0.7071067811865475, 0.7071067811865475};
    // No autocorrelation minimum below three values, no periodogram summary
    // with one bin, no residual of a three-value forecast from three values.
    EXPECT_TRUE(std::isnan(v1::co_firstmin_ac(two)));
    EXPECT_TRUE(std::isnan(v1::sp_summaries_fft_area_5_1(two)));
    EXPECT_TRUE(std::isnan(v1::fc_localsimple_mean3_stde(std::vector<double>{-1, 0, 1})));
    // Fewer than ten integrated values (below 19 values at lag 2): no analysis.
    std::vector<double> ramp(18);
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<double>(i) - 8.5;
    EXPECT_TRUE(std::isnan(v1::sc_fluctanal_2_dfa_50_1_2_logi_prop_r1(ramp)));
    // z = (-1, 0, 1): the lag-1 autocorrelation is 0, so the 1/e crossing
    // lies (1 - 1/e) of the way to lag 1.
    EXPECT_NEAR(v1::co_firstcrossing_acf_1e(std::vector<double>{-1, 0, 1}), 1 - std::exp(-1.0), 1e-15);
}
