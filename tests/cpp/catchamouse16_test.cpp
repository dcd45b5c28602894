#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "catchamouse16/co_addnoise.hpp"
#include "catchamouse16/co_nonlinearautocorr.hpp"
#include "catchamouse16/co_translateshape.hpp"
#include "catchamouse16/dn_removepoints.hpp"
#include "catchamouse16/fc_looplocalsimple.hpp"
#include "catchamouse16/sc_fluctanal.hpp"
#include "catchamouse16/st_localextrema.hpp"
#include "catchamouse16/sy_slidingwindow.hpp"
#include "helpers/autocorrelation.hpp"
#include "helpers/moments.hpp"
#include "helpers/vectors.hpp"
#include "parallel/catchamouse16.hpp"
#include "test_support.hpp"

using namespace quorlex;
using namespace quorlex::catchamouse16;

TEST(catchamouse16_test, sliding_window) {
    // The NaN test comes before the zero checks, and the statistic names are read after them.
    EXPECT_TRUE(std::isnan(sy_slidingwindow(std::vector<double>{1.0, nan_value}, "mean", "std", 0, 0, false)));
    EXPECT_THROW_MSG(sy_slidingwindow(noise(20, 1), "median", "std", 0, 1, false), "attempt to divide by zero");
    EXPECT_THROW_MSG(sy_slidingwindow(noise(20, 1), "std", "std", 5, 0, true), "attempt to divide by zero");
    // Windows of 3 moved by 1 along 1 .. 15: every window std is 1, the means are 2 .. 14.
    std::vector<double> ramp(15);
    std::iota(ramp.begin(), ramp.end(), 1.0);
    EXPECT_EQ(sy_slidingwindow(ramp, "std", "std", 5, 2, false), 0.0);
    EXPECT_DOUBLE_EQ(sy_slidingwindow(ramp, "mean", "std", 5, 2, false), std::sqrt(91.0 / 6.0) / std::sqrt(20.0));
}

TEST(catchamouse16_test, local_extrema_drops_an_all_zero_last_window) {
    std::vector<double> y(200);  // 100 windows [1, -0.5], each giving 0.5
    for (std::size_t j = 0; j < 100; ++j) {
        y[2 * j] = 1.0;
        y[2 * j + 1] = -0.5;
    }
    EXPECT_EQ(st_localextrema_n100_diffmaxabsmin(y, false), 0.5);
    y[198] = 0.0;
    y[199] = -0.0;
    EXPECT_EQ(st_localextrema_n100_diffmaxabsmin(y, false), 0.5);  // 99 windows
    y[199] = 0.25;
    EXPECT_EQ(st_localextrema_n100_diffmaxabsmin(y, false), 49.75 / 100.0);
    y.push_back(1e6);  // past the last whole window
    EXPECT_EQ(st_localextrema_n100_diffmaxabsmin(y, false), 49.75 / 100.0);
    y[0] = nan_value;
    EXPECT_TRUE(std::isnan(st_localextrema_n100_diffmaxabsmin(y, false)));
}

TEST(catchamouse16_test, translate_shape_counts_points_on_the_rim) {
    EXPECT_TRUE(std::isnan(co_translateshape(noise(30, 2), "Std", false)));
    // A spike of 3 lies on the circle one step away (1 + 9 <= 12.25), not two
    // steps away (4 + 9 > 12.25): centres 3 .. 5 count 7, 3, 7 points.
    std::vector<double> spike(9, 0.0);
    spike[4] = 3.0;
    const double m = 17.0 / 3.0;
    EXPECT_DOUBLE_EQ(co_translateshape(spike, "std", false),
                     std::sqrt(((7 - m) * (7 - m) * 2 + (3 - m) * (3 - m)) / 2.0));
}

namespace {

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Series of every length up to 40 and a few longer ones, with ties, an
// infinity and a huge value among them.
std::vector<std::vector<double>> assorted_series() {
    std::vector<std::vector<double>> out;
    for (std::size_t n : {1, 2, 3, 7, 8, 9, 10, 11, 12, 13, 20, 21, 40, 199, 1000}) {
        out.push_back(noise(n, static_cast<unsigned>(n)));
        std::vector<double> ties = noise(n, static_cast<unsigned>(n) + 100);
        for (double& v : ties) v = std::round(v * 2.0) / 2.0;
        out.push_back(ties);
        if (n > 4) {
            std::vector<double> odd = noise(n, static_cast<unsigned>(n) + 200);
            odd[n / 2] = inf_value;
            out.push_back(odd);
            odd[n / 2] = 1e300;
            out.push_back(odd);
        }
    }
    return out;
}

}  // namespace

TEST(catchamouse16_test, loop_local_forecasts_match_one_pass_per_training_length) {
    for (const auto& y : assorted_series()) {
        const std::size_t n = y.size();
        std::vector<double> spread;
        double lo = std::numeric_limits<double>::max();
        double hi = -std::numeric_limits<double>::max();
        for (std::size_t train = 1; train <= 10; ++train) {
            std::vector<double> residuals;
            for (std::size_t j = 0; j + train < n; ++j) {
                double sum = 0.0;
                for (std::size_t k = j; k < j + train; ++k) sum += y[k];
                residuals.push_back(sum / static_cast<double>(train) - y[j + train]);
            }
            const double s = common::std_dev(residuals);
            if (!std::isnan(s)) {
                lo = std::min(lo, s);
                hi = std::max(hi, s);
            }
            spread.push_back(s);
        }
        const double expected = common::mean(common::diff(spread)) / (hi - lo);
        EXPECT_TRUE(same_bits(fc_looplocalsimple_mean_stderr_chn(y, false), expected)) << "n " << n;
    }
}

TEST(catchamouse16_test, translate_shape_counts_match_a_plain_count) {
    for (const auto& y : assorted_series()) {
        if (y.size() < 7) continue;
        std::vector<double> counts;
        for (std::size_t c = 3; c + 3 < y.size(); ++c) {
            double inside = 0.0;
            for (std::size_t k = c - 3; k <= c + 3; ++k) {
                const double dk = static_cast<double>(k) - static_cast<double>(c);
                const double dy = y[k] - y[c];
                if (dk * dk + dy * dy <= 12.25) inside += 1.0;
            }
            counts.push_back(inside);
        }
        EXPECT_TRUE(same_bits(co_translateshape(y, "std", false), common::std_dev(counts))) << "n " << y.size();
    }
}

TEST(catchamouse16_test, remove_points_keeps_tied_magnitudes_in_time_order) {
    // Keeps 6 of 11: 2.5, both 1.5 and the first three of the tied 0.5.
    const std::vector<double> y = {0.5, -0.5, 0.5, 0.5, -0.5, 1.5, -0.5, 0.5, 2.5, -1.5, 0.5};
    const std::vector<double> kept = {0.5, -0.5, 0.5, 1.5, 2.5, -1.5};
    EXPECT_EQ(dn_removepoints_absclose_05_ac2rat(y, false), common::co_autocorr_lag2(kept) / common::co_autocorr_lag2(y));
}

TEST(catchamouse16_test, seeded_noise_and_robust_fit_agree_across_threads) {
    const auto y = noise(700, 5);
    const double expected[2] = {co_addnoise_1_even_10_ami_at_10(y, true), sc_fluctanal_2_dfa_50_2_logi_r2_se2(y, true)};
    std::vector<double> got(8);
    {
        std::vector<std::thread> threads;
        for (std::size_t t = 0; t < got.size(); ++t) {
            threads.emplace_back([&, t] {
                for (int k = 0; k < 5; ++k) {
                    got[t] = t % 2 == 0 ? co_addnoise_1_even_10_ami_at_10(y, true) : sc_fluctanal_2_dfa_50_2_logi_r2_se2(y, true);
                }
            });
        }
        for (auto& thread : threads) thread.join();
    }
    for (std::size_t t = 0; t < got.size(); ++t) EXPECT_EQ(got[t], expected[t % 2]) << t;
}

TEST(catchamouse16_test, task_list_names_and_routines) {
    const auto tasks = parallel::catchamouse16_tasks();
    const std::vector<std::string> names = {
        "SY_DriftingMean50_min", "SY_SlidingWindow_Std_Std_5_2", "SY_SlidingWindow_Mean_Std_5_2",
        "ST_LocalExtrema_n100_diffmaxabsmin", "PH_Walker_momentum_5_w_momentumzcross",
        "PH_Walker_biasprop_05_01_sw_meanabsdiff", "IN_AutoMutualInfoStats_diff_20_gaussian_ami8",
        "FC_LoopLocalSimple_mean_stderr_chn", "CO_TranslateShape_Circle_35_Pts_StatAv4_M",
        "CO_TranslateShape_Circle_35_Pts_Std", "CO_HistogramAMI_Even_10_1", "CO_HistogramAMI_Even_10_3",
        "CO_HistogramAMI_Even_2_3", "AC_NL_035", "AC_NL_036", "AC_NL_112", "DN_RemovePoints_AbsClose_05_AC2Rat",
        "SC_FluctAnal_2_DFA_50_2_Logi_R2_SE2", "CO_AddNoise_1_Even_10_AMI_At_10",
    };
    ASSERT_EQ(tasks.size(), names.size());
    for (std::size_t i = 0; i < tasks.size(); ++i) EXPECT_EQ(tasks[i].name, names[i]);
    const auto y = noise(300, 6);
    for (bool normalize : {false, true}) {
        parallel::RunShared shared(y, normalize);
        EXPECT_EQ(tasks[1].compute(y, normalize, shared), sy_slidingwindow(y, "std", "std", 5, 2, normalize));
        EXPECT_EQ(tasks[2].compute(y, normalize, shared), sy_slidingwindow(y, "mean", "std", 5, 2, normalize));
        EXPECT_EQ(tasks[15].compute(y, normalize, shared), ac_nl_112(y, normalize));
    }
}
