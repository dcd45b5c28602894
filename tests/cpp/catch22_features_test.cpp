#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "catch22/co_histogram_ami.hpp"
#include "catch22/sb_transitionmatrix.hpp"
#include "test_support.hpp"

using namespace quorlex;
using namespace quorlex::catch22;

TEST(features_test, histogram_ami_of_an_alternating_series) {
    // Bins 1 and 2 alternate: at lag 1 the pairs (1,2) three times, (2,1) twice.
    const std::vector<double> y{0, 1, 0, 1, 0, 1};
    EXPECT_EQ(co_histogram_ami_even(y, 2, 1, false),
              0.4 * std::log(0.4 / (0.4 * 0.4)) + 0.6 * std::log(0.6 / (0.6 * 0.6)));
    // At lag 2 only equal values pair up: the joint table is diagonal.
    EXPECT_EQ(co_histogram_ami_even(y, 2, 2, false), (0.5 * std::log(0.5 / (0.5 * 0.5))) * 2);
}

TEST(features_test, transition_matrix_worked_examples) {
    // Lag-1 autocorrelation is negative, so tau = 1; labels [1, 3, 1, 3, 2, 2] give the
    // transition counts {{0, 0, 2}, {0, 1, 0}, {1, 1, 0}} over 5 steps: column variances
    // 0.04/3 + 0.04/3 + 0.16/3.
    EXPECT_DOUBLE_EQ(sb_transitionmatrix_3ac_sumdiagcov(std::vector<double>{0, 5, 1, 4, 2, 3}, false), 0.08);
    // The same shape at 1e17, where min - 1.0 rounds back to min: the smallest value gets
    // no label and its transition 0 -> 3 is dropped, still divided by all 5 steps.
    const double b = 1e17, u = 1024.0;
    const std::vector<double> far{b, b + 5 * u, b + u, b + 4 * u, b + 2 * u, b + 3 * u};
    EXPECT_DOUBLE_EQ(sb_transitionmatrix_3ac_sumdiagcov(far, false), 0.04);
}
