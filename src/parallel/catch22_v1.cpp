#include "parallel/catch22_v1.hpp"

#include <algorithm>
#include <cmath>

#include "catch22/v1/co_embed2_dist.hpp"
#include "catch22/v1/co_firstcrossing_acf_1e.hpp"
#include "catch22/v1/co_firstmin_ac.hpp"
#include "catch22/v1/co_histogram_ami.hpp"
#include "catch22/v1/co_trev.hpp"
#include "catch22/v1/dn_histogrammode.hpp"
#include "catch22/v1/dn_outlierinclude.hpp"
#include "catch22/v1/fc_localsimple.hpp"
#include "catch22/v1/in_automutualinfostats.hpp"
#include "catch22/v1/md_pnn.hpp"
#include "catch22/v1/pd_periodicitywang.hpp"
#include "catch22/v1/periodogram.hpp"
#include "catch22/v1/sb_binarystats.hpp"
#include "catch22/v1/sb_motifthree.hpp"
#include "catch22/v1/sb_transitionmatrix.hpp"
#include "catch22/v1/sc_fluctanal.hpp"
#include "catch22/v1/sp_summaries.hpp"

namespace quorlex::parallel {

namespace {

bool constant(Series y) {
    return std::all_of(y.begin(), y.end(), [&](double v) { return v == y[0]; });
}

// Whether the v1 features measure the run's series: it is finite, not
// constant, and its z-score holds no NaN (one too large to z-score in doubles).
bool measured(Series y, RunShared& shared) {
    return shared.catch22_v1.measured.get([&] {
        return !y.empty() && shared.catch22.series_finite() && !constant(y) &&
               !common::has_nan(shared.catch22.zscore());
    });
}

// A v1 feature as a task: the routine on the run's z-score where the series is
// measured, NaN otherwise.
template <double (*F)(Series, catch22::Shared*)>
double of_zscore(Series y, bool, RunShared& shared) {
    if (!measured(y, shared)) return common::nan;
    return F(shared.catch22.zscore(), &shared.catch22);
}

// The same for the spectral features, which share the run's periodogram.
template <double (*F)(const catch22::v1::Periodogram&)>
double of_periodogram(Series y, bool, RunShared& shared) {
    if (!measured(y, shared)) return common::nan;
    return F(shared.catch22_v1.periodogram.get([&] { return catch22::v1::periodogram(shared.catch22.zscore()); }));
}

double series_mean(Series y, bool, RunShared& shared) {
    if (y.empty() || !shared.catch22.series_finite()) return common::nan;
    return common::sum(y) / static_cast<double>(y.size());
}

double series_std(Series y, bool, RunShared& shared) {
    if (!shared.catch22.series_finite()) return common::nan;
    return common::std_dev(y);
}

// The mask values: a constant series is the limit of an infinitely slow,
// perfectly predictable one, and a failure the absence of the structure the
// feature looks for, which puts the value at one end of the feature's range.
double mask_zero(std::size_t) { return 0.0; }
double mask_one(std::size_t) { return 1.0; }
// The autocorrelation never decays below 1/e.
double mask_acf_timescale(std::size_t n) { return static_cast<double>(n) - 1; }
// The autocorrelation has no minimum.
double mask_acf_first_min(std::size_t n) { return static_cast<double>(n); }
// No minimum of the automutual information within the lags analysed.
double mask_ami_timescale(std::size_t n) { return std::fmin(40, static_cast<double>((n + 1) / 2)); }
// Perfectly predictable transitions: the largest value three equiprobable
// symbols allow.
double mask_transition_variance(std::size_t) { return 1.0 / 9.0; }
// All distances equal: 1 / range(d) + 1 / mean(d) with the range taken as
// sqrt(2) 0.001 and the smallest mean a z-scored series of n values allows.
double mask_embedding_dist(std::size_t n) {
    const double range_term = 1.0 / (std::sqrt(2.0) * 0.001);
    const double dn = static_cast<double>(n);
    const double mean_term = n > 2 ? (dn - 2) / (std::sqrt(2.0) * std::sqrt((dn - 1.0) / dn)) : 0.0;
    return range_term + mean_term;
}

struct Row {
    const char* name;
    const char* short_name;
    double (*compute)(Series, bool, RunShared&);
    double (*mask)(std::size_t);
};

using namespace catch22::v1;

// pycatch22 1.0's order.
const Row rows[] = {
    {"DN_HistogramMode_5", "mode_5", of_zscore<&dn_histogrammode_5>, mask_zero},
    {"DN_HistogramMode_10", "mode_10", of_zscore<&dn_histogrammode_10>, mask_zero},
    {"DN_OutlierInclude_p_001_mdrmd", "outlier_timing_pos", of_zscore<&dn_outlierinclude_p_001_mdrmd>, mask_zero},
    {"DN_OutlierInclude_n_001_mdrmd", "outlier_timing_neg", of_zscore<&dn_outlierinclude_n_001_mdrmd>, mask_zero},
    {"CO_FirstCrossing_acf_1e_pointOfCrossing", "acf_timescale", of_zscore<&co_firstcrossing_acf_1e>,
     mask_acf_timescale},
    {"CO_FirstMin_ac", "acf_first_min", of_zscore<&co_firstmin_ac>, mask_acf_first_min},
    {"SP_Summaries_fft_area_5_1", "low_freq_power", of_periodogram<&sp_summaries_fft_area_5_1>, mask_one},
    {"SP_Summaries_fft_wq_50", "median_freq", of_periodogram<&sp_summaries_fft_wq_50>, mask_zero},
    {"FC_LocalSimple_mean3_stde", "forecast_error", of_zscore<&fc_localsimple_mean3_stde>, mask_zero},
    {"FC_LocalSimple_mean1_taurat", "whiten_timescale", of_zscore<&fc_localsimple_mean1_taurat>, mask_zero},
    {"MD_pNN_pnn40", "high_fluctuation", of_zscore<&md_pnn_pnn40>, mask_zero},
    {"SB_BinaryStats_mean_longstretch1", "stretch_high", of_zscore<&sb_binarystats_mean_longstretch1>, mask_zero},
    {"SB_BinaryStats_diff_longstretch0", "stretch_decreasing", of_zscore<&sb_binarystats_diff_longstretch0>,
     mask_zero},
    {"SB_MotifThree_quantile_hh", "entropy_pairs", of_zscore<&sb_motifthree_quantile_hh>, mask_zero},
    {"CO_HistogramAMI_even_5bin_ami2", "ami2", of_zscore<&co_histogramami_even_5bin_ami2>, mask_zero},
    {"CO_trev_1_num", "trev", of_zscore<&co_trev_1_num>, mask_zero},
    {"IN_AutoMutualInfoStats_40_gaussian_fmmi", "ami_timescale", of_zscore<&in_automutualinfostats_40_gaussian_fmmi>,
     mask_ami_timescale},
    {"SB_TransitionMatrix_quantile_3_ac_sumdiagcov", "transition_variance",
     of_zscore<&sb_transitionmatrix_quantile_3_ac_sumdiagcov>, mask_transition_variance},
    {"PD_PeriodicityWang_th0_01", "periodicity", of_zscore<&pd_periodicitywang_th0_01>, mask_zero},
    {"CO_Embed2_Dist_tau_d_expfit_meandiff", "embedding_dist", of_zscore<&co_embed2_dist_tau_d_expfit_meandiff>,
     mask_embedding_dist},
    {"SC_FluctAnal_2_rsrangefit_50_1_logi_prop_r1", "rs_range",
     of_zscore<&sc_fluctanal_2_rsrangefit_50_1_logi_prop_r1>, mask_one},
    {"SC_FluctAnal_2_dfa_50_1_2_logi_prop_r1", "dfa", of_zscore<&sc_fluctanal_2_dfa_50_1_2_logi_prop_r1>, mask_one},
    // Only in "catch24-v1": of the raw series, never masked.
    {"DN_mean", "mean", series_mean, nullptr},
    {"DN_Spread_std", "std", series_std, nullptr},
};

TaskList build(bool with_mean_and_std, bool short_names) {
    TaskList tasks;
    for (const Row& row : rows) {
        if (!with_mean_and_std && row.mask == nullptr) continue;
        tasks.push_back({short_names ? row.short_name : row.name, row.compute, row.mask});
    }
    return tasks;
}

}  // namespace

const TaskList& catch22_v1_tasks(bool with_mean_and_std, bool short_names) {
    static const TaskList lists[4] = {build(false, false), build(false, true), build(true, false), build(true, true)};
    return lists[2 * with_mean_and_std + short_names];
}

}  // namespace quorlex::parallel
