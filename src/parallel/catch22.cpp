#include "parallel/catch22.hpp"

#include "catch22/co_auto_corr.hpp"
#include "catch22/co_histogram_ami.hpp"
#include "catch22/dn_outlierinclude.hpp"
#include "catch22/dn_spread_std.hpp"
#include "catch22/fc_localsimple.hpp"
#include "catch22/in_automutualinfostats.hpp"
#include "catch22/md_hrv.hpp"
#include "catch22/pd_periodicitywang.hpp"
#include "catch22/sb_binarystats.hpp"
#include "catch22/sb_motifthree.hpp"
#include "catch22/sb_transitionmatrix.hpp"
#include "catch22/sc_fluctanal.hpp"
#include "catch22/sp_summaries.hpp"

namespace quorlex::parallel {

namespace {

TaskList build_tasks(bool with_spread_std) {
    using namespace catch22;
    TaskList tasks = {
        {"CO_f1ecac", routine<&co_f1ecac>},
        {"CO_FirstMin_ac", routine<&co_firstmin_ac>},
        {"CO_HistogramAMI_even_2_5", routine<&co_histogram_ami_even_2_5>},
        {"CO_trev_1_num", routine<&co_trev_1_num>},
        {"MD_hrv_classic_pnn40", routine<&md_hrv_classic_pnn40>},
        {"SB_BinaryStats_mean_longstretch1", routine<&sb_binarystats_mean_longstretch1>},
        {"SB_TransitionMatrix_3ac_sumdiagcov", routine<&sb_transitionmatrix_3ac_sumdiagcov>},
        {"PD_PeriodicityWang_th0_01", routine<&pd_periodicitywang_th0_01>},
        {"CO_Embed2_Dist_tau_d_expfit_meandiff", routine<&co_embed2_dist_expfit_meandiff>},
        {"IN_AutoMutualInfoStats_40_gaussian_fmmi", routine<&in_automutualinfostats_fmmi>},
        {"FC_LocalSimple_mean1_tauresrat", routine<&fc_localsimple_tauresrat>},
        {"DN_OutlierInclude_p_001_mdrmd", routine<&dn_outlierinclude_p_001_mdrmd>},
        {"DN_OutlierInclude_n_001_mdrmd", routine<&dn_outlierinclude_n_001_mdrmd>},
        {"SP_Summaries_welch_rect_area_5_1", routine<&sp_summaries_welch_rect_area_5_1>},
        {"SB_BinaryStats_diff_longstretch0", routine<&sb_binarystats_diff_longstretch0>},
        {"SB_MotifThree_quantile_hh", routine<&sb_motifthree_quantile_hh>},
        {"SC_FluctAnal_2_rsrangefit_50_1_logi_prop_r1", routine<&sc_fluctanal_2_rsrangefit_50_1_logi_prop_r1>},
        {"SC_FluctAnal_2_dfa_50_1_2_logi_prop_r1", routine<&sc_fluctanal_2_dfa_50_1_2_logi_prop_r1>},
        {"SP_Summaries_welch_rect_centroid", routine<&sp_summaries_welch_rect_centroid>},
        {"FC_LocalSimple_mean3_stderr", routine<&fc_localsimple_stderr>},
    };
    if (with_spread_std) tasks.push_back({"DN_Spread_Std", routine<&dn_spread_std>});
    return tasks;
}

}  // namespace

const TaskList& catch22_tasks(bool with_spread_std) {
    // The lists never change: built once, rather than their names and
    // callables allocated again on every call.
    static const TaskList twenty = build_tasks(false);
    static const TaskList with_spread = build_tasks(true);
    return with_spread_std ? with_spread : twenty;
}

FeatureSet catch22_all(Series y, bool normalize, bool with_spread_std) {
    return run_set(y, normalize, catch22_tasks(with_spread_std), plain_values);
}

CumulativeTable catch22_cumulative(Series series, bool normalize, bool with_spread_std,
                                   const std::optional<std::string>& value_column) {
    const TaskList& tasks = catch22_tasks(with_spread_std);
    return cumulative(series, value_column, task_names(tasks),
                      [&](Series prefix) { return plain_values(prefix, normalize, tasks); });
}

}  // namespace quorlex::parallel
