#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "catch22/co_auto_corr.hpp"
#include "catch22/co_histogram_ami.hpp"
#include "catch22/sb_transitionmatrix.hpp"
#include "test_support.hpp"

using namespace quorlex;
using namespace quorlex::catch22;

TEST(features_test, histogram_ami_of_an_alternating_series_is_the_pair_entropy) {
    // Bins 1 and 2 alternate: pairs (1,2) three times, (2,1) twice.
    const std::vector<double> y{0, 1, 0, 1, 0, 1};
    const double expected = 0.4 * std::log(0.4 / (0.4 * 0.4)) + 0.6 * std::log(0.6 / (0.6 * 0.6));
    EXPECT_EQ(co_histogram_ami_even(y, 2, 1, false), expected);
    // Lag 2 pairs equal values only: the joint table is diagonal.
    const double diagonal = (0.5 * std::log(0.5 / (0.5 * 0.5))) * 2;
    EXPECT_EQ(co_histogram_ami_even(y, 2, 2, false), diagonal);
}

TEST(features_test, histogram_ami_fixed_values) {
    const std::vector<double> three{1, 2, 3};
    EXPECT_TRUE(std::isnan(co_histogram_ami_even(three, 2, 3, true)));
    EXPECT_FALSE(std::isnan(co_histogram_ami_even(three, 2, 2, true)));
    EXPECT_TRUE(std::isnan(co_histogram_ami_even(std::vector<double>{1, inf_value, 3, 4}, 2, 1, true)));
    EXPECT_TRUE(std::isnan(co_histogram_ami_even(std::vector<double>{1, nan_value, 3, 4}, 2, 1, false)));
    // Constant: every pair in one cell, with or without the z-score's NaNs.
    const std::vector<double> constant(20, 4.0);
    for (bool normalize : {true, false}) {
        for (std::uint32_t bins : {1u, 2u, 5u, 10u}) {
            EXPECT_EQ(co_histogram_ami_even(constant, bins, 3, normalize), 0.0);
        }
    }
}

namespace {
// Sum of the sample variances of the columns of `counts` / transitions.
double column_variance_sum(const double counts[3][3], double transitions) {
    double total = 0.0;
    for (int k = 0; k < 3; ++k) {
        const double c[3] = {counts[0][k] / transitions, counts[1][k] / transitions, counts[2][k] / transitions};
        const double m = (c[0] + c[1] + c[2]) / 3.0;
        total += ((c[0] - m) * (c[0] - m) + (c[1] - m) * (c[1] - m) + (c[2] - m) * (c[2] - m)) / 2.0;
    }
    return total;
}
}  // namespace

TEST(features_test, transition_matrix_counts_labelled_steps) {
    // Lag-1 autocorrelation is negative, so tau = 1; labels [1, 3, 1, 3, 2, 2].
    const std::vector<double> y{0, 5, 1, 4, 2, 3};
    const double counts[3][3] = {{0, 0, 2}, {0, 1, 0}, {1, 1, 0}};
    EXPECT_DOUBLE_EQ(sb_transitionmatrix_3ac_sumdiagcov(y, false), column_variance_sum(counts, 5.0));
}

TEST(features_test, transition_matrix_skips_values_in_no_quantile_interval) {
    // At 1e17, min - 1.0 rounds back to min: the smallest value gets no label
    // and its transition 0 -> 3 is dropped, still divided by all 5 steps.
    const double base = 1e17;
    const double unit = 1024.0;
    const std::vector<double> y{base, base + 5 * unit, base + unit, base + 4 * unit, base + 2 * unit, base + 3 * unit};
    const double counts[3][3] = {{0, 0, 1}, {0, 1, 0}, {1, 1, 0}};
    EXPECT_DOUBLE_EQ(sb_transitionmatrix_3ac_sumdiagcov(y, false), column_variance_sum(counts, 5.0));
}

TEST(features_test, transition_matrix_without_an_autocorrelation_time_is_nan) {
    // Finite and not constant, but the z-score overflows to signed zeros: the
    // autocorrelation is all NaN and there is no lag to sample at.
    const std::vector<double> y{1e308, -1e308, 1e308, -1e308};
    EXPECT_EQ(co_firstzero(co_autocorrs(std::vector<double>{0.0, -0.0, 0.0, -0.0}), 4), 0u);
    EXPECT_TRUE(std::isnan(sb_transitionmatrix_3ac_sumdiagcov(y, true)));
}

TEST(features_test, time_reversal_of_an_empty_series_is_nan) {
    EXPECT_TRUE(std::isnan(co_trev_1_num({}, true)));
    EXPECT_TRUE(std::isnan(co_trev_1_num({}, false)));
}
