// Shared helpers for the GoogleTest suites.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "helpers/failure.hpp"

// Expects `statement` to throw quorlex::Failure with exactly `message`.
#define EXPECT_THROW_MSG(statement, message)                                  \
    do {                                                                      \
        try {                                                                 \
            statement;                                                        \
            ADD_FAILURE() << "expected a Failure: " #statement;               \
        } catch (const quorlex::Failure& failure) {                           \
            EXPECT_EQ(std::string(failure.what()), std::string(message));     \
        }                                                                     \
    } while (0)

inline constexpr double nan_value = std::numeric_limits<double>::quiet_NaN();
inline constexpr double inf_value = std::numeric_limits<double>::infinity();

// Element-wise equality where NaN equals NaN.
inline void expect_same(const std::vector<double>& actual, const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        if (std::isnan(expected[i])) {
            EXPECT_TRUE(std::isnan(actual[i])) << "index " << i;
        } else {
            EXPECT_EQ(actual[i], expected[i]) << "index " << i;
        }
    }
}

// Reproducible Gaussian noise.
inline std::vector<double> noise(std::size_t n, unsigned seed) {
    std::mt19937_64 gen(seed);
    std::normal_distribution<double> dist;
    std::vector<double> y(n);
    for (auto& v : y) v = dist(gen);
    return y;
}
