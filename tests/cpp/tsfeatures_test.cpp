#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "parallel/tsfeatures.hpp"
#include "test_support.hpp"
#include "tsfeatures/entropy.hpp"
#include "tsfeatures/hurst.hpp"
#include "tsfeatures/lumpiness.hpp"
#include "tsfeatures/ols.hpp"
#include "tsfeatures/pacf.hpp"
#include "tsfeatures/stability.hpp"

using namespace quorlex;
using namespace quorlex::tsfeatures;

namespace {

constexpr std::uint64_t largest = std::numeric_limits<std::uint64_t>::max();

std::vector<double> ar1(std::size_t n, double phi, unsigned seed) {
    auto y = noise(n, seed);
    for (std::size_t t = 1; t < n; ++t) y[t] += phi * y[t - 1];
    return y;
}

bool same(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

}  // namespace

TEST(tsfeatures_test, pacf_of_constant_series_is_one_then_zeros) {
    const std::vector<double> y(12, 4.0);
    const auto p = std::get<std::vector<double>>(pacf(y, 6));
    EXPECT_EQ(p, std::vector<double>({1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0}));
}

TEST(tsfeatures_test, pacf_refuses_more_lags_than_half_the_length) {
    const auto y = noise(11, 1);
    EXPECT_EQ(std::get<std::string_view>(pacf(y, 6)), "nlags must be less than half the sample size");
    EXPECT_EQ(std::get<std::vector<double>>(pacf(y, 5)).size(), 6u);
    EXPECT_EQ(std::get<std::vector<double>>(pacf({}, 0)), std::vector<double>({1.0}));
}

TEST(tsfeatures_test, pacf_of_ar1_cuts_off_after_lag_one) {
    const auto y = ar1(20000, 0.7, 2);
    const auto p = std::get<std::vector<double>>(pacf(y, 5));
    EXPECT_NEAR(p[1], 0.7, 0.02);
    for (std::size_t k = 2; k <= 5; ++k) EXPECT_NEAR(p[k], 0.0, 0.03) << k;
}

TEST(tsfeatures_test, pacf_features_reuse_one_pacf_for_x_and_seasonal) {
    const auto y = ar1(50, 0.5, 3);
    const auto f = pacf_features(y, 7);
    const auto p = std::get<std::vector<double>>(pacf(y, 7));
    double s = 0.0;
    for (std::size_t k = 1; k <= 5; ++k) s += p[k] * p[k];
    EXPECT_EQ(f.x_pacf5, s);
    ASSERT_TRUE(f.seas_pacf.has_value());
    EXPECT_EQ(*f.seas_pacf, p[7]);
    EXPECT_FALSE(pacf_features(y, std::nullopt).seas_pacf.has_value());
    EXPECT_TRUE(std::isnan(*pacf_features(y, largest).seas_pacf));
}

TEST(tsfeatures_test, ols_fits_exact_lines_and_reports_failures) {
    const std::vector<double> ones(5, 1.0);
    const std::vector<double> x = {0.0, 1.0, 2.0, 3.0, 4.0};
    const std::vector<double> y = {2.0, 5.0, 8.0, 11.0, 14.0};
    const std::vector<Series> columns = {ones, x};
    const auto fit = std::get<OlsResult>(ols(y, columns));
    EXPECT_NEAR(fit.ssr, 0.0, 1e-20);
    for (double e : fit.residuals) EXPECT_NEAR(e, 0.0, 1e-12);

    EXPECT_EQ(std::get<std::string_view>(ols({}, columns)), "Empty input data");
    EXPECT_EQ(std::get<std::string_view>(ols(y, {})), "Empty input data");
    const std::vector<double> short_column = {1.0, 2.0};
    const std::vector<Series> mismatched = {ones, short_column};
    EXPECT_EQ(std::get<std::string_view>(ols(y, mismatched)), "Dimension mismatch");
    const std::vector<Series> collinear = {ones, ones};
    EXPECT_EQ(std::get<std::string_view>(ols(y, collinear)), "Singular matrix");
}

TEST(tsfeatures_test, solver_pivots_on_the_largest_entry) {
    // A zero first pivot needs the row swap.
    std::vector<double> a = {0.0, 1.0, 1.0, 0.0};
    std::vector<double> rhs = {2.0, 3.0};
    EXPECT_EQ(std::get<std::vector<double>>(solve_normal_equations(a, rhs)), std::vector<double>({3.0, 2.0}));
    std::vector<double> tiny = {1e-11, 0.0, 0.0, 1.0};
    std::vector<double> rhs2 = {1.0, 1.0};
    EXPECT_EQ(std::get<std::string_view>(solve_normal_equations(tiny, rhs2)), "Singular matrix");
}

TEST(tsfeatures_test, block_statistics_widths) {
    const auto y = noise(40, 4);
    EXPECT_EQ(lumpiness(y, 0), 0.0);
    EXPECT_EQ(lumpiness(y, largest), 0.0);
    EXPECT_EQ(stability(y, largest), 0.0);
    EXPECT_THROW_MSG(stability(y, 0), "attempt to divide by zero");
    EXPECT_THROW_MSG(stability({}, 0), "attempt to divide by zero");
    EXPECT_EQ(nanmean(std::vector<double>{1.0, nan_value, 5.0}), 3.0);
    EXPECT_TRUE(std::isnan(nanmean(std::vector<double>{nan_value})));
}

TEST(tsfeatures_test, entropy_is_identical_across_threads_and_cache_churn) {
    std::vector<std::vector<double>> inputs;
    for (std::size_t n = 2; n < 120; ++n) inputs.push_back(noise(n * 7 + 1, static_cast<unsigned>(n)));
    std::vector<double> serial;
    for (const auto& y : inputs) serial.push_back(entropy(y));

    std::vector<std::vector<double>> parallel_results(2, std::vector<double>(inputs.size()));
    std::vector<std::thread> threads;
    for (std::size_t w = 0; w < 2; ++w) {
        threads.emplace_back([&, w] {
            // Opposite orders, so the two threads plan and evict concurrently.
            for (std::size_t i = 0; i < inputs.size(); ++i) {
                const std::size_t k = w == 0 ? i : inputs.size() - 1 - i;
                parallel_results[w][k] = entropy(inputs[k]);
            }
        });
    }
    for (auto& t : threads) t.join();
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        EXPECT_TRUE(same(serial[i], parallel_results[0][i])) << i;
        EXPECT_TRUE(same(serial[i], parallel_results[1][i])) << i;
    }
}

TEST(tsfeatures_test, hurst_survives_overflowing_cumulative_sums) {
    // Finite values whose running sums overflow: from t = 11 on the variance
    // or the range is infinite or NaN, so only the first ten prefixes count.
    std::vector<double> y = noise(50, 8);
    y[10] = 1e308;
    y[11] = 1e308;
    EXPECT_EQ(hurst(y), hurst(Series(y).first(10)));
    EXPECT_TRUE(std::isnan(hurst(std::vector<double>{1.0, inf_value})));
    EXPECT_EQ(hurst(std::vector<double>{nan_value}), 0.0);
}

TEST(tsfeatures_test, combined_task_list) {
    const auto names = [](const parallel::TaskList& tasks) {
        std::vector<std::string> out;
        for (const auto& t : tasks) out.push_back(t.name);
        return out;
    };
    // The combined part has no row 8; the seasonal value comes last only.
    auto combined = names(parallel::tsfeatures_tasks(1, 12, true));
    combined.erase(combined.begin() + 7);
    EXPECT_EQ(names(parallel::tsfeatures_combined_tasks(std::nullopt, 12, true)), combined);
    combined.push_back("seas_pacf");
    EXPECT_EQ(names(parallel::tsfeatures_combined_tasks(12, 12, true)), combined);
}

TEST(tsfeatures_test, pacf_tasks_share_one_map_per_run_when_a_list_is_reused) {
    const auto tasks = parallel::tsfeatures_tasks(4, 12, true);
    const auto a = noise(60, 6);
    const auto b = noise(60, 7);
    for (const auto* y : {&a, &b, &a}) {
        const auto f = pacf_features(*y, 4);
        common::RunMemo memo;
        EXPECT_EQ(tasks[4].compute(*y, false, memo), f.x_pacf5);
        EXPECT_EQ(tasks[6].compute(*y, false, memo), f.diff2x_pacf5);
        EXPECT_EQ(tasks[14].compute(*y, false, memo), *f.seas_pacf);
    }
}
