// The function table: every module attribute in registration order. Each row
// names the function, its parameters (kind and default) and its routine; the
// binding engine derives arguments, errors and text signatures from it.
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
#include "hctsa/distribution/dn_histogrammode.hpp"
#include "hctsa/distribution/dn_mean.hpp"
#include "hctsa/distribution/dn_trimmedmean.hpp"
#include "python/quorlex/results.hpp"
#include "python/quorlex/table.hpp"
#include "parallel/catch22.hpp"
#include "parallel/combined.hpp"
#include "parallel/hctsa.hpp"
#include "parallel/tsfeatures.hpp"
#include "tsfeatures/arch_stat.hpp"
#include "tsfeatures/crossing_points.hpp"
#include "tsfeatures/entropy.hpp"
#include "tsfeatures/flat_spots.hpp"
#include "tsfeatures/hurst.hpp"
#include "tsfeatures/lumpiness.hpp"
#include "tsfeatures/nonlinearity.hpp"
#include "tsfeatures/pacf.hpp"
#include "tsfeatures/stability.hpp"
#include "tsfeatures/unitroot_kpss.hpp"
#include "tsfeatures/unitroot_pp.hpp"

namespace quorlex::module {

namespace {

using namespace table;

// -- set runs --
PyObject* catch22_all_row(Args& a) {
    return make_feature_set(ResultClass::catch22,
                            interruptible([&] { return parallel::catch22_all(a[0].series, a[1].flag, a[2].flag); }));
}

PyObject* catch22_cumulative_row(Args& a) {
    return make_cumulative(
        interruptible([&] { return parallel::catch22_cumulative(a[0].series, a[1].flag, a[2].flag, a[3].text); }));
}

// -- tsfeatures adapters --
// freq as an optional count: omitted gives the row's fallback, None absent.
template <auto F>
PyObject* feature_with_freq(Args& a) {
    return PyFloat_FromDouble(F(a[0].series, a[1].count));
}

PyObject* arch_stat_row(Args& a) {
    return PyFloat_FromDouble(tsfeatures::arch_stat(a[0].series, *a[1].count, a[2].flag));
}

PyObject* pacf_features_row(Args& a) {
    const tsfeatures::PacfFeatures f = tsfeatures::pacf_features(a[0].series, a[1].count);
    PyObject* dict = PyDict_New();
    if (dict == nullptr) return nullptr;
    const auto put = [dict](const char* key, double v) {
        PyObject* value = PyFloat_FromDouble(v);
        if (value == nullptr) return false;
        const int status = PyDict_SetItemString(dict, key, value);
        Py_DECREF(value);
        return status == 0;
    };
    if (!put("x_pacf5", f.x_pacf5) || !put("diff1x_pacf5", f.diff1x_pacf5) ||
        !put("diff2x_pacf5", f.diff2x_pacf5) || (f.seas_pacf && !put("seas_pacf", *f.seas_pacf))) {
        Py_DECREF(dict);
        return nullptr;
    }
    return dict;
}

PyObject* tsfeatures_all_row(Args& a) {
    return make_feature_set(ResultClass::tsfeatures, interruptible([&] {
                                return parallel::tsfeatures_all(a[0].series, a[1].flag, a[2].count, *a[3].count,
                                                                a[4].flag);
                            }));
}

PyObject* tsfeatures_cumulative_row(Args& a) {
    return make_cumulative(interruptible([&] {
        return parallel::tsfeatures_cumulative(a[0].series, a[1].flag, a[2].count, *a[3].count, a[4].flag, a[5].text);
    }));
}

// -- hctsa and combined runs --
PyObject* hctsa_row(Args& a) {
    return make_feature_set(ResultClass::hctsa,
                            interruptible([&] { return parallel::hctsa_all(a[0].series, a[1].flag); }));
}

// Parameters 2 .. 7 of both combined functions: catch24, catchamouse16,
// hctsa, freq, lags, demean.
parallel::CombinedOptions combined_options(Args& a) {
    return {a[2].flag, a[3].flag, a[4].flag, a[5].count, *a[6].count, a[7].flag};
}

PyObject* combined_all_row(Args& a) {
    const auto options = combined_options(a);
    return make_feature_set(ResultClass::combined, interruptible([&] {
                                return parallel::combined_all(a[0].series, a[1].flag, options);
                            }));
}

PyObject* combined_cumulative_row(Args& a) {
    const auto options = combined_options(a);
    return make_cumulative(interruptible([&] {
        return parallel::combined_cumulative(a[0].series, a[1].flag, options, a[8].text);
    }));
}

std::vector<Entry> build_table() {
    return {
        result_class<ResultClass::catch22>(),
        result_class<ResultClass::cumulative>(),
        // -- catch22 --
        function("catch22_all_f", catch22_all_row, {y, normalize(true), option("catch24", false)}),
        function("co_trev_1_num_f", feature<&catch22::co_trev_1_num>, {y, normalize(true)}),
        function("co_f1ecac_f", feature<&catch22::co_f1ecac>, {y, normalize(true)}),
        function("co_first_min_ac_f", feature<&catch22::co_firstmin_ac>, {y, normalize(true)}),
        function("co_histogram_ami_even_2_5_f", feature<&catch22::co_histogram_ami_even_2_5>, {y, normalize(true)}),
        function("md_hrv_classic_pnn40_f", feature<&catch22::md_hrv_classic_pnn40>, {y, normalize(true)}),
        function("dn_spread_std_f", feature<&catch22::dn_spread_std>, {y}),
        // "longsstretch" (double s) is the function's published name, kept as it is.
        function("sb_binarystats_diff_longsstretch0_f", feature<&catch22::sb_binarystats_diff_longstretch0>, {y, normalize(true)}),
        function("sb_binarystats_mean_longstretch1_f", feature<&catch22::sb_binarystats_mean_longstretch1>, {y, normalize(true)}),
        function("sb_transitionmatrix_3ac_sumdiagcov_f", feature<&catch22::sb_transitionmatrix_3ac_sumdiagcov>, {y, normalize(true)}),
        function("pd_periodicitywang_f", feature<&catch22::pd_periodicitywang_th0_01>, {y, normalize(true)}),
        function("co_embed2_dist_tau_d_expfit_meandiff_f", feature<&catch22::co_embed2_dist_expfit_meandiff>, {y, normalize(true)}),
        function("in_automutualinfostats_40_gaussian_fmmi_f", feature<&catch22::in_automutualinfostats_fmmi>, {y, normalize(true)}),
        function("fc_localsimple_mean1_tauresrat_f", feature<&catch22::fc_localsimple_tauresrat>, {y, normalize(true)}),
        function("fc_localsimple_mean3_stderr_f", feature<&catch22::fc_localsimple_stderr>, {y, normalize(true)}),
        function("dn_outlierinclude_p_001_mdrmd_f", feature<&catch22::dn_outlierinclude_p_001_mdrmd>, {y, normalize(true)}),
        function("dn_outlierinclude_n_001_mdrmd_f", feature<&catch22::dn_outlierinclude_n_001_mdrmd>, {y, normalize(true)}),
        function("sp_summaries_welch_rect_area_5_1_f", feature<&catch22::sp_summaries_welch_rect_area_5_1>, {y, normalize(true)}),
        function("sp_summaries_welch_rect_centroid_f", feature<&catch22::sp_summaries_welch_rect_centroid>, {y, normalize(true)}),
        function("sb_motifthree_quantile_hh_f", feature<&catch22::sb_motifthree_quantile_hh>, {y, normalize(true)}),
        function("sc_fluctanal_2_dfa_50_1_2_logi_prop_r1_f", feature<&catch22::sc_fluctanal_2_dfa_50_1_2_logi_prop_r1>, {y, normalize(true)}),
        function("sc_fluctanal_2_rsrangefit_50_1_2_logi_prop_r1_f", feature<&catch22::sc_fluctanal_2_rsrangefit_50_1_logi_prop_r1>, {y, normalize(true)}),
        function("extract_catch22_features_cumulative_f", catch22_cumulative_row,
                 {series, normalize(true), option("catch24", false), value_column_name}),
        // -- catchaMouse16 (three entries are catch22 histogram settings) --
        function("sy_driftingmean50_min_f", feature<&catchamouse16::sy_driftingmean50_min>, {y, normalize(false)}),
        function("sy_slidingwindow_f",
                 +[](Args& a) -> PyObject* {
                     return PyFloat_FromDouble(catchamouse16::sy_slidingwindow(
                         a[0].series, *a[1].text, *a[2].text, *a[3].count, *a[4].count, a[5].flag));
                 },
                 {y, text("window_stat"), text("across_win_stat"), count("num_seg"), count("inc_move"),
                  normalize_required}),
        function("st_localextrema_n100_diffmaxabsmin_f", feature<&catchamouse16::st_localextrema_n100_diffmaxabsmin>, {y, normalize_required}),
        function("ph_walker_momentum_5_w_momentumzcross_f", feature<&catchamouse16::ph_walker_momentum_5_w_momentumzcross>, {y, normalize(false)}),
        function("ph_walker_biasprop_05_01_sw_meanabsdiff_f", feature<&catchamouse16::ph_walker_biasprop_05_01_sw_meanabsdiff>, {y, normalize(false)}),
        function("in_automutualinfostats_diff_20_gaussian_ami8_f", feature<&catchamouse16::in_automutualinfostats_diff_20_gaussian_ami8>, {y, normalize(false)}),
        function("fc_looplocalsimple_mean_stderr_chn_f", feature<&catchamouse16::fc_looplocalsimple_mean_stderr_chn>, {y, normalize(false)}),
        function("co_translateshape_circle_35_pts_statav4_m_f", feature<&catchamouse16::co_translateshape_circle_35_pts_statav4_m>, {y, normalize(false)}),
        function("co_translateshape_circle_35_pts_std_f", feature<&catchamouse16::co_translateshape_circle_35_pts_std>, {y, normalize(false)}),
        function("co_histogram_ami_even_10_1_f", feature<&catch22::co_histogram_ami_even_10_1>, {y, normalize(true)}),
        function("co_histogram_ami_even_10_3_f", feature<&catch22::co_histogram_ami_even_10_3>, {y, normalize(true)}),
        function("co_histogram_ami_even_2_3_f", feature<&catch22::co_histogram_ami_even_2_3>, {y, normalize(true)}),
        function("co_addnoise_1_even_10_ami_at_10_f", feature<&catchamouse16::co_addnoise_1_even_10_ami_at_10>, {y, normalize(true)}),
        function("ac_nl_035_f", feature<&catchamouse16::ac_nl_035>, {y, normalize(true)}),
        function("ac_nl_036_f", feature<&catchamouse16::ac_nl_036>, {y, normalize(true)}),
        function("ac_nl_112_f", feature<&catchamouse16::ac_nl_112>, {y, normalize(true)}),
        function("dn_removepoints_absclose_05_ac2rat_f", feature<&catchamouse16::dn_removepoints_absclose_05_ac2rat>, {y, normalize(true)}),
        function("sc_fluctanal_2_dfa_50_2_logi_r2_se2_f", feature<&catchamouse16::sc_fluctanal_2_dfa_50_2_logi_r2_se2>, {y, normalize(true)}),
        result_class<ResultClass::tsfeatures>(),
        // -- tsfeatures --
        function("crossing_points_f", feature<&tsfeatures::crossing_points>, {y}),
        function("entropy_f", feature<&tsfeatures::entropy>, {y}),
        function("flat_spots_f", feature<&tsfeatures::flat_spots>, {y}),
        function("lumpiness_f", feature_with_freq<&tsfeatures::lumpiness>, {y, freq(1)}),
        function("stability_f", feature_with_freq<&tsfeatures::stability>, {y, freq(1)}),
        function("hurst_f", feature<&tsfeatures::hurst>, {y}),
        function("nonlinearity_f", feature<&tsfeatures::nonlinearity>, {y}),
        function("pacf_features_f", pacf_features_row, {y, freq(1)}),
        function("unitroot_kpss_f", feature<&tsfeatures::unitroot_kpss>, {y, freq_small}),
        function("unitroot_pp_f", feature<&tsfeatures::unitroot_pp>, {y, freq_small}),
        function("arch_stat_f", arch_stat_row, {y, lags, demean}),
        function("tsfeatures_all_f", tsfeatures_all_row, {y, normalize(false), freq(1), lags, demean}),
        function("extract_tsfeatures_cumulative_f", tsfeatures_cumulative_row,
                 {series, normalize(false), freq_absent, lags, demean, value_column_name}),
        // -- hctsa --
        function("dn_mean_arithmetic_f", feature<&hctsa::dn_mean_arithmetic>, {y}),
        function("dn_median_f", feature<&hctsa::dn_median>, {y}),
        function("dn_harmonic_mean_f", feature<&hctsa::dn_harmonic_mean>, {y}),
        function("dn_geometric_mean_f", feature<&hctsa::dn_geometric_mean>, {y}),
        function("dn_rms_mean_f", feature<&hctsa::dn_rms_mean>, {y}),
        function("dn_iqm_mean_f", feature<&hctsa::dn_iqm_mean>, {y}),
        function("dn_midhinge_mean_f", feature<&hctsa::dn_midhinge_mean>, {y}),
        function("dn_histogrammode_5_f", feature<&hctsa::dn_histogrammode_5>, {y}),
        function("dn_histogrammode_10_f", feature<&hctsa::dn_histogrammode_10>, {y}),
        function("dn_histogrammode_12_f", feature<&hctsa::dn_histogrammode_12>, {y}),
        function("dn_histogrammode_21_f", feature<&hctsa::dn_histogrammode_21>, {y}),
        function("dn_histogrammode_52_f", feature<&hctsa::dn_histogrammode_52>, {y}),
        function("dn_trimmed_mean_1_f", feature<&hctsa::dn_trimmed_mean_1>, {y}),
        function("dn_trimmed_mean_5_f", feature<&hctsa::dn_trimmed_mean_5>, {y}),
        function("dn_trimmed_mean_10_f", feature<&hctsa::dn_trimmed_mean_10>, {y}),
        function("dn_trimmed_mean_25_f", feature<&hctsa::dn_trimmed_mean_25>, {y}),
        function("dn_trimmed_mean_50_f", feature<&hctsa::dn_trimmed_mean_50>, {y}),
        function("compute_hctsa_parallel_f", hctsa_row, {y, normalize_strict}),
        result_class<ResultClass::combined>(),
        // -- combined --
        function("combined_all_f", combined_all_row,
                 {y, normalize(true), option("catch24", false), option("catchamouse16", true), option("hctsa", false),
                  freq_absent, lags, demean}),
        function("extract_combined_features_cumulative_f", combined_cumulative_row,
                 {series, normalize(true), option("catch24", false), option("catchamouse16", true),
                  option("hctsa", false), freq_absent, lags, demean, value_column_name}),
    };
}

}  // namespace

std::span<const Entry> module_table() {
    static const std::vector<Entry> entries = build_table();
    return entries;
}

}  // namespace quorlex::module
