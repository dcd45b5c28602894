// Internal routines of the periodicity, fluctuation and spectral features:
// the spline fit, the Welch estimate and the fluctuation analysis settings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include "catch22/pd_periodicitywang.hpp"
#include "catch22/sc_fluctanal.hpp"
#include "catch22/sp_summaries.hpp"
#include "catch22/splinefit.hpp"
#include "test_support.hpp"

using namespace quorlex;
using namespace quorlex::catch22;

namespace {

std::vector<double> fitted(const std::vector<double>& y) {
    std::vector<double> out(y.size());
    splinefit(y, out);
    return out;
}

// A drifting oscillation with a saw-tooth overlay; the same formula as the
// golden values of the Python tests.
std::vector<double> drifting_walk(std::size_t n, double frequency) {
    std::vector<double> y(n);
    double total = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        total += std::sin(frequency * static_cast<double>(j)) + static_cast<double>((j * 37) % 23) / 23.0 - 0.5;
        y[j] = total;
    }
    return y;
}

}  // namespace

TEST(periodic_test, spline_reproduces_a_cubic_and_a_kinked_spline) {
    for (std::size_t n : {5u, 7u, 10u, 101u}) {
        const double b1 = std::floor(static_cast<double>(n) * 0.5) - 1.0;
        std::vector<double> cubic(n), kinked(n);
        for (std::size_t i = 0; i < n; ++i) {
            const double x = static_cast<double>(i);
            cubic[i] = 2.0 - 0.5 * x + 0.25 * x * x - 0.01 * x * x * x;
            // A jump in the third derivative at the interior break stays in the space.
            const double beyond = x > b1 ? x - b1 : 0.0;
            kinked[i] = cubic[i] + 0.3 * beyond * beyond * beyond;
        }
        const auto c = fitted(cubic);
        const auto k = fitted(kinked);
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_NEAR(c[i], cubic[i], 1e-9 * (1.0 + std::fabs(cubic[i]))) << "n " << n << " i " << i;
            EXPECT_NEAR(k[i], kinked[i], 1e-9 * (1.0 + std::fabs(kinked[i]))) << "n " << n << " i " << i;
        }
    }
}

TEST(periodic_test, spline_residual_is_orthogonal_to_lines) {
    // A least-squares projection leaves residuals orthogonal to the space,
    // which holds the constants and the straight lines.
    const std::size_t n = 64;
    std::vector<double> y(n);
    for (std::size_t i = 0; i < n; ++i) y[i] = std::sin(0.9 * static_cast<double>(i)) + static_cast<double>(i % 5);
    const auto s = fitted(y);
    double sum = 0.0, moment = 0.0, scale = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        sum += y[i] - s[i];
        moment += (y[i] - s[i]) * static_cast<double>(i);
        scale += std::fabs(y[i]) * static_cast<double>(i);
    }
    EXPECT_NEAR(sum, 0.0, 1e-10 * scale);
    EXPECT_NEAR(moment, 0.0, 1e-10 * scale);
}

TEST(periodic_test, spline_checks_the_output_length_and_survives_tiny_series) {
    const std::vector<double> y{1.0, 2.0, 3.0};
    std::vector<double> out(2);
    EXPECT_THROW_MSG(splinefit(y, out),
                     "assertion `left == right` failed: splinefit needs an output of the series length\n  left: 2\n right: 3");
    for (std::size_t n = 0; n < 5; ++n) {
        const std::vector<double> tiny(n, 1.0);
        EXPECT_EQ(fitted(tiny).size(), n);
    }
}

TEST(periodic_test, periodicity_threshold_applies_to_the_autocovariance) {
    std::vector<double> quiet(200);
    for (std::size_t i = 0; i < quiet.size(); ++i) quiet[i] = 0.05 * std::sin(2.0 * M_PI * static_cast<double>(i) / 20.0);
    EXPECT_EQ(pd_periodicitywang(quiet, true), 19);
    // Unnormalised, the peaks rise only about 0.0025 above the troughs.
    EXPECT_EQ(pd_periodicitywang(quiet, false), 0);
}

TEST(periodic_test, welch_scale_is_rooted_and_squared) {
    const std::vector<double> y{1.0, 3.0};
    const std::vector<double> window{1.0, 1.0};
    const auto s = welch(y, window);
    // Deviations -1, 1 transform to 0 and -2; power 4 over KMU = 2.0000000000000004.
    expect_same(s.pxx, {0.0, 4.0 / 2.0000000000000004});
    expect_same(s.freq, {0.0, 0.5});
}

TEST(periodic_test, welch_power_integrates_to_the_variance) {
    // 64 values need no padding; the one-sided spectrum times df is then the
    // mean squared deviation.
    const std::size_t n = 64;
    std::vector<double> y(n);
    for (std::size_t i = 0; i < n; ++i) y[i] = std::cos(0.4 * static_cast<double>(i)) + 0.1 * static_cast<double>(i % 7);
    const auto s = welch(y, std::vector<double>(n, 1.0));
    ASSERT_EQ(s.pxx.size(), 33u);
    EXPECT_EQ(s.freq[1], 1.0 / 64.0);
    double m = 0.0;
    for (double v : y) m += v;
    m /= static_cast<double>(n);
    double msd = 0.0;
    for (double v : y) msd += (v - m) * (v - m);
    msd /= static_cast<double>(n);
    double integral = 0.0;
    for (double p : s.pxx) integral += p * s.freq[1];
    EXPECT_NEAR(integral, msd, 1e-12);
}

TEST(periodic_test, welch_summaries_of_short_series) {
    const std::vector<double> two{1.0, 3.0};
    EXPECT_EQ(sp_summaries_welch_rect(two, "area_5_1", false), 0.0);
    // csS = [0, 0.3183...]: the first entry above half the total is w[1] = pi.
    EXPECT_EQ(sp_summaries_welch_rect(two, "centroid", false), 3.141592653589793);
    EXPECT_EQ(sp_summaries_welch_rect(two, "mean", false), 0.0);
    const std::vector<double> huge{1e300, -1e300, 1e300};
    EXPECT_EQ(sp_summaries_welch_rect(huge, "centroid", false), 0.0);
}

TEST(periodic_test, fluctuation_scales_need_32_values) {
    const auto y = drifting_walk(40, 0.3);
    for (std::size_t n = 2; n < 32; ++n) {
        const Series head(y.data(), n);
        EXPECT_EQ(sc_fluctanal_prop(head, 1, "rsrangefit", true), 0.0) << n;
        EXPECT_EQ(sc_fluctanal_prop(head, 2, "dfa", false), 0.0) << n;
    }
    // Twelve scales leave the single breakpoint 6.
    const Series first32(y.data(), 32);
    EXPECT_EQ(sc_fluctanal_prop(first32, 1, "rsrangefit", true), 0.5);
    EXPECT_EQ(sc_fluctanal_prop(first32, 2, "dfa", true), 0.5);
    const std::vector<double> constant(32, 4.0);
    EXPECT_EQ(sc_fluctanal_prop(constant, 2, "dfa", true), 1.0 / 12.0);
}

TEST(periodic_test, fluctuation_methods_and_lags) {
    const auto y = drifting_walk(300, 0.3);
    EXPECT_EQ(sc_fluctanal_2_dfa_50_1_2_logi_prop_r1(y, true), 31.0 / 44.0);
    EXPECT_EQ(sc_fluctanal_2_rsrangefit_50_1_logi_prop_r1(y, true), 10.0 / 44.0);
    EXPECT_EQ(sc_fluctanal_prop(y, 1, "DFA", true), 0.0);
    EXPECT_TRUE(std::isnan(sc_fluctanal_prop(y, 0, "dfa", true)));
    // A lag past the end leaves no window: every fluctuation is NaN.
    EXPECT_EQ(sc_fluctanal_prop(y, 301, "dfa", false), 1.0 / 44.0);

    // With lag 2 the values at odd positions never enter the cumulative sum.
    auto odd_changed = y;
    for (std::size_t i = 1; i < odd_changed.size(); i += 2) odd_changed[i] = -7.0 * odd_changed[i];
    EXPECT_EQ(sc_fluctanal_prop(odd_changed, 2, "dfa", false), sc_fluctanal_prop(y, 2, "dfa", false));
}
