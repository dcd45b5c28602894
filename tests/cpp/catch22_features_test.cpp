#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "catch22/co_auto_corr.hpp"
#include "catch22/co_histogram_ami.hpp"
#include "catch22/sb_coarsegrain.hpp"
#include "catch22/sb_transitionmatrix.hpp"
#include "catch22/sc_fluctanal.hpp"
#include "helpers/autocorrelation.hpp"
#include "helpers/fluctuation_scales.hpp"
#include "helpers/linear_fit.hpp"
#include "helpers/moments.hpp"
#include "helpers/series.hpp"
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

namespace {

// The fluctuation analysis one window and one scale at a time, each window's
// line fitted on its own: the plain arithmetic the grouped kernels must keep.
double fluctanal_one_window_at_a_time(const std::vector<double>& y, std::size_t lag, bool dfa, bool normalize) {
    const std::vector<double> v = normalize ? common::zscore(y) : y;
    const std::vector<std::uint64_t> tau = common::fluctuation_scales(v.size());
    if (tau.size() < 12) return 0.0;
    std::vector<double> cs;
    for (std::size_t k = 0; k < v.size() / lag; ++k) cs.push_back(k == 0 ? v[0] : cs.back() + v[k * lag]);
    std::vector<double> logtt, logf;
    for (const std::uint64_t s : tau) {
        std::vector<double> x(s);
        for (std::size_t k = 0; k < s; ++k) x[k] = static_cast<double>(k + 1);
        const std::size_t windows = cs.size() / s;
        double total = 0.0;
        for (std::size_t j = 0; j < windows; ++j) {
            const Series w = Series(cs).subspan(j * s, s);
            const auto fit = common::linear_fit(x, w).value_or(common::LinearFit{0.0, 0.0});
            std::vector<double> r(s);
            for (std::size_t k = 0; k < s; ++k) r[k] = w[k] - (fit.intercept + fit.slope * x[k]);
            if (dfa) {
                for (double e : r) total += e * e;
            } else {
                bool any_nan = false;
                double hi = r[0], lo = r[0];
                for (double e : r) {
                    any_nan = any_nan || std::isnan(e);
                    hi = std::max(hi, e);
                    lo = std::min(lo, e);
                }
                const double range = any_nan ? nan_value : hi - lo;
                total += range * range;
            }
        }
        logtt.push_back(std::log(static_cast<double>(s)));
        logf.push_back(std::log(std::sqrt(total / static_cast<double>(dfa ? windows * s : windows))));
    }
    // Every breakpoint's two-line error; any NaN gives 1 / ntau, otherwise the
    // first smallest error wins.
    const std::size_t ntau = tau.size();
    const Series lt = logtt, lf = logf;
    std::vector<double> errors;
    for (std::size_t b = 6; b + 6 <= ntau; ++b) {
        errors.push_back(common::line_error(lt.first(b), lf.first(b)) +
                         common::line_error(lt.subspan(b - 1), lf.subspan(b - 1)));
    }
    if (std::any_of(errors.begin(), errors.end(), [](double e) { return std::isnan(e); })) {
        return 1.0 / static_cast<double>(ntau);
    }
    const auto best = std::min_element(errors.begin(), errors.end()) - errors.begin();
    return static_cast<double>(best + 6) / static_cast<double>(ntau);
}

}  // namespace

TEST(features_test, fluctanal_matches_one_window_at_a_time) {
    // Lengths cover every remainder of scales and windows over the groups the
    // kernels process together; walks, noise and a spike far above the rest.
    std::mt19937_64 gen(5);
    std::normal_distribution<double> normal;
    for (std::size_t n = 20; n < 420; n += 7) {
        for (int shape = 0; shape < 3; ++shape) {
            std::vector<double> y(n);
            double level = 0.0;
            for (auto& v : y) {
                level += normal(gen);
                v = shape == 0 ? level : normal(gen);
            }
            if (shape == 2) y[n / 3] = 1e12;
            const double dfa = sc_fluctanal_2_dfa_50_1_2_logi_prop_r1(y, true);
            const double range = sc_fluctanal_2_rsrangefit_50_1_logi_prop_r1(y, true);
            const double dfa_expected = fluctanal_one_window_at_a_time(y, 2, true, true);
            const double range_expected = fluctanal_one_window_at_a_time(y, 1, false, true);
            EXPECT_EQ(std::memcmp(&dfa, &dfa_expected, sizeof dfa), 0) << "dfa n=" << n << " shape " << shape;
            EXPECT_EQ(std::memcmp(&range, &range_expected, sizeof range), 0) << "range n=" << n << " shape " << shape;
        }
    }
}

TEST(features_test, fluctanal_overflowing_sums_match_one_window_at_a_time) {
    // Raw values near the double limit: the running sums overflow, residuals
    // become infinite or NaN and the window ranges with them.
    std::mt19937_64 gen(9);
    for (std::size_t n : {40, 97, 200, 333}) {
        std::vector<double> y(n);
        for (auto& v : y) v = (gen() % 2 == 0 ? 1.0 : -0.5) * 1.5e308;
        const double dfa = sc_fluctanal_2_dfa_50_1_2_logi_prop_r1(y, false);
        const double range = sc_fluctanal_2_rsrangefit_50_1_logi_prop_r1(y, false);
        const double dfa_expected = fluctanal_one_window_at_a_time(y, 2, true, false);
        const double range_expected = fluctanal_one_window_at_a_time(y, 1, false, false);
        EXPECT_EQ(std::memcmp(&dfa, &dfa_expected, sizeof dfa), 0) << "dfa n=" << n;
        EXPECT_EQ(std::memcmp(&range, &range_expected, sizeof range), 0) << "range n=" << n;
    }
}

TEST(features_test, two_line_errors_match_line_error) {
    // Even and odd breakpoint counts; repeated x values make some fits
    // singular, and a NaN or an infinity reaches some lines but not others.
    std::mt19937_64 gen(13);
    std::normal_distribution<double> normal;
    for (std::size_t n = 12; n < 60; n += 5) {
        for (int shape = 0; shape < 4; ++shape) {
            std::vector<double> x(n), y(n);
            for (std::size_t k = 0; k < n; ++k) {
                x[k] = shape == 1 ? std::floor(static_cast<double>(k) / 4) : std::log(static_cast<double>(k + 5));
                y[k] = normal(gen);
            }
            if (shape == 2) y[n - 2] = nan_value;
            if (shape == 3) y[2] = inf_value;
            const std::size_t first = 1 + n % 3;
            std::vector<double> errors(n - first - 2);
            two_line_errors(x, y, first, errors);
            for (std::size_t i = 0; i < errors.size(); ++i) {
                const std::size_t b = first + i;
                const double expected = common::line_error(Series(x).first(b), Series(y).first(b)) +
                                        common::line_error(Series(x).subspan(b - 1), Series(y).subspan(b - 1));
                EXPECT_EQ(std::memcmp(&errors[i], &expected, sizeof expected), 0) << "n=" << n << " b=" << b;
            }
        }
    }
}

TEST(features_test, first_zero_stops_at_the_first_non_positive_lag) {
    // Zeros at lag 1 ({1, 2}: 1.0, -0.5), far out (a slow sine) and at lag 0
    // (a constant series: NaN counts as not positive), with limits before,
    // at and past the crossing; each read lag by lag against the whole
    // autocorrelation.
    std::vector<double> sine(300);
    for (std::size_t i = 0; i < sine.size(); ++i) sine[i] = std::sin(0.02 * static_cast<double>(i));
    const std::vector<std::vector<double>> inputs = {{1.0, 2.0}, sine, std::vector<double>(6, 2.5), {3.0}};
    for (const auto& series : inputs) {
        const std::vector<double> whole = common::co_autocorrs(series);
        for (std::size_t maxtau : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{80}, series.size() + 5}) {
            const std::size_t lim = std::min(maxtau, series.size());
            std::size_t expected = lim;
            for (std::size_t i = 0; i < lim; ++i) {
                if (!(whole[i] > 0)) {
                    expected = i;
                    break;
                }
            }
            const common::Prepared y(series, false);
            PreparedAutocorrs ac(y, nullptr);
            EXPECT_EQ(co_firstzero(ac, maxtau), expected) << "n " << series.size() << " maxtau " << maxtau;
        }
    }
    std::vector<double> two{1.0, 2.0};
    const common::Prepared y(two, false);
    PreparedAutocorrs ac(y, nullptr);
    EXPECT_EQ(co_firstzero(ac, 5), 1u);
}

TEST(features_test, three_quantile_symbols) {
    std::vector<std::uint64_t> labels(6, 0);
    sb_coarsegrain(std::vector<double>{1, 2, 3, 4, 5, 6}, labels);
    EXPECT_EQ(labels, (std::vector<std::uint64_t>{1, 1, 2, 2, 3, 3}));
    sb_coarsegrain(std::vector<double>{6, 1, 4, 3, 5, 2}, labels);
    EXPECT_EQ(labels, (std::vector<std::uint64_t>{3, 1, 2, 2, 3, 1}));

    // Values in no interval keep their label.
    labels.assign(3, 0);
    sb_coarsegrain(std::vector<double>{1.0, nan_value, 2.0}, labels);
    EXPECT_EQ(labels, (std::vector<std::uint64_t>{0, 0, 0}));
    // min - 1.0 rounds back to min, so the smallest value is in no interval.
    sb_coarsegrain(std::vector<double>{1e300, 2e300, 3e300}, labels);
    EXPECT_EQ(labels, (std::vector<std::uint64_t>{0, 2, 3}));
}
