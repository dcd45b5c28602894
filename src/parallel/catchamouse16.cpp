#include "parallel/catchamouse16.hpp"

#include <cstdint>
#include <string>

#include "catch22/co_histogram_ami.hpp"
#include "catchamouse16/co_addnoise.hpp"
#include "catchamouse16/co_nonlinearautocorr.hpp"
#include "catchamouse16/co_translateshape.hpp"
#include "catchamouse16/dn_removepoints.hpp"
#include "catchamouse16/fc_looplocalsimple.hpp"
#include "catchamouse16/in_automutualinfostats_diff.hpp"
#include "catchamouse16/ph_walker.hpp"
#include "catchamouse16/sc_fluctanal.hpp"
#include "catchamouse16/st_localextrema.hpp"
#include "catchamouse16/sy_driftingmean.hpp"
#include "catchamouse16/sy_slidingwindow.hpp"

namespace quorlex::parallel {

namespace {

namespace cm = catchamouse16;

FeatureTask sliding_window(const char* prefix, const char* window_stat, std::uint64_t num_seg,
                           std::uint64_t inc_move) {
    return {prefix + std::to_string(num_seg) + "_" + std::to_string(inc_move),
            [=](Series y, bool normalize, RunShared&) {
                return cm::sy_slidingwindow(y, window_stat, "std", num_seg, inc_move, normalize);
            }};
}

}  // namespace

const TaskList& catchamouse16_tasks() {
    static const TaskList tasks = {
        {"SY_DriftingMean50_min", routine<&cm::sy_driftingmean50_min>},
        sliding_window("SY_SlidingWindow_Std_Std_", "std", 5, 2),
        sliding_window("SY_SlidingWindow_Mean_Std_", "mean", 5, 2),
        {"ST_LocalExtrema_n100_diffmaxabsmin", routine<&cm::st_localextrema_n100_diffmaxabsmin>},
        {"PH_Walker_momentum_5_w_momentumzcross", routine<&cm::ph_walker_momentum_5_w_momentumzcross>},
        {"PH_Walker_biasprop_05_01_sw_meanabsdiff", routine<&cm::ph_walker_biasprop_05_01_sw_meanabsdiff>},
        {"IN_AutoMutualInfoStats_diff_20_gaussian_ami8", routine<&cm::in_automutualinfostats_diff_20_gaussian_ami8>},
        {"FC_LoopLocalSimple_mean_stderr_chn", routine<&cm::fc_looplocalsimple_mean_stderr_chn>},
        {"CO_TranslateShape_Circle_35_Pts_StatAv4_M", routine<&cm::co_translateshape_circle_35_pts_statav4_m>},
        {"CO_TranslateShape_Circle_35_Pts_Std", routine<&cm::co_translateshape_circle_35_pts_std>},
        {"CO_HistogramAMI_Even_10_1", routine<&catch22::co_histogram_ami_even_10_1>},
        {"CO_HistogramAMI_Even_10_3", routine<&catch22::co_histogram_ami_even_10_3>},
        {"CO_HistogramAMI_Even_2_3", routine<&catch22::co_histogram_ami_even_2_3>},
        {"AC_NL_035", routine<&cm::ac_nl_035>},
        {"AC_NL_036", routine<&cm::ac_nl_036>},
        {"AC_NL_112", routine<&cm::ac_nl_112>},
        {"DN_RemovePoints_AbsClose_05_AC2Rat", routine<&cm::dn_removepoints_absclose_05_ac2rat>},
        {"SC_FluctAnal_2_DFA_50_2_Logi_R2_SE2", routine<&cm::sc_fluctanal_2_dfa_50_2_logi_r2_se2>},
        {"CO_AddNoise_1_Even_10_AMI_At_10", routine<&cm::co_addnoise_1_even_10_ami_at_10>},
    };
    return tasks;
}

}  // namespace quorlex::parallel
