#include <algorithm>

#include "helpers/finite.hpp"
#include "helpers/lag_correlation.hpp"
#include "helpers/linear_fit.hpp"
#include "helpers/moments.hpp"
#include "helpers/nonlinear_autocorr.hpp"
#include "helpers/order_statistics.hpp"
#include "helpers/table_size.hpp"
#include "helpers/vectors.hpp"

#include "test_support.hpp"

namespace c = quorlex::common;
using V = std::vector<double>;

TEST(common_test, zscore_shapes) {
    expect_same(c::zscore(V{1, 2, 3}), {-1, 0, 1});
    expect_same(c::zscore(V{5}), {nan_value});
    expect_same(c::zscore(V{1, nan_value, 3}), {nan_value});
    EXPECT_TRUE(c::zscore(V{}).empty());
    // A constant series has a zero standard deviation and no guard against it.
    expect_same(c::zscore(V{2, 2}), {nan_value, nan_value});
}

TEST(common_test, value_checks_see_every_position) {
    // Blocks of eight are checked together: a bad value in any place of a
    // block or of the remainder, and the largest finite values, which pass.
    for (std::size_t n : {1, 7, 8, 9, 16, 23}) {
        EXPECT_TRUE(c::all_finite(V(n, 1.7976931348623157e308)));
        EXPECT_FALSE(c::has_nan(V(n, -inf_value)));
        for (std::size_t i = 0; i < n; ++i) {
            for (double bad : {nan_value, inf_value, -inf_value}) {
                V y(n, -0.0);
                y[i] = bad;
                EXPECT_FALSE(c::all_finite(y)) << n << " " << i;
                EXPECT_EQ(c::has_nan(y), std::isnan(bad)) << n << " " << i;
            }
        }
    }
    EXPECT_TRUE(c::all_finite(V{}));
    EXPECT_FALSE(c::has_nan(V{}));
}

// Each mean type's worked values and the geometric mean's overflow guard are
// checked through the dn_*_mean functions of the module.
TEST(common_test, mean_names) {
    EXPECT_TRUE(std::isnan(c::mean(V{})));
    EXPECT_EQ(c::mean_type("unknown"), c::MeanType::arithmetic);
    EXPECT_EQ(c::mean_type("harmonic"), c::MeanType::harmonic);
    EXPECT_EQ(c::mean_type("harmonicxx"), c::MeanType::arithmetic);  // ten characters
}

TEST(common_test, order_statistics) {
    EXPECT_EQ(c::median(V{3, 1, 2}), 2.0);
    EXPECT_EQ(c::median(V{4, 1, 3, 2}), 2.5);
    EXPECT_TRUE(std::isnan(c::median(V{})));
    const V ten{9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    EXPECT_EQ(c::quantile(ten, 0.25), 2.0);          // whole-number position
    EXPECT_EQ(c::quantile(V{4, 3, 2, 1}, 0.25), 1.5);  // halfway between s[0] and s[1]
    EXPECT_EQ(c::quantile(V{5, 1, 4, 2, 3}, 0.5), 3.0);
    EXPECT_EQ(c::quantile(ten, 0.01), 0.0);
    EXPECT_EQ(c::quantile(ten, 0.99), 9.0);
    EXPECT_EQ(c::iqr(V{1, 2, 3, 4, 5, 6, 7, 8}), 4.0);
    EXPECT_EQ(c::iqr(V{1, 2, 3, 4, 5}), 2.0);
    EXPECT_EQ(c::iqr(V{7}), 0.0);
}

TEST(common_test, empty_input_failures) {
    EXPECT_THROW_MSG(c::quantile(V{}, 0.5), "index out of bounds: the len is 0 but the index is 0");
    EXPECT_THROW_MSG(c::mean(V{}, c::MeanType::iqm), "index out of bounds: the len is 0 but the index is 0");
    EXPECT_THROW_MSG(c::iqr(V{}), "index out of bounds: the len is 0 but the index is 18446744073709551615");
}

TEST(common_test, deviations) {
    EXPECT_TRUE(std::isnan(c::std_dev(V{1})));
    EXPECT_EQ(c::std_dev(V{1, 2, 3, 4}), std::sqrt(5.0 / 3.0));
    EXPECT_EQ(c::mad(V{1, 2, 3, 4, 100}, c::Deviation::median), 1.0);
    EXPECT_EQ(c::mad(V{1, 2, 3}), 2.0 / 3.0);
    EXPECT_TRUE(std::isnan(c::mad(V{})));
    EXPECT_EQ(c::nan_variance(V{1, nan_value, 3}), 2.0);
    EXPECT_TRUE(std::isnan(c::nan_variance(V{nan_value, 5})));
}

TEST(common_test, sequences) {
    expect_same(c::diff(V{1, 4, 9}), {3, 5});
    EXPECT_TRUE(c::diff(V{7}).empty());
    expect_same(c::cumsum(V{1, 2, 3}), {1, 3, 6});
    expect_same(c::cumsum(V{1, nan_value, 3}), {nan_value, nan_value, nan_value});
    expect_same(c::linspace(0, 1, 5), {0, 0.25, 0.5, 0.75, 1});
    expect_same(c::linspace(2, 9, 1), {2});
    EXPECT_TRUE(c::linspace(0, 1, 0).empty());
    // Repeated addition, not start + i * step.
    EXPECT_EQ(c::linspace(0, 1, 11)[10], 0.1 + 0.1 + 0.1 + 0.1 + 0.1 + 0.1 + 0.1 + 0.1 + 0.1 + 0.1);
    const std::vector<std::uint32_t> counts{3, 1, 3, 2};
    EXPECT_EQ(c::int_mode(counts), 3u);
    EXPECT_EQ(c::int_mode(std::vector<std::uint32_t>{}), 0u);
}

TEST(common_test, lagged_autocorrelation) {
    EXPECT_DOUBLE_EQ(c::autocorr_lag(V{1, 2, 3, 4, 5}, 1), 1.0);
    EXPECT_TRUE(std::isnan(c::autocorr_lag(V{1, 2, 3, 4, 5}, 5)));
    EXPECT_TRUE(std::isnan(c::autocorr_lag(V{2, 2, 2, 2}, 1)));
    EXPECT_TRUE(std::isnan(c::autocorr_lag(V{1, nan_value, 3, 4}, 1)));
}

// The one-lag definition, pass by pass: means of both parts, then the cross
// and squared deviation sums.
double lagged_correlation(const V& y, std::size_t lag) {
    if (y.size() <= lag) return nan_value;
    const std::size_t m = y.size() - lag;
    double sa = 0.0, sb = 0.0;
    for (std::size_t i = 0; i < m; ++i) {
        if (std::isnan(y[i]) || std::isnan(y[i + lag])) return nan_value;
        sa += y[i];
        sb += y[i + lag];
    }
    const double ma = sa / static_cast<double>(m), mb = sb / static_cast<double>(m);
    double cov = 0.0, ssa = 0.0, ssb = 0.0;
    for (std::size_t i = 0; i < m; ++i) {
        cov += (y[i] - ma) * (y[i + lag] - mb);
        ssa += (y[i] - ma) * (y[i] - ma);
        ssb += (y[i + lag] - mb) * (y[i + lag] - mb);
    }
    const double den = static_cast<double>(m - 1);
    const double d = m < 2 ? nan_value : std::sqrt(ssa / den) * std::sqrt(ssb / den);
    if (std::isfinite(d) && std::fabs(d) < 1.4901161193847656e-8) return nan_value;
    return (cov / den) / d;
}

TEST(common_test, many_lags_at_once_match_one_lag_at_a_time) {
    // NaNs at the start, the end and the middle (seen only by lags above n/2),
    // and lag counts that leave partial groups of lanes.
    std::vector<V> inputs = {noise(100, 1), noise(9, 2), noise(2, 3), noise(41, 4)};
    inputs[1][4] = nan_value;
    V ends = noise(12, 5);
    ends[0] = nan_value;
    inputs.push_back(ends);
    ends = noise(12, 6);
    ends[11] = nan_value;
    inputs.push_back(ends);
    for (const V& y : inputs) {
        for (std::size_t first : {1u, 2u, 5u}) {
            V out(y.size() + 2 - std::min<std::size_t>(first, y.size()), -1.0);
            c::autocorr_lags(y, first, out);
            for (std::size_t k = 0; k < out.size(); ++k) {
                const double expected = lagged_correlation(y, first + k);
                EXPECT_TRUE(out[k] == expected || (std::isnan(out[k]) && std::isnan(expected)))
                    << "n " << y.size() << " lag " << first + k << ": " << out[k] << " vs " << expected;
            }
        }
    }
}

TEST(common_test, linear_fit) {
    const auto fit = c::linear_fit(V{0, 1, 2}, V{1, 3, 5});
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->slope, 2.0);
    EXPECT_EQ(fit->intercept, 1.0);
    EXPECT_FALSE(c::linear_fit(V{1, 1, 1}, V{1, 2, 3}));
    EXPECT_FALSE(c::linear_fit(V{}, V{}));
    EXPECT_THROW(c::linear_fit(V{1, 2}, V{1}), quorlex::Failure);
}

TEST(common_test, table_sizes_that_cannot_be_held) {
    EXPECT_EQ(c::table_size(13, 13), 169u);
    EXPECT_THROW(c::table_size(std::size_t{1} << 32, std::size_t{1} << 32), std::bad_alloc);  // overflows
    EXPECT_THROW(c::table_size(std::size_t{1} << 20, std::size_t{1} << 30), std::bad_alloc);  // 8 PiB
}

TEST(common_test, nonlinear_autocorr_matches_the_product_loop) {
    // One to nine lags (up to eight have a kernel of their own, more take the
    // general loop), in both orders: each product takes its factors in the
    // order the lags are listed, and the magnitudes variant sums their
    // absolute values.
    const std::vector<std::vector<std::size_t>> lag_lists = {
        {0, 3, 5}, {5, 3, 0}, {1, 1, 2}, {2, 1}, {4}, {1, 2, 3, 4}, {1, 2, 3, 4, 5, 6, 7, 8}, {0, 1, 2, 3, 4, 5, 6, 7, 8}};
    for (std::size_t n : {9, 10, 257, 600}) {
        const V y = noise(n, static_cast<unsigned>(n));
        for (const auto& lags : lag_lists) {
            const std::size_t tmax = *std::max_element(lags.begin(), lags.end());
            double total = 0.0, magnitudes = 0.0;
            for (std::size_t t = tmax; t < n; ++t) {
                double p = y[t];
                for (std::size_t lag : lags) p = p * y[t - lag];
                total += p;
                magnitudes += std::fabs(p);
            }
            const auto m = static_cast<double>(n - tmax);
            EXPECT_EQ(c::nonlinear_autocorr(y, lags, false), total / m) << "n " << n << " lags " << lags.size();
            EXPECT_EQ(c::nonlinear_autocorr(y, lags, true), magnitudes / m) << "n " << n << " lags " << lags.size();
        }
    }
}
