#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "helpers/linear_fit.hpp"
#include "helpers/series.hpp"
#include "parallel/tsfeatures.hpp"
#include "test_support.hpp"
#include "tsfeatures/arch_stat.hpp"
#include "tsfeatures/entropy.hpp"
#include "tsfeatures/hurst.hpp"
#include "tsfeatures/lumpiness.hpp"
#include "tsfeatures/ols.hpp"
#include "tsfeatures/pacf.hpp"
#include "tsfeatures/stability.hpp"
#include "tsfeatures/unitroot_kpss.hpp"

using namespace quorlex;
using namespace quorlex::tsfeatures;

namespace {
constexpr std::uint64_t largest = std::numeric_limits<std::uint64_t>::max();
}  // namespace

TEST(tsfeatures_test, pacf_lag_limit_and_degenerate_series) {
    const auto y = noise(11, 1);
    EXPECT_EQ(std::get<std::string_view>(pacf(y, 6)), "nlags must be less than half the sample size");
    EXPECT_EQ(std::get<std::vector<double>>(pacf(y, 5)).size(), 6u);
    EXPECT_EQ(std::get<std::vector<double>>(pacf({}, 0)), std::vector<double>({1.0}));
    // g_0 = 0 leaves 1 followed by zeros.
    EXPECT_EQ(std::get<std::vector<double>>(pacf(std::vector<double>(12, 4.0), 4)),
              std::vector<double>({1.0, 0.0, 0.0, 0.0, 0.0}));
}

TEST(tsfeatures_test, seasonal_pacf_and_the_map_shared_by_a_task_list) {
    const auto y = noise(30, 3);  // lag 12 is reachable: 12 <= 30 / 2
    EXPECT_EQ(*pacf_features(y, 12).seas_pacf, std::get<std::vector<double>>(pacf(y, 12))[12]);
    EXPECT_FALSE(pacf_features(y, std::nullopt).seas_pacf.has_value());
    EXPECT_TRUE(std::isnan(*pacf_features(y, largest).seas_pacf));

    // A list reused across series must not serve one series' map to the next.
    const auto tasks = parallel::tsfeatures_tasks(4, 12, true);
    const auto a = noise(60, 6), b = noise(60, 7);
    for (const auto* s : {&a, &b, &a}) {
        const auto f = pacf_features(*s, 4);
        parallel::RunShared shared(*s, false);
        EXPECT_EQ(tasks[4].compute(*s, false, shared), f.x_pacf5);
        EXPECT_EQ(tasks[6].compute(*s, false, shared), f.diff2x_pacf5);
        EXPECT_EQ(tasks[14].compute(*s, false, shared), *f.seas_pacf);
    }
}

TEST(tsfeatures_test, least_squares_fits_pivots_and_reports_failures) {
    const std::vector<double> ones(5, 1.0), x = {0.0, 1.0, 2.0, 3.0, 4.0}, y = {2.0, 5.0, 8.0, 11.0, 14.0};
    const std::vector<Series> line = {ones, x};
    const auto fit = std::get<OlsResult>(ols(y, line));
    EXPECT_NEAR(fit.ssr, 0.0, 1e-20);

    const std::vector<double> short_column = {1.0, 2.0};
    const std::vector<Series> mismatched = {ones, short_column}, collinear = {ones, ones};
    EXPECT_EQ(std::get<std::string_view>(ols({}, line)), "Empty input data");
    EXPECT_EQ(std::get<std::string_view>(ols(y, {})), "Empty input data");
    EXPECT_EQ(std::get<std::string_view>(ols(y, mismatched)), "Dimension mismatch");
    EXPECT_EQ(std::get<std::string_view>(ols(y, collinear)), "Singular matrix");

    // A zero first pivot needs the row swap; a pivot below 1e-10 is singular.
    std::vector<double> swap = {0.0, 1.0, 1.0, 0.0}, rhs = {2.0, 3.0};
    EXPECT_EQ(std::get<std::vector<double>>(solve_normal_equations(swap, rhs)), std::vector<double>({3.0, 2.0}));
    std::vector<double> tiny = {1e-11, 0.0, 0.0, 1.0}, rhs2 = {1.0, 1.0};
    EXPECT_EQ(std::get<std::string_view>(solve_normal_equations(tiny, rhs2)), "Singular matrix");
}

TEST(tsfeatures_test, widths_and_lags_at_the_extremes) {
    const auto y = noise(40, 4);
    EXPECT_EQ(lumpiness(y, 0), 0.0);
    EXPECT_EQ(lumpiness(y, largest), 0.0);
    EXPECT_EQ(stability(y, largest), 0.0);
    EXPECT_THROW_MSG(stability({}, 0), "attempt to divide by zero");
    EXPECT_TRUE(std::isnan(arch_stat(y, largest, true)));
    EXPECT_EQ(nanmean(std::vector<double>{1.0, nan_value, 5.0}), 3.0);
    EXPECT_TRUE(std::isnan(nanmean(std::vector<double>{nan_value})));
    // 4 * 0.99^0.25 truncates to 3.
    EXPECT_EQ(short_lag(99), 3u);
    EXPECT_EQ(short_lag(100), 4u);
    EXPECT_EQ(short_lag(1000), 7u);
}

TEST(tsfeatures_test, entropy_is_identical_across_threads_and_cache_churn) {
    std::vector<std::vector<double>> inputs;
    std::vector<double> serial;
    for (std::size_t n = 2; n < 120; ++n) {
        inputs.push_back(noise(n * 7 + 1, static_cast<unsigned>(n)));
        serial.push_back(entropy(inputs.back()));
    }
    // Opposite orders, so the two threads plan and evict concurrently.
    std::vector<double> forward(inputs.size()), backward(inputs.size());
    std::thread other([&] {
        for (std::size_t k = inputs.size(); k-- > 0;) backward[k] = entropy(inputs[k]);
    });
    for (std::size_t k = 0; k < inputs.size(); ++k) forward[k] = entropy(inputs[k]);
    other.join();
    expect_same(forward, serial);
    expect_same(backward, serial);
}

TEST(tsfeatures_test, hurst_survives_overflowing_cumulative_sums) {
    // From t = 11 on the running sums overflow, so only the first ten prefixes count.
    std::vector<double> y = noise(50, 8);
    y[10] = y[11] = 1e308;
    EXPECT_EQ(hurst(y), hurst(Series(y).first(10)));
}

// The rescaled-range slope by the plain quadratic scan over every prefix.
double hurst_by_full_scan(const std::vector<double>& y) {
    std::vector<double> c(y.size());
    double acc = 0.0;
    for (std::size_t i = 0; i < y.size(); ++i) c[i] = acc += y[i];
    std::vector<double> log_t, log_rs;
    double s = y[0], q = y[0] * y[0];
    for (std::size_t t = 2; t <= y.size(); ++t) {
        s += y[t - 1];
        q += y[t - 1] * y[t - 1];
        const double td = static_cast<double>(t);
        const double mean = s / td;
        const double var = q / td - mean * mean;
        if (var <= 0.0) continue;
        const double a = c[t - 1] / td;
        double lo = c[0] - a * 1.0, hi = lo;
        for (std::size_t j = 1; j < t; ++j) {
            const double d = c[j] - a * static_cast<double>(j + 1);
            if (d < lo) lo = d;
            if (d > hi) hi = d;
        }
        const double rs = (hi - lo) / std::sqrt(var);
        if (rs > 0.0) {
            log_t.push_back(std::log(td));
            log_rs.push_back(std::log(rs));
        }
    }
    const auto fit = common::linear_fit(log_t, log_rs);
    return log_t.empty() || !fit ? nan_value : fit->slope;
}

TEST(tsfeatures_test, hurst_skipping_blocks_matches_the_full_scan) {
    // Noise, walks, a trend with a kink, plateaus and tiny or huge scales,
    // at lengths around the block widths 8, 64, 512 and 4096.
    std::vector<std::vector<double>> inputs;
    for (std::size_t n : {7u, 8u, 9u, 63u, 64u, 65u, 511u, 513u, 4095u, 4096u, 4097u, 6000u}) {
        std::vector<double> walk = noise(n, static_cast<unsigned>(n));
        for (std::size_t i = 1; i < n; ++i) walk[i] += walk[i - 1];
        std::vector<double> kinked(n), plateau = noise(n, 3);
        for (std::size_t i = 0; i < n; ++i) {
            kinked[i] = i < n / 3 ? 0.5 * static_cast<double>(i) : -0.25 * static_cast<double>(i);
            if (i % 97 < 40) plateau[i] = 1.0;
        }
        std::vector<double> tiny = noise(n, 5), huge = walk;
        for (auto& v : tiny) v *= 1e-300;
        for (auto& v : huge) v *= 1e300;
        for (const auto& y : {noise(n, 1), walk, kinked, plateau, tiny, huge}) inputs.push_back(y);
    }
    for (const auto& y : inputs) {
        const double expected = hurst_by_full_scan(y);
        const double actual = hurst(y);
        EXPECT_TRUE(actual == expected || (std::isnan(actual) && std::isnan(expected)))
            << "n " << y.size() << ": " << actual << " vs " << expected;
    }
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
