// Internal routines of the periodicity, fluctuation and spectral features:
// the spline fit, the Welch estimate and the fluctuation analysis settings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include "catch22/pd_periodicitywang.hpp"
#include "catch22/sc_fluctanal.hpp"
#include "catch22/sp_summaries.hpp"
#include "helpers/series.hpp"
#include "helpers/splinefit.hpp"
#include "test_support.hpp"

using namespace quorlex;
using namespace quorlex::catch22;

namespace {
std::vector<double> fitted(const std::vector<double>& y) {
    std::vector<double> out(y.size());
    common::splinefit(y, out);
    return out;
}
}  // namespace

TEST(periodic_test, spline_is_the_least_squares_fit_of_two_cubic_pieces) {
    // Reproduces any member of the space: a cubic, and a jump in the third
    // derivative at the interior break.
    for (std::size_t n : {5u, 7u, 10u, 101u}) {
        const double b1 = std::floor(static_cast<double>(n) * 0.5) - 1.0;
        std::vector<double> kinked(n);
        for (std::size_t i = 0; i < n; ++i) {
            const double x = static_cast<double>(i), beyond = x > b1 ? x - b1 : 0.0;
            kinked[i] = 2.0 - 0.5 * x + 0.25 * x * x - 0.01 * x * x * x + 0.3 * beyond * beyond * beyond;
        }
        const auto s = fitted(kinked);
        for (std::size_t i = 0; i < n; ++i)
            EXPECT_NEAR(s[i], kinked[i], 1e-9 * (1.0 + std::fabs(kinked[i]))) << "n " << n << " i " << i;
    }
    // Otherwise it leaves residuals orthogonal to the space, which holds the lines.
    std::vector<double> y(64);
    for (std::size_t i = 0; i < y.size(); ++i) y[i] = std::sin(0.9 * static_cast<double>(i)) + static_cast<double>(i % 5);
    const auto s = fitted(y);
    double sum = 0.0, moment = 0.0, scale = 0.0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        sum += y[i] - s[i];
        moment += (y[i] - s[i]) * static_cast<double>(i);
        scale += std::fabs(y[i]) * static_cast<double>(i);
    }
    EXPECT_NEAR(sum, 0.0, 1e-10 * scale);
    EXPECT_NEAR(moment, 0.0, 1e-10 * scale);
}

TEST(periodic_test, spline_checks_the_output_length_and_survives_tiny_series) {
    std::vector<double> out(2);
    EXPECT_THROW_MSG(common::splinefit(std::vector<double>{1.0, 2.0, 3.0}, out),
                     "assertion `left == right` failed: splinefit needs an output of the series length\n  left: 2\n right: 3");
    for (std::size_t n = 0; n < 5; ++n) EXPECT_EQ(fitted(std::vector<double>(n, 1.0)).size(), n);
}

TEST(periodic_test, periodicity_threshold_applies_to_the_autocovariance) {
    std::vector<double> quiet(200);
    for (std::size_t i = 0; i < quiet.size(); ++i) quiet[i] = 0.05 * std::sin(2.0 * M_PI * static_cast<double>(i) / 20.0);
    EXPECT_EQ(pd_periodicitywang(quiet, true), 19);
    // Unnormalised, the peaks rise only about 0.0025 above the troughs.
    EXPECT_EQ(pd_periodicitywang(quiet, false), 0);
}

TEST(periodic_test, welch_scale_and_padding) {
    // Deviations -1, 1 transform to 0 and -2; power 4 over KMU = 2.0000000000000004.
    const auto two = welch(std::vector<double>{1.0, 3.0}, std::vector<double>{1.0, 1.0});
    expect_same(two.pxx, {0.0, 4.0 / 2.0000000000000004});
    expect_same(two.freq, {0.0, 0.5});

    // 64 values need no padding: 33 one-sided values, 1/64 apart.
    const auto s = welch(noise(64, 5), std::vector<double>(64, 1.0));
    EXPECT_EQ(s.pxx.size(), 33u);
    EXPECT_EQ(s.freq[1], 1.0 / 64.0);
}

TEST(periodic_test, welch_summaries_give_zero_for_other_selectors_and_overflow) {
    EXPECT_EQ(sp_summaries_welch_rect(std::vector<double>{1.0, 3.0}, "mean", false), 0.0);
    EXPECT_EQ(sp_summaries_welch_rect(std::vector<double>{1e300, -1e300, 1e300}, "centroid", false), 0.0);
}

TEST(periodic_test, fluctuation_scales_methods_and_lags) {
    const auto y = noise(300, 3);
    // Fewer than 32 values leave fewer than twelve scales; 32 give exactly one breakpoint, 6.
    for (std::size_t n = 2; n < 32; ++n) {
        EXPECT_EQ(sc_fluctanal_prop(Series(y.data(), n), 1, "rsrangefit", true), 0.0) << n;
        EXPECT_EQ(sc_fluctanal_prop(Series(y.data(), n), 2, "dfa", false), 0.0) << n;
    }
    EXPECT_EQ(sc_fluctanal_prop(Series(y.data(), 32), 1, "rsrangefit", true), 0.5);
    EXPECT_EQ(sc_fluctanal_prop(Series(y.data(), 32), 2, "dfa", true), 0.5);
    EXPECT_EQ(sc_fluctanal_prop(std::vector<double>(32, 4.0), 2, "dfa", true), 1.0 / 12.0);

    EXPECT_EQ(sc_fluctanal_prop(y, 1, "DFA", true), 0.0);
    EXPECT_TRUE(std::isnan(sc_fluctanal_prop(y, 0, "dfa", true)));
    // A lag past the end leaves no window: every fluctuation is NaN.
    EXPECT_EQ(sc_fluctanal_prop(y, 301, "dfa", false), 1.0 / 44.0);

    // With lag 2 the values at odd positions never enter the cumulative sum.
    auto odd_changed = y;
    for (std::size_t i = 1; i < odd_changed.size(); i += 2) odd_changed[i] = -7.0 * odd_changed[i];
    EXPECT_EQ(sc_fluctanal_prop(odd_changed, 2, "dfa", false), sc_fluctanal_prop(y, 2, "dfa", false));
}
