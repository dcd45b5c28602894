// catch22 v1: the 22 features as catch22 1.x (pycatch22 1.0) defines them,
// each reproducing one hctsa v3.0.0 call on the z-scored series, beside the
// classic definitions in src/catch22.
//
// Every routine takes z, the z-score of a finite series that is not
// constant, with at least two values and no NaN (the set run screens the
// series and masks what a routine cannot estimate). A routine returns NaN
// where the feature cannot be estimated. `shared`, when given, serves the
// autocorrelation of z (the run's catch22 intermediates, prepared as z).
#pragma once

#include <cstddef>
#include <vector>

#include "catch22/shared.hpp"
#include "helpers/common.hpp"

namespace quorlex::catch22::v1 {

// DN_HistogramMode(x_z, bins): the mean centre of the fullest bins.
double dn_histogrammode(Series z, std::size_t bins);
inline double dn_histogrammode_5(Series z, Shared* = nullptr) { return dn_histogrammode(z, 5); }
inline double dn_histogrammode_10(Series z, Shared* = nullptr) { return dn_histogrammode(z, 10); }

double dn_outlierinclude_p_001_mdrmd(Series z, Shared* shared = nullptr);
double dn_outlierinclude_n_001_mdrmd(Series z, Shared* shared = nullptr);

// The autocorrelation's first crossing of 1/e, interpolated between lags;
// n - 1 when it never crosses.
double co_firstcrossing_acf_1e(Series z, Shared* shared = nullptr);
// The first local minimum of the autocorrelation; n when there is none, NaN
// below three values.
double co_firstmin_ac(Series z, Shared* shared = nullptr);

// The one-sided power density in angular frequency of bins 1 .. nfft/2 of
// the transform of z zero-padded to nfft, the next power of two, floored at
// 1e-12 of its largest value (120 dB below the peak, where the estimate is
// at the rounding level); bin k stands at angular frequency 2 pi (k + 1) / nfft.
struct Periodogram {
    std::vector<double> power;
    std::size_t nfft = 0;
    double frequency(std::size_t k) const;
};
Periodogram periodogram(Series z);

// The power in the lowest fifth of the periodogram's bins, and the median
// frequency; NaN with fewer than two bins.
double sp_summaries_fft_area_5_1(const Periodogram& s);
double sp_summaries_fft_wq_50(const Periodogram& s);
inline double sp_summaries_fft_area_5_1(Series z, Shared* = nullptr) { return sp_summaries_fft_area_5_1(periodogram(z)); }
inline double sp_summaries_fft_wq_50(Series z, Shared* = nullptr) { return sp_summaries_fft_wq_50(periodogram(z)); }

// Forecast residuals of the mean of the previous values: their standard
// deviation (3 values), and the ratio of the zero crossings of their and the
// series' autocorrelations (1 value).
double fc_localsimple_mean3_stde(Series z, Shared* shared = nullptr);
double fc_localsimple_mean1_taurat(Series z, Shared* shared = nullptr);

double md_pnn_pnn40(Series z, Shared* shared = nullptr);
double sb_binarystats_mean_longstretch1(Series z, Shared* shared = nullptr);
double sb_binarystats_diff_longstretch0(Series z, Shared* shared = nullptr);
// The entropy of pairs of quantile symbols, Miller-Madow corrected.
double sb_motifthree_quantile_hh(Series z, Shared* shared = nullptr);
// Lag-2 automutual information of 5 equal-width bins, bias corrected.
double co_histogramami_even_5bin_ami2(Series z, Shared* shared = nullptr);
double co_trev_1_num(Series z, Shared* shared = nullptr);
// The first minimum of the Gaussian automutual information up to lag 40.
double in_automutualinfostats_40_gaussian_fmmi(Series z, Shared* shared = nullptr);
double sb_transitionmatrix_quantile_3_ac_sumdiagcov(Series z, Shared* shared = nullptr);
double pd_periodicitywang_th0_01(Series z, Shared* shared = nullptr);
double co_embed2_dist_tau_d_expfit_meandiff(Series z, Shared* shared = nullptr);
double sc_fluctanal_2_rsrangefit_50_1_logi_prop_r1(Series z, Shared* shared = nullptr);
double sc_fluctanal_2_dfa_50_1_2_logi_prop_r1(Series z, Shared* shared = nullptr);

}  // namespace quorlex::catch22::v1
