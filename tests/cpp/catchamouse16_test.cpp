#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "catch22/co_auto_corr.hpp"
#include "catchamouse16/co_addnoise.hpp"
#include "catchamouse16/co_nonlinearautocorr.hpp"
#include "catchamouse16/co_translateshape.hpp"
#include "catchamouse16/dn_removepoints.hpp"
#include "catchamouse16/fc_looplocalsimple.hpp"
#include "catchamouse16/sc_fluctanal.hpp"
#include "catchamouse16/st_localextrema.hpp"
#include "catchamouse16/sy_slidingwindow.hpp"
#include "parallel/catchamouse16.hpp"
#include "test_support.hpp"

using namespace quorlex;
using namespace quorlex::catchamouse16;

namespace {

bool same(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

}  // namespace

TEST(catchamouse16_test, sliding_window_without_segments_or_steps_is_an_internal_failure) {
    const auto y = noise(20, 1);
    EXPECT_THROW_MSG(sy_slidingwindow(y, "mean", "std", 0, 1, false), "attempt to divide by zero");
    EXPECT_THROW_MSG(sy_slidingwindow(y, "std", "std", 5, 0, true), "attempt to divide by zero");
    // The NaN test comes first, and the statistic names are read after the check.
    EXPECT_TRUE(std::isnan(sy_slidingwindow(std::vector<double>{1.0, nan_value}, "mean", "std", 0, 0, false)));
    EXPECT_THROW_MSG(sy_slidingwindow(y, "median", "std", 0, 1, false), "attempt to divide by zero");
}

TEST(catchamouse16_test, sliding_window_statistics) {
    std::vector<double> ramp(15);
    std::iota(ramp.begin(), ramp.end(), 1.0);
    // Windows of 3 moved by 1: every window has standard deviation exactly 1,
    // and the means 2 .. 14 spread like thirteen consecutive integers.
    EXPECT_EQ(sy_slidingwindow(ramp, "std", "std", 5, 2, false), 0.0);
    EXPECT_DOUBLE_EQ(sy_slidingwindow(ramp, "mean", "std", 5, 2, false), std::sqrt(91.0 / 6.0) / std::sqrt(20.0));
}

TEST(catchamouse16_test, local_extrema_drops_an_all_zero_last_window) {
    // 100 windows of 2: [1, -0.5] gives |1 - 0.5| = 0.5 each.
    std::vector<double> y(200);
    for (std::size_t j = 0; j < 100; ++j) {
        y[2 * j] = 1.0;
        y[2 * j + 1] = -0.5;
    }
    EXPECT_EQ(st_localextrema_n100_diffmaxabsmin(y, false), 0.5);
    y[198] = 0.0;
    y[199] = 0.0;
    EXPECT_EQ(st_localextrema_n100_diffmaxabsmin(y, false), 0.5);  // 99 windows
    y[199] = -0.0;
    EXPECT_EQ(st_localextrema_n100_diffmaxabsmin(y, false), 0.5);
    y[199] = 0.25;
    EXPECT_EQ(st_localextrema_n100_diffmaxabsmin(y, false), 49.75 / 100.0);
    // Values past the last whole window take no part.
    y.push_back(1e6);
    EXPECT_EQ(st_localextrema_n100_diffmaxabsmin(y, false), 49.75 / 100.0);
    y[0] = nan_value;
    EXPECT_TRUE(std::isnan(st_localextrema_n100_diffmaxabsmin(y, false)));
}

TEST(catchamouse16_test, translate_shape_statistics) {
    // A flat series: all seven neighbours lie inside every circle.
    const std::vector<double> flat(12, 2.0);
    EXPECT_EQ(co_translateshape(flat, "std", false), 0.0);
    EXPECT_TRUE(std::isnan(co_translateshape(flat, "statav4_m", false)));
    EXPECT_TRUE(std::isnan(co_translateshape(noise(30, 2), "Std", false)));
    // A spike of height 3 sits on the circle's rim one step away (1 + 9 <=
    // 12.25), not two steps away (4 + 9 > 12.25): the centres 3 .. 5 of
    // positions 0..8 count 7, 3, 7 points.
    std::vector<double> spike(9, 0.0);
    spike[4] = 3.0;
    const double counts_std = co_translateshape(spike, "std", false);
    const double m = 17.0 / 3.0;
    EXPECT_DOUBLE_EQ(counts_std, std::sqrt(((7 - m) * (7 - m) * 2 + (3 - m) * (3 - m)) / 2.0));
}

TEST(catchamouse16_test, remove_points_keeps_tied_magnitudes_in_time_order) {
    const std::vector<std::vector<double>> cases = {
        {1, -1, 2, -2, 1, 1, -1, 2, 0, 0, 3, -3, 1, -1, -2},
        {0.5, -0.5, 0.5, 0.5, -0.5, 1.5, -0.5, 0.5, 2.5, -1.5, 0.5},
        noise(64, 3),
    };
    for (const auto& y : cases) {
        // The definition, step by step: stable sort by descending magnitude.
        std::vector<std::size_t> order(y.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return std::fabs(y[a]) > std::fabs(y[b]); });
        order.resize((y.size() + 1) / 2);
        std::sort(order.begin(), order.end());
        std::vector<double> kept;
        for (std::size_t i : order) kept.push_back(y[i]);
        const double expected = catch22::co_autocorr_lag2(kept) / catch22::co_autocorr_lag2(y);
        EXPECT_TRUE(same(dn_removepoints_absclose_05_ac2rat(y, false), expected));
    }
}

TEST(catchamouse16_test, loop_local_simple_sums_each_window_in_order) {
    for (std::size_t n : {11, 12, 50, 333}) {
        auto y = noise(n, static_cast<unsigned>(n));
        for (auto& v : y) v *= 1e3;  // rounding shows in the sums
        std::vector<double> spread;
        double lo = std::numeric_limits<double>::max();
        double hi = -lo;
        for (std::size_t train = 1; train <= 10; ++train) {
            std::vector<double> e;
            for (std::size_t j = 0; j + train < n; ++j) {
                double s = 0.0;
                for (std::size_t k = j; k < j + train; ++k) s += y[k];
                e.push_back(s / static_cast<double>(train) - y[j + train]);
            }
            const double sd = common::std_dev(e);
            if (!std::isnan(sd)) {
                lo = std::min(lo, sd);
                hi = std::max(hi, sd);
            }
            spread.push_back(sd);
        }
        const double expected = common::mean(common::diff(spread)) / (hi - lo);
        EXPECT_TRUE(same(fc_looplocalsimple_mean_stderr_chn(y, false), expected)) << n;
    }
}

TEST(catchamouse16_test, added_noise_is_the_same_from_concurrent_threads) {
    const auto y = noise(700, 5);
    const double expected = co_addnoise_1_even_10_ami_at_10(y, true);
    EXPECT_TRUE(std::isfinite(expected));
    std::vector<double> got(8);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < got.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int k = 0; k < 5; ++k) {
                got[t] = (t % 2 == 0) ? co_addnoise_1_even_10_ami_at_10(y, true)
                                      : sc_fluctanal_2_dfa_50_2_logi_r2_se2(y, true);
            }
        });
    }
    for (auto& th : threads) th.join();
    const double fluct = sc_fluctanal_2_dfa_50_2_logi_r2_se2(y, true);
    for (std::size_t t = 0; t < got.size(); ++t) EXPECT_EQ(got[t], t % 2 == 0 ? expected : fluct) << t;
}

TEST(catchamouse16_test, task_list_names_and_routines) {
    const auto tasks = parallel::catchamouse16_tasks();
    const std::vector<std::string> names = {
        "SY_DriftingMean50_min",
        "SY_SlidingWindow_Std_Std_5_2",
        "SY_SlidingWindow_Mean_Std_5_2",
        "ST_LocalExtrema_n100_diffmaxabsmin",
        "PH_Walker_momentum_5_w_momentumzcross",
        "PH_Walker_biasprop_05_01_sw_meanabsdiff",
        "IN_AutoMutualInfoStats_diff_20_gaussian_ami8",
        "FC_LoopLocalSimple_mean_stderr_chn",
        "CO_TranslateShape_Circle_35_Pts_StatAv4_M",
        "CO_TranslateShape_Circle_35_Pts_Std",
        "CO_HistogramAMI_Even_10_1",
        "CO_HistogramAMI_Even_10_3",
        "CO_HistogramAMI_Even_2_3",
        "AC_NL_035",
        "AC_NL_036",
        "AC_NL_112",
        "DN_RemovePoints_AbsClose_05_AC2Rat",
        "SC_FluctAnal_2_DFA_50_2_Logi_R2_SE2",
        "CO_AddNoise_1_Even_10_AMI_At_10",
    };
    ASSERT_EQ(tasks.size(), names.size());
    for (std::size_t i = 0; i < tasks.size(); ++i) EXPECT_EQ(tasks[i].name, names[i]);

    const auto y = noise(300, 6);
    for (bool normalize : {false, true}) {
        quorlex::common::RunMemo memo;
        EXPECT_EQ(tasks[1].compute(y, normalize, memo), sy_slidingwindow(y, "std", "std", 5, 2, normalize));
        EXPECT_EQ(tasks[2].compute(y, normalize, memo), sy_slidingwindow(y, "mean", "std", 5, 2, normalize));
        EXPECT_EQ(tasks[15].compute(y, normalize, memo), ac_nl_112(y, normalize));
    }
}
