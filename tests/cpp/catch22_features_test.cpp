#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "catch22/co_histogram_ami.hpp"

using namespace quorlex;
using namespace quorlex::catch22;

namespace {
const double not_a_number = std::numeric_limits<double>::quiet_NaN();
const double infinity = std::numeric_limits<double>::infinity();
}  // namespace

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
    EXPECT_TRUE(std::isnan(co_histogram_ami_even(std::vector<double>{1, infinity, 3, 4}, 2, 1, true)));
    EXPECT_TRUE(std::isnan(co_histogram_ami_even(std::vector<double>{1, not_a_number, 3, 4}, 2, 1, false)));
    // Constant: every pair in one cell, with or without the z-score's NaNs.
    const std::vector<double> constant(20, 4.0);
    for (bool normalize : {true, false}) {
        for (std::uint32_t bins : {1u, 2u, 5u, 10u}) {
            EXPECT_EQ(co_histogram_ami_even(constant, bins, 3, normalize), 0.0);
        }
    }
}
