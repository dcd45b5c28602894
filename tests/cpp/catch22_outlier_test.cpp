// The outlier scan: thresholds that share an exceedance set are computed once,
// so the result must match a scan of every threshold, and large magnitudes must
// cost no more than small ones.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "catch22/dn_outlierinclude.hpp"
#include "helpers/finite.hpp"
#include "helpers/moments.hpp"
#include "helpers/order_statistics.hpp"
#include "test_support.hpp"

using namespace quorlex;
using quorlex::catch22::dn_outlierinclude;

namespace {

// Every threshold visited in turn, as the feature is defined (steps 6 to 9),
// for inputs whose threshold count is small enough to enumerate.
double every_threshold(const std::vector<double>& y, bool normalize, int sign) {
    const std::size_t n = y.size();
    if (!common::all_finite(y) || n < 2) return nan_value;
    std::vector<double> x = normalize ? common::zscore(y) : y;
    bool constant = true;
    std::vector<double> w(n);
    double tot = 0, max_val = -inf_value;
    for (std::size_t i = 0; i < n; ++i) {
        constant = constant && x[i] == x[0];
        w[i] = x[i] * sign;
        tot += w[i] >= 0.0;
    }
    if (constant) return 0.0;
    if (common::has_nan(w)) return nan_value;
    for (double v : w) max_val = std::max(max_val, v);
    if (max_val < 0.01) return 0.0;
    const auto n_thresh = static_cast<std::size_t>(max_val / 0.01 + 1.0);
    std::vector<double> mean_gap(n_thresh), gap_percent(n_thresh), median_pos(n_thresh);
    for (std::size_t j = 0; j < n_thresh; ++j) {
        std::vector<double> r;
        for (std::size_t i = 0; i < n; ++i) {
            if (w[i] >= static_cast<double>(j) * 0.01) r.push_back(static_cast<double>(i + 1));
        }
        const double h = static_cast<double>(r.size());
        mean_gap[j] = r.size() < 2 ? nan_value : (r.back() - r.front()) / (h - 1);
        gap_percent[j] = r.empty() ? 0.0 : (h - 1) * 100.0 / tot;
        median_pos[j] = r.empty() ? nan_value : common::median(r) / (static_cast<double>(n) * 0.5) - 1.0;
    }
    std::size_t last_high = 0, first_nan = n_thresh - 1;
    for (std::size_t i = 0; i < n_thresh; ++i) {
        if (gap_percent[i] > 2.0) last_high = i;
        if (std::isnan(mean_gap[n_thresh - 1 - i])) first_nan = n_thresh - 1 - i;
    }
    median_pos.resize(std::min(last_high, first_nan) + 1);
    return common::median(median_pos);
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(outlier_test, matches_a_scan_of_every_threshold) {
    std::mt19937_64 gen(11);
    std::normal_distribution<double> normal;
    int compared = 0;
    for (int trial = 0; trial < 600; ++trial) {
        const std::size_t n = 2 + gen() % 120;
        std::vector<double> y(n);
        for (auto& v : y) {
            switch (trial % 4) {
                case 0: v = normal(gen); break;
                case 1: v = std::round(normal(gen) * 2) / 2; break;               // ties
                case 2: v = gen() % 5 == 0 ? normal(gen) * 30 : 0.0; break;      // flat with spikes
                default: v = static_cast<double>(gen() % 9) * 0.01; break;        // values on thresholds
            }
        }
        for (bool normalize : {true, false}) {
            for (int sign : {1, -1}) {
                const double expected = every_threshold(y, normalize, sign);
                EXPECT_TRUE(same_bits(dn_outlierinclude(y, normalize, sign), expected)) << "trial " << trial;
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, 2400);
    // The top threshold 0.35000000000000003 lies above the largest value 0.35.
    const std::vector<double> top{0.35, 0.1, 0.35, 0.2, 0.0, 0.3};
    EXPECT_TRUE(same_bits(dn_outlierinclude(top, false, 1), every_threshold(top, false, 1)));
}

TEST(outlier_test, magnitude_does_not_cost_time) {
    // Physical units: 1,000 values around 1e6 are 1e8 thresholds.
    std::vector<double> y = noise(1000, 5);
    for (auto& v : y) v = 1e6 + v * 1e5;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(dn_outlierinclude(y, false, 1), 0.00099999999999988987);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    // Around 1e20 the threshold count passes 64 bits and is still counted exactly.
    for (auto& v : y) v *= 1e14;
    EXPECT_TRUE(std::isfinite(dn_outlierinclude(y, false, 1)));
}

TEST(outlier_test, extreme_magnitudes_give_nan) {
    // The squared deviations underflow, the z-score divides by zero: infinite values.
    EXPECT_TRUE(std::isnan(dn_outlierinclude(std::vector<double>{1e-300, 2e-300}, true, 1)));
    EXPECT_TRUE(std::isnan(dn_outlierinclude(std::vector<double>{1e-300, 2e-300, 5e-301}, true, -1)));
    // Thresholds beyond 2^127 in number (and, near the double range, infinitely many).
    std::vector<double> y = noise(1000, 6);
    for (auto& v : y) v = 1e300 + std::abs(v) * 1e299;
    EXPECT_TRUE(std::isnan(dn_outlierinclude(y, false, 1)));
    EXPECT_TRUE(std::isnan(dn_outlierinclude(std::vector<double>{1.7e308, 1.0}, false, 1)));
    // Below the cut the values are counted as usual.
    EXPECT_EQ(dn_outlierinclude(std::vector<double>{1e30, 0.0}, false, 1),
              dn_outlierinclude(std::vector<double>{1.0, 0.0}, false, 1));
}
